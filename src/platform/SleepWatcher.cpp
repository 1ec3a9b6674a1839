#include "SleepWatcher.h"

namespace corvane {

SleepWatcher::SleepWatcher(QDBusConnection bus, QObject* parent) : QObject(parent)
{
    if (!bus.isConnected())
        return;
    m_watching = bus.connect(QStringLiteral("org.freedesktop.login1"),
                             QStringLiteral("/org/freedesktop/login1"),
                             QStringLiteral("org.freedesktop.login1.Manager"),
                             QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
}

void SleepWatcher::prepareForSleep(bool sleeping)
{
    if (!sleeping)
        Q_EMIT resumed();
}

} // namespace corvane
