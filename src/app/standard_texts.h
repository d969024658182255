#pragma once

class QCoreApplication;

namespace ondrel {

// Puts Qt's own Japanese texts (buttons of message boxes and prompts, the file dialogs) in
// place of the English ones, whatever the user's locale. Returns false, and changes nothing,
// when the translation file is not installed.
bool loadJapaneseStandardTexts(QCoreApplication& app);

}  // namespace ondrel
