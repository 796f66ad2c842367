#include "MainWindowUi.h"

#include "CutTextToolTip.h"
#include "CzechText.h"
#include "ElidedLabel.h"
#include "FontFit.h"
#include "HeaderList.h"
#include "Icons.h"
#include "LinkLabel.h"
#include "QtText.h"
#include "RxRichEd.h"
#include "SplitterBar.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QFont BoldFont(QFont font)
{
    font.setBold(true);
    return font;
}

QAction* Command(QWidget* owner, const QList<QIcon>& images, int image, const char* caption)
{
    auto* action = new QAction(Czech(caption), owner);
    if (image >= 0)
        action->setIcon(images[image]);
    return action;
}

QAction* ToolButton(QToolBar* tool, const QList<QIcon>& images, int image, const char* tooltip)
{
    auto* action = new QAction(Czech(tooltip), tool);
    action->setIcon(images[image]);
    action->setToolTip(Czech(tooltip));
    tool->addAction(action);
    return action;
}

} // namespace

void TMainWindowUi::Build(QMainWindow* window)
{
    img = AccountImages();
    img1 = CommandImages();
    window->setWindowTitle(Czech("e-Mail, kontrola POP3 serveru."));
    window->setWindowIcon(ProgramIcon());
    window->setFont(QFont("MS Sans Serif", 8));
    BuildToolbar(window);
    BuildMenus(window);
    BuildStatusBar(window);

    auto* client = new QWidget(window);
    auto* columns = new QHBoxLayout(client);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);
    Panel1 = BuildAccountColumn(client);
    Splitter1 = new TSplitterBar(Qt::Vertical, Panel1, client);
    Panel2 = BuildRightArea(client);
    columns->addWidget(Panel1);
    columns->addWidget(Splitter1);
    columns->addWidget(Panel2, 1);
    window->setCentralWidget(client);
    BuildProgressPanel(window);
}

void TMainWindowUi::BuildToolbar(QMainWindow* window)
{
    tool = new QToolBar(window);
    tool->setObjectName("tool");
    tool->setMovable(false);
    tool->setFloatable(false);
    tool->setIconSize(QSize(16, 16));
    tool->setFixedHeight(29);
    tool->setStyleSheet("QToolBar { background: silver; }");
    tool->toggleViewAction()->setVisible(false);
    tNew = ToolButton(tool, img1, ciNewAccount, "Nový účet");
    tEdit = ToolButton(tool, img1, ciProperties, "Vlastnosti účtu");
    tDel = ToolButton(tool, img1, ciDeleteAccount, "Smaž účet");
    tool->addSeparator();
    tCheck = ToolButton(tool, img1, ciCheck, "Kontrola zpráv");
    tCheckAll = ToolButton(tool, img1, ciCheck, "Zkontrolovat vše");
    tool->addSeparator();
    tDownload = ToolButton(tool, img1, ciDownload, "Stažení zprávy");
    tDelete = ToolButton(tool, img1, ciDeleteMessage, "Výmaž zprávu");
    tool->addSeparator();
    lHelp = ToolButton(tool, img1, ciHelp, "Nápověda");
    tAbout = ToolButton(tool, img1, ciAbout, "O programu...");
    tDownload->setEnabled(false);
    tDelete->setEnabled(false);
    window->addToolBar(Qt::TopToolBarArea, tool);
}

