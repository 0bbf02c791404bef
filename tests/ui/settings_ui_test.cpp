#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <filesystem>
#include <random>

#include "app/shell_tree_view.h"
#include "app/window_placement.h"
#include "base/text.h"
#include "form_fixture.h"
#include "settings/ini_file.h"

namespace fk::test {
namespace {

class SettingsOfTheWindow : public FormTest {
protected:
    QString text(const char* name) { return control<QLineEdit>(name)->text(); }
    int index(const char* name) { return control<QComboBox>(name)->currentIndex(); }
    int position(const char* name) { return control<QSlider>(name)->value(); }
    bool checked(const char* name) { return control<QCheckBox>(name)->isChecked(); }

    // Every key is there and reads back as a sound value.
    void expectSoundFile() {
        const std::optional<IniFile> ini = IniFile::loadFile(paths.configFile);
        ASSERT_TRUE(ini);
        const std::pair<const char*, const char*> numbers[] = {
            {"WindowPosition", "X"},      {"WindowPosition", "Y"},    {"WindowPosition", "Alpha"},
            {"Format", "Type"},           {"Format", "JPEG_Quality"}, {"Format", "GIF_palette"},
            {"VideoFormat", "VideoType"}, {"VideoFormat", "GIFSpeed"}};
        for (auto [section, key] : numbers) {
            const auto v = ini->value(section, key);
            ASSERT_TRUE(v) << key;
            EXPECT_TRUE(tryStrToInt(*v)) << key << "=" << *v;
        }
        for (const char* key : {"UseDelay", "CaptureCursor", "Delay", "Timer"})
            EXPECT_TRUE(ini->value("ShootSettings", key)) << key;
        EXPECT_TRUE(ini->value("FileName", "Path"));
        EXPECT_TRUE(ini->value("Masks", "Last"));
    }
};

TEST_F(SettingsOfTheWindow, AFirstStartWritesTheStartValuesWithNoFormat) {
    start();
    closeForm();
    EXPECT_EQ(readConfig(),
              "[WindowPosition]\nX=0\nY=0\nAlpha=255\nUseAlpha=0\nStartMinimazed=0\n\n"
              "[FileName]\nPath=" +
                  paths.defaultFolder +
                  "\nCount=0\n\n"
                  "[Format]\nType=-1\nJPEG_Quality=100\nGIF_palette=3\n\n"
                  "[VideoFormat]\nVideoType=0\nGIFSpeed=10\n\n"
                  "[ShootSettings]\nUseDelay=0\nCaptureCursor=0\nDelay=10\nTimer=500\n\n"
                  "[Masks]\nLast=scr_###.jpg\n\n[Desktop]\nNotifications=1\n");
    EXPECT_FALSE(keys.registered);
    EXPECT_EQ(keys.unregistered, 1);
}

TEST_F(SettingsOfTheWindow, EverySettingSurvivesARestart) {
    start();
    form->move(33, 44);
    control<QSlider>("TrackBar1")->setValue(150);
    control<QCheckBox>("CheckBox1")->setChecked(true);
    control<QCheckBox>("Minimazed")->setChecked(true);
    control<ShellTreeView>("ShellTreeView1")->setPath(QString::fromStdString(dir.file("bin")));
    control<QLineEdit>("SpinEdit1")->setText("41");
    control<QComboBox>("ComboBox1")->setCurrentIndex(4);
    control<QScrollBar>("ScrollBar1")->setValue(60);
    control<QComboBox>("ComboBox2")->setCurrentIndex(1);
    control<QSlider>("TrackBar2")->setValue(33);
    control<QComboBox>("ComboBox3")->setCurrentIndex(1);
    control<QCheckBox>("DelayedShoot")->setChecked(true);
    control<QCheckBox>("CaptureCursor")->setChecked(true);
    control<QLineEdit>("Edit2")->setText("7");
    control<QLineEdit>("Edit4")->setText("250");
    auto* mask = control<QComboBox>("Mask");
    mask->addItems({"a_#.png", "Снимок_##.bmp"});
    mask->setEditText("now_###.gif");
    closeForm();

    start();
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(form->pos(), QPoint(33, 44));
    EXPECT_EQ(position("TrackBar1"), 150);
    EXPECT_TRUE(checked("CheckBox1"));
    EXPECT_NEAR(form->windowOpacity(), 150 / 255.0, 0.005);  // the loaded switch acted
    EXPECT_EQ(grabber.excluded.size(), 1u);
    EXPECT_TRUE(checked("Minimazed"));
    EXPECT_EQ(text("Edit3").toStdString(), dir.file("bin"));
    EXPECT_EQ(text("SpinEdit1"), "41");
    EXPECT_EQ(index("ComboBox1"), 4);
    EXPECT_FALSE(control<QWidget>("GroupBox11")->isHidden());  // the GIF panel
    EXPECT_TRUE(control<QWidget>("GroupBox3")->isHidden());
    EXPECT_EQ(control<QScrollBar>("ScrollBar1")->value(), 60);
    EXPECT_EQ(index("ComboBox2"), 1);
    EXPECT_EQ(position("TrackBar2"), 33);
    EXPECT_EQ(index("ComboBox3"), 1);  // the compact video
    EXPECT_FALSE(control<QWidget>("Gifspeed")->isHidden());
    EXPECT_TRUE(checked("DelayedShoot"));
    EXPECT_TRUE(checked("CaptureCursor"));
    EXPECT_EQ(text("Edit2"), "7");
    EXPECT_EQ(text("Edit4"), "250");
    mask = control<QComboBox>("Mask");
    EXPECT_EQ(mask->currentText(), "now_###.gif");  // loading the format did not rewrite it
    ASSERT_EQ(mask->count(), 2);
    EXPECT_EQ(mask->itemText(1), "Снимок_##.bmp");
}

TEST_F(SettingsOfTheWindow, BadValuesAreNamedInOneBoxAndTheRestIsLoaded) {
    writeConfig(
        "[WindowPosition]\nX=abc\nY=5\nUseAlpha=1\n[Format]\nType=1.5\nJPEG_Quality=40\n"
        "[ShootSettings]\nTimer=300\n");
    start();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0],
              "[WindowPosition] X: 'abc' is not a valid integer value\n"
              "[Format] Type: '1.5' is not a valid integer value");
    EXPECT_EQ(form->pos().y(), 5);
    EXPECT_EQ(index("ComboBox1"), -1);
    EXPECT_EQ(control<QScrollBar>("ScrollBar1")->value(), 40);
    EXPECT_EQ(text("Edit4"), "300");
    EXPECT_TRUE(checked("CheckBox1"));
    // The start-up went on: caption and tray icon are there.
    EXPECT_EQ(form->windowTitle(), "Fotokran v0.7");
    EXPECT_EQ(form->trayIcon()->toolTip(), "Fotokran v0.7");
    closeForm();
    expectSoundFile();
    // Settings that loaded are not lost at the close.
    EXPECT_EQ(IniFile::loadFile(paths.configFile)->value("ShootSettings", "Timer"), "300");
}

