#include "AppFixture.h"

#include "Exception.h"
#include "KormoranApplication.h"
#include "LinkLabel.h"
#include "PortEdit.h"
#include "SplitterBar.h"
#include "QtText.h"
#include "fmEdit.h"
#include "fmHelp.h"
#include "HeaderList.h"
#include "fmMain.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// The window with the shown-message index open to the tests.
class TTestMain : public Tfmain {
public:
    using Tfmain::FShownIndex;
};

const std::string TwoAccounts = "a@x.cz\r\npop.x.cz\r\na\r\npw\r\n110\r\nb@y.cz\r\npop.y.cz\r\nb\r\n\r\n995\r\n";

void Activate(QWidget& window)
{
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&window, &activate);
    QApplication::processEvents();
}

// The caption without its access key mark.
std::string Text(const QAction* action)
{
    QString text = action->text();
    text.replace(QRegularExpression("&(.)"), "\\1");
    return FromQt(text);
}

class MainWindowTest : public AppFixture {};

TEST_F(MainWindowTest, OpensAtTheDefaultPlaceWithoutSettingsOrAccounts)
{
    TTestMain window;
    window.show();
    EXPECT_EQ(window.pos(), QPoint(20, 20));
    // 580 wide, or wider when the status bar's text needs it in the font in use.
    EXPECT_GE(window.width(), 580);
    EXPECT_EQ(window.height(), 450);
    QApplication::processEvents();
    EXPECT_GE(window.barPanel1->width(), window.barPanel1->fontMetrics().horizontalAdvance(window.barPanel1->text()));
    EXPECT_EQ(window.Panel1->width(), 185);
    EXPECT_EQ(window.Panel3->height(), 105);
    EXPECT_EQ(window.poplist->count(), 0);
    EXPECT_EQ(window.FShownIndex, -1);
    EXPECT_FALSE(window.inf->isVisibleTo(&window));
    EXPECT_TRUE(Ui.Errors.empty());
    EXPECT_EQ(FromQt(window.windowTitle()), "e-Mail, kontrola POP3 serveru.");
}

TEST_F(MainWindowTest, DownloadAndDeleteButtonsStartDisabled)
{
    TTestMain window;
    EXPECT_FALSE(window.tDownload->isEnabled());
    EXPECT_FALSE(window.tDelete->isEnabled());
    EXPECT_TRUE(window.tCheck->isEnabled());
}

TEST_F(MainWindowTest, FirstActivationShowsTheAboutBoxOnceAndDisablesAccountCommands)
{
    TTestMain window;
    Activate(window);
    Activate(window);
    EXPECT_EQ(Modal.Shown, std::vector<std::string>{"O programu..."});
    for (QAction* command : {window.tCheck, window.mCheck, window.pCheck, window.tEdit, window.mEditAcc,
                             window.pEdit, window.tDel, window.mDelAcc, window.pDel})
        EXPECT_FALSE(command->isEnabled()) << Text(command);
    for (QAction* command : {window.tNew, window.mNewAcc, window.pNew})
        EXPECT_TRUE(command->isEnabled());
}

TEST_F(MainWindowTest, ColumnsFitTheListWidthAndTheSubjectTakesTheRest)
{
    TTestMain window;
    THeaderList& list = *window.headlist;
    const int date = list.columnWidth(hcDate);
    for (int width : {560, 600, 1000, 1270}) {
        list.resize(width, 100);
        window.AdjustColumns();
        const int room = width - 2 * list.frameWidth() - list.verticalScrollBar()->sizeHint().width();
        int columns = 0;
        for (int column = 0; column < ListColumnCount; ++column)
            columns += list.columnWidth(column);
        EXPECT_LE(columns, room) << width;
        EXPECT_EQ(list.columnWidth(hcDate), date) << width;
        if (width >= 1000) {
            EXPECT_EQ(columns, room) << width;
            EXPECT_EQ(list.columnWidth(hcFrom), list.FittedColumnWidth(hcFrom)) << width;
            EXPECT_GT(list.columnWidth(hcSubject), 188) << width;
        }
    }
    // A column the user widened keeps its width when the list grows.
    list.header()->resizeSection(hcFrom, 230);
    list.resize(1200, 100);
    window.AdjustColumns();
    EXPECT_EQ(list.columnWidth(hcFrom), 230);
}

