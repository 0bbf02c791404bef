#include "form_fixture.h"

#include <QApplication>
#include <filesystem>

namespace fk::test {

FormTest::FormTest() {
    std::filesystem::create_directories(dir.file("bin"));
    std::filesystem::create_directories(dir.file("shots"));
    paths.configFile = dir.file("bin/config.ini");
    paths.executable = dir.file("bin/fotokran");
    paths.autostartFolder = dir.file("config/autostart");
    paths.defaultFolder = dir.file("shots");
}

FormTest::~FormTest() {
    form.reset();
    // Let deferred deletions and queued calls of this test run out before the next one.
    QApplication::processEvents();
}

void FormTest::start() {
    form.reset();
    pump.ended = false;
    AppHooks hooks;
    if (!realErrorBoxes)
        hooks.showError = [this](const QString& m) { errors.push_back(m); };
    hooks.showNotice = [this](const QString& m) { notices.push_back(m); };
    hooks.openUrl = [this](const QUrl& u) {
        opened.push_back(u);
        return opens;
    };
    hooks.trayAvailable = [this] { return tray; };
    form =
        std::make_unique<TMainForm>(AppPlatform{grabber, clock, pump, keys, desktop}, paths, hooks);
    QObject::connect(form.get(), &TMainForm::finished, [this] { ++finishedCount; });
}

void FormTest::closeForm() {
    const int before = finishedCount;
    form->close();
    EXPECT_EQ(finishedCount, before + 1) << "the close did not complete";
}

void FormTest::writeConfig(const std::string& text) {
    writeFileBytes(paths.configFile, {text.begin(), text.end()});
}

std::string FormTest::readConfig() const {
    const auto bytes = readFileBytes(paths.configFile);
    return {bytes.begin(), bytes.end()};
}

}  // namespace fk::test
