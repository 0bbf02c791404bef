// What the shots, the series and their notes read from the window and write back to it.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "app/form_text.h"
#include "app/language.h"
#include "app/main_form.h"
#include "app/notifier.h"
#include "app/shell_tree_view.h"
#include "app/spin_edit.h"
#include "app/text_box.h"
#include "settings/list_entries.h"

namespace fk {

SaveOptions TMainForm::saveOptions() {
    SaveOptions o;
    if (ComboBox1->currentIndex() >= 0)
        o.format = pictureFormatOf(ComboBox1->currentText().toStdString());
    o.jpegQuality = ScrollBar1->value();
    o.gifPalette = ComboBox2->currentIndex();
    o.folder = ShellTreeView1->path().toStdString();
    makeDefaultFolderIfDue(o.folder);
    o.mask = Mask->currentText().toStdString();
    o.counterText = text(SpinEdit1);
    return o;
}

bool TMainForm::captureCursor() {
    return CaptureCursor->isChecked();
}
bool TMainForm::delayedShoot() {
    return DelayedShoot->isChecked();
}
std::string TMainForm::shotDelayText() {
    return text(Edit2);
}
void TMainForm::setShotDelayText(const std::string& t) {
    Edit2->setText(qs(t));
}
std::string TMainForm::runningNumberText() {
    return text(SpinEdit1);
}
void TMainForm::setRunningNumberText(const std::string& t) {
    SpinEdit1->setText(qs(t));
}
std::string TMainForm::intervalText() {
    return text(Edit4);
}
void TMainForm::setIntervalText(const std::string& t) {
    Edit4->setText(qs(t));
}
void TMainForm::setSeriesCaption(const std::string& caption) {
    setSourceText(Button6, caption.c_str());
    if (!isHiddenFromUser() || !N3->isChecked())
        return;
    if (caption == TimedSeries::kRunningCaption) {
        m_seriesShots = 0;
        m_notifier->note(tr("Снятие по таймеру запущено"),
                         tr("Снимки пишутся в папку %1").arg(Edit3->text()));
    } else {
        m_notifier->note(tr("Снятие по таймеру остановлено"), tr("Снимков: %1").arg(m_seriesShots));
    }
}

void TMainForm::pictureSaved(const std::string& path) {
    const QString file = qs(path);
    // After a crash the next start must not count from an older number and overwrite this file.
    saveSettingsSoon();
    for (std::vector<QString>* saved : m_savedBy)
        saved->push_back(file);
    emit fileSaved(file);
    if (TimerOn()) {
        ++m_seriesShots;  // the series tells its count when it stops
        return;
    }
    if (isHiddenFromUser() && N3->isChecked())
        m_notifier->fileSaved(file);
}

}  // namespace fk
