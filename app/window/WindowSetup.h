// What the window's program sets up around the window: Qt's own
// translations for the user's language and the list of screen styles.
#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

class QCoreApplication;

namespace talvine {

// Loads the translations that Qt ships for its own dialogs and buttons (the
// file and folder dialogs, message boxes) in the language of locale from the
// system's Qt translations folder, and installs them into app. True when a
// translation was found; false (and nothing installed) for a language Qt
// does not translate, English among them, or when the translations are not
// installed.
bool InstallQtTranslations(QCoreApplication& app, const QLocale& locale);

// The screen styles worth offering: "Windows" first (the system's own look,
// systemStyle), then every style of keys that looks different from it: not
// the system style under its own name, not Qt's own style of the name
// "Windows" (which the plain look's name hides), and each name once,
// whatever its case.
QStringList ScreenStyleNames(const QStringList& keys, const QString& systemStyle);

}  // namespace talvine
