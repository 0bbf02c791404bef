#include "app/shell_tree_view.h"

#include <QApplication>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QScopedValueRollback>
#include <QSortFilterProxyModel>

#include "base/exceptions.h"

namespace fk {

// Hides hidden folders except those on the way to the selected one.
class FolderFilter final : public QSortFilterProxyModel {
public:
    FolderFilter(QFileSystemModel* model, QObject* parent)
        : QSortFilterProxyModel(parent), m_model(model) {
        setSourceModel(model);
        setSortCaseSensitivity(Qt::CaseInsensitive);
    }

    void setShownPath(const QString& path) {
        if (path == m_shown)
            return;
        m_shown = path;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const QModelIndex index = m_model->index(row, 0, parent);
        if (!m_model->fileName(index).startsWith('.'))
            return true;
        const QString path = m_model->filePath(index);
        return m_shown == path || m_shown.startsWith(path + '/');
    }

private:
    QFileSystemModel* m_model;
    QString m_shown;
};

// The desktop theme's folder icons, or the style's where the desktop has no icon theme.
class FolderIcons final : public QFileIconProvider {
public:
    QIcon icon(IconType type) const override {
        return orStyle(QFileIconProvider::icon(type), type == Drive);
    }
    QIcon icon(const QFileInfo& info) const override {
        return orStyle(QFileIconProvider::icon(info), info.isRoot());
    }

private:
    static QIcon orStyle(const QIcon& icon, bool drive) {
        if (!icon.isNull() && !icon.availableSizes().isEmpty())
            return icon;
        return QApplication::style()->standardIcon(drive ? QStyle::SP_DriveHDIcon
                                                         : QStyle::SP_DirIcon);
    }
};

ShellTreeView::ShellTreeView(QWidget* parent)
    : QTreeView(parent), m_icons(std::make_unique<FolderIcons>()) {
    m_model = new QFileSystemModel(this);
    m_model->setIconProvider(m_icons.get());
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    m_model->setReadOnly(true);
    m_model->setRootPath("/");
    m_filter = new FolderFilter(m_model, this);
    setModel(m_filter);
    m_filter->sort(0);
    for (int column = 1; column < m_model->columnCount(); ++column)
        hideColumn(column);
    setHeaderHidden(true);
    setIndentation(14);
    setRootIsDecorated(false);
    setItemsExpandable(true);
    setExpandsOnDoubleClick(true);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    expand(m_filter->mapFromSource(m_model->index("/")));

    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { onCurrentChanged(current); });
    // The nearest folder shown for a missing one is already current: a click on it picks it.
    connect(this, &QTreeView::clicked, this, [this](const QModelIndex& index) { pick(index); });
    // A selected folder that comes back is shown again.
    connect(m_model, &QFileSystemModel::rowsInserted, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { selectInTree(); }, Qt::QueuedConnection);
    });
    // Each folder read in the background may be the one the selection waits for.
    connect(m_model, &QFileSystemModel::directoryLoaded, this, [this] {
        selectInTree();
        if (m_revealPending)
            reveal();
    });
}

ShellTreeView::~ShellTreeView() {
    // The model goes first: it may still ask for icons while it is torn down.
    delete m_model;
    m_model = nullptr;
}

void ShellTreeView::setPath(const QString& path, MissingFolder missing) {
    const QFileInfo info(path);
    if (path.isEmpty() || (!info.isDir() && (missing == MissingFolder::Refused || info.exists())))
        throw Exception(formatMessage("Error setting path: \"%s\"", {path.toStdString()}));
    m_revealPending = true;
    takeSelection(QDir::cleanPath(info.absoluteFilePath()));
    reveal();
}

void ShellTreeView::reveal() {
    if (currentIndex().isValid())
        scrollTo(currentIndex(), QAbstractItemView::PositionAtCenter);
}

void ShellTreeView::showEvent(QShowEvent* event) {
    QTreeView::showEvent(event);
    // Scrolling needs the laid-out rows of a visible view.
    if (m_revealPending)
        QMetaObject::invokeMethod(
            this, [this] { reveal(); }, Qt::QueuedConnection);
}

void ShellTreeView::mousePressEvent(QMouseEvent* event) {
    m_revealPending = false;
    const QScopedValueRollback user(m_userInput, true);
    QTreeView::mousePressEvent(event);
}

void ShellTreeView::wheelEvent(QWheelEvent* event) {
    m_revealPending = false;
    QTreeView::wheelEvent(event);
}

void ShellTreeView::keyPressEvent(QKeyEvent* event) {
    m_revealPending = false;
    const QScopedValueRollback user(m_userInput, true);
    QTreeView::keyPressEvent(event);
}

void ShellTreeView::takeSelection(const QString& path) {
    m_filter->setShownPath(path);
    if (path != m_path) {
        m_path = path;
        emit changed(m_path);
    }
    selectInTree();
}

void ShellTreeView::selectInTree() {
    if (m_path.isEmpty())
        return;
    QString shown = m_path;
    while (shown != "/" && !QFileInfo(shown).isDir())
        shown = QFileInfo(shown).path();
    const QModelIndex index = m_filter->mapFromSource(m_model->index(shown));
    if (!index.isValid() || index == currentIndex())
        return;
    m_selecting = true;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        expand(up);
    setCurrentIndex(index);
    scrollTo(index);
    m_selecting = false;
}

void ShellTreeView::onCurrentChanged(const QModelIndex& current) {
    if (m_selecting)
        return;
    if (m_userInput)
        return pick(current);
    // The model moves the selection by itself when folders come and go (the selected one
    // disappearing, too): the folder stays selected, and the tree shows it, or the nearest
    // folder still there on its path.
    QMetaObject::invokeMethod(
        this, [this] { selectInTree(); }, Qt::QueuedConnection);
}

void ShellTreeView::pick(const QModelIndex& index) {
    if (!index.isValid())
        return;
    const QString path = m_model->filePath(m_filter->mapToSource(index));
    if (path.isEmpty() || path == m_path)
        return;
    // Refiltering inside the selection model's signal would pull rows from under it.
    QMetaObject::invokeMethod(
        this, [this] { m_filter->setShownPath(m_path); }, Qt::QueuedConnection);
    m_path = path;
    emit changed(m_path);
}

}  // namespace fk
