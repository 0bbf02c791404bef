// The main window's side of the settings file and of the autostart entry.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <utility>

#include "app/form_text.h"
#include "app/main_form.h"
#include "app/shell_tree_view.h"
#include "app/spin_edit.h"
#include "app/text_box.h"
#include "base/exceptions.h"
#include "capture/stale_files.h"
#include "settings/autostart.h"
#include "settings/ini_file.h"
#include "settings/settings_store.h"

namespace fk {

namespace {

std::string str(const QString& s) {
    return s.toStdString();
}

// A stored index that names no entry leaves the list without a selection.
void selectIndex(QComboBox* box, int index) {
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}

}  // namespace

class MainFormSettings final : public SettingsControls {
public:
    explicit MainFormSettings(TMainForm& form) : f(form) {}

    int windowLeft() override { return f.pos().x(); }
    void setWindowLeft(int x) override { f.move(x, f.pos().y()); }
    int windowTop() override { return f.pos().y(); }
    void setWindowTop(int y) override { f.move(f.pos().x(), y); }
    int alpha() override { return f.TrackBar1->value(); }
    void setAlpha(int level) override { f.TrackBar1->setValue(level); }
    bool useAlpha() override { return f.CheckBox1->isChecked(); }
    void setUseAlpha(bool on) override { f.CheckBox1->setChecked(on); }
    bool startMinimized() override { return f.Minimazed->isChecked(); }
    void setStartMinimized(bool on) override { f.Minimazed->setChecked(on); }

    std::string folder() override {
        if (f.m_keptFolder)
            return *f.m_keptFolder;
        const std::string path = str(f.ShellTreeView1->path());
        // A default folder not made yet would be a folder that cannot be selected next time.
        if (f.m_folderToMake == path && !std::filesystem::is_directory(path))
            return {};
        return path;
    }
    void setFolder(const std::string& path) override { f.selectFolder(path); }
    std::string counterText() override { return str(f.SpinEdit1->text()); }
    void setCounterText(const std::string& text) override { f.SpinEdit1->setText(qs(text)); }

    int formatIndex() override { return f.ComboBox1->currentIndex(); }
    void setFormatIndex(int index) override { selectIndex(f.ComboBox1, index); }
    int jpegQuality() override { return f.ScrollBar1->value(); }
    void setJpegQuality(int quality) override { f.ScrollBar1->setValue(quality); }
    int gifPalette() override { return f.ComboBox2->currentIndex(); }
    void setGifPalette(int index) override { selectIndex(f.ComboBox2, index); }

    int videoType() override { return f.ComboBox3->currentIndex(); }
    void setVideoType(int index) override { selectIndex(f.ComboBox3, index); }
    int gifSpeed() override { return f.TrackBar2->value(); }
    void setGifSpeed(int position) override { f.TrackBar2->setValue(position); }

    bool useDelay() override { return f.DelayedShoot->isChecked(); }
    void setUseDelay(bool on) override { f.DelayedShoot->setChecked(on); }
    bool captureCursor() override { return f.CaptureCursor->isChecked(); }
    void setCaptureCursor(bool on) override { f.CaptureCursor->setChecked(on); }
    std::string delayText() override { return str(f.Edit2->text()); }
    void setDelayText(const std::string& text) override { f.Edit2->setText(qs(text)); }
    std::string timerText() override { return str(f.Edit4->text()); }
    void setTimerText(const std::string& text) override { f.Edit4->setText(qs(text)); }

