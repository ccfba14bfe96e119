#include "app/window/WindowSetup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/Settings.h"

namespace talvine {

bool InstallQtTranslations(QCoreApplication& app, const QLocale& locale) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // "qt" gathers every module's translations; "qtbase" alone where only
    // that one is installed.
    for (const char* name : {"qt", "qtbase"}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(locale, QString::fromLatin1(name), QStringLiteral("_"), folder) &&
            QCoreApplication::installTranslator(translator))
            return true;
        delete translator;
    }
    return false;
}

QStringList ScreenStyleNames(const QStringList& keys, const QString& systemStyle) {
    QStringList names{QString::fromStdU16String(kDefaultStyleName)};
    for (const QString& key : keys) {
        if (key.compare(systemStyle, Qt::CaseInsensitive) == 0 || names.contains(key, Qt::CaseInsensitive))
            continue;
        names << key;
    }
    return names;
}

}  // namespace talvine
