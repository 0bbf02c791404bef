// The main window's controls at their fixed places, and the signals that run their handlers.
#include <QAction>
#include <QActionGroup>
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
#include <tuple>

#include "app/language.h"
#include "app/main_form.h"
#include "app/shell_tree_view.h"
#include "app/spin_edit.h"
#include "app/text_box.h"
#include "app/wrap_button.h"
#include "settings/list_entries.h"

namespace fk {

namespace {

template <class W>
W* place(W* widget, const char* name, QRect geometry) {
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

// The captions are kept by their source texts: a change of language translates them again.
QGroupBox* group(QWidget* parent, const char* name, const char* caption, QRect r) {
    auto* g = place(new QGroupBox(parent), name, r);
    setSourceText(g, caption);
    return g;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption, QRect r) {
    auto* b = place(new QPushButton(parent), name, r);
    setSourceText(b, caption);
    return b;
}

QPushButton* commandButton(QWidget* parent, const char* name, const char* caption, QRect r) {
    auto* b = place(new WrapButton({}, parent), name, r);
    setSourceText(b, caption);
    return b;
}

QLabel* label(QWidget* parent, const char* name, const char* text, QRect r) {
    auto* l = place(new QLabel(parent), name, r);
    setSourceText(l, text);
    return l;
}

// A label that shows a value, not a text of the program's.
QLabel* valueLabel(QWidget* parent, const char* name, const char* value, QRect r) {
    return place(new QLabel(QString::fromUtf8(value), parent), name, r);
}

QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption, QRect r) {
    auto* c = place(new QCheckBox(parent), name, r);
    setSourceText(c, caption);
    return c;
}

template <size_t N>
QComboBox* fixedList(QWidget* parent, const char* name, const char* const (&entries)[N], QRect r) {
    auto* box = place(new QComboBox(parent), name, r);
    for (const char* entry : entries)
        addSourceItem(box, entry);
    return box;
}

QSlider* trackBar(QWidget* parent, const char* name, int min, int max, int position, QRect r) {
    auto* bar = place(new QSlider(Qt::Horizontal, parent), name, r);
    bar->setRange(min, max);
    bar->setValue(position);
    bar->setTickPosition(QSlider::NoTicks);
    return bar;
}

void makeBold(QLabel* l) {
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
}

// What the libraries give the window to show, for the translation.
[[maybe_unused]] constexpr const char* kLibraryTexts[] = {
    QT_TRANSLATE_NOOP("fk::TMainForm", "GIF (компактный)"),
    QT_TRANSLATE_NOOP("fk::TMainForm", "СТОП!"),
    QT_TRANSLATE_NOOP("fk::TMainForm", "ЖДИТЕ!"),
};

constexpr const char* kPaletteEntries[] = {QT_TRANSLATE_NOOP("fk::TMainForm", "Монохромная"),
                                           QT_TRANSLATE_NOOP("fk::TMainForm", "Шкала серого"),
                                           "Windows 256",
                                           QT_TRANSLATE_NOOP("fk::TMainForm", "Макс. цвет.")};

}  // namespace

void TMainForm::createControls() {
    GroupBox5 = group(this, "GroupBox5", QT_TR_NOOP("[ Путь ]"), {4, 4, 261, 153});
    ShellTreeView1 = place(new ShellTreeView(GroupBox5), "ShellTreeView1", {8, 20, 245, 101});
    Edit3 = place(new QLineEdit(GroupBox5), "Edit3", {8, 124, 221, 21});
    Edit3->setReadOnly(true);
    Button1 = button(GroupBox5, "Button1", "->", {232, 124, 21, 21});

    GroupBox1 = group(this, "GroupBox1", QT_TR_NOOP("[ Маска имени файла: ]"), {272, 4, 149, 49});
    Mask = place(new QComboBox(GroupBox1), "Mask", {8, 20, 109, 21});
    Mask->setEditable(true);
    Mask->setInsertPolicy(QComboBox::NoInsert);
    Mask->setEditText("scr_###.jpg");
    Button9 = button(GroupBox1, "Button9", "+", {120, 20, 21, 21});

    GroupBox9 = group(this, "GroupBox9", QT_TR_NOOP("[ Захват курсора ]"), {424, 4, 109, 49});
    CaptureCursor =
        checkBox(GroupBox9, "CaptureCursor", QT_TR_NOOP("Использовать"), {8, 22, 99, 17});

    GroupBox2 = group(this, "GroupBox2", QT_TR_NOOP("[ Подставлять цифры ]"), {272, 56, 137, 101});
    Label1 =
        label(GroupBox2, "Label1",
              QT_TR_NOOP("Знаки # введенные в маске фала будут заменяться на числа начиная с:"),
              {4, 15, 129, 56});
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    SpinEdit1 = place(new SpinEdit(GroupBox2), "SpinEdit1", {8, 72, 97, 22});
    SpinEdit1->setTypedLimit(10);
    Button4 = button(GroupBox2, "Button4", "0", {108, 72, 21, 21});

    GroupBox4 = group(this, "GroupBox4", QT_TR_NOOP("[ Формат снимка ]"), {412, 56, 121, 53});
    ComboBox1 = fixedList(GroupBox4, "ComboBox1", kPictureFormatEntries, {8, 22, 105, 21});
    // A list selects its first entry when it is filled; this one starts with none.
    ComboBox1->setCurrentIndex(-1);

    GroupBox3 = group(this, "GroupBox3", QT_TR_NOOP("[ Качество JPEG ]"), {412, 112, 121, 45});
    Label2 = valueLabel(GroupBox3, "Label2", "100%", {8, 20, 34, 17});
    makeBold(Label2);
    ScrollBar1 = place(new QScrollBar(Qt::Horizontal, GroupBox3), "ScrollBar1", {44, 20, 69, 17});
    ScrollBar1->setRange(0, 100);
    ScrollBar1->setValue(100);

    GroupBox11 = group(this, "GroupBox11", QT_TR_NOOP("[ Палитра GIF ]"), {412, 112, 121, 45});
    ComboBox2 = fixedList(GroupBox11, "ComboBox2", kPaletteEntries, {8, 18, 105, 21});
    ComboBox2->setCurrentIndex(3);

    GroupBox6 = group(this, "GroupBox6", QT_TR_NOOP("[ Прозрачность окна ]"), {4, 160, 261, 37});
    CheckBox1 = checkBox(GroupBox6, "CheckBox1", QT_TR_NOOP("Использовать"), {8, 15, 100, 17});
    TrackBar1 = trackBar(GroupBox6, "TrackBar1", 100, 255, 255, {110, 14, 143, 19});

    GroupBox12 =
        group(this, "GroupBox12", QT_TR_NOOP("[ Опции съемки видео ]"), {272, 160, 261, 81});
    // The list is wide enough to show its longer entry whole.
    Label7 = label(GroupBox12, "Label7", QT_TR_NOOP("Формат:"), {5, 19, 44, 17});
    ComboBox3 = fixedList(GroupBox12, "ComboBox3", kVideoEntries, {51, 16, 121, 21});
    Button10 = button(GroupBox12, "Button10", QT_TR_NOOP("Съемка видео"), {174, 14, 83, 25});
    Gifspeed = place(new QWidget(GroupBox12), "Gifspeed", {4, 40, 253, 22});
    Label6 = label(Gifspeed, "Label6", QT_TR_NOOP("Скорость:"), {4, 3, 60, 17});
    TrackBar2 = trackBar(Gifspeed, "TrackBar2", 5, 50, 10, {66, 2, 150, 19});
    Label8 = valueLabel(Gifspeed, "Label8", "10", {222, 3, 28, 17});
    makeBold(Label8);
    ProgressBar1 = place(new QProgressBar(GroupBox12), "ProgressBar1", {8, 64, 245, 11});
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setValue(0);

    GroupBox7 = group(this, "GroupBox7", QT_TR_NOOP("[ Задержка снимка ]"), {4, 200, 261, 41});
    DelayedShoot =
        checkBox(GroupBox7, "DelayedShoot", QT_TR_NOOP("Задержать съемку на"), {8, 18, 142, 17});
    Edit2 = place(new TextBox(GroupBox7), "Edit2", {152, 15, 68, 21});
    Edit2->setText("10");
    Edit2->setTypedLimit(10);
    Label3 = label(GroupBox7, "Label3", QT_TR_NOOP("сек."), {226, 18, 30, 17});

    GroupBox8 = group(this, "GroupBox8", QT_TR_NOOP("[ Задержка таймера ]"), {4, 244, 261, 41});
    Label5 =
        label(GroupBox8, "Label5", QT_TR_NOOP("Задержка при съемке по таймеру"), {8, 18, 183, 17});
    Edit4 = place(new TextBox(GroupBox8), "Edit4", {193, 15, 40, 21});
    Edit4->setText("500");
    Edit4->setTypedLimit(10);
    Label4 = label(GroupBox8, "Label4", QT_TR_NOOP("мс."), {237, 18, 20, 17});

    GroupBox10 = group(this, "GroupBox10", QT_TR_NOOP("[ Опции запуска ]"), {4, 288, 261, 41});
    AutoRun = checkBox(GroupBox10, "AutoRun", QT_TR_NOOP("Автозапуск"), {8, 18, 90, 17});
    Minimazed =
        checkBox(GroupBox10, "Minimazed", QT_TR_NOOP("Запускать свернутой"), {104, 18, 150, 17});

    Button8 = commandButton(this, "Button8", QT_TR_NOOP("Снимок экрана"), {272, 248, 85, 37});
    Button7 = commandButton(this, "Button7", QT_TR_NOOP("Снимок окна"), {360, 248, 85, 37});
    Button6 = commandButton(this, "Button6", QT_TR_NOOP("Снятие по таймеру"), {448, 248, 85, 37});
    Button5 = commandButton(this, "Button5", QT_TR_NOOP("Помощь"), {272, 288, 85, 37});
    Button3 = commandButton(this, "Button3", QT_TR_NOOP("Закрыть"), {360, 288, 85, 37});
    Button2 = commandButton(this, "Button2", QT_TR_NOOP("Свернуть"), {448, 288, 85, 37});

    m_tray = new QSystemTrayIcon(this);
    m_tray->setObjectName("TrayIcon");
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    auto entry = [this](const char* name, const char* caption, bool checkable) {
        QAction* action = PopupMenu1->addAction(QString());
        action->setObjectName(name);
        setSourceText(action, caption);
        action->setCheckable(checkable);
        return action;
    };
    N1 = entry("N1", QT_TR_NOOP("Показать"), false);
    N4 = entry("N4", QT_TR_NOOP("Снимок области"), false);
    N5 = entry("N5", QT_TR_NOOP("Отменить"), false);
    N5->setEnabled(false);  // while a delayed shot waits
    N3 = entry("N3", QT_TR_NOOP("Уведомления"), true);
    N3->setChecked(true);
    N6 = entry("N6", QT_TR_NOOP("Копировать в буфер обмена"), true);
    N7 = entry("N7", QT_TR_NOOP("Весь рабочий стол"), true);
    // Named in both languages, and each language in its own: readable whichever is in effect.
    LanguageMenu = PopupMenu1->addMenu("Язык / Language");
    LanguageMenu->setObjectName("LanguageMenu");
    LanguageMenu->menuAction()->setObjectName("N8");
    auto* languages = new QActionGroup(LanguageMenu);
    for (const auto& [name, caption, language] :
         {std::tuple{"LanguageRu", "Русский", "ru"}, std::tuple{"LanguageEn", "English", "en"}}) {
        QAction* action = LanguageMenu->addAction(QString::fromUtf8(caption));
        action->setObjectName(name);
        action->setCheckable(true);
        action->setData(QString::fromLatin1(language));
        languages->addAction(action);
    }
    N2 = entry("N2", QT_TR_NOOP("Выход"), false);
}

void TMainForm::connectHandlers() {
    auto onClick = [this](QPushButton* b, void (TMainForm::*handler)()) {
        connect(b, &QPushButton::clicked, this,
                [this, handler] { run([=, this] { (this->*handler)(); }); });
    };
    onClick(Button8, &TMainForm::Button8Click);
    onClick(Button7, &TMainForm::Button7Click);
    onClick(Button6, &TMainForm::Button6Click);
    onClick(Button10, &TMainForm::VideoToggle);
    onClick(Button5, &TMainForm::Button5Click);
    onClick(Button3, &TMainForm::Button3Click);
    onClick(Button2, &TMainForm::Button2Click);
    onClick(Button1, &TMainForm::Button1Click);
    onClick(Button9, &TMainForm::Button9Click);
    onClick(Button4, &TMainForm::Button4Click);

    connect(ShellTreeView1, &ShellTreeView::changed, this,
            [this](const QString& path) { run([&] { ShellTreeView1Change(path); }); });
    // The user's choice only; a loaded format does not rewrite the mask.
    connect(ComboBox1, &QComboBox::activated, this, [this] { run([this] { ComboBox1Change(); }); });
    connect(ComboBox3, &QComboBox::activated, this, [this] { run([this] { ComboBox3Change(); }); });
    connect(ScrollBar1, &QScrollBar::valueChanged, this,
            [this] { run([this] { ScrollBar1Change(); }); });
    connect(TrackBar2, &QSlider::valueChanged, this,
            [this] { run([this] { TrackBar2Change(); }); });
    // A loaded value runs the action as a click would.
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { run([this] { CheckBox1Click(); }); });
    // A display that draws the cursor into its grabs itself is told before each grab.
    connect(CaptureCursor, &QCheckBox::toggled, this,
            [this](bool on) { grabber().setCursorInGrabs(on); });
    connect(TrackBar1, &QSlider::valueChanged, this,
            [this] { run([this] { TrackBar1Change(); }); });
    connect(AutoRun, &QCheckBox::toggled, this, [this] { run([this] { AutoRunClick(); }); });
    Edit2->setKeyFilter([this](QChar c) { return Edit2KeyPress(c); });
    Edit4->setKeyFilter([this](QChar c) { return Edit2KeyPress(c); });

    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        run([=, this] { TrayIconActivated(r); });
    });
    connect(N1, &QAction::triggered, this, [this] { run([this] { N1Click(); }); });
    connect(N2, &QAction::triggered, this, [this] { run([this] { N2Click(); }); });
    connect(N4, &QAction::triggered, this, [this] { run([this] { RegionMenuClick(); }); });
    connect(N5, &QAction::triggered, this, [this] { run([this] { CancelClick(); }); });
    connect(N7, &QAction::toggled, this, [this] { run([this] { WholeDesktopClick(); }); });
    for (QAction* language : LanguageMenu->actions())
        connect(language, &QAction::triggered, this, [this, language] {
            run([this, language] { LanguageClick(language->data().toString().toStdString()); });
        });
}

}  // namespace fk
