// The one funnel of every entry from the event loop: what a command throws ends in the error box,
// and a close asked for meanwhile completes once the outermost command has returned.
#include <QMessageBox>
#include <iostream>

#include "app/main_form.h"
#include "platform/event_pump.h"

namespace fk {

void TMainForm::showError(const QString& message) {
    if (m_hooks.showError)
        return m_hooks.showError(message);
    std::cerr << "Fotokran: " << message.toStdString() << std::endl;
    QMessageBox box(QMessageBox::Critical, "Fotokran", message, QMessageBox::Ok);
    m_errorBox = &box;
    box.exec();
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
