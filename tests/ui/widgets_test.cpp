#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <filesystem>

#include "app/about_box.h"
#include "app/link_label.h"
#include "app/shell_tree_view.h"
#include "app/spin_edit.h"
#include "support/test_support.h"

namespace fk::test {
namespace {

namespace fs = std::filesystem;

TEST(SpinEdit, StepsByOneWithButtonsKeysAndWheelWithoutBounds) {
    SpinEdit spin;
    spin.setText("5");
    QTest::keyClick(&spin, Qt::Key_Up);
    EXPECT_EQ(spin.text(), "6");
    QTest::keyClick(&spin, Qt::Key_Down);
    QTest::keyClick(&spin, Qt::Key_Down);
    EXPECT_EQ(spin.text(), "4");
    spin.findChild<QToolButton*>("SpinUp")->click();
    EXPECT_EQ(spin.text(), "5");
    spin.findChild<QToolButton*>("SpinDown")->click();
    EXPECT_EQ(spin.text(), "4");
    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&spin, &wheel);
    EXPECT_EQ(spin.text(), "5");

    spin.setText("abc");  // no number: counts as 0
    EXPECT_EQ(spin.value(), 0);
    QTest::keyClick(&spin, Qt::Key_Up);
    EXPECT_EQ(spin.text(), "1");
    spin.setValue(-3);
    EXPECT_EQ(spin.text(), "-3");
    spin.setValue(INT32_MAX);
    spin.stepBy(1);
    EXPECT_EQ(spin.value(), INT32_MIN);
    spin.stepBy(-1);
    EXPECT_EQ(spin.text(), "2147483647");
}

class FolderTree : public ::testing::Test {
protected:
    TempDir dir;
    ShellTreeView tree;

    QString selectedInTree() {
        auto* model = tree.model();
        const QModelIndex i = tree.currentIndex();
        return i.isValid() ? model->data(i, Qt::DisplayRole).toString() : QString();
    }
};

TEST_F(FolderTree, AGivenPathIsReportedAtOnceAndSelectedWhenRead) {
    fs::create_directories(dir.file("a/b/c"));
    std::vector<QString> reported;
    QObject::connect(&tree, &ShellTreeView::changed,
                     [&](const QString& p) { reported.push_back(p); });
    tree.setPath(QString::fromStdString(dir.file("a/b/c/")));
    EXPECT_EQ(tree.path().toStdString(), dir.file("a/b/c"));
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return selectedInTree() == "c"; }, 5000));
    // Shown: every folder above it is open, and the view has scrolled to it.
    tree.resize(245, 101);
    tree.show();
    QApplication::processEvents();
    for (QModelIndex up = tree.currentIndex().parent(); up.isValid(); up = up.parent())
        EXPECT_TRUE(tree.isExpanded(up)) << qPrintable(up.data().toString());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return tree.viewport()->rect().contains(tree.visualRect(tree.currentIndex())); },
        5000));
}

TEST_F(FolderTree, ARightClickSelectsTheFolderUnderIt) {
    fs::create_directories(dir.file("x/left"));
    fs::create_directories(dir.file("x/right"));
    tree.resize(245, 300);
    tree.show();
    tree.setPath(QString::fromStdString(dir.file("x/left")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return selectedInTree() == "left"; }, 5000));
    QModelIndex other;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QModelIndex parent = tree.currentIndex().parent();
            for (int r = 0; r < tree.model()->rowCount(parent); ++r)
                if (tree.model()->index(r, 0, parent).data().toString() == "right")
                    other = tree.model()->index(r, 0, parent);
            return other.isValid();
        },
        5000));
    tree.scrollTo(other);
    QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, tree.visualRect(other).center());
    EXPECT_EQ(tree.path().toStdString(), dir.file("x/right"));
}

