// The one funnel of every entry from the event loop: what a command throws ends in the error box,
// and a close asked for meanwhile completes once the outermost command has returned.
#include <QMessageBox>
#include <iostream>
#include <memory>
#include <utility>

#include "app/main_form.h"
#include "platform/event_pump.h"

namespace fk {

QMessageBox* TMainForm::newBox(QMessageBox::Icon icon, const QString& message) {
    // A box transient for a hidden window would open behind the others.
    const bool shown = !isHiddenFromUser();
    return new QMessageBox(icon, "Fotokran", message, QMessageBox::Ok, shown ? this : nullptr,
                           shown ? Qt::Dialog : Qt::Dialog | Qt::WindowStaysOnTopHint);
}

void TMainForm::showError(const QString& message) {
    if (m_hooks.showError)
        return m_hooks.showError(message);
    std::cerr << "Fotokran: " << message.toStdString() << std::endl;
    // Before the event loop runs, a modal box would hold every command and the session bus.
    if (m_startErrors) {
        m_startErrors->push_back(message);
        return;
    }
    const std::unique_ptr<QMessageBox> box(newBox(QMessageBox::Critical, message));
    m_errorBox = box.get();
    box->exec();
}

void TMainForm::showStartErrors() {
    const QStringList errors = std::exchange(m_startErrors, std::nullopt).value_or(QStringList());
    if (errors.isEmpty() || m_closePending)
        return;
    auto* box = newBox(QMessageBox::Critical, errors.join('\n'));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void TMainForm::run(const std::function<void()>& command) {
    if (const std::optional<QString> error = runCaught(command))
        showError(*error);
}

std::optional<QString> TMainForm::runCaught(const std::function<void()>& command) {
    // Once closing, nothing new starts; what runs is being unwound.
    if (m_closePending)
        return std::nullopt;
    std::optional<QString> error;
    ++m_depth;
    m_noFormatTold.push_back(false);
    try {
        command();
    } catch (const EWaitsEnded&) {
    } catch (const EShotCancelled&) {
        // the user's own choice: nothing to tell
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    } catch (...) {
        error = "Unknown error";
    }
    m_noFormatTold.pop_back();
    --m_depth;
    // A series or video has ended, or a shot is done: its running number is kept at once.
    if (m_depth == 0 && !m_closePending)
        saveSettingsNow();
    // The error is shown (or handed back) before the pending close completes.
    if (m_depth == 0 && m_closePending) {
        if (error)
            showError(*error);
        finishClose();
        return std::nullopt;
    }
    return error;
}

}  // namespace fk