TEST_F(SettingsOfTheWindow, OutOfRangeValuesAreLimitedByTheControls) {
    writeConfig(
        "[WindowPosition]\nAlpha=50\n[Format]\nType=9\nJPEG_Quality=500\nGIF_palette=-3\n"
        "[VideoFormat]\nVideoType=2\nGIFSpeed=1\n");
    start();
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(position("TrackBar1"), 100);
    EXPECT_EQ(index("ComboBox1"), -1);
    EXPECT_EQ(control<QScrollBar>("ScrollBar1")->value(), 100);
    EXPECT_EQ(index("ComboBox2"), -1);
    EXPECT_EQ(index("ComboBox3"), -1);
    EXPECT_TRUE(control<QWidget>("Gifspeed")->isHidden());
    EXPECT_EQ(position("TrackBar2"), 5);
    closeForm();
    const IniFile ini = *IniFile::loadFile(paths.configFile);
    EXPECT_EQ(ini.value("WindowPosition", "Alpha"), "100");
    EXPECT_EQ(ini.value("Format", "GIF_palette"), "-1");
}

TEST_F(SettingsOfTheWindow, MissingKeysTakeTheFilesDefaults) {
    writeConfig("[Format]\nType=0\n");
    start();
    EXPECT_EQ(control<QScrollBar>("ScrollBar1")->value(), 80);
    EXPECT_EQ(text("Edit2"), "0");
    EXPECT_EQ(text("Edit4"), "0");
    EXPECT_FALSE(control<QWidget>("GroupBox3")->isHidden());  // JPG
    EXPECT_EQ(text("Edit3").toStdString(), paths.defaultFolder);
}

