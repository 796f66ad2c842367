// kormoran: one main window; the program ends when it closes.
#include "KormoranApplication.h"
#include "SingleInstance.h"
#include "UserInterfaceQt.h"
#include "fmMain.h"
#include "udm.h"

#include <QSocketNotifier>

int main(int argc, char* argv[])
{
    ReadTimeZoneOnce();
    // A second start brings the running window to the front instead of opening another.
    TSingleInstance instance(InstanceDirectory());
    if (!instance.First())
        return 0;
    TKormoranApplication application(argc, argv);
    TQtUserInterface userInterface;
    SetUserInterface(&userInterface);
    int result = 0;
    {
        Tfmain window;
        if (!window.StartsHidden()) {
            window.show();
            window.activateWindow();
        }
        QSocketNotifier requests(instance.ListeningSocket(), QSocketNotifier::Read);
        requests.setEnabled(instance.ListeningSocket() >= 0);
        QObject::connect(&requests, &QSocketNotifier::activated, [&] {
            if (!instance.TakeRequest())
                return;
            window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
            window.show();
            window.raise();
            window.activateWindow();
        });
        result = application.exec();
    }
    // Before the application object goes: a download's open connection ends with QUIT.
    EndSessions();
    SetUserInterface(nullptr);
    return result;
}
