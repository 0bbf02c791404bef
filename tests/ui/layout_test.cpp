#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <algorithm>
#include <tuple>

#include "app/about_box.h"
#include "app/language.h"
#include "app/notifier.h"
#include "app/region_selector.h"
#include "form_fixture.h"

namespace fk::test {
namespace {

struct Place {
    const char* name;
    const char* className;
    const char* parent;
    QRect geometry;  // a width or height of -1 is left to the layout
    const char* caption;
};

// Every control at the place the window's design gives it.
const Place kPlaces[] = {
    {"GroupBox5", "QGroupBox", "MainForm", {4, 4, 261, 153}, "[ Путь ]"},
    {"ShellTreeView1", "fk::ShellTreeView", "GroupBox5", {8, 20, 245, 101}, nullptr},
    {"Edit3", "QLineEdit", "GroupBox5", {8, 124, 221, 21}, nullptr},
    {"Button1", "QPushButton", "GroupBox5", {232, 124, 21, 21}, "->"},
    {"GroupBox1", "QGroupBox", "MainForm", {272, 4, 149, 49}, "[ Маска имени файла: ]"},
    {"Mask", "QComboBox", "GroupBox1", {8, 20, 109, -1}, nullptr},
    {"Button9", "QPushButton", "GroupBox1", {120, 20, 21, 21}, "+"},
    {"GroupBox9", "QGroupBox", "MainForm", {424, 4, 109, 49}, "[ Захват курсора ]"},
    {"CaptureCursor", "QCheckBox", "GroupBox9", {-1, -1, -1, -1}, "Использовать"},
    {"GroupBox2", "QGroupBox", "MainForm", {272, 56, 137, 101}, "[ Подставлять цифры ]"},
    {"Label1",
     "QLabel",
     "GroupBox2",
     {-1, -1, -1, -1},
     "Знаки # введенные в маске фала будут заменяться на числа начиная с:"},
    {"SpinEdit1", "fk::SpinEdit", "GroupBox2", {8, 72, 97, 22}, nullptr},
    {"Button4", "QPushButton", "GroupBox2", {108, 72, 21, 21}, "0"},
    {"GroupBox4", "QGroupBox", "MainForm", {412, 56, 121, 53}, "[ Формат снимка ]"},
    {"ComboBox1", "QComboBox", "GroupBox4", {-1, -1, -1, -1}, nullptr},
    {"GroupBox3", "QGroupBox", "MainForm", {412, 112, 121, 45}, "[ Качество JPEG ]"},
    {"Label2", "QLabel", "GroupBox3", {-1, -1, -1, -1}, "100%"},
    {"ScrollBar1", "QScrollBar", "GroupBox3", {-1, -1, -1, -1}, nullptr},
    {"GroupBox11", "QGroupBox", "MainForm", {412, 112, 121, 45}, "[ Палитра GIF ]"},
    {"ComboBox2", "QComboBox", "GroupBox11", {-1, -1, -1, -1}, nullptr},
    {"GroupBox6", "QGroupBox", "MainForm", {4, 160, 261, 37}, "[ Прозрачность окна ]"},
    {"CheckBox1", "QCheckBox", "GroupBox6", {-1, -1, -1, -1}, "Использовать"},
    {"TrackBar1", "QSlider", "GroupBox6", {-1, -1, -1, -1}, nullptr},
    {"GroupBox12", "QGroupBox", "MainForm", {272, 160, 261, 81}, "[ Опции съемки видео ]"},
    {"Label7", "QLabel", "GroupBox12", {-1, -1, -1, -1}, "Формат:"},
    {"ComboBox3", "QComboBox", "GroupBox12", {-1, -1, -1, -1}, nullptr},
    {"ProgressBar1", "QProgressBar", "GroupBox12", {-1, -1, -1, -1}, nullptr},
    {"Button10", "QPushButton", "GroupBox12", {-1, -1, -1, -1}, "Съемка видео"},
    {"Gifspeed", "QWidget", "GroupBox12", {-1, -1, -1, -1}, nullptr},
    {"Label6", "QLabel", "Gifspeed", {-1, -1, -1, -1}, "Скорость:"},
    {"TrackBar2", "QSlider", "Gifspeed", {-1, -1, -1, -1}, nullptr},
    {"Label8", "QLabel", "Gifspeed", {-1, -1, -1, -1}, "10"},
    {"GroupBox7", "QGroupBox", "MainForm", {4, 200, 261, 41}, "[ Задержка снимка ]"},
    {"DelayedShoot", "QCheckBox", "GroupBox7", {-1, -1, -1, -1}, "Задержать съемку на"},
    {"Edit2", "fk::TextBox", "GroupBox7", {-1, -1, -1, -1}, nullptr},
    {"Label3", "QLabel", "GroupBox7", {-1, -1, -1, -1}, "сек."},
    {"GroupBox8", "QGroupBox", "MainForm", {4, 244, 261, 41}, "[ Задержка таймера ]"},
    {"Label5", "QLabel", "GroupBox8", {-1, -1, -1, -1}, "Задержка при съемке по таймеру"},
    {"Edit4", "fk::TextBox", "GroupBox8", {-1, -1, -1, -1}, nullptr},
    {"Label4", "QLabel", "GroupBox8", {-1, -1, -1, -1}, "мс."},
    {"GroupBox10", "QGroupBox", "MainForm", {4, 288, 261, 41}, "[ Опции запуска ]"},
    {"AutoRun", "QCheckBox", "GroupBox10", {-1, -1, -1, -1}, "Автозапуск"},
    {"Minimazed", "QCheckBox", "GroupBox10", {-1, -1, -1, -1}, "Запускать свернутой"},
    {"Button8", "fk::WrapButton", "MainForm", {272, 248, 85, 37}, "Снимок экрана"},
    {"Button7", "fk::WrapButton", "MainForm", {360, 248, 85, 37}, "Снимок окна"},
    {"Button6", "fk::WrapButton", "MainForm", {448, 248, 85, 37}, "Снятие по таймеру"},
    {"Button5", "fk::WrapButton", "MainForm", {272, 288, 85, 37}, "Помощь"},
    {"Button3", "fk::WrapButton", "MainForm", {360, 288, 85, 37}, "Закрыть"},
    {"Button2", "fk::WrapButton", "MainForm", {448, 288, 85, 37}, "Свернуть"},
};

QString captionOf(QWidget* w) {
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    return {};
}

// The room the caption has, and the room it needs, in pixels.
void expectCaptionFits(QWidget* w) {
    const QFontMetrics fm = w->fontMetrics();
    const QString text = captionOf(w);
    if (auto* g = qobject_cast<QGroupBox*>(w)) {
        QStyleOptionGroupBox option;
        option.initFrom(g);
        option.text = g->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect label =
            g->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, g);
        EXPECT_LE(label.right(), g->width() - 1) << qPrintable(text);
        EXPECT_GE(label.width(), fm.horizontalAdvance(text)) << qPrintable(text);
        // The controls start below the caption.
        for (QWidget* child : g->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            EXPECT_GE(child->y(), label.bottom() - 1)
                << qPrintable(child->objectName()) << " under " << qPrintable(text);
    } else if (auto* c = qobject_cast<QCheckBox*>(w)) {
        EXPECT_LE(c->sizeHint().width(), c->width()) << qPrintable(text);
    } else if (w->inherits("fk::WrapButton")) {
        const QRect area = w->rect().adjusted(4, 4, -4, -4);
        const QRect need = fm.boundingRect(area, Qt::AlignCenter | Qt::TextWordWrap, text);
        EXPECT_TRUE(area.contains(need)) << qPrintable(text);
    } else if (auto* b = qobject_cast<QPushButton*>(w)) {
        EXPECT_LE(fm.horizontalAdvance(text) + 4, b->width()) << qPrintable(text);
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        if (l->wordWrap()) {
            const QRect need =
                fm.boundingRect(l->rect(), int(l->alignment()) | Qt::TextWordWrap, text);
            EXPECT_TRUE(l->rect().contains(need)) << qPrintable(text);
        } else {
            EXPECT_LE(fm.horizontalAdvance(text), l->width()) << qPrintable(text);
        }
    }
}

TEST_F(FormTest, EveryControlIsInItsPlaceWithItsCaption) {
    start();
    EXPECT_EQ(form->size(), QSize(537, 333));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());  // no resizing
    for (const Place& p : kPlaces) {
        SCOPED_TRACE(p.name);
        QWidget* w = control<QWidget>(p.name);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->inherits(p.className)) << w->metaObject()->className();
        EXPECT_EQ(w->parentWidget()->objectName(), p.parent);
        const QRect g = w->geometry();
        if (p.geometry.x() >= 0) {
            EXPECT_EQ(g.x(), p.geometry.x());
        }
        if (p.geometry.y() >= 0) {
            EXPECT_EQ(g.y(), p.geometry.y());
        }
        if (p.geometry.width() >= 0) {
            EXPECT_EQ(g.width(), p.geometry.width());
        }
        if (p.geometry.height() >= 0) {
            EXPECT_EQ(g.height(), p.geometry.height());
        }
        // Inside its parent.
        EXPECT_TRUE(w->parentWidget()->rect().contains(g)) << g.x() << "," << g.y();
        if (p.caption) {
            EXPECT_EQ(captionOf(w), QString::fromUtf8(p.caption));
            expectCaptionFits(w);
        }
    }
}

