// kormoran: one main window; the program ends when it closes.
#include "KormoranApplication.h"
#include "UserInterfaceQt.h"
#include "fmMain.h"
#include "udm.h"

int main(int argc, char* argv[])
{
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
        result = application.exec();
    }
    // Before the application object goes: a download's open connection ends with QUIT.
    EndSessions();
    SetUserInterface(nullptr);
    return result;
}
