// The interface's language: chosen in the tray menu, in effect at once, and kept in config.ini.
#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMessageBox>

#include "app/language.h"
#include "app/main_form.h"
#include "settings/settings_store.h"

namespace fk {

void TMainForm::LanguageClick(const std::string& language) {
    applyLanguage(language);
    // The application tells the windows later; this one and its menu change now.
    retranslateUi();
    SaveLanguage(m_paths.configFile, language);
}

void TMainForm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QWidget::changeEvent(event);
}

void TMainForm::retranslateUi() {
    retranslateSourceTexts(this);
    const QString language = QString::fromStdString(currentLanguage());
    for (QAction* entry : LanguageMenu->actions())
        entry->setChecked(entry->data().toString() == language);
    if (m_noteBox && m_noteText)
        m_noteBox->setText(m_noteText());
}

}  // namespace fk
