// Prints the MIME type that Qt (and so the window's file dialog and the
// desktop) finds for each file named, by its content alone.
//
//   talvine_mime_type_of FILE...
#include <QCoreApplication>
#include <QMimeDatabase>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QMimeDatabase db;
    for (const QString& path : QCoreApplication::arguments().mid(1))
        std::printf("%s\n", qPrintable(db.mimeTypeForFile(path, QMimeDatabase::MatchContent).name()));
    return 0;
}