TEST_F(MainWindowTest, LoadsTheAccountsIntoTheList)
{
    WriteBytes(AccountsPath(), TwoAccounts);
    TTestMain window;
    ASSERT_EQ(window.poplist->count(), 2);
    EXPECT_EQ(FromQt(window.poplist->item(1)->text()), "b@y.cz");
    EXPECT_EQ(window.AccountItems()[1].Port, "995");
}

TEST_F(MainWindowTest, SelectedAccountNamesTheCheckItemsAndEnablesItsCommands)
{
    WriteBytes(AccountsPath(), TwoAccounts);
    TTestMain window;
    window.show();
    window.poplist->setCurrentRow(0);
    const std::string check = "Kontrola zpráv";
    EXPECT_EQ(Text(window.mCheck), check + "   (a@x.cz)");
    EXPECT_EQ(Text(window.pCheck), check + "   (a@x.cz)");
    EXPECT_EQ(FromQt(window.tCheck->toolTip()), check);
    for (QAction* command : {window.tCheck, window.mCheck, window.pCheck, window.tEdit, window.mEditAcc,
                             window.pEdit, window.tDel, window.mDelAcc, window.pDel})
        EXPECT_TRUE(command->isEnabled()) << Text(command);

    // A click on empty space leaves no account selected.
    QWidget* viewport = window.poplist->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(viewport->width() - 2, viewport->height() - 2));
    EXPECT_EQ(Text(window.mCheck), check);
    EXPECT_EQ(Text(window.pCheck), check);
    EXPECT_FALSE(window.tEdit->isEnabled());
    EXPECT_FALSE(window.pDel->isEnabled());
}

TEST_F(MainWindowTest, MessageCommandsFollowTheShownMessage)
{
    TTestMain window;
    auto downloads = {window.tDownload, window.mDown, window.hDown};
    auto deletions = {window.tDelete, window.mmDel, window.hDel};

    window.FShownIndex = 0;
    window.EnableMessageCommands(false);
    for (QAction* command : downloads)
        EXPECT_TRUE(command->isEnabled());
    for (QAction* command : deletions)
        EXPECT_TRUE(command->isEnabled());
    EXPECT_TRUE(window.lDown->isEnabled());
    EXPECT_TRUE(window.lDelete->isEnabled());

    window.UpdateCommands();   // a shown message leaves the download commands alone
    EXPECT_TRUE(window.mDown->isEnabled());
    window.EnableMessageCommands(true);
    for (QAction* command : downloads)
        EXPECT_FALSE(command->isEnabled());
    EXPECT_FALSE(window.lDown->isEnabled());
    EXPECT_TRUE(window.lDelete->isEnabled());

    window.FShownIndex = -1;
    window.EnableMessageCommands(false);
    window.UpdateCommands();
    for (QAction* command : downloads)
        EXPECT_FALSE(command->isEnabled());
    for (QAction* command : deletions)
        EXPECT_FALSE(command->isEnabled());
    EXPECT_FALSE(window.lDown->isEnabled());
    EXPECT_FALSE(window.lDelete->isEnabled());
}

TEST_F(MainWindowTest, NewAccountFromTheEditorIsListedAndSaved)
{
    WriteBytes(AccountsPath(), TwoAccounts);
    TTestMain window;
    Modal.Answer = [](QDialog& dialog) {
        auto& editor = dynamic_cast<Tfedit&>(dialog);
        // A new account starts encrypted.
        EXPECT_EQ(editor.Security(), csImplicitTls);
        EXPECT_EQ(editor.ePort->Value(), 995);
        editor.eAddress->setText(ToQt("žofie@pošta.cz"));
        editor.ePassw->setText(" tajné ");
        editor.Button1Click();
    };
    window.NewAccClick();
    EXPECT_EQ(Modal.Shown, std::vector<std::string>{"Nový e-mail účet"});
    ASSERT_EQ(window.poplist->count(), 3);
    EXPECT_EQ(FromQt(window.poplist->item(2)->text()), "žofie@pošta.cz");
    EXPECT_TRUE(window.poplist->item(2)->isSelected());
    EXPECT_TRUE(window.tCheck->isEnabled());
    EXPECT_EQ(ReadBytes(AccountsPath()),
              TwoAccounts + "\x9Eofie@po\x9Ata.cz\r\npop3s://\r\n\r\n tajn\xE9 \r\n995\r\n");   // Windows-1250
}

