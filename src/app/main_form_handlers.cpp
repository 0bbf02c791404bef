// The handlers of the controls, and the windows the screen shots leave out.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QScrollBar>
#include <QSlider>
#include <QUrl>
#include <memory>

#include "app/about_box.h"
#include "app/countdown_window.h"
#include "app/form_text.h"
#include "app/main_form.h"
#include "app/shell_tree_view.h"
#include "app/spin_edit.h"
#include "capture/naming.h"
#include "platform/errors.h"

namespace fk {

void TMainForm::Button8Click() {
    m_capture->WaitShotDelay();
    m_capture->ShootScreen();
}

void TMainForm::Button7Click() {
    m_capture->ShootWindow();
}

void TMainForm::Button6Click() {
    m_series->ToggleTimedSeries();
}

void TMainForm::Button10Click() {
    m_video->ToggleVideo();
}

void TMainForm::Button5Click() {
    TAboutBox box(this, urlOpener());
    box.Version->setText("v0.7");
    m_aboutBox = &box;
    updateExcludedWindows();
    box.exec();
    m_aboutBox = nullptr;
    updateExcludedWindows();
}

void TMainForm::Button3Click() {
    close();
}

void TMainForm::Button1Click() {
    openFolder(ShellTreeView1->path());
}

void TMainForm::openFolder(const QString& path) {
    auto cannot = [path](const std::function<QString()>& why) {
        return [path, why] { return tr("Папку %1 не удалось открыть: ").arg(path) + why(); };
    };
    if (!QFileInfo(path).isDir())
        return showNote(cannot([] { return tr("ее нет."); }));
    if (m_hooks.openUrl) {
        if (!m_hooks.openUrl(QUrl::fromLocalFile(path)))
            showNote(cannot([] { return tr("нет программы, которая открывает папки."); }));
        return;
    }
    // xdg-open says when it finds no file manager, but may also wait for one it starts: only a
    // failure soon after the click is the folder's, a later end is the file manager's own.
    auto* opener = new QProcess(this);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    connect(opener, &QProcess::errorOccurred, this,
            [this, opener, cannot](QProcess::ProcessError e) {
                if (e == QProcess::FailedToStart) {
                    showNote(cannot([] { return tr("программы xdg-open нет."); }));
                    opener->deleteLater();
                }
            });
    connect(opener, &QProcess::finished, this,
            [this, opener, cannot, started](int code, QProcess::ExitStatus status) {
                if ((code != 0 || status != QProcess::NormalExit) &&
                    started->elapsed() < kOpenerFailureMs)
                    showNote(cannot([code] {
                        return tr("xdg-open не нашла файлового менеджера (код %1).").arg(code);
                    }));
                opener->deleteLater();
            });
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    opener->start("xdg-open", {path});
}

void TMainForm::Button9Click() {
    Mask->addItem(Mask->currentText());
}

void TMainForm::Button4Click() {
    SpinEdit1->setValue(0);
}

void TMainForm::ShellTreeView1Change(const QString& path) {
    Edit3->setText(path);
    if (!m_applyingFolder)
        m_keptFolder.reset();
}

void TMainForm::updatePanels() {
    GroupBox3->hide();
    GroupBox11->hide();
    if (ComboBox1->currentIndex() >= 0) {
        const QString format = ComboBox1->currentText();
        if (format == "JPG")
            GroupBox3->show();
        if (format == "GIF")
            GroupBox11->show();
    }
}

void TMainForm::ComboBox1Change() {
    updatePanels();
    if (ComboBox1->currentIndex() < 0)
        return;
    Mask->setEditText(qs(RewriteMaskExtension(Mask->currentText().toStdString(),
                                              ComboBox1->currentText().toStdString())));
}

void TMainForm::ScrollBar1Change() {
    Label2->setText(QString::number(ScrollBar1->value()) + "%");
}

void TMainForm::ComboBox3Change() {
    updateSpeedPanel();
}

void TMainForm::TrackBar2Change() {
    Label8->setText(QString::number(TrackBar2->value()));
}

bool TMainForm::Edit2KeyPress(QChar key) {
    return key >= '0' && key <= '9';
}

void TMainForm::CheckBox1Click() {
    applyOpacity();
    m_exclusionRefusalTold = false;  // told again at the next switching on
    updateExcludedWindows();
}

void TMainForm::TrackBar1Change() {
    if (CheckBox1->isChecked())
        applyOpacity();
}

void TMainForm::updateExcludedWindows() {
    // Windows the screen shots must leave out while the transparency switch is on: this one and
    // the program's dialogs that are open (help, notes, errors).
    std::vector<WindowHandle> own;
    if (CheckBox1->isChecked()) {
        own.push_back(WindowHandle(winId()));
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != this && w->isVisible() && qobject_cast<QDialog*>(w))
                own.push_back(WindowHandle(w->winId()));
    }
    // The countdown of a delayed shot is never in the picture.
    if (m_countdown && m_countdown->isVisible())
        own.push_back(WindowHandle(m_countdown->winId()));
    try {
        grabber().setExcludedWindows(own);
    } catch (const EGrabError& e) {
        tellExclusionRefusedOnce(QString::fromStdString(e.what()));
    }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) &&
        qobject_cast<QDialog*>(watched) && CheckBox1->isChecked())
        updateExcludedWindows();
    return QWidget::eventFilter(watched, event);
}

}  // namespace fk
