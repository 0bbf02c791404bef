#pragma once

#include <QLabel>

namespace fk {

// A label that reads as a link: blue, a hand cursor, underlined while the mouse moves over it.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& text, QString url, QWidget* parent = nullptr);
    const QString& url() const { return m_url; }

signals:
    void clicked(const QString& url);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void setUnderline(bool on);
    QString m_url;
};

}  // namespace fk