TEST_F(MainWindowTest, CancelledNewAccountChangesNothing)
{
    TTestMain window;
    window.NewAccount();
    EXPECT_EQ(window.poplist->count(), 0);
    struct stat status {};
    EXPECT_NE(::stat(AccountsPath().c_str(), &status), 0) << "the file was written";
}

TEST_F(MainWindowTest, EditedAccountIsSavedInItsPlace)
{
    WriteBytes(AccountsPath(), TwoAccounts);
    TTestMain window;
    window.poplist->setCurrentRow(1);
    Modal.Answer = [](QDialog& dialog) {
        auto& editor = dynamic_cast<Tfedit&>(dialog);
        EXPECT_EQ(FromQt(editor.eHost->text()), "pop.y.cz");
        EXPECT_EQ(editor.ePort->Value(), 995);
        EXPECT_EQ(editor.Security(), csImplicitTls) << "a bare host with port 995 is TLS";
        editor.eHost->setText("mail.y.cz");
        editor.ePort->SetValue(110);
        editor.Button1Click();
    };
    window.EditAccClick();
    EXPECT_EQ(Modal.Shown, std::vector<std::string>{"Upravit e-mail účet"});
    EXPECT_EQ(window.StatusPanelText(0), "b@y.cz");
    EXPECT_EQ(ReadBytes(AccountsPath()),
              "a@x.cz\r\npop.x.cz\r\na\r\npw\r\n110\r\nb@y.cz\r\npop3s://mail.y.cz\r\nb\r\n\r\n110\r\n");
}

TEST_F(MainWindowTest, CancelledEditStillShowsTheAddress)
{
    WriteBytes(AccountsPath(), TwoAccounts);
    TTestMain window;
    window.poplist->setCurrentRow(0);
    window.EditAccount();
    EXPECT_EQ(window.StatusPanelText(0), "a@x.cz");
    EXPECT_EQ(ReadBytes(AccountsPath()), TwoAccounts);
}

TEST_F(MainWindowTest, AccountWithoutPortCannotBeEdited)
{
    WriteBytes(AccountsPath(), "a@x.cz\r\npop.x.cz\r\n");
    TTestMain window;
    window.poplist->setCurrentRow(0);
    try {
        window.EditAccount();
        FAIL() << "no exception";
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Message, "'' is not a valid integer value");
    }
    EXPECT_TRUE(Modal.Shown.empty());
}

TEST_F(MainWindowTest, DeletingAnAccountAsksFirst)
{
    WriteBytes(AccountsPath(), TwoAccounts);
    TTestMain window;
    window.poplist->setCurrentRow(0);
    Ui.Answers = {false};
    window.DelAccClick();
    EXPECT_EQ(Ui.Questions, std::vector<std::string>{"Warning|Vymazat účet a@x.cz, opravdu?"});
    EXPECT_EQ(window.poplist->count(), 2);
    EXPECT_EQ(ReadBytes(AccountsPath()), TwoAccounts);

    Ui.Answers = {true};
    window.DelAccClick();
    ASSERT_EQ(window.poplist->count(), 1);
    window.poplist->setCurrentRow(0);
    Ui.Answers = {true};
    window.DelAccClick();
    EXPECT_EQ(window.poplist->count(), 0);
    EXPECT_EQ(ReadBytes(AccountsPath()), "");
}

// kormoran-cli started with args, its output into errorFile; the caller waits for it.
pid_t StartCli(const std::vector<std::string>& args, const std::string& errorFile)
{
    // Nothing is allocated after the fork: other threads may hold the allocator's lock.
    std::vector<char*> argv{const_cast<char*>(KORMORAN_CLI)};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        for (int fd = 3; fd < 1024; ++fd)
            ::close(fd);
        ::execv(KORMORAN_CLI, argv.data());
        ::_exit(127);
    }
    return child;
}

// How many writers wait for the lock on the file (the kernel's list of file locks).
int WaitersOn(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return 0;
    const std::string inode = ":" + std::to_string(status.st_ino) + " ";
    std::ifstream locks("/proc/locks");
    int waiters = 0;
    for (std::string line; std::getline(locks, line);)
        waiters += line.find("->") != std::string::npos && line.find(inode) != std::string::npos;
    return waiters;
}

