#include "DBusNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace corvane {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

} // namespace

DBusNotifier::DBusNotifier() : m_connection(QDBusConnection::sessionBus()) {}

DBusNotifier::DBusNotifier(QDBusConnection connection) : m_connection(std::move(connection)) {}

QString DBusNotifier::escapeMarkup(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == QLatin1Char('&'))
            out += QStringLiteral("&amp;");
        else if (c == QLatin1Char('<'))
            out += QStringLiteral("&lt;");
        else if (c == QLatin1Char('>'))
            out += QStringLiteral("&gt;");
        else
            out += c;
    }
    return out;
}

void DBusNotifier::post(const QString& title, const QString& body)
{
    if (!m_connection.isConnected())
        return;
    // Ask what the server does with markup on every post: the daemon may have been replaced.
    const QDBusMessage capabilities = QDBusMessage::createMethodCall(
        kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
    auto* watcher =
        new QDBusPendingCallWatcher(m_connection.asyncCall(capabilities, 10000), nullptr);
    QDBusConnection connection = m_connection;
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [connection, title, body](QDBusPendingCallWatcher* call) {
                         call->deleteLater();
                         const QDBusPendingReply<QStringList> reply = *call;
                         if (reply.isError())
                             return;
                         const bool markup = reply.value().contains(QStringLiteral("body-markup"));
                         QDBusMessage notify = QDBusMessage::createMethodCall(
                             kService, kPath, kInterface, QStringLiteral("Notify"));
                         notify << QString::fromLatin1(appName) << quint32(0) << QString() << title
                                << (markup ? escapeMarkup(body) : body) << QStringList()
                                << QVariantMap() << qint32(-1);
                         QDBusConnection(connection).asyncCall(notify, 10000);
                     });
}

} // namespace corvane
