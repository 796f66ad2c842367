#include "AccountListItem.h"

#include "QtText.h"

#include <QApplication>
#include <QListWidgetItem>
#include <QStyle>

namespace {

enum TAccountRole { HostRole = Qt::UserRole, UserRole, PasswordRole, PortRole, AddressRole, NewCountRole, ErrorRole, OwnIconRole };

std::string RoleText(const QListWidgetItem* item, TAccountRole role)
{
    return FromQt(item->data(role).toString());
}

void ShowCaption(QListWidgetItem* item)
{
    const int count = AccountNewCount(item);
    const QString address = item->data(AddressRole).toString();
    item->setText(count > 0 ? address + QStringLiteral(" (%1 nových)").arg(count) : address);
}

} // namespace

void SetAccountItem(QListWidgetItem* item, const TAccountLines& account, const QIcon& icon)
{
    item->setIcon(icon);
    item->setData(AddressRole, ToQt(account.Address));
    ShowCaption(item);
    item->setData(HostRole, ToQt(account.Host));
    item->setData(UserRole, ToQt(account.User));
    item->setData(PasswordRole, ToQt(account.Password));
    item->setData(PortRole, ToQt(account.Port));
}

TAccountLines AccountOfItem(const QListWidgetItem* item)
{
    return {RoleText(item, AddressRole), RoleText(item, HostRole), RoleText(item, UserRole), RoleText(item, PasswordRole),
            RoleText(item, PortRole)};
}

void SetAccountNewCount(QListWidgetItem* item, int count)
{
    item->setData(NewCountRole, count);
    ShowCaption(item);
}

int AccountNewCount(const QListWidgetItem* item)
{
    return item->data(NewCountRole).toInt();
}

void SetAccountError(QListWidgetItem* item, const std::string& error)
{
    const bool failedBefore = !AccountError(item).empty();
    if (!failedBefore && !error.empty()) {
        item->setData(OwnIconRole, item->icon());
        item->setIcon(QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning));
    } else if (failedBefore && error.empty()) {
        item->setIcon(item->data(OwnIconRole).value<QIcon>());
    }
    item->setData(ErrorRole, ToQt(error));
    item->setToolTip(ToQt(error));
}

std::string AccountError(const QListWidgetItem* item)
{
    return RoleText(item, ErrorRole);
}
