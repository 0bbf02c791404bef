#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "app/about_box.h"
#include "app/countdown_window.h"
#include "app/program_icon.h"
#include "app/shell_tree_view.h"
#include "base/exceptions.h"
#include "form_fixture.h"
#include "settings/autostart.h"

namespace fk::test {
namespace {

class Handlers : public FormTest {
protected:
    void SetUp() override { start(); }

    void chooseFormat(int index) {
        auto* box = control<QComboBox>("ComboBox1");
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void click(const char* button) { control<QPushButton>(button)->click(); }
    QString text(const char* edit) { return control<QLineEdit>(edit)->text(); }
    std::vector<std::string> shots() {
        std::vector<std::string> names;
        for (auto& e : std::filesystem::directory_iterator(paths.defaultFolder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(Handlers, ChoosingAFormatShowsItsPanelAndRewritesTheMasksExtension) {
    auto* mask = control<QComboBox>("Mask");
    chooseFormat(4);  // GIF
    EXPECT_FALSE(control<QWidget>("GroupBox11")->isHidden());
    EXPECT_TRUE(control<QWidget>("GroupBox3")->isHidden());
    EXPECT_EQ(mask->currentText(), "scr_###.gif");
    chooseFormat(0);  // JPG
    EXPECT_FALSE(control<QWidget>("GroupBox3")->isHidden());
    EXPECT_TRUE(control<QWidget>("GroupBox11")->isHidden());
    EXPECT_EQ(mask->currentText(), "scr_###.jpg");
    chooseFormat(3);  // PNG: neither panel
    EXPECT_TRUE(control<QWidget>("GroupBox3")->isHidden());
    EXPECT_TRUE(control<QWidget>("GroupBox11")->isHidden());
    const std::pair<const char*, const char*> masks[] = {{"scr_###", "scr_###.png"},
                                                         {"shot.jpg", "shot.png"},
                                                         {"a.jpg.jpg", "a.jpg.png"},
                                                         {"my.dir/name", "my.dir/name.png"}};
    for (auto [before, after] : masks) {
        mask->setEditText(before);
        chooseFormat(3);
        EXPECT_EQ(mask->currentText(), after);
    }
    EXPECT_EQ(mask->count(), 0);  // the list is not touched
}

TEST_F(Handlers, TheBarsShowTheirPositions) {
    control<QScrollBar>("ScrollBar1")->setValue(75);
    EXPECT_EQ(control<QLabel>("Label2")->text(), "75%");
    control<QSlider>("TrackBar2")->setValue(25);
    EXPECT_EQ(control<QLabel>("Label8")->text(), "25");
}

TEST_F(Handlers, TheSpeedPanelFollowsTheVideoFormat) {
    auto* video = control<QComboBox>("ComboBox3");
    video->setCurrentIndex(-1);
    emit video->activated(-1);
    EXPECT_TRUE(control<QWidget>("Gifspeed")->isHidden());
    for (int entry : {1, 0}) {
        video->setCurrentIndex(entry);
        emit video->activated(entry);
        EXPECT_FALSE(control<QWidget>("Gifspeed")->isHidden()) << entry;
    }
    EXPECT_EQ(video->itemText(1), "GIF (компактный)");
}

TEST_F(Handlers, AScreenShotIsWrittenInTheChosenFormatUnderTheNextNumber) {
    chooseFormat(1);  // BMP
    click("Button8");
    click("Button8");
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(shots(), (std::vector<std::string>{"scr_000.bmp", "scr_001.bmp"}));
    EXPECT_EQ(text("SpinEdit1"), "2");
    const DecodedImage image = decodeWithPillow(paths.defaultFolder + "/scr_000.bmp");
    ASSERT_EQ(image.width, 8);
    ASSERT_EQ(image.height, 6);
    EXPECT_EQ(image.at(3, 2), (Color{10, 20, 30}));
}

TEST_F(Handlers, WithNoFormatAShotWritesNothingButTheNumberMovesOnAndTheUserIsToldOncePerPress) {
    const QString note = "Формат снимка не выбран";
    click("Button8");
    EXPECT_TRUE(shots().empty());
    EXPECT_EQ(grabber.screenGrabs, 1);
    EXPECT_EQ(text("SpinEdit1"), "1");
    EXPECT_EQ(notices, std::vector<QString>{note});
    keys.press(HotKeyAction::ShootScreen);
    EXPECT_EQ(notices.size(), 2u);

    // A series of three shots is one press; a shot pressed during it is another.
    control<QLineEdit>("Edit4")->setText("100");
    pump.events.scheduleIn(150, [&] { keys.press(HotKeyAction::ShootScreen); });
    pump.events.scheduleIn(250, [&] { click("Button6"); });
    click("Button6");
    EXPECT_EQ(grabber.screenGrabs, 6);
    EXPECT_EQ(notices, std::vector<QString>(4, note));
    EXPECT_TRUE(errors.empty());

    // With a format, no note.
    chooseFormat(1);
    click("Button8");
    EXPECT_EQ(shots(), std::vector<std::string>{"scr_006.bmp"});
    EXPECT_EQ(notices.size(), 4u);
}

TEST_F(Handlers, TheShotDelayIsWaitedBeforeTheGrab) {
    control<QCheckBox>("DelayedShoot")->setChecked(true);
    control<QLineEdit>("Edit2")->setText("3");
    const int64_t start = clock.now;
    int grabsBefore = -1;
    QString tipWhileWaiting;
    const auto drawn = [&] { return form->trayIcon()->icon().pixmap(64).toImage(); };
    QImage iconWhileWaiting;
    pump.events.schedule(start + 1500, [&] {
        tipWhileWaiting = form->trayIcon()->toolTip();
        iconWhileWaiting = drawn();
    });
    pump.events.schedule(start + 2999, [&] { grabsBefore = grabber.screenGrabs; });
    click("Button8");
    EXPECT_EQ(grabsBefore, 0);
    EXPECT_EQ(grabber.screenGrabs, 1);
    EXPECT_EQ(clock.now, start + 3000);
    EXPECT_EQ(tipWhileWaiting, "Fotokran v0.7: снимок через 2 сек.");
    EXPECT_EQ(form->trayIcon()->toolTip(), "Fotokran v0.7");
    EXPECT_EQ(iconWhileWaiting, countdownIcon(2).pixmap(64).toImage());
    EXPECT_NE(iconWhileWaiting, countdownIcon(3).pixmap(64).toImage());
    EXPECT_EQ(drawn(), programIcon().pixmap(64).toImage());

    // The tray's "Отменить" ends the wait without a shot.
    const int64_t again = clock.now;
    pump.events.schedule(again + 1000, [&] { control<QAction>("N5")->trigger(); });
    click("Button8");
    EXPECT_EQ(grabber.screenGrabs, 1);
    EXPECT_LT(clock.now, again + 3000);
    EXPECT_FALSE(control<QAction>("N5")->isEnabled());

    control<QCheckBox>("DelayedShoot")->setChecked(false);
    control<QLineEdit>("Edit2")->setText("");
    click("Button8");
    EXPECT_EQ(text("Edit2"), "0");
}

TEST_F(Handlers, APastedDelayThatIsNoNumberIsReportedAndNothingIsShot) {
    control<QCheckBox>("DelayedShoot")->setChecked(true);
    control<QLineEdit>("Edit2")->setText("1x");
    click("Button8");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "'1x' is not a valid integer value");
    EXPECT_EQ(grabber.screenGrabs, 0);
    EXPECT_EQ(text("SpinEdit1"), "0");
}

TEST_F(Handlers, TheWindowButtonShootsTheWindowInFront) {
    chooseFormat(1);
    FakeGrabber::Window window;
    window.rect = {100, 50, 4, 3};
    window.picture = Bitmap(4, 3, PixelFormat::Device);
    window.picture.fill({200, 0, 0});
    grabber.windows[77] = window;
    grabber.foreground = 77;
    click("Button7");
    ASSERT_EQ(shots(), std::vector<std::string>{"scr_000.bmp"});
    EXPECT_EQ(decodeWithPillow(paths.defaultFolder + "/scr_000.bmp").at(1, 1), (Color{200, 0, 0}));

    grabber.foreground.reset();
    click("Button7");
    EXPECT_EQ(shots().size(), 1u);
    EXPECT_EQ(text("SpinEdit1"), "1");  // nothing shot, nothing counted
}

TEST_F(Handlers, TheSeriesButtonStartsAndStopsTheSeries) {
    control<QLineEdit>("Edit4")->setText("100");
    QString captionWhileRunning;
    pump.events.scheduleIn(250, [&] {
        captionWhileRunning = control<QPushButton>("Button6")->text();
        EXPECT_TRUE(form->TimerOn());
        click("Button6");
    });
    click("Button6");
    EXPECT_EQ(captionWhileRunning, "СТОП!");
    EXPECT_EQ(control<QPushButton>("Button6")->text(), "Снятие по таймеру");
    EXPECT_FALSE(form->TimerOn());
    EXPECT_EQ(grabber.screenGrabs, 3);
}

TEST_F(Handlers, TheVideoButtonRecordsUntilPressedAgainThenWritesTheVideo) {
    form->show();
    auto* button = control<QPushButton>("Button10");
    auto* progress = control<QProgressBar>("ProgressBar1");
    QString recording, waiting;
    bool enabledWhileWaiting = true;
    pump.events.scheduleIn(12, [&] {
        recording = button->text();
        EXPECT_TRUE(form->VideoOn());
        keys.press(HotKeyAction::Video);  // the key does what the button does
        waiting = button->text();
        enabledWhileWaiting = form->isEnabled();
    });
    // A key pressed while the frames are assembled waits until the video is written.
    int grabsWhenPressed = -1;
    std::vector<int> positions;
    QObject::connect(progress, &QProgressBar::valueChanged, [&](int value) {
        positions.push_back(value);
        if (value == 1) {
            grabsWhenPressed = grabber.screenGrabs;
            keys.press(HotKeyAction::ShootScreen);
            EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
            EXPECT_FALSE(form->isEnabled());
        }
    });
    click("Button10");

    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(recording, "СТОП!");
    EXPECT_EQ(waiting, "ЖДИТЕ!");
    EXPECT_FALSE(enabledWhileWaiting);
    EXPECT_EQ(button->text(), "Съемка видео");
    EXPECT_FALSE(form->VideoOn());
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(positions, (std::vector<int>{1, 2, 3, 0}));
    EXPECT_EQ(progress->maximum(), 3);
    EXPECT_EQ(shots(), std::vector<std::string>{"video_0.gif"});
    EXPECT_EQ(text("SpinEdit1"), "1");
    EXPECT_EQ(decodeWithPillow(paths.defaultFolder + "/video_0.gif", 2).width, 8);
    EXPECT_EQ(grabber.screenGrabs, grabsWhenPressed);

    QApplication::processEvents();  // the waiting key's turn
    EXPECT_EQ(grabber.screenGrabs, grabsWhenPressed + 1);
}

TEST_F(Handlers, TheHelpButtonOpensTheHelpWindowWithTheVersion) {
    form->show();
    control<QCheckBox>("CheckBox1")->setChecked(true);
    QString version;
    size_t excludedWhileOpen = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        version = box->findChild<QLabel*>("Version")->text();
        excludedWhileOpen = grabber.excluded.size();
        box->findChild<QPushButton*>("OKButton")->click();
    });
    click("Button5");
    EXPECT_EQ(version, "v0.7");
    EXPECT_EQ(excludedWhileOpen, 2u);  // both of the program's windows stay out of shots
    EXPECT_EQ(grabber.excluded.size(), 1u);
}

TEST_F(Handlers, MinimisingHidesToTheTrayOrElseToTheTaskBar) {
    form->show();
    click("Button2");
    EXPECT_TRUE(form->isHidden());
    EXPECT_FALSE(form->isMinimized());
    form->DoRestore();
    EXPECT_FALSE(form->isHidden());

    EXPECT_TRUE(notices.empty());

    // Without a tray the window is minimised, and the user is told once how it comes back.
    tray = false;
    for (int i = 0; i < 2; ++i) {
        click("Button2");
        EXPECT_FALSE(form->isHidden());
        EXPECT_TRUE(form->isMinimized());
        form->DoRestore();
        EXPECT_FALSE(form->isMinimized());
    }
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(notices[0].startsWith("Области уведомлений нет")) << qPrintable(notices[0]);
    EXPECT_TRUE(notices[0].contains("Горячие клавиши работают"));
}

// It says so when it cannot: no file manager, or the folder gone.
TEST_F(Handlers, TheFolderButtonOpensTheSelectedFolder) {
    const QString folder = QString::fromStdString(paths.defaultFolder);
    click("Button1");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(folder));
    EXPECT_TRUE(notices.empty());
    opens = false;
    click("Button1");
    std::filesystem::remove_all(paths.defaultFolder);
    click("Button1");
    const std::vector<QString> told = {
        "Папку " + folder + " не удалось открыть: нет программы, которая открывает папки.",
        "Папку " + folder + " не удалось открыть: ее нет."};
    EXPECT_EQ(notices, told);
    EXPECT_EQ(opened.size(), 2u);
}

TEST_F(Handlers, PlusAppendsTheMaskEvenTwice) {
    auto* mask = control<QComboBox>("Mask");
    mask->setEditText("a_##.png");
    click("Button9");
    click("Button9");
    ASSERT_EQ(mask->count(), 2);
    EXPECT_EQ(mask->itemText(0), "a_##.png");
    EXPECT_EQ(mask->itemText(1), "a_##.png");
    EXPECT_EQ(mask->currentText(), "a_##.png");
}

TEST_F(Handlers, ZeroResetsTheRunningNumber) {
    control<QLineEdit>("SpinEdit1")->setText("abc");
    click("Button4");
    EXPECT_EQ(text("SpinEdit1"), "0");
}

TEST_F(Handlers, TheSelectedFolderShowsInThePathBox) {
    auto* tree = control<ShellTreeView>("ShellTreeView1");
    tree->setPath(QString::fromStdString(dir.file("bin")));
    EXPECT_EQ(text("Edit3").toStdString(), dir.file("bin"));
    try {
        tree->setPath("/no/such/folder");
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Error setting path: \"/no/such/folder\"");
    }
    EXPECT_EQ(text("Edit3").toStdString(), dir.file("bin"));
}

TEST_F(Handlers, TheDelayBoxesTakeTypedDigitsOnly) {
    for (const char* name : {"Edit2", "Edit4"}) {
        auto* edit = control<QLineEdit>(name);
        edit->clear();
        QTest::keyClicks(edit, "1a2-3 .");
        EXPECT_EQ(edit->text(), "123") << name;
        QTest::keyClick(edit, Qt::Key_Backspace);
        EXPECT_EQ(edit->text(), "12") << name;
        QTest::keyClick(edit, Qt::Key_Home);
        QTest::keyClick(edit, Qt::Key_Delete);
        EXPECT_EQ(edit->text(), "2") << name;
        // Pasted text is not filtered; the command that reads it reports it.
        QApplication::clipboard()->setText("x9");
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(edit->text(), "2x9") << name;
    }
}

TEST_F(Handlers, TypingStopsAtTenCharactersButAComputedTextIsNeverCut) {
    for (const char* name : {"Edit2", "Edit4", "SpinEdit1"}) {
        auto* edit = control<QLineEdit>(name);
        edit->clear();
        QTest::keyClicks(edit, "123456789012");
        EXPECT_EQ(edit->text(), "1234567890") << name;
        edit->setText("-2147483648");
        EXPECT_EQ(edit->text(), "-2147483648") << name;
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClick(edit, Qt::Key_5);
        EXPECT_EQ(edit->text(), "-2147483648") << name;
        QTest::keyClick(edit, Qt::Key_Backspace);
        EXPECT_EQ(edit->text(), "-214748364") << name;
    }
}

TEST_F(Handlers, TransparencySetsTheOpacityAndKeepsTheWindowOutOfShots) {
    auto* on = control<QCheckBox>("CheckBox1");
    auto* level = control<QSlider>("TrackBar1");
    level->setValue(180);
    EXPECT_EQ(form->windowOpacity(), 1.0);  // the switch is off
    on->setChecked(true);
    EXPECT_NEAR(form->windowOpacity(), 180 / 255.0, 0.005);
    EXPECT_EQ(grabber.excluded, std::vector<WindowHandle>{WindowHandle(form->winId())});
    level->setValue(100);
    EXPECT_NEAR(form->windowOpacity(), 100 / 255.0, 0.005);
    level->setValue(20);  // below the bar's range
    EXPECT_EQ(level->value(), 100);
    on->setChecked(false);
    EXPECT_EQ(form->windowOpacity(), 1.0);
    EXPECT_TRUE(grabber.excluded.empty());
}

// A display that cannot leave the windows out is told once per switching on, also when the
// program's dialogs come and go meanwhile; the shots then show the windows.
TEST_F(Handlers, TransparencyTellsOnceWhenTheDisplayCannotLeaveTheWindowsOut) {
    form->show();
    grabber.exclusionRefusal = "no Composite";
    auto* on = control<QCheckBox>("CheckBox1");
    on->setChecked(true);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(notices[0].startsWith("Окна Fotokran не удастся исключить из снимков экрана"))
        << qPrintable(notices[0]);
    EXPECT_TRUE(notices[0].contains("(no Composite)")) << qPrintable(notices[0]);

    bool helpShown = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        helpShown = true;
        box->findChild<QPushButton*>("OKButton")->click();
    });
    click("Button5");  // the help window opens and closes: the windows to leave out change
    EXPECT_TRUE(helpShown);
    EXPECT_EQ(notices.size(), 1u);

