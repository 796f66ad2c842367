#pragma once
// The desktop notification after a check that found new mail: one notification through
// the freedesktop notification service over D-Bus, listing up to five new messages as
// "sender — subject" and the rest as "a N dalších". Where the desktop has no such
// service nothing happens.

#include <QDBusConnection>
#include <string>
#include <vector>

struct TNewMessageLine {
    std::string Sender;
    std::string Subject;
};

// The notification's body: one line per message, at most five, then "a N dalších".
std::string NewMailNoticeBody(const std::vector<TNewMessageLine>& messages);

// Sends the notification on bus (the session bus by default) without waiting for an
// answer; nothing is sent for no messages.
void NotifyNewMail(const std::vector<TNewMessageLine>& messages,
                   const QDBusConnection& bus = QDBusConnection::sessionBus());
