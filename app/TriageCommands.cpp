#include "TriageCommands.h"

#include "CzechText.h"
#include "FileLocations.h"
#include "HeaderList.h"
#include "udm.h"

#include <QMenu>

TTriageCommands::TTriageCommands(THeaderList& list, QMenu& menu) : QObject(&menu), FList(list)
{
    menu.addSeparator();
    TrustMenu = menu.addMenu(Czech("Vždy důvěřovat odesílateli / doméně"));
    SuspectMenu = menu.addMenu(Czech("Vždy podezřelý"));
    SelectSuspicious = menu.addAction(Czech("Vybrat podezřelé"));
    connect(&menu, &QMenu::aboutToShow, this, &TTriageCommands::PrepareMenus);
    connect(SelectSuspicious, &QAction::triggered, this, &TTriageCommands::SelectSuspiciousRows);
}

void TTriageCommands::FillSenderMenu(QMenu& menu, const std::string& address, TSenderStanding standing)
{
    menu.clear();
    const std::string domain = DomainEntry(address);
    for (const std::string& entry : {address, domain}) {
        if (entry.empty())
            continue;
        QAction* action = menu.addAction(ToQt(entry));
        connect(action, &QAction::triggered, this, [this, entry, standing] { MarkSender(entry, standing); });
    }
    menu.setEnabled(!menu.isEmpty());
}

void TTriageCommands::PrepareMenus()
{
    const auto* row = static_cast<THeaderRow*>(FList.currentItem());
    const std::shared_ptr<TMessageHeader> record = row ? row->Record() : nullptr;
    const std::string address = record ? record->FromText() : std::string();
    FillSenderMenu(*TrustMenu, address, ssAllowed);
    FillSenderMenu(*SuspectMenu, address, ssSuspicious);
    SelectSuspicious->setEnabled(FList.RowCount() > 0);
}

void TTriageCommands::MarkSender(const std::string& entry, TSenderStanding standing)
{
    TSenderLists lists = TSenderLists::Load(SenderListFilePath());
    lists.Set(entry, standing);
    lists.Save(SenderListFilePath());
}

void TTriageCommands::SelectSuspiciousRows()
{
    const TSenderLists lists = TSenderLists::Load(SenderListFilePath());
    FList.SelectRows([&](const THeaderRow& row) { return RowIsSuspicious(row, lists); });
}

bool RowIsSuspicious(const THeaderRow& row, const TSenderLists& lists)
{
    const std::shared_ptr<TMessageHeader> record = row.Record();
    return record && !record->Deleted && CountsAsSuspicious(record->Verdict, lists.StandingOf(record->FromText()));
}