    on->setChecked(false);
    EXPECT_EQ(notices.size(), 1u);
    on->setChecked(true);
    EXPECT_EQ(notices.size(), 2u);
}

TEST_F(Handlers, AutostartWritesAndRemovesTheDesktopEntry) {
    auto* autoRun = control<QCheckBox>("AutoRun");
    autoRun->setChecked(true);
    EXPECT_TRUE(autostartEnabled(paths.autostartFolder));
    const auto bytes = readFileBytes(autostartEntryPath(paths.autostartFolder));
    EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("Exec=\"" + paths.executable + "\"\n"),
              std::string::npos);
    autoRun->setChecked(false);
    EXPECT_FALSE(fileExists(autostartEntryPath(paths.autostartFolder)));
    EXPECT_TRUE(errors.empty());

    // An entry that cannot be removed is told, not taken for gone.
    autoRun->setChecked(true);
    const std::string entry = autostartEntryPath(paths.autostartFolder);
    std::filesystem::remove(entry);
    std::filesystem::create_directories(entry + "/inside");
    autoRun->setChecked(false);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Failed to delete data for 'Fotokran'. Is a directory");
    errors.clear();
    std::filesystem::remove_all(entry);

    std::filesystem::create_directories(paths.autostartFolder);
    std::filesystem::permissions(paths.autostartFolder, std::filesystem::perms::owner_read |
                                                            std::filesystem::perms::owner_exec);
    autoRun->setChecked(true);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Failed to set data for 'Fotokran'");
    EXPECT_TRUE(autoRun->isChecked());  // the box keeps its new state
}