TEST_F(FolderTree, HiddenFoldersShowOnlyOnTheSelectedPath) {
    fs::create_directories(dir.file(".hidden/inner"));
    fs::create_directories(dir.file(".other"));
    tree.setPath(QString::fromStdString(dir.file(".hidden/inner")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return selectedInTree() == "inner"; }, 5000));
    const QModelIndex hidden = tree.currentIndex().parent();
    EXPECT_EQ(tree.model()->data(hidden).toString(), ".hidden");
    const QModelIndex folder = hidden.parent();
    QStringList names;
    for (int r = 0; r < tree.model()->rowCount(folder); ++r)
        names << tree.model()->data(tree.model()->index(r, 0, folder)).toString();
    EXPECT_TRUE(names.contains(".hidden"));
    EXPECT_FALSE(names.contains(".other"));
}

TEST_F(FolderTree, AFolderThatDisappearsStaysSelectedAndIsShownAgainWhenItComesBack) {
    const std::string gone = dir.file("keep/gone");
    fs::create_directories(gone);
    tree.setPath(QString::fromStdString(gone));
    ASSERT_TRUE(QTest::qWaitFor([&] { return selectedInTree() == "gone"; }, 5000));
    fs::remove(gone);
    EXPECT_TRUE(QTest::qWaitFor([&] { return selectedInTree() == "keep"; }, 5000));
    EXPECT_EQ(tree.path().toStdString(), gone);
    fs::create_directory(gone);
    EXPECT_TRUE(QTest::qWaitFor([&] { return selectedInTree() == "gone"; }, 5000));
    EXPECT_EQ(tree.path().toStdString(), gone);
}

