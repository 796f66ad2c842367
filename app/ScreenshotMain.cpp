// kormoran-screenshot DIR: drives the main window through a check of the first account
// and the download of the first message with an attachment, and saves a picture of the
// window after each in DIR (with "-2x" in the names on a screen of scale 2). It fails
// when a text is clipped without a tooltip that shows it whole, a column or an account
// is out of sight, the progress panel covers the headings or the accounts, the header
// list does not grow with the window, or a picture is not drawn at the screen's scale;
// it checks the window at its first-start size and again larger. Run by
// scripts/screenshot against the demo mailbox.
#include "CutTextToolTip.h"
#include "ElidedLabel.h"
#include "HeaderList.h"
#include "KormoranApplication.h"
#include "ModalRunner.h"
#include "QtText.h"
#include "RxRichEd.h"
#include "UserInterface.h"
#include "fmMain.h"

#include <QDialog>
#include <QEventLoop>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QScrollBar>
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

// A text a list shows cut must be readable whole in its tooltip.
bool WholeOrInToolTip(const QAbstractItemView& view, const QModelIndex& index, const char* what)
{
    const QString text = index.data(Qt::DisplayRole).toString();
    const QString tip = CutTextToolTip(view, index);
    if (tip.isEmpty() || tip == text)
        return true;
    std::fprintf(stderr, "kormoran-screenshot: %s cut without its whole text in a tooltip: %s\n", what,
                 qPrintable(text));
    return false;
}

// A status panel shows its text whole; only a long address may be shortened in the
// first panel, with the whole text in its tooltip.
bool StatusPanelWhole(const QLabel& panel, bool mayShorten, const char* what)
{
    if (mayShorten && dynamic_cast<const TElidedLabel*>(&panel))
        return true;
    return Fits(panel, panel.text(), panel.contentsRect().width() + 2 * CellMargin, what);
}

bool Inside(const QRect& inner, const QRect& outer, const char* what)
{
    if (outer.contains(inner))
        return true;
    std::fprintf(stderr, "kormoran-screenshot: %s out of sight (%d,%d %dx%d not within %d,%d %dx%d)\n", what,
                 inner.x(), inner.y(), inner.width(), inner.height(), outer.x(), outer.y(), outer.width(),
                 outer.height());
    return false;
}

bool Apart(const QRect& a, const QRect& b, const char* what)
{
    if (!a.intersects(b))
        return true;
    std::fprintf(stderr, "kormoran-screenshot: %s\n", what);
    return false;
}

QRect InWindow(const QWidget& window, const QWidget& widget, const QRect& rect)
{
    return QRect(widget.mapTo(&window, rect.topLeft()), rect.size());
}

// The header list: every heading whole, every column in view, every date whole and
// every other cut cell with its tooltip.
bool HeaderListWhole(Tfmain& window)
{
    THeaderList& list = *window.headlist;
    bool whole = true;
    int columnsWidth = 0;
    for (int column = 0; column < HeaderColumnCount; ++column) {
        whole &= Fits(*list.header(), list.headerItem()->text(column), list.columnWidth(column), "column heading");
        columnsWidth += list.columnWidth(column);
    }
    if (columnsWidth > list.viewport()->width() || list.horizontalScrollBar()->isVisible()) {
        std::fprintf(stderr, "kormoran-screenshot: columns %d pixels wide in a list of %d\n", columnsWidth,
                     list.viewport()->width());
        whole = false;
    }
    for (int row = 0; row < list.RowCount(); ++row) {
        whole &= Fits(list, list.Row(row)->text(hcDate), list.columnWidth(hcDate), "date");
        for (int column = 0; column < HeaderColumnCount; ++column)
            whole &= WholeOrInToolTip(list, list.model()->index(row, column), "header list cell");
    }
    return whole;
}

bool AccountsWhole(Tfmain& window)
{
    QListWidget& accounts = *window.poplist;
    bool whole = true;
    for (int row = 0; row < accounts.count(); ++row) {
        const QModelIndex index = accounts.model()->index(row, 0);
        whole &= WholeOrInToolTip(accounts, index, "account");
        whole &= Inside(accounts.visualRect(index), accounts.viewport()->rect(), "account");
    }
    return whole;
}

// The progress panel, shown with a long text, stands clear of the list headings and of
// the accounts.
bool ProgressPanelClear(Tfmain& window)
{
    window.ShowProgress("Kontrola zpráv " + FromQt(window.poplist->item(0)->text()), 8);
    const QRect panel = window.inf->geometry();
    const QRect headings = InWindow(window, *window.headlist->header(), window.headlist->header()->rect());
    const QRect accounts = InWindow(window, *window.poplist, window.poplist->rect());
    const bool clear = Apart(panel, headings, "progress panel covers the column headings") &&
                       Apart(panel, accounts, "progress panel covers the accounts") &&
                       Inside(panel, window.rect(), "progress panel");
    window.ShowProgress("", 8);
    return clear;
}

bool StatusBarWhole(Tfmain& window)
{
    bool whole = true;
    whole &= StatusPanelWhole(*window.barPanel0, true, "status bar address");
    whole &= StatusPanelWhole(*window.barPanel1, false, "status bar");
    whole &= StatusPanelWhole(*window.barPanel2, false, "status bar security");
    return whole;
}

// Everything the window shows after a check: nothing cut without a tooltip, nothing
// out of sight or covered.
bool NothingClipped(Tfmain& window, const char* when)
{
    const bool whole = HeaderListWhole(window) & AccountsWhole(window) & StatusBarWhole(window) &
                       ProgressPanelClear(window);
    if (!whole)
        std::fprintf(stderr, "kormoran-screenshot: (%s, %dx%d)\n", when, window.width(), window.height());
    return whole;
}

// A larger window gives the header list more rows, not only the detail pane.
bool ListGrewWithTheWindow(int before, int after)
{
    if (after > before)
        return true;
    std::fprintf(stderr, "kormoran-screenshot: the header list stayed %d pixels high in a larger window\n", after);
    return false;
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
        // The window at its size on a first start, then larger for the pictures.
        Tfmain window;
        window.show();
        window.activateWindow();
        Settle();
        window.poplist->setCurrentRow(0);
        window.CheckAccClick();
        window.WaitForServer(30000);
        Settle();
        const bool checked = userInterface.Errors == 0 && window.headlist->RowCount() > 0;
        const bool firstStart = checked && NothingClipped(window, "first start");
        const int listHeight = window.Panel3->height();
        window.resize(960, 640);
        Settle();
        if (firstStart && ListGrewWithTheWindow(listHeight, window.Panel3->height()) &&
            NothingClipped(window, "larger window") &&
            Save(window, directory + "/" + PictureName(window, "kormoran-check")) &&
            FirstRowWithAttachment(window) >= 0 && Save(window, directory + "/" + PictureName(window, "kormoran-download")))
            result = 0;
    }
    SetUserInterface(nullptr);
    return result;
}
