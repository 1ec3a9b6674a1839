// Posts one notification where there may be no bus at all, then lets the event loop turn once.
// The notification test runs this in a child process so that a crash is seen as one.
//   corvane_notify_probe session          the default notifier (the session bus)
//   corvane_notify_probe address ADDRESS  a notifier on the bus at ADDRESS
#include "platform/DBusNotifier.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QTimer>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    std::unique_ptr<corvane::DBusNotifier> notifier;
    bool connected = false;
    if (args.size() == 2 && args.at(1) == QLatin1String("session")) {
        notifier = std::make_unique<corvane::DBusNotifier>();
        connected = QDBusConnection::sessionBus().isConnected();
    } else if (args.size() == 3 && args.at(1) == QLatin1String("address")) {
        const QDBusConnection connection =
            QDBusConnection::connectToBus(args.at(2), QStringLiteral("corvane-probe"));
        connected = connection.isConnected();
        notifier = std::make_unique<corvane::DBusNotifier>(connection);
    } else {
        return 3;
    }

    std::printf("connected: %s\n", connected ? "yes" : "no");
    notifier->post(QStringLiteral("web1 unreachable"), QStringLiteral("no bus <here> & now"));
    QTimer::singleShot(0, &app, [&app] {
        std::printf("loop continued\n");
        app.quit();
    });
    return app.exec();
}
