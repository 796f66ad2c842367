#pragma once
// The header list's commands for sorting out mail before it is downloaded: the sender of
// the row under the menu always trusted or always suspicious (as an address or as a whole
// domain, kept in senders.txt), and "Vybrat podezřelé", which selects the rows flagged as
// spam, those that failed authentication and those of suspicious senders, never one of a
// trusted sender. Deleting them is the list's usual confirmed deletion.

#include <QObject>
#include <string>

#include "SenderLists.h"

class QAction;
class QMenu;
class THeaderList;
class THeaderRow;
class TMessageHeader;

class TTriageCommands : public QObject {
public:
    // Adds the commands to menu, the header list's context menu.
    TTriageCommands(THeaderList& list, QMenu& menu);

    QMenu* TrustMenu = nullptr;
    QMenu* SuspectMenu = nullptr;
    QAction* SelectSuspicious = nullptr;

    // Fills the two sender menus for the current row; they are disabled without one.
    void PrepareMenus();
    // Puts entry on a list and saves it; raises EInOutError when the file cannot be written.
    void MarkSender(const std::string& entry, TSenderStanding standing);
    void SelectSuspiciousRows();

private:
    void FillSenderMenu(QMenu& menu, const std::string& address, TSenderStanding standing);

    THeaderList& FList;
};

// Whether the row's message is one "Vybrat podezřelé" selects under these lists.
bool RowIsSuspicious(const THeaderRow& row, const TSenderLists& lists);