void TMainWindowUi::BuildMenus(QMainWindow* window)
{
    // "&" marks the access key of a menu title (with Alt) and of a menu item.
    QMenu* accounts = window->menuBar()->addMenu(Czech("Úč&ty"));
    mNewAcc = Command(window, img1, ciNewAccount, "&Nový  účet");
    mDelAcc = Command(window, img1, ciDeleteAccount, "&Vymaž účet");
    mEditAcc = Command(window, img1, ciProperties, "V&lastnosti");
    Exit1 = Command(window, img1, -1, "&Konec");
    mSettings = Command(window, img1, -1, "N&astavení...");
    accounts->addActions({mNewAcc, mDelAcc, mEditAcc});
    accounts->addSeparator();
    accounts->addAction(mSettings);
    accounts->addSeparator();
    accounts->addAction(Exit1);

    QMenu* messages = window->menuBar()->addMenu(Czech("&Zprávy"));
    mCheck = Command(window, img1, ciCheck, "&Kontrola zpráv");
    mDown = Command(window, img1, ciDownload, "&Stáhni zprávu");
    mmDel = Command(window, img1, ciDeleteMessage, "&Vymaž zprávu");
    mCheckAll = Command(window, img1, ciCheck, "Zkontrolovat &vše");
    mCheckAll->setShortcut(QKeySequence(Qt::Key_F6));
    messages->addActions({mCheck, mCheckAll});
    messages->addSeparator();
    messages->addActions({mDown, mmDel});
    messages->addSeparator();
    mNewOnly = Command(window, img1, -1, "&Jen nové");
    mNewOnly->setCheckable(true);
    messages->addAction(mNewOnly);

    QMenu* help = window->menuBar()->addMenu(Czech("&Pomoc"));
    mHelp = Command(window, img1, ciHelp, "&Nápověda");
    About1 = Command(window, img1, ciAbout, "&O programu ...");
    help->addActions({mHelp, About1});

    pop3popup = new QMenu(window);
    pCheck = Command(pop3popup, img1, ciCheck, "&Kontrola zpráv");
    pNew = Command(pop3popup, img1, ciNewAccount, "&Nový účet");
    pDel = Command(pop3popup, img1, ciDeleteAccount, "&Vymaž účet");
    pEdit = Command(pop3popup, img1, ciProperties, "V&lastnosti");
    pop3popup->addAction(pCheck);
    pop3popup->addSeparator();
    pop3popup->addActions({pNew, pDel});
    pop3popup->addSeparator();
    pop3popup->addAction(pEdit);

    headpopup = new QMenu(window);
    hDown = Command(headpopup, img1, ciDownload, "&Stáhni zprávu");
    hDel = Command(headpopup, img1, ciDeleteMessage, "&Vymaž zprávu");
    Vybratve1 = Command(headpopup, img1, -1, "Vy&brat vše");
    Vybratve1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    headpopup->addActions({hDown, hDel});
    headpopup->addSeparator();
    headpopup->addAction(Vybratve1);
}

void TMainWindowUi::BuildStatusBar(QMainWindow* window)
{
    bar = new QStatusBar(window);
    // A long address or a narrow window shortens a panel's text; its tooltip shows it whole.
    barPanel0 = new TElidedLabel(bar);
    barPanel0->setFixedWidth(Fitted(188, *bar));
    barPanel0->setAlignment(Qt::AlignCenter);
    barPanel1 = new TElidedLabel(Czech("Kontrola a manipulace s e-mailovými zprávami na straně POP3 serveru"), bar);
    barPanel1->setAlignment(Qt::AlignCenter);
    // The long text must not make the window wider than the stored width.
    barPanel1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    barPanel2 = new QLabel(bar);
    barPanel2->setAlignment(Qt::AlignCenter);
    // Room for the longest text a check puts there, so that the window's first width
    // already leaves the middle text whole beside it.
    barPanel2->setMinimumWidth(TextWidth(*barPanel2, Czech("Šifrováno (TLS 1.3)"), 6));
    bar->addWidget(barPanel0);
    bar->addWidget(barPanel1, 1);
    bar->addWidget(barPanel2);
    window->setStatusBar(bar);
}

QWidget* TMainWindowUi::BuildAccountColumn(QWidget* parent)
{
    auto* column = new QWidget(parent);
    column->setFixedWidth(185);
    auto* caption = new QLabel(Czech("E-Mail účty"), column);
    caption->setFixedHeight(Fitted(16, *caption));
    poplist = new QListWidget(column);
    poplist->setViewMode(QListView::IconMode);
    poplist->setIconSize(QSize(32, 32));
    poplist->setResizeMode(QListView::Adjust);
    poplist->setMovement(QListView::Static);
    poplist->setFlow(QListView::LeftToRight);
    poplist->setWrapping(true);
    // A caption wider than the column is cut in the middle, where an address can spare
    // it best, and shown whole in its tooltip.
    poplist->setWordWrap(false);
    poplist->setTextElideMode(Qt::ElideMiddle);
    ShowCutTextsInToolTips(*poplist);
    FitAccountCaptions();
    QObject::connect(poplist->model(), &QAbstractItemModel::rowsInserted, poplist, [this] { FitAccountCaptions(); });
    QObject::connect(poplist->model(), &QAbstractItemModel::dataChanged, poplist, [this] { FitAccountCaptions(); });
    poplist->setSelectionMode(QAbstractItemView::SingleSelection);
    poplist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    poplist->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(caption);
    layout->addWidget(poplist, 1);
    return column;
}

