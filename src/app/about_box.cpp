#include "app/about_box.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

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
    "Минимальный размер задержки таймера при \"съемке по таймеру\"  - 10 мс",
    "Что бы поместить маску файла в список сохраняемых - нажмите [+] рядом с выпадающим "
    "списоком",
    "Подправить все настройки, включая список масок файлов, можно в файле config.ini",
    "При возникновении проблем с запуском или закрытием приложения попробуйте удалить файл "
    "настроек config.ini",
    "При съемке видео в формат GIF используются теже настройки палитры что и при снятии экрана",
    "Полупрозрачные окна в кадр не попадают, поэтому используйте режим прозрачности для того "
    "чтобы окно Fotokran не попадало в кадр",
};

const char* const kKeyRows[][2] = {
    {"Съемка всего экрана:", "Print Screen (PrnScr)"},
    {"Съемка активного окна:", "Ctrl + PrnScr"},
    {"Съемка по таймеру:", "Shift + PrnScr"},
    {"Съемка видео:", "Shift + ScrollLock"},
};

}  // namespace

TAboutBox::TAboutBox(QWidget* owner, std::function<bool(const QUrl&)> openUrl)
    : QDialog(owner), m_openUrl(std::move(openUrl)) {
    setObjectName("AboutBox");
    setWindowTitle("Помощь :: О программе");
    setFont(uiFont());
    setFixedSize(499, 370);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);

    auto* icon = label(this, "ProgramIcon", {}, {8, 8, 128, 128});
    icon->setPixmap(programPixmap(128));
    icon->setScaledContents(true);

    auto* about = group(this, "GroupBox3", "[ О программе ]", {144, 4, 351, 50});
    auto* name = label(about, "ProductName", "Fotokran", {8, 14, 84, 19});
    QFont big = name->font();
    big.setBold(true);
    big.setPixelSize(kUiFontPixels + 5);
    name->setFont(big);
    Version = label(about, "Version", "v", {96, 18, 60, 14});
    label(about, "Comments", "Программа для снятия снимков с экрана", {8, 34, 335, 14});

    auto* keys = group(this, "GroupBox7", "[ Горячие клавиши ]", {144, 56, 351, 80});
    for (int i = 0; i < 4; ++i) {
        const int y = 16 + 15 * i;
        const QByteArray n = QByteArray::number(i + 1);
        label(keys, "KeyAction" + n, kKeyRows[i][0], {8, y, 150, 14});
        label(keys, "KeyName" + n, kKeyRows[i][1], {170, y, 170, 14});
    }

    auto* author = group(this, "GroupBox4", "[ Автор ]", {4, 140, 240, 60});
    label(author, "Label11", "Проект Fotokran, 2026", {8, 15, 224, 14});
    link(author, "Label12", "Email: fotokran@example.org", "mailto:fotokran@example.org",
         {8, 29, 224, 14});
    link(author, "Label15", "WWW: https://example.org/fotokran", "https://example.org/fotokran",
         {8, 43, 224, 14});

    auto* credits =
        group(this, "GroupBox1", "[ При разработке ипользовались ]", {248, 140, 247, 60});
    link(credits, "Label1", "Qt: https://www.qt.io", "https://www.qt.io", {8, 15, 231, 14});
    label(credits, "Label14", "zlib: https://zlib.net", {8, 29, 231, 14});
    label(credits, "Label17", "libjpeg-turbo: https://libjpeg-turbo.org", {8, 43, 231, 14});

    auto* hints = group(this, "GroupBox2", "[ Подсказки ]", {4, 202, 491, 140});
    // Each hint as tall as its wrapped text, one under the other.
    int top = 15;
    for (int i = 0; i < 6; ++i) {
        auto* hint = new QLabel(QString::fromUtf8(kHints[i]), hints);
        hint->setObjectName("Hint" + QByteArray::number(i + 1));
        hint->setWordWrap(true);
        const int width = hints->width() - 16;
        hint->setGeometry(8, top, width, hint->heightForWidth(width));
        top += hint->height();
    }

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("OKButton");
    ok->setGeometry(420, 345, 75, 23);
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
