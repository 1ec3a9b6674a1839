#include "platform/DBusNotifier.h"
#include "NotificationServer.h"

#include <QDBusConnection>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

using corvane::DBusNotifier;
using corvane::test::NotificationServer;

namespace {

// True once the event loop has run a zero timer started now: the caller was not blocked.
bool loopTurns()
{
    bool turned = false;
    QTimer::singleShot(0, [&turned] { turned = true; });
    return QTest::qWaitFor([&turned] { return turned; }, 5000);
}

} // namespace

class DBusNotifierTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void postsEachNotificationAsNew();
    void escapesBodyOnlyForMarkupServers_data();
    void escapesBodyOnlyForMarkupServers();
    void dropsWithoutServer();
    void survivesWithoutBus_data();
    void survivesWithoutBus();
    void postReturnsBeforeServerAnswers();

private:
    void startServer(const QStringList& capabilities, bool hold = false);

    std::unique_ptr<NotificationServer> m_server;
};

void DBusNotifierTest::initTestCase()
{
    // Only ever on a private bus, so that nothing reaches a real desktop.
    QVERIFY2(QDBusConnection::sessionBus().isConnected(),
             "no session bus: run this test under dbus-run-session");
    QVERIFY2(!NotificationServer::ownerPresent(),
             "a notification service is already on this bus; expected a private bus");
}

void DBusNotifierTest::cleanup()
{
    m_server.reset();
}

void DBusNotifierTest::startServer(const QStringList& capabilities, bool hold)
{
    m_server = std::make_unique<NotificationServer>(capabilities, hold);
    const QString why = m_server->start();
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

void DBusNotifierTest::postsEachNotificationAsNew()
{
    startServer({QStringLiteral("body")});
    if (QTest::currentTestFailed())
        return;
    DBusNotifier notifier;
    notifier.post(QStringLiteral("web1: Critical"), QStringLiteral("2 failures, 1 warnings"));
    notifier.post(QStringLiteral("web1 unreachable"), QStringLiteral("SSH returned no data"));

    QList<NotificationServer::Call> posted;
    QVERIFY(QTest::qWaitFor(
        [&] {
            posted = m_server->notifications();
            return posted.size() >= 2;
        },
        10000));
    QCOMPARE(posted.size(), 2);
    // Posts in flight together may reach the server in either order.
    std::sort(posted.begin(), posted.end(),
              [](const auto& a, const auto& b) { return a.summary < b.summary; });
    QCOMPARE(posted.at(0).summary, QStringLiteral("web1 unreachable"));
    QCOMPARE(posted.at(0).body, QStringLiteral("SSH returned no data"));
    QCOMPARE(posted.at(1).summary, QStringLiteral("web1: Critical"));
    QCOMPARE(posted.at(1).body, QStringLiteral("2 failures, 1 warnings"));
    for (const NotificationServer::Call& call : posted) {
        QCOMPARE(call.appName, QStringLiteral("Corvane Monitor"));
        // 0 asks for a new notification: the second must not replace the first.
        QCOMPARE(call.replacesId, 0);
    }
    QVERIFY(posted.at(0).id != posted.at(1).id);
}

void DBusNotifierTest::escapesBodyOnlyForMarkupServers_data()
{
    QTest::addColumn<QStringList>("capabilities");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("shownBody");

    const QStringList markup{QStringLiteral("actions"), QStringLiteral("body"),
                             QStringLiteral("body-markup")};
    const QStringList plain{QStringLiteral("body")};
    const QStringList linksOnly{QStringLiteral("body"), QStringLiteral("body-hyperlinks"),
                                QStringLiteral("body-images")};

    QTest::newRow("markup: ampersand") << markup << "db1 unreachable"
                                       << "a & b"
                                       << "a &amp; b";
    QTest::newRow("markup: tags") << markup << "db1 unreachable"
                                  << "<b>bold</b>"
                                  << "&lt;b&gt;bold&lt;/b&gt;";
    QTest::newRow("markup: an entity stays as written") << markup << "db1 unreachable"
                                                        << "&amp; &#60;"
                                                        << "&amp;amp; &amp;#60;";
    QTest::newRow("markup: quotes untouched") << markup << "db1 unreachable"
                                              << "it's \"down\""
                                              << "it's \"down\"";
    QTest::newRow("markup: plain text unchanged") << markup << "db1 unreachable"
                                                  << "Connection refused"
                                                  << "Connection refused";
    QTest::newRow("markup: non-ASCII and line breaks")
        << markup << "db1 unreachable"
        << "Zeitüberschreitung <x>\nline 2 & 3\n"
        << "Zeitüberschreitung &lt;x&gt;\nline 2 &amp; 3\n";
    QTest::newRow("markup: title is never markup") << markup << "<db> & co unreachable"
                                                   << "x"
                                                   << "x";
    QTest::newRow("no markup: body as written") << plain << "db1 unreachable"
                                                << "<b>a & b</b>"
                                                << "<b>a & b</b>";
    QTest::newRow("hyperlinks without markup: body as written") << linksOnly << "db1 unreachable"
                                                                << "<a href=\"x\">a & b</a>"
                                                                << "<a href=\"x\">a & b</a>";
    QTest::newRow("no capabilities: body as written") << QStringList{} << "db1 unreachable"
                                                      << "a < b"
                                                      << "a < b";
}

void DBusNotifierTest::escapesBodyOnlyForMarkupServers()
{
    QFETCH(QStringList, capabilities);
    QFETCH(QString, title);
    QFETCH(QString, body);
    QFETCH(QString, shownBody);

    startServer(capabilities);
    if (QTest::currentTestFailed())
        return;
    DBusNotifier notifier;
    notifier.post(title, body);

    QList<NotificationServer::Call> posted;
    QVERIFY(QTest::qWaitFor(
        [&] {
            posted = m_server->notifications();
            return !posted.isEmpty();
        },
        10000));
    QCOMPARE(posted.size(), 1);
    QCOMPARE(posted.at(0).summary, title);
    QCOMPARE(posted.at(0).body, shownBody);
}

void DBusNotifierTest::dropsWithoutServer()
{
    DBusNotifier notifier;
    notifier.post(QStringLiteral("web1 unreachable"), QStringLiteral("nobody listens"));
    QVERIFY(loopTurns());

    // A server that comes later sees only what is posted after it came: nothing was queued,
    // and the notifier still works after the drop.
    startServer({QStringLiteral("body")});
    if (QTest::currentTestFailed())
        return;
    notifier.post(QStringLiteral("web1: Warning"), QStringLiteral("0 failures, 1 warnings"));
    QList<NotificationServer::Call> posted;
    QVERIFY(QTest::qWaitFor(
        [&] {
            posted = m_server->notifications();
            return !posted.isEmpty();
        },
        10000));
    QVERIFY(loopTurns());
    posted = m_server->notifications();
    QCOMPARE(posted.size(), 1);
    QCOMPARE(posted.at(0).summary, QStringLiteral("web1: Warning"));
}

void DBusNotifierTest::survivesWithoutBus_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("withoutSessionBus");

    QTest::newRow("no session bus in the environment") << "session" << true;
    QTest::newRow("bus address that leads nowhere") << "address" << false;
}

