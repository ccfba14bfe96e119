// talvine: the window. Drop drawings (.jww) and figures (.jws) on it, or
// pick them with its file dialog, or name them on the command line; each is
// converted into a new file in the chosen folder.
#include <QApplication>
#include <string_view>

#include "app/window/Unit1.h"
#include "app/window/WindowSetup.h"

// The caption names the version; the build's version number must agree.
static_assert(std::string_view(talvine::kWindowCaption) == std::string_view("Talvine Ver." TALVINE_VERSION_SHORT),
              "the window caption and the project version differ");

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(talvine::kApplicationTitle);
    QApplication::setApplicationVersion(TALVINE_VERSION);
    // The desktop entry that started this program (its icon on Wayland).
    QGuiApplication::setDesktopFileName("talvine");
    talvine::InstallQtTranslations(app, QLocale::system());
    talvine::TForm1 form(talvine::TFormOptions::FromApplication());
    form.show();
    return app.exec();
}