TEST_F(SettingsOfTheWindow, AFolderThatIsGoneIsReportedAndKeptUnlessTheUserPicksAnother) {
    writeConfig("[FileName]\nPath=/no/such/folder\nCount=9\n");
    start();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "[FileName] Path: Error setting path: \"/no/such/folder\"");
    EXPECT_EQ(text("Edit3").toStdString(), paths.defaultFolder);  // shots do not go to "/"
    EXPECT_EQ(text("SpinEdit1"), "9");
    closeForm();
    EXPECT_EQ(IniFile::loadFile(paths.configFile)->value("FileName", "Path"), "/no/such/folder");

    errors.clear();
    start();
    control<ShellTreeView>("ShellTreeView1")->setPath(QString::fromStdString(dir.file("bin")));
    closeForm();
    EXPECT_EQ(IniFile::loadFile(paths.configFile)->value("FileName", "Path"), dir.file("bin"));
}

TEST_F(SettingsOfTheWindow, WithNoFolderLeftAtAllTheStartUpStillCompletes) {
    paths.defaultFolder = dir.file("gone");
    writeConfig("[FileName]\nPath=/no/such/folder\n");
    start();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "[FileName] Path: Error setting path: \"/no/such/folder\"");
    EXPECT_EQ(form->windowTitle(), "Fotokran v0.7");
    closeForm();
    EXPECT_EQ(IniFile::loadFile(paths.configFile)->value("FileName", "Path"), "/no/such/folder");
}

TEST_F(SettingsOfTheWindow, DuplicatesCountOnceAndTheMaskListDoesNotGrow) {
    writeConfig(
        "[Format]\nType=1\nType=3\n[Masks]\nLast=x.bmp\nMask5=five.bmp\n"
        "[Format]\nType=4\n");
    for (int round = 0; round < 3; ++round) {
        start();
        EXPECT_EQ(index("ComboBox1"), 1);
        ASSERT_EQ(control<QComboBox>("Mask")->count(), 1);
        EXPECT_EQ(control<QComboBox>("Mask")->currentText(), "x.bmp");
        closeForm();
    }
    const std::string text = readConfig();
    EXPECT_EQ(IniFile::parse(text).entries("Masks").size(), 2u);
    // The later duplicate section stays as it was.
    EXPECT_NE(text.find("[Format]\nType=4\n"), std::string::npos);
}

TEST_F(SettingsOfTheWindow, GarbageBinaryAndTruncatedFilesNeverStopTheProgram) {
    std::mt19937 random(11);
    std::string garbage(100000, '\0');
    for (char& c : garbage)
        c = char(random());
    const std::string files[] = {
        garbage,
        "[Format]\nType=4\nJPEG_Qua",
        "[WindowPosition\nX=1\n[[[\n=\n==\n[Masks]\nMask",
        std::string("[Masks]\nLast=a\0b.png\n[Format]\nType=\0", 34),
    };
    for (const std::string& file : files) {
        writeConfig(file);
        errors.clear();
        start();
        EXPECT_EQ(form->windowTitle(), "Fotokran v0.7");
        closeForm();
        expectSoundFile();
    }
}

TEST_F(SettingsOfTheWindow, AHugeFileLoadsAndItsListIsWrittenOnce) {
    std::string file = "[Masks]\nLast=big.png\n";
    for (int i = 0; i < 20000; ++i)
        file += "Mask" + std::to_string(i) + "=m" + std::to_string(i) + ".png\n";
    file += "[Junk]\n" + std::string(500000, 'x') + "\n";  // near the largest file taken
    writeConfig(file);
    start();
    EXPECT_EQ(control<QComboBox>("Mask")->count(), 20000);
    EXPECT_EQ(control<QComboBox>("Mask")->itemText(19999), "m19999.png");
    closeForm();
    EXPECT_EQ(IniFile::loadFile(paths.configFile)->entries("Masks").size(), 20001u);
}

TEST_F(SettingsOfTheWindow, Windows1251TextsAreRead) {
    writeConfig("[Masks]\nLast=\xD1\xED\xE8\xEC\xEE\xEA_###.png\n");  // "Снимок_###.png"
    start();
    EXPECT_EQ(control<QComboBox>("Mask")->currentText(), "Снимок_###.png");
    closeForm();
    EXPECT_NE(readConfig().find("Last=Снимок_###.png\n"), std::string::npos);  // now UTF-8
}

TEST_F(SettingsOfTheWindow, AReadOnlyFileIsReportedAtTheCloseAndLeftAsItWas) {
    const std::string old = "[Format]\nType=1\n";
    writeConfig(old);
    std::filesystem::permissions(paths.configFile, std::filesystem::perms::owner_read);
    start();
    closeForm();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].toStdString(), "Unable to write to " + paths.configFile);
    EXPECT_EQ(readConfig(), old);
    EXPECT_TRUE(form->trayIcon()->isVisible() == false);
}