void DBusNotifierTest::survivesWithoutBus()
{
    QFETCH(QString, mode);
    QFETCH(bool, withoutSessionBus);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QStringList arguments{mode};
    if (withoutSessionBus) {
        // Every way to find a session bus is closed: no address, no display to autolaunch
        // one on, and a runtime directory with no bus socket in it.
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    } else {
        arguments << QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("no-such-bus"));
    }

    QProcess probe;
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral(CORVANE_NOTIFY_PROBE), arguments);
    QVERIFY2(probe.waitForStarted(10000), qPrintable(probe.errorString()));
    QVERIFY2(probe.waitForFinished(30000), "the probe hung after posting");
    const QByteArray output = probe.readAllStandardOutput();
    const QByteArray errors = probe.readAllStandardError();
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QVERIFY2(probe.exitCode() == 0, errors.constData());
    // The probe really had no bus; otherwise this case would prove nothing.
    QVERIFY2(output.contains("connected: no"), output.constData());
    QVERIFY2(output.contains("loop continued"), output.constData());
}

void DBusNotifierTest::postReturnsBeforeServerAnswers()
{
    startServer({QStringLiteral("body")}, true);
    if (QTest::currentTestFailed())
        return;
    DBusNotifier notifier;
    notifier.post(QStringLiteral("web1: Critical"), QStringLiteral("1 failures, 0 warnings"));
    notifier.post(QStringLiteral("web2: Critical"), QStringLiteral("3 failures, 0 warnings"));
    QVERIFY(loopTurns());

    // Both posts are waiting for the server at the same time, and this thread runs on: neither
    // post waited for an answer, and the second did not queue behind the first.
    QVERIFY(QTest::qWaitFor([&] { return m_server->held() == 2; }, 10000));
    QVERIFY(m_server->notifications().isEmpty());

    m_server->release();
    QList<NotificationServer::Call> posted;
    QVERIFY(QTest::qWaitFor(
        [&] {
            posted = m_server->notifications();
            return posted.size() >= 2;
        },
        10000));
    QCOMPARE(posted.size(), 2);
    m_server->release();
}

QTEST_GUILESS_MAIN(DBusNotifierTest)
#include "DBusNotifierTest.moc"
