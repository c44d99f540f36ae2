// ui/modmanagerapp.cpp - the application object: the toolkit's application, the program's name
// and icon, and the modal main dialog.
#include "modmanagerapp.h"

#include "dialog.h"
#include "endrequests.h"
#include "qtdialogview.h"

#include <QApplication>

int ModManagerApp::run(int argc, char** argv, SaveList& saves) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(applicationName));
    QApplication::setWindowIcon(icon());
    const EndRequests endRequests; // the session's end closes the dialog as Cancel does
    InitInstance(saves);
    return 0;
}

bool ModManagerApp::InitInstance(SaveList& saves) {
    QtDialogView window;
    window.restorePlacement();
    ModManagerDialog dialog(window, saves);
    window.start(dialog);
    window.exec();
    return false;
}

// The resources of a static library join the program only when it asks for them by name.
static void initResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(tarvex);
        return true;
    }();
    (void)done;
}

QIcon ModManagerApp::icon() {
    initResources();
    return QIcon(QStringLiteral(":/tarvex/tarvex.png"));
}