TEST_F(Handlers, TheHotKeysRunTheirCommands) {
    chooseFormat(1);
    keys.press(HotKeyAction::ShootScreen);
    EXPECT_EQ(shots(), std::vector<std::string>{"scr_000.bmp"});

    grabber.windows[5] = {{0, 0, 2, 2}, Bitmap(2, 2, PixelFormat::Device), false};
    grabber.foreground = 5;
    keys.press(HotKeyAction::ShootWindow);
    EXPECT_EQ(grabber.windowGrabs, 1);

    control<QLineEdit>("Edit4")->setText("100");
    pump.events.scheduleIn(150, [&] {
        keys.press(HotKeyAction::ShootScreen);  // a shot nested inside the series' pause
        keys.press(HotKeyAction::TimedSeries);  // and the stop
    });
    keys.press(HotKeyAction::TimedSeries);
    EXPECT_FALSE(form->TimerOn());
    EXPECT_EQ(grabber.screenGrabs, 4);  // one before, two of the series, one nested

    const std::string video =
        paths.defaultFolder + "/video_" + text("SpinEdit1").toStdString() + ".gif";
    pump.events.scheduleIn(20, [&] { keys.press(HotKeyAction::Video); });
    keys.press(HotKeyAction::Video);
    EXPECT_FALSE(form->VideoOn());
    EXPECT_TRUE(fileExists(video));
    EXPECT_TRUE(errors.empty());
}

