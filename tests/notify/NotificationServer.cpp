#include "NotificationServer.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace corvane::test {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kControl = QStringLiteral("org.corvane.test.NotificationRecorder");

QDBusMessage control(const QString& method)
{
    return QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(kService, kPath, kControl, method));
}

} // namespace

NotificationServer::NotificationServer(QStringList capabilities, bool hold)
    : m_capabilities(std::move(capabilities)), m_hold(hold)
{
}

NotificationServer::~NotificationServer()
{
    stop();
}

QString NotificationServer::start()
{
    QStringList arguments{QStringLiteral(RECORDING_NOTIFYD), QStringLiteral("--capabilities"),
                          m_capabilities.join(QLatin1Char(','))};
    if (m_hold)
        arguments << QStringLiteral("--hold");
    // stdin stays an open pipe: the server quits when it closes, also when the test crashes.
    m_process.start(QStringLiteral("/usr/bin/python3"), arguments);
    if (!m_process.waitForStarted(10000))
        return QStringLiteral("cannot start the recording server: ") + m_process.errorString();
    QByteArray output;
    const bool ready = QTest::qWaitFor(
        [&] {
            output += m_process.readAllStandardOutput();
            return m_process.state() != QProcess::Running || output.contains("ready");
        },
        15000);
    if (!ready || m_process.state() != QProcess::Running)
        return QStringLiteral("the recording server did not come up: ") +
               QString::fromUtf8(m_process.readAllStandardError());
    if (!QTest::qWaitFor([] { return ownerPresent(); }, 5000))
        return QStringLiteral("the recording server owns no name on the session bus");
    return {};
}

void NotificationServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    // The bus drops the name a moment after the owner's connection closes.
    if (!QTest::qWaitFor([] { return !ownerPresent(); }, 5000))
        qWarning("the recording server still owns its name after exit");
}

QList<NotificationServer::Call> NotificationServer::calls() const
{
    const QDBusMessage reply = control(QStringLiteral("Calls"));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        qFatal("the recording server did not answer Calls: %s", qPrintable(reply.errorMessage()));
    QList<Call> out;
    const QJsonArray array =
        QJsonDocument::fromJson(reply.arguments().constFirst().toString().toUtf8()).array();
    for (const QJsonValue& value : array) {
        const QJsonObject object = value.toObject();
        Call call;
        call.method = object.value(QStringLiteral("method")).toString();
        call.appName = object.value(QStringLiteral("app_name")).toString();
        call.replacesId = object.value(QStringLiteral("replaces_id")).toInteger(-1);
        call.appIcon = object.value(QStringLiteral("app_icon")).toString();
        call.summary = object.value(QStringLiteral("summary")).toString();
        call.body = object.value(QStringLiteral("body")).toString();
        for (const QJsonValue& action : object.value(QStringLiteral("actions")).toArray())
            call.actions.append(action.toString());
        call.expireTimeout = object.value(QStringLiteral("expire_timeout")).toInteger();
        call.id = object.value(QStringLiteral("id")).toInteger();
        out.append(call);
    }
    return out;
}

QList<NotificationServer::Call> NotificationServer::notifications() const
{
    QList<Call> out = calls();
    out.removeIf([](const Call& call) { return call.method != QLatin1String("Notify"); });
    return out;
}

qint64 NotificationServer::held() const
{
    const QDBusMessage reply = control(QStringLiteral("Held"));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        qFatal("the recording server did not answer Held: %s", qPrintable(reply.errorMessage()));
    return reply.arguments().constFirst().toLongLong();
}

void NotificationServer::release()
{
    control(QStringLiteral("Release"));
}

bool NotificationServer::ownerPresent()
{
    const QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(kService).value();
}

} // namespace corvane::test