// The window deletes an account while three kormoran-cli processes add theirs, all of
// them queued on the lock at once: every change lands, none undoes another.
TEST_F(MainWindowTest, TheWindowAndTheTerminalChangeTheAccountsAtOnceAndNothingIsLost)
{
    WriteBytes(AccountsPath(), TwoAccounts);
    TTestMain window;
    const std::string lockPath = AccountsPath() + ".lock";
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    std::vector<pid_t> writers;
    for (const char* address : {"c1@z.cz", "c2@z.cz", "c3@z.cz"})
        writers.push_back(StartCli({"--accounts", AccountsPath(), "add", address, "--host", "pop.z.cz", "--security",
                                    "none", "--user", address},
                                   Directory.File(std::string(address) + ".out")));
    // Released once the three and the window all wait for it.
    bool allWaited = false;
    std::thread holder([&] {
        for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
             !allWaited && std::chrono::steady_clock::now() < end;
             std::this_thread::sleep_for(std::chrono::milliseconds(10)))
            allWaited = WaitersOn(lockPath) == 4;
        ::close(lock);
    });
    window.poplist->setCurrentRow(1);
    Ui.Answers = {true};
    window.DelAccClick();
    holder.join();
    EXPECT_TRUE(allWaited);
    for (size_t i = 0; i < writers.size(); ++i) {
        int status = -1;
        ::waitpid(writers[i], &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << ReadBytes(Directory.File("c" + std::to_string(i + 1) + "@z.cz.out"));
    }
    std::vector<std::string> addresses;
    for (const TAccountLines& account : LoadAccountFile(AccountsPath()))
        addresses.push_back(account.Address);
    std::sort(addresses.begin(), addresses.end());
    EXPECT_EQ(addresses, (std::vector<std::string>{"a@x.cz", "c1@z.cz", "c2@z.cz", "c3@z.cz"}));
    EXPECT_EQ(FromQt(window.poplist->item(0)->text()), "a@x.cz");
}

TEST_F(MainWindowTest, CommandsWithoutASelectedAccountDoNothing)
{
    WriteBytes(AccountsPath(), TwoAccounts);
    TTestMain window;
    window.EditAccount();
    window.DeleteAccount();
    EXPECT_THROW(window.GetSelectedAccount(), EListError);
    EXPECT_TRUE(Modal.Shown.empty());
    EXPECT_TRUE(Ui.Questions.empty());
}

TEST_F(MainWindowTest, KeysInTheAccountListRunTheAccountCommands)
{
    WriteBytes(AccountsPath(), TwoAccounts);
    TTestMain window;
    window.poplist->setCurrentRow(0);
    QTest::keyClick(window.poplist, Qt::Key_Insert);
    QTest::keyClick(window.poplist, Qt::Key_Return);
    QTest::keyClick(window.poplist, Qt::Key_Delete);
    EXPECT_EQ(Modal.Shown, (std::vector<std::string>{"Nový e-mail účet", "Upravit e-mail účet"}));
    EXPECT_EQ(Ui.Questions.size(), 1u);
}

TEST_F(MainWindowTest, DoubleClickEditsTheAccount)
{
    WriteBytes(AccountsPath(), TwoAccounts);
    TTestMain window;
    window.poplist->setCurrentRow(1);
    emit window.poplist->itemDoubleClicked(window.poplist->item(1));
    EXPECT_EQ(Modal.Shown, std::vector<std::string>{"Upravit e-mail účet"});
}

TEST_F(MainWindowTest, EveryCommandReachesItsOperation)
{
    WriteBytes(AccountsPath(), TwoAccounts);
    InstallHelpFile();
    TTestMain window;
    window.poplist->setCurrentRow(0);
    for (QAction* command : {window.tNew, window.mNewAcc, window.pNew, window.tEdit, window.mEditAcc, window.pEdit,
                             window.lHelp, window.mHelp, window.tAbout, window.About1})
        command->trigger();
    for (QAction* command : {window.tDel, window.mDelAcc, window.pDel})
        command->trigger();
    const std::string created = "Nový e-mail účet";
    const std::string edited = "Upravit e-mail účet";
    const std::string help = "Nápověda";
    EXPECT_EQ(Modal.Shown, (std::vector<std::string>{created, created, created, edited, edited, edited, help, help,
                                                     "O programu...", "O programu..."}));
    EXPECT_EQ(Ui.Questions.size(), 3u);
    EXPECT_EQ(window.poplist->count(), 2);
}