TEST_F(FormTest, NoTwoControlsOverlapExceptTheTwoFormatPanels) {
    start();
    for (const Place& a : kPlaces) {
        for (const Place& b : kPlaces) {
            if (std::string_view(a.name) >= std::string_view(b.name))
                continue;
            QWidget* wa = control<QWidget>(a.name);
            QWidget* wb = control<QWidget>(b.name);
            if (wa->parentWidget() != wb->parentWidget())
                continue;
            const QSet<QString> shared{"GroupBox3", "GroupBox11"};
            if (shared.contains(a.name) && shared.contains(b.name))
                continue;
            EXPECT_FALSE(wa->geometry().intersects(wb->geometry())) << a.name << " and " << b.name;
        }
    }
}

TEST_F(FormTest, WithoutASettingsFileTheWindowsStartValuesStay) {
    start();
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(form->windowTitle(), "Fotokran v0.7");
    EXPECT_EQ(control<QComboBox>("ComboBox1")->currentIndex(), -1);
    EXPECT_EQ(control<QComboBox>("ComboBox2")->currentText(), "Макс. цвет.");
    EXPECT_EQ(control<QComboBox>("ComboBox3")->currentText(), "GIF");
    EXPECT_EQ(control<QScrollBar>("ScrollBar1")->value(), 100);
    EXPECT_EQ(control<QLabel>("Label2")->text(), "100%");
    EXPECT_TRUE(control<QLabel>("Label2")->font().bold());
    EXPECT_EQ(control<QSlider>("TrackBar1")->value(), 255);
    EXPECT_EQ(control<QSlider>("TrackBar1")->minimum(), 100);
    EXPECT_EQ(control<QSlider>("TrackBar2")->value(), 10);
    EXPECT_EQ(control<QSlider>("TrackBar2")->maximum(), 50);
    EXPECT_EQ(control<QLabel>("Label8")->text(), "10");
    EXPECT_TRUE(control<QLabel>("Label8")->font().bold());
    EXPECT_EQ(control<QLineEdit>("Edit2")->text(), "10");
    EXPECT_EQ(control<QLineEdit>("Edit4")->text(), "500");
    EXPECT_EQ(control<QLineEdit>("SpinEdit1")->text(), "0");
    EXPECT_EQ(control<QComboBox>("Mask")->currentText(), "scr_###.jpg");
    EXPECT_EQ(control<QComboBox>("Mask")->count(), 0);
    EXPECT_TRUE(control<QLineEdit>("Edit3")->isReadOnly());
    EXPECT_EQ(control<QLineEdit>("Edit3")->text().toStdString(), paths.defaultFolder);
    for (const char* box : {"CheckBox1", "AutoRun", "Minimazed", "DelayedShoot", "CaptureCursor"})
        EXPECT_FALSE(control<QCheckBox>(box)->isChecked()) << box;
    // No format: neither format panel; the video format is GIF: the speed panel.
    EXPECT_TRUE(control<QWidget>("GroupBox3")->isHidden());
    EXPECT_TRUE(control<QWidget>("GroupBox11")->isHidden());
    EXPECT_FALSE(control<QWidget>("Gifspeed")->isHidden());
    EXPECT_EQ(form->windowOpacity(), 1.0);
    EXPECT_FALSE(form->TimerOn());
    EXPECT_FALSE(form->VideoOn());
}

