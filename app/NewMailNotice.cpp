#include "NewMailNotice.h"

#include "QtText.h"

#include <QDBusMessage>
#include <QVariantMap>

namespace {

constexpr size_t MostListed = 5;
const std::string NoticeTitle = "Nová pošta";
const std::string MoreText = "a %d dalších";
const QString ApplicationName = QStringLiteral("Kormoran");

} // namespace

std::string NewMailNoticeBody(const std::vector<TNewMessageLine>& messages)
{
    std::string body;
    for (size_t i = 0; i < messages.size() && i < MostListed; ++i) {
        if (!body.empty())
            body += "\n";
        body += messages[i].Sender + " — " + messages[i].Subject;
    }
    if (messages.size() > MostListed) {
        std::string more = MoreText;
        more.replace(more.find("%d"), 2, std::to_string(messages.size() - MostListed));
        body += "\n" + more;
    }
    return body;
}

void NotifyNewMail(const std::vector<TNewMessageLine>& messages, const QDBusConnection& bus)
{
    if (messages.empty() || !bus.isConnected())
        return;
    QDBusMessage notify =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                       QStringLiteral("/org/freedesktop/Notifications"),
                                       QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The body markup of some servers would read "<" in a sender's address as a tag.
    QString body = ToQt(NewMailNoticeBody(messages)).toHtmlEscaped();
    notify << ApplicationName << 0u << QStringLiteral("mail-unread") << ToQt(NoticeTitle) << body << QStringList()
           << QVariantMap() << -1;
    bus.send(notify);
}