    std::string lastMask() override { return str(f.Mask->currentText()); }
    void setLastMask(const std::string& text) override { f.Mask->setEditText(qs(text)); }
    std::vector<std::string> masks() override {
        std::vector<std::string> list;
        for (int i = 0; i < f.Mask->count(); ++i)
            list.push_back(str(f.Mask->itemText(i)));
        return list;
    }
    void setMasks(const std::vector<std::string>& masks) override {
        // Filling the list would put its first entry into the text.
        const QString text = f.Mask->currentText();
        QStringList items;
        items.reserve(qsizetype(masks.size()));
        for (const std::string& m : masks)
            items << qs(m);
        f.Mask->clear();
        f.Mask->addItems(items);
        f.Mask->setEditText(text);
    }
    bool notifications() override { return f.N3->isChecked(); }
    void setNotifications(bool on) override { f.N3->setChecked(on); }
    bool copyToClipboard() override { return f.N6->isChecked(); }
    void setCopyToClipboard(bool on) override { f.N6->setChecked(on); }
    bool wholeDesktop() override { return f.N7->isChecked(); }
    void setWholeDesktop(bool on) override { f.N7->setChecked(on); }
    std::string lastRegion() override { return f.m_lastRegion; }
    void setLastRegion(const std::string& region) override { f.m_lastRegion = region; }

private:
    TMainForm& f;
};

void TMainForm::selectFolder(const std::string& path) {
    m_applyingFolder = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_applyingFolder};
    ShellTreeView1->setPath("/");
    if (path.empty())
        return selectDefaultFolder();
    try {
        ShellTreeView1->setPath(qs(path));
    } catch (const Exception&) {
        // Shots must not go to "/"; the stored folder is kept for the next start.
        selectDefaultFolder();
        m_keptFolder = path;
        throw;
    }
}

void TMainForm::selectDefaultFolder() {
    try {
        ShellTreeView1->setPath(qs(m_paths.defaultFolder), MissingFolder::Allowed);
        m_folderToMake.reset();
        if (!std::filesystem::is_directory(m_paths.defaultFolder))
            m_folderToMake = str(ShellTreeView1->path());
    } catch (const Exception&) {
        // Not even the home folder is there; the tree stays where it is.
    }
}

void TMainForm::makeDefaultFolderIfDue(const std::string& folder) {
    if (m_folderToMake != folder)
        return;
    m_folderToMake.reset();
    std::error_code ignored;  // a folder that cannot be made fails the save, which says so
    std::filesystem::create_directories(folder, ignored);
}

void TMainForm::saveSettingsSoon() {
    m_settingsDirty = true;
    if (!m_saveTimer->isActive())
        m_saveTimer->start();
}

void TMainForm::saveSettingsNow() {
    if (!m_settingsDirty || m_finished)
        return;
    m_saveTimer->stop();
    m_settingsDirty = false;
    try {
        SaveSettings();
        m_saveFailureTold = false;
    } catch (const std::exception& e) {
        // The close tries again and says so in its note.
        if (!std::exchange(m_saveFailureTold, true))
            std::cerr << "Fotokran: " << e.what() << std::endl;
    }
}

void TMainForm::LoadSettings() {
    MainFormSettings controls(*this);
    std::vector<std::string> errors;
    try {
        if (std::optional<IniFile> ini = IniFile::loadFile(m_paths.configFile))
            errors = fk::LoadSettings(*ini, controls);
        else
            selectFolder({});
    } catch (const Exception& e) {
        errors.push_back(e.what());
        selectDefaultFolder();
    }
    try {
        AutoRun->setChecked(autostartEnabled(m_paths.autostartFolder));
    } catch (const Exception& e) {
        errors.push_back(e.what());  // the entry stays as it is: the box is not touched
    }
    // What a run that ended abruptly left behind in the folders the program writes to.
    const auto now = std::chrono::system_clock::now();
    for (const std::string& folder :
         {controls.folder(), std::filesystem::path(m_paths.configFile).parent_path().string(),
          m_paths.autostartFolder})
        removeStaleTemporaryFiles(folder, now);

    updatePanels();
    updateSpeedPanel();

    if (!errors.empty()) {
        QStringList lines;
        for (const std::string& e : errors)
            lines << QString::fromUtf8(e);
        showError(lines.join('\n'));
    }
}

void TMainForm::SaveSettings() {
    MainFormSettings controls(*this);
    SaveSettingsFile(m_paths.configFile, controls);
}

void TMainForm::AutoRunClick() {
    if (AutoRun->isChecked())
        writeAutostartEntry(m_paths.autostartFolder, m_paths.executable);
    else
        removeAutostartEntry(m_paths.autostartFolder);
}

}  // namespace fk