TEST_F(SettingsOfTheWindow, StartingMinimisedLeavesOnlyTheTrayIconOrElseShowsTheWindowAndSaysWhy) {
    writeConfig("[WindowPosition]\nStartMinimazed=1\n");
    start();
    form->showAtStart();
    EXPECT_TRUE(form->isHidden());
    emit form->trayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(form->isHidden());
    EXPECT_TRUE(notices.empty());

    // Without a tray a hidden or minimised window could leave nothing on the screen.
    tray = false;
    start();
    form->showAtStart();
    EXPECT_FALSE(form->isHidden());
    EXPECT_FALSE(form->isMinimized());
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(notices[0].startsWith("Окно Fotokran не свернуто при запуске."))
        << qPrintable(notices[0]);
    EXPECT_TRUE(notices[0].contains("Области уведомлений нет"));
    EXPECT_TRUE(control<QCheckBox>("Minimazed")->isChecked()) << "the setting itself stays";
    control<QPushButton>("Button2")->click();
    EXPECT_EQ(notices.size(), 1u) << "told once";
}

// A stored position that leaves the title bar off every screen brings the window back onto the
// primary screen; one that leaves it reachable stays.
TEST_F(SettingsOfTheWindow, AWindowStoredOffTheScreenComesBackOntoIt) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const std::pair<QPoint, QPoint> cases[] = {
        {{-5000, -5000}, screen.topLeft()},
        {{10, 99999}, {10, screen.bottom() + 1 - 333 - kTitleBarHeight}},
        {{99999, 20}, {screen.right() + 1 - 537, 20}},
        {{30, 40}, {30, 40}},
        {{-400, 40}, {-400, 40}},  // most of the title bar is off, but enough of it is on
    };
    for (auto [stored, shown] : cases) {
        writeConfig("[WindowPosition]\nX=" + std::to_string(stored.x()) +
                    "\nY=" + std::to_string(stored.y()) + "\n");
        start();
        form->showAtStart();
        EXPECT_EQ(form->pos(), shown) << stored.x() << "," << stored.y();
        closeForm();
        EXPECT_TRUE(readConfig().find("X=" + std::to_string(shown.x()) + "\n") !=
                    std::string::npos);
    }
}

TEST(WindowPlacement, TheTitleBarMustBeReachableOnSomeScreen) {
    const QRect left(-1280, 0, 1280, 1024), primary(0, 0, 1920, 1080), right(1920, 200, 800, 600);
    const QList<QRect> screens{left, primary, right};
    const QSize frame(540, 360);
    struct Case {
        QPoint stored, placed;
    };
    const Case cases[] = {
        {{-1000, 100}, {-1000, 100}},  // on the screen to the left
        {{2000, 300}, {2000, 300}},    // on the screen to the right
        {{2000, 100}, {1380, 100}},    // above the right screen, beside the primary: clamped
        {{1900, 250}, {1900, 250}},    // across two screens, enough on the right one
        {{1900, 150}, {1380, 150}},    // across two, beside the right one: too little
        {{100, -10}, {100, -10}},      // half the title bar above the top: still taken
        {{100, -20}, {100, 0}},        // hardly any of it: moved down
        {{2680, 700}, {1380, 700}},    // 40 pixels of title bar are too few to take it
        {{-5000, -5000}, {0, 0}},     {{500, 99999}, {500, 720}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(reachablePosition(c.stored, frame, screens, primary), c.placed)
            << c.stored.x() << "," << c.stored.y();
    // A window larger than the primary screen goes to its top left.
    EXPECT_EQ(reachablePosition({5000, 5000}, {2000, 1200}, screens, primary), QPoint(0, 0));
}

TEST_F(SettingsOfTheWindow, AutostartIsReadAtStartAndRewrittenWithThisProgramsPath) {
    std::filesystem::create_directories(paths.autostartFolder);
    const std::string entry = paths.autostartFolder + "/Fotokran.desktop";
    writeFileBytes(entry, {});
    {
        const std::string old = "[Desktop Entry]\nType=Application\nExec=/old/place/fotokran\n";
        writeFileBytes(entry, {old.begin(), old.end()});
    }
    start();
    EXPECT_TRUE(checked("AutoRun"));
    const auto bytes = readFileBytes(entry);
    EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("Exec=\"" + paths.executable + "\""),
              std::string::npos);

    const std::string disabled = "[Desktop Entry]\nExec=x\nHidden=true\n";
    writeFileBytes(entry, {disabled.begin(), disabled.end()});
    start();
    EXPECT_FALSE(checked("AutoRun"));
}

}  // namespace
}  // namespace fk::test
