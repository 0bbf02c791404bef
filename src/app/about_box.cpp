#include "app/about_box.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <algorithm>
#include <vector>

#include "app/language.h"
#include "app/link_label.h"
#include "app/program_icon.h"
#include "app/ui_font.h"

namespace fk {

namespace {

QGroupBox* group(QWidget* parent, const char* name, const QString& caption, QRect r) {
    auto* g = new QGroupBox(caption, parent);
    g->setObjectName(name);
    g->setGeometry(r);
    return g;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, QRect r) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(r);
    return l;
}

const char* const kHints[] = {
    QT_TRANSLATE_NOOP("fk::TAboutBox",
                      "Минимальный размер задержки таймера при \"съемке по таймеру\"  - 10 мс"),
    QT_TRANSLATE_NOOP("fk::TAboutBox",
                      "Что бы поместить маску файла в список сохраняемых - нажмите [+] рядом с "
                      "выпадающим списоком"),
    QT_TRANSLATE_NOOP("fk::TAboutBox",
                      "Подправить все настройки, включая список масок файлов, можно в файле "
                      "config.ini"),
    QT_TRANSLATE_NOOP("fk::TAboutBox",
                      "При возникновении проблем с запуском или закрытием приложения попробуйте "
                      "удалить файл настроек config.ini"),
    QT_TRANSLATE_NOOP("fk::TAboutBox",
                      "При съемке видео в формат GIF используются теже настройки палитры что и "
                      "при снятии экрана"),
    QT_TRANSLATE_NOOP("fk::TAboutBox",
                      "Полупрозрачные окна в кадр не попадают, поэтому используйте режим "
                      "прозрачности для того чтобы окно Fotokran не попадало в кадр"),
};

QString translated(const char* source) {
    return QCoreApplication::translate("fk::TAboutBox", source);
}

constexpr int kGroupGap = 2;
constexpr int kOkTop = 346;
const char* const kBullet = "•";

// The first row of text in a group: just below its frame line.
int firstRow(QGroupBox* g) {
    return g->contentsRect().top() + 1;
}

// Makes the group end a little below the text that ends at `textBottom`.
void fitHeight(QGroupBox* g, int textBottom) {
    const int frameBelow = g->height() - 1 - g->contentsRect().bottom();
    g->resize(g->width(), textBottom + 2 + frameBelow);
}

const char* const kKeyRows[][2] = {
    {QT_TRANSLATE_NOOP("fk::TAboutBox", "Съемка всего экрана:"), "Print Screen (PrnScr)"},
    {QT_TRANSLATE_NOOP("fk::TAboutBox", "Съемка активного окна:"), "Ctrl + PrnScr"},
    {QT_TRANSLATE_NOOP("fk::TAboutBox", "Съемка по таймеру:"), "Shift + PrnScr"},
    {QT_TRANSLATE_NOOP("fk::TAboutBox", "Съемка видео:"), "Shift + ScrollLock"},
    {QT_TRANSLATE_NOOP("fk::TAboutBox", "Снимок области:"), "Ctrl + Shift + PrnScr"},
};

}  // namespace

TAboutBox::TAboutBox(QWidget* owner, std::function<bool(const QUrl&)> openUrl)
    : QDialog(owner), m_openUrl(std::move(openUrl)) {
    setObjectName("AboutBox");
    setFont(uiFont());
    setFixedSize(499, 370);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    build();
}

void TAboutBox::changeEvent(QEvent* event) {
    // The texts' lengths set the layout: the window is built again in the new language.
    if (event->type() == QEvent::LanguageChange && m_language != currentLanguage()) {
        const QString version = Version->text();
        qDeleteAll(findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly));
        build();
        Version->setText(version);
        // Controls made inside a window that shows are hidden until shown.
        if (isVisible())
            for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
                w->show();
    }
    QDialog::changeEvent(event);
}

