// tagseek: finds objects by their handles in the drawing active in the
// running drawhost. It never starts a host and takes no arguments.
#include <QApplication>

#include "host/client/RemoteProvider.h"
#include "support/MessageBoxQt.h"
#include "support/QtTranslation.h"
#include "tagseek/frmMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    support::installQtJapaneseTranslation();
    support::installQtMessageBoxService();
    host::installRemoteHostProvider();
    tagseek::frmMain window;
    window.show();
    return app.exec();
}