// The tray menu's entries: caption, name, checkable, enabled; the additions off until asked for.
const std::tuple<QString, QString, bool, bool> kMenuEntries[] = {
    {"Показать", "N1", false, true},
    {"Снимок области", "N4", false, true},
    {"Отменить", "N5", false, false},
    {"Уведомления", "N3", true, true},
    {"Копировать в буфер обмена", "N6", true, true},
    {"Весь рабочий стол", "N7", true, true},
    {"Язык / Language", "N8", false, true},
    {"Выход", "N2", false, true}};

TEST_F(FormTest, TheTrayIconHasItsTipAndMenu) {
    start();
    QSystemTrayIcon* icon = form->trayIcon();
    EXPECT_EQ(icon->toolTip(), "Fotokran v0.7");
    EXPECT_FALSE(icon->icon().isNull());
    auto* menu = control<QMenu>("PopupMenu1");
    const auto& entries = kMenuEntries;
    ASSERT_EQ(menu->actions().size(), qsizetype(std::size(entries)));
    for (size_t i = 0; i < std::size(entries); ++i) {
        const auto& [text, name, checkable, enabled] = entries[i];
        const QAction* action = menu->actions()[qsizetype(i)];
        EXPECT_EQ(action->text(), text);
        EXPECT_EQ(action->objectName(), name);
        EXPECT_EQ(action->isCheckable(), checkable) << name.toStdString();
        EXPECT_EQ(action->isEnabled(), enabled) << name.toStdString();
        if (name != "N3") {
            EXPECT_FALSE(action->isChecked()) << name.toStdString();
        }
    }
    EXPECT_TRUE(keys.registered);
    EXPECT_TRUE(notices.empty());
    // Each language in its own words, the one in effect checked.
    const QList<QAction*> languages = control<QMenu>("LanguageMenu")->actions();
    ASSERT_EQ(languages.size(), 2);
    EXPECT_EQ(languages[0]->text(), "Русский");
    EXPECT_EQ(languages[1]->text(), "English");
    EXPECT_TRUE(languages[0]->isChecked() && !languages[1]->isChecked());
}