TEST_F(Handlers, TheTrayIconBringsTheWindowBackAndOpensItsMenu) {
    form->show();
    click("Button2");
    ASSERT_TRUE(form->isHidden());
    emit form->trayIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(form->isHidden());  // the press before it has acted already
    emit form->trayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(form->isHidden());

    click("Button2");
    emit form->trayIcon()->activated(QSystemTrayIcon::Context);
    auto* menu = control<QMenu>("PopupMenu1");
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
    menu->actions()[0]->trigger();  // "Показать"
    EXPECT_FALSE(form->isHidden());
}

class RefusedKeys : public FormTest {};

TEST_F(RefusedKeys, KeysHeldByAnotherProgramAreNamedOnceWithoutABox) {
    keys.refuse = {HotKeyAction::ShootScreen, HotKeyAction::Video, HotKeyAction::ShootRegion};
    start();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(notices[0].contains("Print Screen (PrnScr)"));
    EXPECT_TRUE(notices[0].contains("Shift + ScrollLock"));
    EXPECT_TRUE(notices[0].contains("Ctrl + Shift + PrnScr"));
    EXPECT_FALSE(notices[0].contains("Ctrl + PrnScr"));
    EXPECT_TRUE(errors.empty());
    // The rest of the start-up ran.
    EXPECT_EQ(form->windowTitle(), "Fotokran v0.7");
    EXPECT_EQ(form->trayIcon()->toolTip(), "Fotokran v0.7");
}

}  // namespace
}  // namespace fk::test