TEST_F(MainWindowTest, SelectAllShortcutWorksOnlyInTheHeaderList)
{
    TTestMain window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    int triggered = 0;
    QObject::connect(window.Vybratve1, &QAction::triggered, [&triggered] { ++triggered; });
    window.poplist->setFocus();
    QTest::keyClick(window.poplist, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(triggered, 0);
    window.headlist->setFocus();
    QTest::keyClick(window.headlist, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(triggered, 1);
}

TEST_F(MainWindowTest, SettingsFileSetsPlaceSizeAndDividers)
{
    const int defaultWidth = TTestMain().width();
    WriteSettings("[POSITION]\nTOP=-5\nLEFT=$1F\n[SIZE]\nHEIGHT=0x190\nWIDTH=abc\n"
                  "[SPLIT]\nVERTICAL=0x\nHORIZONTAL=150\n");
    TTestMain window;
    EXPECT_EQ(window.pos(), QPoint(31, -5));
    EXPECT_EQ(window.size(), QSize(defaultWidth, 400));
    EXPECT_EQ(window.Panel1->width(), 185);
    EXPECT_EQ(window.Panel3->height(), 150);
}

TEST_F(MainWindowTest, HugeValuesInTheSettingsFileAreBroughtBackOnTheScreen)
{
    WriteSettings("[POSITION]\nTOP=2147483647\nLEFT=-2147483648\n"
                  "[SIZE]\nHEIGHT=2147483647\nWIDTH=$7FFFFFFF\n[SPLIT]\nVERTICAL=99999999\nHORIZONTAL=-7\n");
    TTestMain window;
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(QRect(window.pos(), window.size()))) << window.x() << "," << window.y();
    EXPECT_LT(window.Panel1->width(), window.width());
    EXPECT_EQ(window.Panel3->height(), 0);
}

// A press on a divider and a move of the mouse by distance, both ways.
void Drag(QWidget* divider, QPoint distance)
{
    const QPoint start = divider->rect().center();
    QMouseEvent press(QEvent::MouseButtonPress, start, divider->mapToGlobal(start), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(divider, &press);
    QMouseEvent move(QEvent::MouseMove, start + distance, divider->mapToGlobal(start) + distance, Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(divider, &move);
    QApplication::processEvents();
}

TEST_F(MainWindowTest, DividersNeverMakeTheWindowLarger)
{
    TTestMain window;
    window.show();
    QApplication::processEvents();
    const QSize size = window.size();
    Drag(window.Splitter1, QPoint(3000, 0));
    Drag(window.Splitter2, QPoint(0, 3000));
    EXPECT_EQ(window.size(), size);
    EXPECT_GT(window.Panel1->width(), 185);
    EXPECT_LT(window.Panel1->width(), size.width());
    EXPECT_GT(window.Panel3->height(), 105);
    EXPECT_LT(window.Panel3->height(), size.height());
    Drag(window.Splitter1, QPoint(-3000, 0));
    EXPECT_EQ(window.Panel1->width(), 30);
}

TEST_F(MainWindowTest, StoredDividersWiderThanTheWindowAreNarrowed)
{
    WriteSettings("[POSITION]\nTOP=10\nLEFT=10\n[SIZE]\nHEIGHT=400\nWIDTH=640\n"
                  "[SPLIT]\nVERTICAL=5000\nHORIZONTAL=5000\n");
    TTestMain window;
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(window.size(), QSize(640, 400));
    EXPECT_LT(window.Panel1->width(), 640);
    EXPECT_LT(window.Panel3->height(), 400);
}

TEST_F(MainWindowTest, MenusAreReachedFromTheKeyboard)
{
    TTestMain window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QApplication::processEvents();   // the About box of the first activation comes and goes
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    struct TCase {
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        std::string Menu;
    };
    const TCase cases[] = {
        {Qt::Key_F10, Qt::NoModifier, "Účty"},
        {Qt::Key_T, Qt::AltModifier, "Účty"},
        {Qt::Key_Z, Qt::AltModifier, "Zprávy"},
        {Qt::Key_P, Qt::AltModifier, "Pomoc"},
    };
    for (const TCase& keys : cases) {
        QTest::keyClick(&window, keys.Key, keys.Modifiers);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu) << keys.Menu;
        EXPECT_EQ(Text(menu->menuAction()), keys.Menu);
        menu->close();
    }
    // In an open menu the item's letter chooses it.
    Modal.Shown.clear();
    QTest::keyClick(&window, Qt::Key_P, Qt::AltModifier);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_O);
    QTest::keyClick(&window, Qt::Key_T, Qt::AltModifier);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_N);
    EXPECT_EQ(Modal.Shown, (std::vector<std::string>{"O programu...", "Nový e-mail účet"}));
}

