#pragma once
// An account in the main window's account list: the address is the item's caption,
// followed by "(N nových)" when its last check found new mail; the address itself, host,
// user, password and port text ride along in data roles.

#include "AccountFile.h"

#include <QIcon>

class QListWidgetItem;

void SetAccountItem(QListWidgetItem* item, const TAccountLines& account, const QIcon& icon);
TAccountLines AccountOfItem(const QListWidgetItem* item);
// The number of new messages the account's last check found; 0 shows the bare address.
void SetAccountNewCount(QListWidgetItem* item, int count);
int AccountNewCount(const QListWidgetItem* item);
// The failure of the account's last check: a warning icon with the error text as its
// tooltip; an empty text brings the account's own icon back.
void SetAccountError(QListWidgetItem* item, const std::string& error);
std::string AccountError(const QListWidgetItem* item);
