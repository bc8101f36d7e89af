#include "ui/qt/Translations.h"

#include <QLibraryInfo>
#include <QTranslator>

bool InstallJapaneseQtTranslations(QCoreApplication& application) {
    // Japanese whatever the user's locale: the program speaks Japanese only.
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}