bool speaksRussian(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.script() == QChar::Script_Cyrillic; });
}

// Every text of the window and of its controls is translated and lies inside its control.
void expectTranslatedAndFitting(QWidget* window) {
    EXPECT_FALSE(speaksRussian(window->windowTitle())) << qPrintable(window->windowTitle());
    for (QWidget* w : window->findChildren<QWidget*>()) {
        SCOPED_TRACE(w->objectName().toStdString());
        const QString text = captionOf(w);
        EXPECT_FALSE(speaksRussian(text + w->toolTip())) << qPrintable(text + w->toolTip());
        if (!text.isEmpty()) {
            EXPECT_TRUE(w->parentWidget()->rect().contains(w->geometry()));
            expectCaptionFits(w);
        }
        if (auto* list = qobject_cast<QComboBox*>(w)) {
            QStyleOptionComboBox option;
            option.initFrom(list);
            const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                              QStyle::SC_ComboBoxEditField, list);
            for (int i = 0; i < list->count(); ++i) {
                EXPECT_FALSE(speaksRussian(list->itemText(i))) << qPrintable(list->itemText(i));
                EXPECT_LE(list->fontMetrics().horizontalAdvance(list->itemText(i)), field.width())
                    << qPrintable(list->itemText(i));
            }
        }
    }
}

