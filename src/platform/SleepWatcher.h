#pragma once

#include <QDBusConnection>
#include <QObject>

namespace corvane {

// Tells when the machine wakes from sleep (logind's PrepareForSleep(false) on the system bus),
// so that results from before the sleep are not shown as current. Without a bus it stays quiet.
class SleepWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SleepWatcher(QDBusConnection bus, QObject* parent = nullptr);

    // True when the watcher is listening on a connected bus.
    [[nodiscard]] bool isWatching() const { return m_watching; }

Q_SIGNALS:
    void resumed();

private Q_SLOTS:
    void prepareForSleep(bool sleeping);

private:
    bool m_watching = false;
};

} // namespace corvane
