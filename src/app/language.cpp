#include "app/language.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTranslator>
#include <algorithm>
#include <iterator>

#include "settings/settings_store.h"

namespace fk {

namespace {

constexpr const char* kRussian = "ru";
// The languages with a translation among the program's resources, where qt_add_translations puts
// fotokran_<language>.qm.
constexpr const char* kTranslated[] = {"en"};
constexpr const char* kFormContext = "fk::TMainForm";
constexpr const char* kSourceText = "fkSourceText";
constexpr const char* kSourceTip = "fkSourceToolTip";
constexpr int kSourceRole = Qt::UserRole + 1;

std::string g_language = kRussian;
QPointer<QTranslator> g_translator;

void setText(QObject* control, const QString& text) {
    if (auto* g = qobject_cast<QGroupBox*>(control))
        g->setTitle(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(control))
        b->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(control))
        l->setText(text);
    else if (auto* m = qobject_cast<QMenu*>(control))
        m->setTitle(text);
    else if (auto* a = qobject_cast<QAction*>(control))
        a->setText(text);
    else if (auto* w = qobject_cast<QWidget*>(control))
        w->setWindowTitle(text);
}

void retranslateOne(QObject* o) {
    const QByteArray text = o->property(kSourceText).toByteArray();
    if (!text.isEmpty())
        setText(o, trForm(text.constData()));
    const QByteArray tip = o->property(kSourceTip).toByteArray();
    if (!tip.isEmpty()) {
        if (auto* w = qobject_cast<QWidget*>(o))
            w->setToolTip(trForm(tip.constData()));
    }
    if (auto* list = qobject_cast<QComboBox*>(o))
        for (int i = 0; i < list->count(); ++i) {
            const QByteArray item = list->itemData(i, kSourceRole).toByteArray();
            if (!item.isEmpty())
                list->setItemText(i, trForm(item.constData()));
        }
}

}  // namespace

bool isLanguage(const std::string& word) {
    return word == kRussian ||
           std::find(std::begin(kTranslated), std::end(kTranslated), word) != std::end(kTranslated);
}

bool applyLanguage(const std::string& language) {
    if (!isLanguage(language) || !QCoreApplication::instance())
        return false;
    if (language == g_language && (language == kRussian || g_translator))
        return true;
    if (g_translator) {
        QCoreApplication::removeTranslator(g_translator);
        delete g_translator.data();
    }
    g_language = kRussian;
    if (language == kRussian)
        return true;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QString(":/i18n/fotokran_%1.qm").arg(QString::fromStdString(language))) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    g_translator = translator;
    g_language = language;
    return true;
}

std::string currentLanguage() {
    // A translator goes with the application that owned it.
    return g_translator ? g_language : kRussian;
}

std::string storedLanguage(const std::string& configFile) {
    return LoadLanguage(configFile);
}

std::string startLanguage(const std::string& configFile, const std::string& forThisRun) {
    if (isLanguage(forThisRun))
        return forThisRun;
    const std::string stored = storedLanguage(configFile);
    // A language this version does not speak (a later one's file) leaves the texts as written.
    return isLanguage(stored) ? stored : kRussian;
}

QString trForm(const char* source) {
    return QCoreApplication::translate(kFormContext, source);
}

void setSourceText(QObject* control, const char* source) {
    control->setProperty(kSourceText, QByteArray(source));
    setText(control, trForm(source));
}

void setSourceToolTip(QObject* control, const char* source) {
    control->setProperty(kSourceTip, QByteArray(source));
    if (auto* w = qobject_cast<QWidget*>(control))
        w->setToolTip(trForm(source));
}

void addSourceItem(QComboBox* list, const char* source) {
    list->addItem(trForm(source));
    list->setItemData(list->count() - 1, QByteArray(source), kSourceRole);
}

void retranslateSourceTexts(QObject* root) {
    retranslateOne(root);
    for (QObject* o : root->findChildren<QObject*>())
        retranslateOne(o);
}

}  // namespace fk
