#include "AccountListItem.h"

#include "QtText.h"

#include <QListWidgetItem>

namespace {

enum TAccountRole { HostRole = Qt::UserRole, UserRole, PasswordRole, PortRole };

std::string RoleText(const QListWidgetItem* item, TAccountRole role)
{
    return FromQt(item->data(role).toString());
}

} // namespace

void SetAccountItem(QListWidgetItem* item, const TAccountLines& account, const QIcon& icon)
{
    item->setIcon(icon);
    item->setText(ToQt(account.Address));
    item->setData(HostRole, ToQt(account.Host));
    item->setData(UserRole, ToQt(account.User));
    item->setData(PasswordRole, ToQt(account.Password));
    item->setData(PortRole, ToQt(account.Port));
}

TAccountLines AccountOfItem(const QListWidgetItem* item)
{
    return {FromQt(item->text()), RoleText(item, HostRole), RoleText(item, UserRole), RoleText(item, PasswordRole),
            RoleText(item, PortRole)};
}
