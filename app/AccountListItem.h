#pragma once
// An account in the main window's account list: the address is the item's caption,
// host, user, password and port text ride along in data roles.

#include "AccountFile.h"

#include <QIcon>

class QListWidgetItem;

void SetAccountItem(QListWidgetItem* item, const TAccountLines& account, const QIcon& icon);
TAccountLines AccountOfItem(const QListWidgetItem* item);