void TAboutBox::build() {
    m_language = currentLanguage();
    setWindowTitle(tr("Помощь :: О программе"));

    auto* icon = label(this, "ProgramIcon", {}, {8, 8, 128, 128});
    icon->setPixmap(programPixmap(128));
    icon->setScaledContents(true);

    // Every text starts below its group's frame line and ends above the bottom one, each row as
    // tall as the font needs; the groups follow one another from the top.
    const int row = fontMetrics().height() + 1;
    auto* about = group(this, "GroupBox3", tr("[ О программе ]"), {144, 4, 351, 0});
    int y = firstRow(about);
    auto* name = label(about, "ProductName", "Fotokran", {});
    QFont big = name->font();
    big.setBold(true);
    big.setPixelSize(kUiFontPixels + 5);
    name->setFont(big);
    const int nameHeight = name->sizeHint().height();
    name->setGeometry(8, y, 84, nameHeight);
    Version = label(about, "Version", "v", {96, y + nameHeight - row, 60, row});
    y += nameHeight;
    label(about, "Comments", tr("Программа для снятия снимков с экрана"), {8, y, 335, row});
    fitHeight(about, y + row);

    auto* keys = group(this, "GroupBox7", tr("[ Горячие клавиши ]"),
                       {144, about->geometry().bottom() + 1 + kGroupGap, 351, 0});
    y = firstRow(keys);
    // Rows no taller than the font: five keys beside the icon leave the hints their room.
    const int keyRow = fontMetrics().height();
    for (int i = 0; i < int(std::size(kKeyRows)); ++i, y += keyRow) {
        const QByteArray n = QByteArray::number(i + 1);
        label(keys, "KeyAction" + n, translated(kKeyRows[i][0]), {8, y, 150, keyRow});
        label(keys, "KeyName" + n, kKeyRows[i][1], {170, y, 170, keyRow});
    }
    fitHeight(keys, y);

    const int middle =
        std::max(icon->geometry().bottom(), keys->geometry().bottom()) + 1 + kGroupGap;
    auto* author = group(this, "GroupBox4", tr("[ Автор ]"), {4, middle, 240, 0});
    y = firstRow(author);
    label(author, "Label11", tr("Проект Fotokran, 2026"), {8, y, 224, row});
    link(author, "Label12", "Email: fotokran@example.org", "mailto:fotokran@example.org",
         {8, y + row, 224, row});
    link(author, "Label15", "WWW: https://example.org/fotokran", "https://example.org/fotokran",
         {8, y + 2 * row, 224, row});
    fitHeight(author, y + 3 * row);

    auto* credits =
        group(this, "GroupBox1", tr("[ При разработке ипользовались ]"), {248, middle, 247, 0});
    link(credits, "Label1", "Qt: https://www.qt.io", "https://www.qt.io", {8, y, 231, row});
    label(credits, "Label14", "zlib: https://zlib.net", {8, y + row, 231, row});
    label(credits, "Label17", "libjpeg-turbo: https://libjpeg-turbo.org",
          {8, y + 2 * row, 231, row});
    fitHeight(credits, y + 3 * row);

    // The hints fill the rest above the OK button: each behind a bullet, its wrapped lines
    // indented under its own text, with the room that is left spread between them.
    const int hintsTop = author->geometry().bottom() + 1 + kGroupGap;
    auto* hints =
        group(this, "GroupBox2", tr("[ Подсказки ]"), {4, hintsTop, 491, kOkTop - 3 - hintsTop});
    const int bulletWidth = fontMetrics().horizontalAdvance(QString::fromUtf8(kBullet)) + 6;
    const int width = hints->width() - 8 - bulletWidth - 8;
    std::vector<QLabel*> texts;
    int needed = 0;
    for (int i = 0; i < 6; ++i) {
        auto* hint = new QLabel(translated(kHints[i]), hints);
        hint->setObjectName("Hint" + QByteArray::number(i + 1));
        hint->setWordWrap(true);
        hint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        needed += hint->heightForWidth(width);
        texts.push_back(hint);
    }
    const int room = hints->contentsRect().bottom() - firstRow(hints);
    const int spacing = std::clamp((room - needed) / 5, 0, row / 2);
    y = firstRow(hints);
    for (size_t i = 0; i < texts.size(); ++i) {
        const int height = texts[i]->heightForWidth(width);
        texts[i]->setGeometry(8 + bulletWidth, y, width, height);
        auto* bullet =
            label(hints, "Bullet" + QByteArray::number(int(i) + 1), QString::fromUtf8(kBullet),
                  {8, y, bulletWidth, fontMetrics().height()});
        bullet->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        y += height + spacing;
    }

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("OKButton");
    ok->setGeometry(420, kOkTop, 75, 23);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

LinkLabel* TAboutBox::link(QWidget* parent, const char* name, const QString& text,
                           const QString& url, QRect geometry) {
    auto* l = new LinkLabel(text, url, parent);
    l->setObjectName(name);
    l->setGeometry(geometry);
    connect(l, &LinkLabel::clicked, this, [this](const QString& target) {
        // A link that cannot be opened does nothing.
        if (m_openUrl)
            m_openUrl(QUrl(target));
    });
    return l;
}

}  // namespace fk