TEST(AboutBox, ShowsEveryGroupHintAndKey) {
    TAboutBox box(nullptr, {});
    EXPECT_EQ(box.windowTitle(), "Помощь :: О программе");
    EXPECT_EQ(box.size(), QSize(499, 370));
    EXPECT_EQ(box.Version->text(), "v");  // the main window sets the version
    const std::pair<const char*, const char*> groups[] = {
        {"GroupBox3", "[ О программе ]"},
        {"GroupBox4", "[ Автор ]"},
        {"GroupBox7", "[ Горячие клавиши ]"},
        {"GroupBox1", "[ При разработке ипользовались ]"},
        {"GroupBox2", "[ Подсказки ]"}};
    for (auto [name, title] : groups) {
        auto* g = box.findChild<QGroupBox*>(name);
        ASSERT_NE(g, nullptr) << name;
        EXPECT_EQ(g->title(), QString::fromUtf8(title));
        EXPECT_TRUE(box.rect().contains(g->geometry())) << name;
    }
    auto textOf = [&](const QString& name) {
        auto* l = box.findChild<QLabel*>(name);
        return l ? l->text() : QString("<missing %1>").arg(name);
    };
    EXPECT_EQ(textOf("ProductName"), "Fotokran");
    EXPECT_EQ(textOf("Comments"), "Программа для снятия снимков с экрана");
    const char* const rows[][2] = {{"Съемка всего экрана:", "Print Screen (PrnScr)"},
                                   {"Съемка активного окна:", "Ctrl + PrnScr"},
                                   {"Съемка по таймеру:", "Shift + PrnScr"},
                                   {"Съемка видео:", "Shift + ScrollLock"},
                                   {"Снимок области:", "Ctrl + Shift + PrnScr"}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(textOf(QString("KeyAction%1").arg(i + 1)), QString::fromUtf8(rows[i][0]));
        EXPECT_EQ(textOf(QString("KeyName%1").arg(i + 1)), QString::fromUtf8(rows[i][1]));
    }
    const char* const hints[] = {
        "Минимальный размер задержки таймера при \"съемке по таймеру\"  - 10 мс",
        "Что бы поместить маску файла в список сохраняемых - нажмите [+] рядом с выпадающим "
        "списоком",
        "Подправить все настройки, включая список масок файлов, можно в файле config.ini",
        "При возникновении проблем с запуском или закрытием приложения попробуйте удалить "
        "файл настроек config.ini",
        "При съемке видео в формат GIF используются теже настройки палитры что и при снятии "
        "экрана",
        "Полупрозрачные окна в кадр не попадают, поэтому используйте режим прозрачности для "
        "того чтобы окно Fotokran не попадало в кадр"};
    auto* hintGroup = box.findChild<QGroupBox*>("GroupBox2");
    box.show();
    QApplication::processEvents();
    int previousBottom = -1;
    for (int i = 0; i < 6; ++i) {
        auto* hint = box.findChild<QLabel*>(QString("Hint%1").arg(i + 1));
        ASSERT_NE(hint, nullptr);
        EXPECT_EQ(hint->text(), QString::fromUtf8(hints[i]));
        // The whole hint is shown inside its group, below the one before it, behind a bullet on
        // its first line; its wrapped lines stay indented under its own text.
        EXPECT_GE(hint->height(), hint->heightForWidth(hint->width())) << i;
        EXPECT_TRUE(hintGroup->rect().contains(hint->geometry())) << i;
        EXPECT_GT(hint->y(), previousBottom) << i;
        previousBottom = hint->geometry().bottom();
        auto* bullet = box.findChild<QLabel*>(QString("Bullet%1").arg(i + 1));
        ASSERT_NE(bullet, nullptr) << i;
        EXPECT_EQ(bullet->text(), "•");
        EXPECT_EQ(bullet->y(), hint->y()) << i;
        EXPECT_LE(bullet->geometry().right(), hint->x()) << i;
        EXPECT_EQ(hint->alignment() & Qt::AlignVertical_Mask, Qt::AlignTop) << i;
    }
    // No text touches a frame line: every text lies in its group's inner area, below the line
    // that runs under the group's caption.
    for (QGroupBox* g : box.findChildren<QGroupBox*>())
        for (QLabel* l : g->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
            EXPECT_TRUE(g->contentsRect().adjusted(0, 1, 0, 0).contains(l->geometry()))
                << qPrintable(l->objectName()) << " in " << qPrintable(g->objectName());
    for (QGroupBox* a : box.findChildren<QGroupBox*>())
        for (QGroupBox* b : box.findChildren<QGroupBox*>())
            EXPECT_TRUE(a == b || !a->geometry().intersects(b->geometry()))
                << qPrintable(a->objectName()) << " and " << qPrintable(b->objectName());
    EXPECT_GT(box.findChild<QPushButton*>("OKButton")->y(), hintGroup->geometry().bottom());
    // Every single-line text fits its label.
    for (QLabel* l : box.findChildren<QLabel*>()) {
        if (l->wordWrap() || l->objectName() == "ProgramIcon")
            continue;
        EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->width())
            << qPrintable(l->objectName());
        EXPECT_TRUE(l->parentWidget()->rect().contains(l->geometry()))
            << qPrintable(l->objectName());
    }
    // Credits name what the program really uses.
    EXPECT_TRUE(textOf("Label1").contains("https://www.qt.io"));
    EXPECT_TRUE(textOf("Label14").contains("zlib"));
    EXPECT_TRUE(textOf("Label17").contains("libjpeg-turbo"));
    EXPECT_TRUE(box.findChild<QPushButton*>("OKButton")->isDefault());
}

TEST(AboutBox, LinksUnderlineWhileHoveredAndOpenWhenClicked) {
    std::vector<QUrl> opened;
    TAboutBox box(nullptr, [&](const QUrl& u) {
        opened.push_back(u);
        return true;
    });
    box.show();
    for (const char* name : {"Label12", "Label15", "Label1"}) {
        auto* link = box.findChild<LinkLabel*>(name);
        ASSERT_NE(link, nullptr) << name;
        EXPECT_FALSE(link->font().underline());
        QTest::mouseMove(link, link->rect().center());
        EXPECT_TRUE(link->font().underline()) << name;
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(link, &leave);
        EXPECT_FALSE(link->font().underline()) << name;
        QTest::mouseClick(link, Qt::LeftButton);
        EXPECT_FALSE(link->font().underline()) << name;
    }
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0].scheme(), "mailto");
    EXPECT_EQ(opened[2], QUrl("https://www.qt.io"));
}

}  // namespace
}  // namespace fk::test
