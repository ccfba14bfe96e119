// talvine: the window. Drop drawings (.jww) and figures (.jws) on it, or
// pick them with its file dialog, or name them on the command line; each is
// converted into a new file in the chosen folder.
#include <QApplication>

#include "app/window/Unit1.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(talvine::kApplicationTitle);
    talvine::TForm1 form(talvine::TFormOptions::FromApplication());
    form.show();
    return app.exec();
}
