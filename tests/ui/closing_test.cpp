#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <csignal>

#include "app/exit_requests.h"
#include "form_fixture.h"
#include "settings/ini_file.h"

namespace fk::test {
namespace {

class Closing : public FormTest {
protected:
    void SetUp() override { start(); }
    void click(const char* button) { control<QPushButton>(button)->click(); }
};

TEST_F(Closing, CloseRunsTheShutDownOnce) {
    form->show();
    click("Button3");
    EXPECT_EQ(finishedCount, 1);
    EXPECT_FALSE(keys.registered);
    EXPECT_TRUE(fileExists(paths.configFile));
    EXPECT_FALSE(form->trayIcon()->isVisible());
    EXPECT_TRUE(form->isHidden());
    form->close();
    EXPECT_EQ(finishedCount, 1);
    EXPECT_EQ(keys.unregistered, 1);
}

TEST_F(Closing, TheTrayMenusExitClosesTheWindow) {
    control<QMenu>("PopupMenu1")->findChild<QAction*>("N2")->trigger();
    EXPECT_EQ(finishedCount, 1);
    EXPECT_TRUE(fileExists(paths.configFile));
}

TEST_F(Closing, ClosingDuringASeriesEndsItWithoutWaitingOutThePause) {
    control<QLineEdit>("Edit4")->setText("3600000");
    pump.events.scheduleIn(150, [&] { click("Button3"); });
    click("Button6");
    EXPECT_EQ(finishedCount, 1);
    EXPECT_FALSE(form->TimerOn());
    EXPECT_EQ(control<QPushButton>("Button6")->text(), "Снятие по таймеру");
    EXPECT_EQ(grabber.screenGrabs, 1);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(IniFile::loadFile(paths.configFile)->value("ShootSettings", "Timer"), "3600000");
}

TEST_F(Closing, ClosingDuringAShotDelayTakesNoPicture) {
    control<QCheckBox>("DelayedShoot")->setChecked(true);
    control<QLineEdit>("Edit2")->setText("10");
    pump.events.scheduleIn(1000, [&] { form->close(); });
    click("Button8");
    EXPECT_EQ(finishedCount, 1);
    EXPECT_EQ(grabber.screenGrabs, 0);
    EXPECT_EQ(control<QLineEdit>("SpinEdit1")->text(), "0");
}

TEST_F(Closing, NothingNewStartsOnceTheWindowIsClosing) {
    control<QLineEdit>("Edit4")->setText("1000");
    pump.events.scheduleIn(10, [&] {
        form->close();
        keys.press(HotKeyAction::ShootScreen);
        click("Button8");
    });
    keys.press(HotKeyAction::TimedSeries);
    EXPECT_EQ(grabber.screenGrabs, 1);
    EXPECT_EQ(finishedCount, 1);
}

TEST_F(Closing, ClosingWhileRecordingWritesTheVideoBeforeTheProgramEnds) {
    pump.events.scheduleIn(12, [&] { form->close(); });
    click("Button10");
    EXPECT_EQ(finishedCount, 1);
    EXPECT_TRUE(errors.empty());
    EXPECT_FALSE(form->VideoOn());
    EXPECT_EQ(decodeWithPillow(paths.defaultFolder + "/video_0.gif", 2).width, 8);
    EXPECT_FALSE(fileExists(paths.defaultFolder + "/video_0.gif.tmp"));
    EXPECT_EQ(IniFile::loadFile(paths.configFile)->value("FileName", "Count"), "1");
}

TEST_F(Closing, ClosingWhileTheHelpWindowIsOpenClosesBoth) {
    form->show();
    QTimer::singleShot(0, [&] { control<QMenu>("PopupMenu1")->findChild<QAction*>("N2")->trigger(); });
    click("Button5");
    EXPECT_EQ(finishedCount, 1);
}

// As the program's entry wires them: a signal or the session's end closes the window.
class ExitRequested : public FormTest {
protected:
    void SetUp() override { startWithExitRequests(); }
    void startWithExitRequests() {
        start();
        exits = std::make_unique<ExitRequests>([this] { return finishedCount > 0; });
        QObject::connect(exits.get(), &ExitRequests::closeRequested, form.get(),
                         [this] { form->close(); });
        control<QLineEdit>("SpinEdit1")->setText("41");
    }
    void expectClosedWithSettingsWritten() {
        EXPECT_TRUE(QTest::qWaitFor([&] { return finishedCount > 0; }, 5000));
        EXPECT_EQ(finishedCount, 1);
        EXPECT_FALSE(keys.registered);
        ASSERT_TRUE(fileExists(paths.configFile));
        EXPECT_EQ(IniFile::loadFile(paths.configFile)->value("FileName", "Count"), "41");
    }
    std::unique_ptr<ExitRequests> exits;
};

TEST_F(ExitRequested, SigtermClosesTheWindow) {
    std::raise(SIGTERM);
    expectClosedWithSettingsWritten();
}

TEST_F(ExitRequested, SighupClosesTheWindow) {
    std::raise(SIGHUP);
    expectClosedWithSettingsWritten();
}

TEST_F(ExitRequested, SigintClosesTheWindowAlsoWhileAnErrorIsShown) {
    // The error box waits for the user, who may be gone: the close does not wait for it.
    exits.reset();
    realErrorBoxes = true;
    startWithExitRequests();
    QTimer::singleShot(0, [] { std::raise(SIGINT); });
    // Should the close wait for the box after all, the test ends it after a while and fails.
    QTimer::singleShot(4000, [&] {
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    control<QLineEdit>("Edit4")->setText("x");
    QElapsedTimer clock;
    clock.start();
    control<QPushButton>("Button6")->click();  // "'x' is not a valid integer value", modal
    EXPECT_LT(clock.elapsed(), 3000) << "the error box held the close back";
    expectClosedWithSettingsWritten();
}

TEST_F(ExitRequested, TheSessionsEndClosesTheWindowInsteadOfQuittingAtOnce) {
    QEvent quit(QEvent::Quit);
    EXPECT_TRUE(QCoreApplication::sendEvent(QCoreApplication::instance(), &quit));
    expectClosedWithSettingsWritten();
}

}  // namespace
}  // namespace fk::test
