#include "SingleInstance.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace corvane {

namespace {

QString defaultDir()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir;
}

} // namespace

SingleInstance::SingleInstance(std::optional<QDBusConnection> bus, QString dir, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_dir(dir.isEmpty() ? defaultDir() : std::move(dir))
{
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim()
{
    if (m_bus && m_bus->isConnected())
        return claimBus();
    return claimLockFile();
}

bool SingleInstance::claimBus()
{
    QDBusConnection& bus = *m_bus;
    const QString service = QString::fromLatin1(serviceName);
    const QString path = QString::fromLatin1(objectPath);
    // The object first, so that nobody finds the name without something to call behind it.
    bus.registerObject(path, this, QDBusConnection::ExportScriptableSlots);
    if (bus.registerService(service))
        return true;
    bus.unregisterObject(path);
    const QDBusMessage call = QDBusMessage::createMethodCall(
        service, path, QString::fromLatin1(serviceName), QStringLiteral("ShowPanel"));
    bus.call(call, QDBus::BlockWithGui, 5000);
    return false;
}

bool SingleInstance::claimLockFile()
{
    QDir().mkpath(m_dir);
    const QString request = m_dir + QStringLiteral("/corvane-monitor.show");
    m_lock = std::make_unique<QLockFile>(m_dir + QStringLiteral("/corvane-monitor.lock"));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        QFile file(request);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(QByteArray::number(QCoreApplication::applicationPid()));
        return false;
    }
    QFile file(request);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.close();
    m_watcher.addPath(request);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this, request] {
        // Some editors of the file replace it; watch the new one.
        if (!m_watcher.files().contains(request))
            m_watcher.addPath(request);
        Q_EMIT showRequested();
    });
    return true;
}

void SingleInstance::ShowPanel()
{
    Q_EMIT showRequested();
}

} // namespace corvane
