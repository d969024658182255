#pragma once

class QCoreApplication;

namespace ondrel {

// Puts Qt's own Japanese texts (buttons of message boxes and prompts, the file dialogs) in
// place of the English ones, whatever the user's locale. Returns false, and changes nothing,
// when the translation file is not installed.
bool loadJapaneseStandardTexts(QCoreApplication& app);

// Makes Japanese the default locale, whatever the user's: what Qt formats for the standard
// dialogs (dates, sizes and numbers in the file dialogs) follows the Japanese menus. The
// program's own texts (the date stamp, the inserted Perl) use fixed formats and do not change.
void useJapaneseFormats();

}  // namespace ondrel
