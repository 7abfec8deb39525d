// laminor: creates the main window and shows it; everything else happens in
// the window's start-up.
#include <QApplication>

#include "main/frmMain.h"
#include "support/MessageBoxQt.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    support::installQtMessageBoxService();
    mainwin::frmMain window;
    window.show();
    return app.exec();
}