TEST_F(MainWindowTest, ContextMenusOpenFromTheKeyboard)
{
    WriteBytes(AccountsPath(), TwoAccounts);
    TTestMain window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.poplist->setCurrentRow(0);
    const std::pair<QWidget*, QMenu*> lists[] = {{window.poplist, window.pop3popup},
                                                 {window.headlist, window.headpopup}};
    for (const auto& [list, menu] : lists) {
        list->setFocus();
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        EXPECT_TRUE(menu->isVisible());
        menu->close();
    }
    // The check item names the account also when the menu opens by key.
    EXPECT_EQ(Text(window.pCheck), "Kontrola zpráv   (a@x.cz)");
}

TEST_F(MainWindowTest, AnAmpersandInAnAddressIsNoAccessKey)
{
    WriteBytes(AccountsPath(), "a&b@x.cz\r\npop.x.cz\r\na\r\npw\r\n110\r\n");
    TTestMain window;
    window.poplist->setCurrentRow(0);
    EXPECT_EQ(FromQt(window.mCheck->text()), "&Kontrola zpráv   (a&&b@x.cz)");
}

TEST_F(MainWindowTest, ClosingStoresPlaceSizeAndDividers)
{
    WriteSettings("; kept\n[OTHER]\nX=1\n");
    TTestMain window;
    window.move(-40, 300);
    window.resize(640, 480);
    window.Panel1->setFixedWidth(200);
    window.Panel3->setFixedHeight(120);
    window.Exit1Click();
    EXPECT_EQ(ReadBytes(SettingsPath()),
              "; kept\n[OTHER]\nX=1\n\n[POSITION]\nTOP=300\nLEFT=-40\n\n[SIZE]\nHEIGHT=480\nWIDTH=640\n\n"
              "[SPLIT]\nVERTICAL=200\nHORIZONTAL=120\n");
    TTestMain reopened;
    EXPECT_EQ(reopened.pos(), QPoint(-40, 300));
    EXPECT_EQ(reopened.size(), QSize(640, 480));
    EXPECT_EQ(reopened.Panel1->width(), 200);
}

TEST_F(MainWindowTest, UnwritableSettingsKeepTheWindowOpen)
{
    ASSERT_EQ(::mkdir(SettingsPath().c_str(), 0700), 0);
    TTestMain window;
    window.show();
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(Ui.Errors, std::vector<std::string>{"Unable to write to " + SettingsPath()});
    EXPECT_FALSE(window.close());
    EXPECT_EQ(Ui.Errors.size(), 2u);
}

TEST_F(MainWindowTest, FailureWhileCreatingIsShownAndSkipsTheSettings)
{
    ASSERT_EQ(::mkdir(AccountsPath().c_str(), 0700), 0);
    WriteSettings("[POSITION]\nTOP=1\nLEFT=1\n");
    TTestMain window;
    EXPECT_EQ(Ui.Errors, std::vector<std::string>{"I/O error 21: " + AccountsPath()});
    EXPECT_EQ(window.geometry(), QRect(213, 144, 599, 516));
    EXPECT_EQ(window.Panel1->width(), 185);
}

TEST_F(MainWindowTest, HelpCommandOpensTheContentsAndF1TheMainWindowTopic)
{
    InstallHelpFile();
    TTestMain window;
    std::vector<int> topics;
    Modal.Answer = [&topics](QDialog& dialog) {
        if (auto* help = dynamic_cast<THelpWindow*>(&dialog))
            topics.push_back(help->ShownTopic());
    };
    window.lHelpClick();
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_F1);
    EXPECT_EQ(topics, (std::vector<int>{1, 30}));
}

TEST_F(MainWindowTest, MissingHelpFileIsAnError)
{
    TTestMain window;
    EXPECT_THROW(window.lHelpClick(), Exception);
}

TEST(ApplicationErrors, ExceptionTextIsShownWhole)
{
    TScriptedUserInterface ui;
    try {
        throw EConvertError("first line\nsecond line");
    } catch (...) {
        evException();
    }
    try {
        throw 42;
    } catch (...) {
        evException();
    }
    EXPECT_EQ(ui.Errors, (std::vector<std::string>{"first line\nsecond line", "Unknown exception"}));
}

} // namespace
