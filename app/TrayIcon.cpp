#include "TrayIcon.h"

#include "CzechText.h"

#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>

namespace {

// The icon with the count in a red disc in its lower right corner.
QIcon CountedIcon(const QIcon& icon, int count)
{
    if (count <= 0)
        return icon;
    QPixmap pixmap = icon.pixmap(32, 32);
    if (pixmap.isNull())
        pixmap = QPixmap(32, 32);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect disc(12, 12, 20, 20);
    painter.setBrush(QColor(200, 30, 30));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(disc);
    QFont font = painter.font();
    font.setPixelSize(count > 99 ? 8 : 12);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(disc, Qt::AlignCenter, count > 999 ? QStringLiteral("999+") : QString::number(count));
    return QIcon(pixmap);
}

} // namespace

std::string TrayToolTip(const std::vector<TAccountNewCount>& accounts)
{
    std::string tip = "Kormoran";
    for (const TAccountNewCount& account : accounts)
        tip += "\n" + account.Address + ": "
               + (account.NewCount > 0 ? std::to_string(account.NewCount) + " nových" : std::string("nic nového"));
    return tip;
}

TTrayIcon::TTrayIcon(const QIcon& icon, std::function<void()> showWindow, std::function<void()> quit) : FIcon(icon)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    FMenu = std::make_unique<QMenu>();
    QObject::connect(FMenu->addAction(Czech("Zobrazit okno")), &QAction::triggered, showWindow);
    QObject::connect(FMenu->addAction(Czech("&Konec")), &QAction::triggered, quit);
    FTray = std::make_unique<QSystemTrayIcon>(FIcon);
    FTray->setContextMenu(FMenu.get());
    QObject::connect(FTray.get(), &QSystemTrayIcon::activated, [showWindow](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            showWindow();
    });
    FTray->setToolTip(ToQt(TrayToolTip({})));
    FTray->show();
}

TTrayIcon::~TTrayIcon() = default;

bool TTrayIcon::Shown() const
{
    return FTray && FTray->isVisible();
}

void TTrayIcon::ShowCounts(const std::vector<TAccountNewCount>& accounts)
{
    if (!FTray)
        return;
    int total = 0;
    for (const TAccountNewCount& account : accounts)
        total += account.NewCount;
    FTray->setIcon(CountedIcon(FIcon, total));
    FTray->setToolTip(ToQt(TrayToolTip(accounts)));
}
