#include "app/about_box.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

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

    auto* about = group(this, "GroupBox3", "[ О программе ]", {144, 4, 351, 62});
    auto* name = label(about, "ProductName", "Fotokran", {8, 16, 90, 20});
    QFont big = name->font();
    big.setBold(true);
    big.setPixelSize(kUiFontPixels + 5);
    name->setFont(big);
    Version = label(about, "Version", "v", {100, 20, 60, 16});
    label(about, "Comments", "Программа для снятия снимков с экрана", {8, 40, 335, 16});

    auto* author = group(this, "GroupBox4", "[ Автор ]", {144, 70, 351, 68});
    label(author, "Label11", "Проект Fotokran, 2025", {8, 16, 335, 16});
    link(author, "Label12", "Email: fotokran@example.org", "mailto:fotokran@example.org",
         {8, 32, 200, 16});
    link(author, "Label15", "WWW: https://example.org/fotokran", "https://example.org/fotokran",
         {8, 48, 230, 16});

    auto* keys = group(this, "GroupBox7", "[ Горячие клавиши ]", {4, 142, 261, 80});
    for (int i = 0; i < 4; ++i) {
        const int y = 16 + 15 * i;
        const QByteArray n = QByteArray::number(i + 1);
        label(keys, "KeyAction" + n, kKeyRows[i][0], {8, y, 134, 15});
        label(keys, "KeyName" + n, kKeyRows[i][1], {144, y, 113, 15});
    }

    auto* credits =
        group(this, "GroupBox1", "[ При разработке ипользовались ]", {268, 142, 227, 80});
    link(credits, "Label1", "Qt: https://www.qt.io", "https://www.qt.io", {8, 16, 140, 15});
    label(credits, "Label14", "zlib: https://zlib.net", {8, 31, 211, 15});
    label(credits, "Label17", "libjpeg-turbo: https://libjpeg-turbo.org", {8, 46, 211, 15});

    auto* hints = group(this, "GroupBox2", "[ Подсказки ]", {4, 226, 491, 110});
    auto* column = new QVBoxLayout(hints);
    column->setContentsMargins(8, 16, 8, 4);
    column->setSpacing(1);
    for (int i = 0; i < 6; ++i) {
        auto* hint = new QLabel(QString::fromUtf8(kHints[i]), hints);
        hint->setObjectName("Hint" + QByteArray::number(i + 1));
        hint->setWordWrap(true);
        column->addWidget(hint);
    }
    column->addStretch(1);

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("OKButton");
    ok->setGeometry(420, 341, 75, 25);
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
