// The new-mail notification through a private D-Bus session bus, received by a small
// stand-in for the desktop's notification server.
#include "NewMailNotice.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

// A bus of the test's own: dbus-daemon with the session configuration, ended with the test.
class PrivateSessionBus {
public:
    PrivateSessionBus()
    {
        FDaemon.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (FDaemon.waitForStarted(5000) && FDaemon.waitForReadyRead(5000))
            Address = QString::fromUtf8(FDaemon.readLine()).trimmed();
    }
    ~PrivateSessionBus()
    {
        FDaemon.terminate();
        FDaemon.waitForFinished(5000);
    }

    QString Address;

private:
    QProcess FDaemon;
};

// Answers Notify as a notification server does and keeps what it was given.
class FakeNotificationServer : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.interface() != QStringLiteral("org.freedesktop.Notifications")
            || message.member() != QStringLiteral("Notify"))
            return false;
        Received.push_back(message.arguments());
        connection.send(message.createReply(QVariant::fromValue(uint(Received.size()))));
        return true;
    }

    std::vector<QList<QVariant>> Received;
};

} // namespace

TEST(NewMailNotice, AtMostFiveMessagesAreListedAndTheRestCounted)
{
    const struct {
        size_t Count;
        std::string Body;
    } cases[] = {
        {0, ""},
        {1, "s1 — předmět 1"},
        {5, "s1 — předmět 1\ns2 — předmět 2\ns3 — předmět 3\ns4 — předmět 4\ns5 — předmět 5"},
        {8, "s1 — předmět 1\ns2 — předmět 2\ns3 — předmět 3\ns4 — předmět 4\ns5 — předmět 5\na 3 dalších"},
    };
    for (const auto& c : cases) {
        std::vector<TNewMessageLine> messages;
        for (size_t i = 1; i <= c.Count; ++i)
            messages.push_back({"s" + std::to_string(i), "předmět " + std::to_string(i)});
        EXPECT_EQ(NewMailNoticeBody(messages), c.Body) << c.Count;
    }
}

TEST(NewMailNotice, OneNotificationReachesTheNotificationServer)
{
    PrivateSessionBus bus;
    ASSERT_FALSE(bus.Address.isEmpty()) << "dbus-daemon did not start";
    QDBusConnection serverSide = QDBusConnection::connectToBus(bus.Address, QStringLiteral("notification-server"));
    QDBusConnection clientSide = QDBusConnection::connectToBus(bus.Address, QStringLiteral("kormoran"));
    ASSERT_TRUE(serverSide.isConnected() && clientSide.isConnected());
    FakeNotificationServer server;
    ASSERT_TRUE(serverSide.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &server));
    ASSERT_TRUE(serverSide.registerService(QStringLiteral("org.freedesktop.Notifications")));

    std::vector<TNewMessageLine> messages;
    for (int i = 1; i <= 6; ++i)
        messages.push_back({"<a" + std::to_string(i) + "@example.cz>", "Zpráva " + std::to_string(i)});
    NotifyNewMail({}, clientSide);
    NotifyNewMail(messages, clientSide);
    const QDeadlineTimer deadline(5000);
    while (server.Received.empty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    ASSERT_EQ(server.Received.size(), 1u);
    const QList<QVariant>& arguments = server.Received.front();
    ASSERT_EQ(arguments.size(), 8);
    EXPECT_EQ(arguments[0].toString(), QStringLiteral("Kormoran"));
    EXPECT_EQ(arguments[3].toString(), QStringLiteral("Nová pošta"));
    const QString body = arguments[4].toString();
    EXPECT_TRUE(body.startsWith(QStringLiteral("&lt;a1@example.cz&gt; — Zpráva 1\n"))) << body.toStdString();
    EXPECT_TRUE(body.endsWith(QStringLiteral("\na 1 dalších"))) << body.toStdString();
    serverSide.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    QDBusConnection::disconnectFromBus(QStringLiteral("notification-server"));
    QDBusConnection::disconnectFromBus(QStringLiteral("kormoran"));
}
