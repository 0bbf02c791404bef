#pragma once

#include <QString>
#include <QTreeView>
#include <memory>

class QFileSystemModel;

namespace fk {

class FolderFilter;
class FolderIcons;

// Whether a folder that does not exist (yet) may be selected.
enum class MissingFolder { Refused, Allowed };

// The file system's folders under "/", with the system's icons, refreshing itself. It reports
// the selected folder's path; a path given to it is selected at once as far as the path goes,
// and its item is selected in the tree when the folder has been read (the model reads folders
// in the background). Hidden folders are shown only on the selected path. A selected folder that
// disappears stays selected: the tree shows the nearest folder still there on its path until it
// comes back or the user picks another.
class ShellTreeView : public QTreeView {
    Q_OBJECT
public:
    explicit ShellTreeView(QWidget* parent = nullptr);
    ~ShellTreeView() override;

    // The selected folder; empty before any is selected.
    const QString& path() const { return m_path; }
    // Selects the folder; throws Exception "Error setting path: "%s"" when it is no folder,
    // unless a missing one is allowed.
    void setPath(const QString& path, MissingFolder missing = MissingFolder::Refused);

signals:
    // The selected folder changed, by the user or by setPath.
    void changed(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void selectInTree();
    void reveal();
    void onCurrentChanged(const QModelIndex& current);
    // The user's choice of a folder.
    void pick(const QModelIndex& index);
    void takeSelection(const QString& path);

    std::unique_ptr<FolderIcons> m_icons;  // outlives the model, which only points at it
    QFileSystemModel* m_model;
    FolderFilter* m_filter;
    QString m_path;
    bool m_selecting = false;
    bool m_userInput = false;  // a click or key of the user is being handled
    // A given path is scrolled into view as its folders load, until the user takes over.
    bool m_revealPending = false;
};

}  // namespace fk
