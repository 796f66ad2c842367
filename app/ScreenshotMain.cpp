// kormoran-screenshot DIR: drives the main window through a check of the first account
// and the download of the first message with an attachment, and saves a picture of the
// window after each in DIR. Run by scripts/screenshot against the demo mailbox.
#include "HeaderList.h"
#include "KormoranApplication.h"
#include "ModalRunner.h"
#include "QtText.h"
#include "RxRichEd.h"
#include "UserInterface.h"
#include "fmMain.h"

#include <QDialog>
#include <QEventLoop>
#include <QListWidget>
#include <QTimer>
#include <cstdio>

namespace {

// Nothing may wait for a person: an error ends the run, a question is answered No.
class TUnattendedUserInterface : public TUserInterface {
public:
    void ShowError(const std::string& message) override
    {
        std::fprintf(stderr, "kormoran-screenshot: %s\n", message.c_str());
        ++Errors;
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> AskSaveFileName(const std::string&) override { return std::nullopt; }
    void OpenUrl(const std::string&) override {}
    void Beep() override {}

    int Errors = 0;
};

// Lets the window lay itself out and paint before a picture is taken.
void Settle()
{
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
}

bool Save(QWidget& window, const QString& path)
{
    Settle();
    if (window.grab().save(path))
        return true;
    std::fprintf(stderr, "kormoran-screenshot: cannot write %s\n", qPrintable(path));
    return false;
}

int FirstRowWithAttachment(Tfmain& window)
{
    for (int row = 0; row < window.headlist->RowCount(); ++row) {
        window.headlist->setCurrentItem(window.headlist->Row(row));
        window.lDownClick();
        if (window.memo->Text().find("http://localhost/") != std::string::npos)
            return row;
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    TKormoranApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kormoran-screenshot DIR\n");
        return 2;
    }
    const QString directory = QString::fromLocal8Bit(argv[1]);
    TUnattendedUserInterface userInterface;
    SetUserInterface(&userInterface);
    SetModalRunner([](QDialog&) { return static_cast<int>(QDialog::Rejected); });

    int result = 1;
    {
        Tfmain window;
        window.show();
        window.resize(960, 640);
        window.Panel3->setFixedHeight(250);
        window.activateWindow();
        Settle();
        window.poplist->setCurrentRow(0);
        window.CheckAccClick();
        if (userInterface.Errors == 0 && window.headlist->RowCount() > 0 &&
            Save(window, directory + "/kormoran-check.png") && FirstRowWithAttachment(window) >= 0 &&
            Save(window, directory + "/kormoran-download.png"))
            result = 0;
    }
    SetUserInterface(nullptr);
    return result;
}
