#pragma once

#include <QString>
#include <string>

class QComboBox;
class QObject;

namespace fk {

// The languages of the interface: "ru", the texts as written, and "en", from the translation
// built into the program.
bool isLanguage(const std::string& word);
// Every text is shown in `language` from now on; the windows translate their texts again when
// the application tells them of the change. Returns false for a language the program lacks.
bool applyLanguage(const std::string& language);
// The language in effect: "ru" until another is applied.
std::string currentLanguage();
// The language the user chose, as config.ini at `configFile` keeps it; empty when none was.
std::string storedLanguage(const std::string& configFile);
// The language a run starts in: the one given for this run, else the stored one, else Russian.
std::string startLanguage(const std::string& configFile, const std::string& forThisRun);

// The main window's texts are translated in one context, also those the libraries give it.
QString trForm(const char* source);
// A text of a control (caption, group title, menu entry, list entry, tip) is kept by its source,
// so that a change of language can translate it again.
void setSourceText(QObject* control, const char* source);
void setSourceToolTip(QObject* control, const char* source);
void addSourceItem(QComboBox* list, const char* source);
// Translates again every text below `root` that was set by its source.
void retranslateSourceTexts(QObject* root);

}  // namespace fk