TEST_F(FormTest, InEnglishEveryTextIsTranslatedAndFitsAndRussianComesBack) {
    struct Back {
        ~Back() { applyLanguage("ru"); }
    } back;
    writeConfig("[Format]\nType=-1\n");
    start();
    EXPECT_EQ(startLanguage(paths.configFile, ""), "ru");  // no choice: the texts as written
    control<QAction>("LanguageEn")->trigger();
    EXPECT_EQ(currentLanguage(), "en");
    EXPECT_NE(readConfig().find("Language=en"), std::string::npos);
    EXPECT_EQ(startLanguage(paths.configFile, "ru"), "ru");  // --lang, for one run
    // A window made now speaks the stored language; so do its notes.
    keys.refuse = {HotKeyAction::TimedSeries};
    tray = false;
    opens = false;
    start();
    EXPECT_TRUE(control<QAction>("LanguageEn")->isChecked());
    control<QPushButton>("Button2")->click();  // no tray
    keys.press(HotKeyAction::ShootScreen);     // no format
    control<QPushButton>("Button1")->click();  // no file manager
    ASSERT_EQ(notices.size(), 4u) << qPrintable(
        QStringList(notices.begin(), notices.end()).join("\n"));
    const auto [summary, body] = savedFileNote("/tmp/shot.png");
    notices.insert(notices.end(), {summary, body});
    for (const QString& note : notices)
        EXPECT_FALSE(speaksRussian(note)) << qPrintable(note);
    expectTranslatedAndFitting(form.get());
    for (QAction* entry : control<QMenu>("PopupMenu1")->actions())
        EXPECT_TRUE(entry->objectName() == "N8" || !speaksRussian(entry->text()))
            << qPrintable(entry->text());
    TAboutBox help(form.get(), {});
    help.show();
    QApplication::processEvents();
    expectTranslatedAndFitting(&help);
    RegionSelector selector(pump, desktop);  // made once, while the program idles
    EXPECT_FALSE(speaksRussian(selector.windowTitle()));

    // Back in Russian at once, the open help window too: exactly the texts as written.
    control<QAction>("LanguageRu")->trigger();
    QApplication::processEvents();
    EXPECT_EQ(selector.windowTitle(), "Fotokran: снимок области");
    EXPECT_NE(readConfig().find("Language=ru"), std::string::npos);
    EXPECT_EQ(help.windowTitle(), "Помощь :: О программе");
    EXPECT_EQ(help.findChild<QLabel*>("Hint1")->text().left(11), "Минимальный");
    EXPECT_TRUE(help.findChild<QLabel*>("Hint1")->isVisible());
    for (const Place& p : kPlaces)
        if (p.caption && speaksRussian(QString::fromUtf8(p.caption))) {
            EXPECT_EQ(captionOf(control<QWidget>(p.name)), QString::fromUtf8(p.caption));
        }
    const QList<QAction*> entries = control<QMenu>("PopupMenu1")->actions();
    for (size_t i = 0; i < std::size(kMenuEntries); ++i)
        EXPECT_EQ(entries[qsizetype(i)]->text(), std::get<0>(kMenuEntries[i]));
    EXPECT_EQ(control<QComboBox>("ComboBox2")->itemText(3), "Макс. цвет.");
    EXPECT_EQ(control<QComboBox>("ComboBox3")->itemText(1), "GIF (компактный)");
}

}  // namespace
}  // namespace fk::test
