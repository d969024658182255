#include "app/standard_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ondrel {

bool loadJapaneseStandardTexts(QCoreApplication& app) {
    // The menus and messages are Japanese on every system, so the standard parts follow them
    // rather than the locale. Without the file the program keeps Qt's English texts.
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

void useJapaneseFormats() {
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
}

}  // namespace ondrel
