#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>
#include <utility>

class QUrl;

namespace fk {

// The note that names a saved file: its summary and body.
std::pair<QString, QString> savedFileNote(const QString& path);

// Notes on the desktop through its notification service: a saved file is named, with actions to
// open it or to show it in its folder. Without the service the fallback shows the note.
class Notifier : public QObject {
    Q_OBJECT
public:
    using OpenUrl = std::function<bool(const QUrl&)>;
    using Fallback = std::function<void(const QString& summary, const QString& body)>;

    Notifier(OpenUrl openUrl, Fallback fallback, QObject* parent = nullptr);

    // A copy that ends after one command cannot answer actions: its notes carry none.
    void setActions(bool on) { m_actions = on; }
    void fileSaved(const QString& path);
    void note(const QString& summary, const QString& body);

private slots:
    void onActionInvoked(uint id, const QString& action);
    void onClosed(uint id, uint reason);

private:
    void notify(const QString& summary, const QString& body, const QString& file);
    void showInFolder(const QString& file);

    OpenUrl m_openUrl;
    Fallback m_fallback;
    bool m_actions = true;
    QHash<uint, QString> m_files;  // notification id → the file it names
};

}  // namespace fk
