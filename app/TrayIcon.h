#pragma once
// The icon in the desktop's notification area: the number of new messages drawn on the
// program's icon, a tooltip with one line per account, a click that brings the window
// back. Where the desktop has no notification area nothing is shown.

#include <QIcon>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QMenu;
class QSystemTrayIcon;

struct TAccountNewCount {
    std::string Address;
    int NewCount = 0;
};

class TTrayIcon {
public:
    TTrayIcon(const QIcon& icon, std::function<void()> showWindow, std::function<void()> quit);
    ~TTrayIcon();

    bool Shown() const;
    void ShowCounts(const std::vector<TAccountNewCount>& accounts);

private:
    QIcon FIcon;
    std::unique_ptr<QMenu> FMenu;
    std::unique_ptr<QSystemTrayIcon> FTray;
};

// The tooltip: "Kormoran", then "address: N nových" (or "address: nic nového") per account.
std::string TrayToolTip(const std::vector<TAccountNewCount>& accounts);
