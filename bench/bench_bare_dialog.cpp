// The peer of the editor's cold start: a bare Qt Widgets program that shows
// one empty dialog (and, like the editor, says "shown" once it has painted).
#include <QApplication>
#include <QDialog>

#include "StartupProbe.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    InstallStartupProbe();
    QDialog dialog;
    dialog.show();
    return app.exec();
}
