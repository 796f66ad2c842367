// kormoran-screenshot DIR: drives the main window through a check of the first account
// and the download of the first message with an attachment, and saves a picture of the
// window after each in DIR (with "-2x" in the names on a screen of scale 2). It fails
// when a text the pictures show is clipped or a picture is not drawn at the screen's
// scale. Run by scripts/screenshot against the demo mailbox.
#include "HeaderList.h"
#include "KormoranApplication.h"
#include "ModalRunner.h"
#include "QtText.h"
#include "RxRichEd.h"
#include "UserInterface.h"
#include "fmMain.h"

#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
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

// Room a list cell or label keeps beside its text.
constexpr int CellMargin = 3;

bool Fits(const QWidget& widget, const QString& text, int width, const char* what)
{
    const int needed = widget.fontMetrics().horizontalAdvance(text) + 2 * CellMargin;
    if (needed <= width)
        return true;
    std::fprintf(stderr, "kormoran-screenshot: %s clipped (%d of %d pixels): %s\n", what, width, needed,
                 qPrintable(text));
    return false;
}

// The texts the pictures are taken for: every date, the account captions and the
// status bar.
bool NothingClipped(Tfmain& window)
{
    bool whole = true;
    for (int row = 0; row < window.headlist->RowCount(); ++row)
        whole &= Fits(*window.headlist, window.headlist->Row(row)->text(hcDate), window.headlist->columnWidth(hcDate),
                      "date");
    for (int row = 0; row < window.poplist->count(); ++row)
        whole &= Fits(*window.poplist, window.poplist->item(row)->text(), window.poplist->gridSize().width(),
                      "account");
    whole &= Fits(*window.barPanel1, window.barPanel1->text(), window.barPanel1->contentsRect().width() + 2 * CellMargin,
                  "status bar");
    return whole;
}

QString PictureName(const QWidget& window, const char* name)
{
    const qreal scale = window.devicePixelRatioF();
    return QString(name) + (scale == 1.0 ? QString() : QString("-%1x").arg(scale)) + ".png";
}

bool Save(QWidget& window, const QString& path)
{
    Settle();
    const QPixmap picture = window.grab();
    const QSize expected = window.size() * window.devicePixelRatioF();
    if (picture.size() != expected) {
        std::fprintf(stderr, "kormoran-screenshot: %s is %dx%d, not %dx%d\n", qPrintable(path), picture.width(),
                     picture.height(), expected.width(), expected.height());
        return false;
    }
    if (picture.save(path))
        return true;
    std::fprintf(stderr, "kormoran-screenshot: cannot write %s\n", qPrintable(path));
    return false;
}

int FirstRowWithAttachment(Tfmain& window)
{
    for (int row = 0; row < window.headlist->RowCount(); ++row) {
        window.headlist->setCurrentItem(window.headlist->Row(row));
        window.lDownClick();
        window.WaitForServer(30000);
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
        window.WaitForServer(30000);
        if (userInterface.Errors == 0 && window.headlist->RowCount() > 0 && NothingClipped(window) &&
            Save(window, directory + "/" + PictureName(window, "kormoran-check")) &&
            FirstRowWithAttachment(window) >= 0 && Save(window, directory + "/" + PictureName(window, "kormoran-download")))
            result = 0;
    }
    SetUserInterface(nullptr);
    return result;
}
