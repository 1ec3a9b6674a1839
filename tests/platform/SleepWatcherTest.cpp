// Wake-up detection against a private bus that plays logind's PrepareForSleep signal.

#include "platform/SleepWatcher.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

using namespace corvane;

namespace {

QDBusMessage prepareForSleep(bool sleeping)
{
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
        QStringLiteral("PrepareForSleep"));
    signal << sleeping;
    return signal;
}

// A bus round trip: once it returns, signals sent before it have been delivered.
void flush(QDBusConnection& bus)
{
    bus.interface()->serviceOwner(QStringLiteral("org.freedesktop.DBus"));
    QCoreApplication::processEvents();
}

} // namespace

class SleepWatcherTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void resumeOnlyOnWakeUp_data();
    void resumeOnlyOnWakeUp();
    void ignoresImpostors();
    void quietWithoutBus();
};

void SleepWatcherTest::initTestCase()
{
    QVERIFY2(QDBusConnection::sessionBus().isConnected(),
             "run under dbus-run-session: a private bus stands in for the system bus");
}

void SleepWatcherTest::resumeOnlyOnWakeUp_data()
{
    QTest::addColumn<QList<bool>>("signals");
    QTest::addColumn<int>("resumes");
    QTest::newRow("going to sleep") << QList<bool>{true} << 0;
    QTest::newRow("sleep then wake") << QList<bool>{true, false} << 1;
    QTest::newRow("two nights") << QList<bool>{true, false, true, false} << 2;
}

void SleepWatcherTest::resumeOnlyOnWakeUp()
{
    QFETCH(QList<bool>, signals);
    QFETCH(int, resumes);

    QDBusConnection logind =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("logind"));
    QVERIFY(logind.registerService(QStringLiteral("org.freedesktop.login1")));
    SleepWatcher watcher(QDBusConnection::sessionBus());
    QVERIFY(watcher.isWatching());
    QSignalSpy resumed(&watcher, &SleepWatcher::resumed);

    for (bool sleeping : signals)
        QVERIFY(logind.send(prepareForSleep(sleeping)));
    if (resumes > 0)
        QTRY_COMPARE_WITH_TIMEOUT(resumed.size(), resumes, 10000);
    QDBusConnection own = QDBusConnection::sessionBus();
    flush(logind);
    flush(own);
    QCOMPARE(resumed.size(), resumes);

    logind.unregisterService(QStringLiteral("org.freedesktop.login1"));
    QDBusConnection::disconnectFromBus(QStringLiteral("logind"));
}

void SleepWatcherTest::ignoresImpostors()
{
    // Anyone on the bus can send the signal; only the owner of logind's name counts.
    QDBusConnection other =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("other"));
    SleepWatcher watcher(QDBusConnection::sessionBus());
    QSignalSpy resumed(&watcher, &SleepWatcher::resumed);
    QVERIFY(other.send(prepareForSleep(false)));
    flush(other);
    QDBusConnection own = QDBusConnection::sessionBus();
    flush(own);
    QTest::qWait(200);
    QCOMPARE(resumed.size(), 0);
    QDBusConnection::disconnectFromBus(QStringLiteral("other"));
}

void SleepWatcherTest::quietWithoutBus()
{
    const QDBusConnection none = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/corvane-test-bus"), QStringLiteral("none"));
    QVERIFY(!none.isConnected());
    SleepWatcher watcher(none);
    QVERIFY(!watcher.isWatching());
}

QTEST_GUILESS_MAIN(SleepWatcherTest)
#include "SleepWatcherTest.moc"
