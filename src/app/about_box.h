#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QUrl;

namespace fk {

class LinkLabel;

// The help window: hot keys, hints, the program's name and version, authors and credits.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    // `openUrl` opens a link with the desktop's default program.
    TAboutBox(QWidget* owner, std::function<bool(const QUrl&)> openUrl);

    QLabel* Version;

protected:
    void changeEvent(QEvent* event) override;

private:
    // Makes the window's controls in the language in effect.
    void build();

    LinkLabel* link(QWidget* parent, const char* name, const QString& text, const QString& url,
                    QRect geometry);
    std::function<bool(const QUrl&)> m_openUrl;
    std::string m_language;  // the one the controls were made in
};

}  // namespace fk
