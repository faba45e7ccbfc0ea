#include "Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace {

bool installCatalogue(QCoreApplication& app, const QLocale& locale, const QString& name,
                      const QStringList& folders) {
    for (const QString& folder : folders) {
        auto translator = std::make_unique<QTranslator>(&app);
        // Tries name_de_DE.qm, name_de.qm ... for each of the user's languages in turn. The "_" is
        // part of the name: after the languages Qt also tries the bare name, which beside the
        // program is the program itself.
        if (translator->load(locale, name + QLatin1Char('_'), QString(), folder, QStringLiteral(".qm"))) {
            QCoreApplication::installTranslator(translator.release());
            return true;
        }
    }
    return false;
}

// Beside the program, where the build leaves them, then in the installed data folder.
QStringList translationFolders() {
    const QString executableFolder = QCoreApplication::applicationDirPath();
    return {executableFolder,
            QDir::cleanPath(executableFolder + QStringLiteral("/../share/v917config/translations"))};
}

} // namespace

bool installTranslators(QCoreApplication& app, const QLocale& locale) {
    if (!installCatalogue(app, locale, QStringLiteral("v917config"), translationFolders()))
        return false;
    // Qt's own texts (standard buttons, file dialogs) only follow when the program's do: a window
    // half in the user's language and half in English reads worse than one all in English.
    installCatalogue(app, locale, QStringLiteral("qtbase"),
                     {QLibraryInfo::path(QLibraryInfo::TranslationsPath)});
    return true;
}