QFrame* TMainWindowUi::BuildRightArea(QWidget* parent)
{
    auto* area = new QFrame(parent);
    area->setFrameStyle(QFrame::Box | QFrame::Plain);
    Panel3 = new QWidget(area);
    Panel3->setFixedHeight(105);
    headlist = new THeaderList(Panel3);
    ShowCutTextsInToolTips(*headlist);
    // Ctrl+A selects all rows only while the header list has the focus.
    Vybratve1->setShortcutContext(Qt::WidgetShortcut);
    headlist->addAction(Vybratve1);
    // Whose messages the list shows; hidden until a check has filled it.
    headOwner = new QLabel(Panel3);
    headOwner->setFixedHeight(Fitted(16, *headOwner));
    headOwner->hide();
    auto* headLayout = new QVBoxLayout(Panel3);
    headLayout->setContentsMargins(0, 0, 0, 0);
    headLayout->setSpacing(0);
    headLayout->addWidget(headOwner);
    headLayout->addWidget(headlist);

    Splitter2 = new TSplitterBar(Qt::Horizontal, Panel3, area);
    Panel4 = BuildDetailPane(area);
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(Panel3);
    layout->addWidget(Splitter2);
    layout->addWidget(Panel4, 1);
    return area;
}

QFrame* TMainWindowUi::BuildDetailPane(QWidget* parent)
{
    auto* pane = new QFrame(parent);
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel6 = new QFrame(pane);
    Panel6->setFixedHeight(std::max(Fitted(18, *Panel6), QFontMetrics(BoldFont(Panel6->font())).height() + 4));
    auto* caption = new QLabel("   Detail", Panel6);
    caption->setFont(BoldFont(caption->font()));
    lDown = new TLinkLabel(Czech("Stáhni zprávu"), Qt::black, Panel6);
    lDown->setToolTip(Czech("Bezpečné stažení zprávy.\nNepokouší se spouštět žádnou\npřílohu."));
    lDelete = new TLinkLabel(Czech("Vymaž zprávu/zprávy"), Qt::black, Panel6);
    lDelete->setToolTip(Czech("Vymaže zprávu přímo na serveru."));
    auto* strip = new QHBoxLayout(Panel6);
    strip->setContentsMargins(0, 0, 8, 0);
    strip->setSpacing(16);
    strip->addWidget(caption);
    strip->addStretch(1);
    strip->addWidget(lDown);
    strip->addWidget(lDelete);

    memo = new TRxRichEdit(pane);
    memo->setFrameStyle(QFrame::NoFrame);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setFont(QFont("Arial", 8));
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    layout->addWidget(Panel6);
    layout->addWidget(memo, 1);
    return pane;
}

void TMainWindowUi::BuildProgressPanel(QMainWindow* window)
{
    inf = new QFrame(window);
    inf->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    inf->setAutoFillBackground(true);
    inf->move(8, 54);
    inflabel = new QLabel(Czech("Probíhá kontrola zpráv..."), inf);
    inflabel->setFont(BoldFont(inflabel->font()));
    progress = new QProgressBar(inf);
    progress->setRange(1, 8);
    progress->setValue(1);
    progress->setTextVisible(false);
    cancelButton = new QPushButton(Czech("Přerušit"), inf);
    auto* layout = new QVBoxLayout(inf);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addWidget(inflabel);
    auto* barRow = new QHBoxLayout;
    barRow->addWidget(progress, 1);
    barRow->addWidget(cancelButton);
    layout->addLayout(barRow);
    FitProgressPanel();
    inf->hide();
}

void TMainWindowUi::FitProgressPanel()
{
    const QSize needed = inf->sizeHint();
    inf->resize(std::max(Fitted(362, *inf), needed.width()), std::max(Fitted(60, *inf), needed.height()));
    // Over the detail pane, below the header list's headings and beside the accounts.
    constexpr int Inset = 8;
    if (QWidget* window = inf->parentWidget())
        inf->move(memo->mapTo(window, QPoint(Inset, Inset)));
}

void TMainWindowUi::FitAccountCaptions()
{
    // The grid is as wide as the widest caption, but no wider than the list: a longer
    // address is cut (with a tooltip) rather than pushed out of sight.
    constexpr int CaptionMargin = 6;
    int width = Fitted(80, *poplist);
    for (int row = 0; row < poplist->count(); ++row)
        width = std::max(width, TextWidth(*poplist, poplist->item(row)->text(), CaptionMargin));
    const QScrollBar* scrollBar = poplist->verticalScrollBar();
    const int room = poplist->contentsRect().width() - (scrollBar->isVisible() ? scrollBar->width() : 0) - 2;
    if (room > Fitted(80, *poplist))
        width = std::min(width, room);
    poplist->setGridSize(QSize(width, Fitted(64, *poplist)));
}

int TMainWindowUi::FittedWindowWidth() const
{
    // The status bar's second panel shows its text whole beside the other two.
    constexpr int SizeGripAndSpacing = 40;
    return std::max(Fitted(580, *bar), barPanel0->width() + TextWidth(*barPanel1, barPanel1->text(), 4) +
                                            barPanel2->sizeHint().width() + SizeGripAndSpacing);
}
