// The real tray on a private X server: the wrapper starts one with or without a tray.

#include "GuiFixture.h"

#include "CorvaneMonitorApp.h"
#include "MonitorMenuView.h"
#include "SingleInstance.h"

#include <QDBusConnection>

#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace corvane;
using namespace corvane::test;

namespace {

bool expectTray()
{
    return qEnvironmentVariable("CORVANE_EXPECT_TRAY") == QLatin1String("1");
}

// A real pointer action through the X server, as a user's click would arrive.
bool xdotool(const QStringList& args)
{
    QProcess run;
    run.start(QStringLiteral("xdotool"), args);
    return run.waitForFinished(10000) && run.exitStatus() == QProcess::NormalExit &&
           run.exitCode() == 0;
}

bool clickAt(QPoint at, int button)
{
    return xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                    QStringLiteral("click"), QString::number(button)});
}

} // namespace

class TrayTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void clickOpensPanel();
    void contextMenu();
    void withoutTrayTheFallbackWindowAppears();
    void trayAppearingLaterTakesOver();
    void secondLaunchAsksTheFirstOverTheBus();
};

void TrayTest::initTestCase()
{
    QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
             "run through with_xvfb.sh, which gives an X server");
}

void TrayTest::clickOpensPanel()
{
    QVERIFY2(expectTray(), "run by the tray mode of with_xvfb.sh only");
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
    GuiFixture fx;
    const ServerProfile web = fx.server(QStringLiteral("web"));
    fx.setFailing(web.name, QStringLiteral("refused"));
    CorvaneMonitorApp shell(fx.make({web}));
    QVERIFY(!shell.windowMode());
    QVERIFY(shell.tray()->isVisible());
    QVERIFY(settle(shell.monitor()));
    QCOMPARE(shell.tray()->toolTip(), QString::fromUtf8("Corvane Monitor — Critical"));
    QTRY_VERIFY_WITH_TIMEOUT(
        shell.tray()->geometry().isValid() && !shell.tray()->geometry().isEmpty(), 10000);
    const QRect icon = shell.tray()->geometry();
    QVERIFY(!shell.panel()->isVisible());

    // As in contextMenu(): a click before the tray maps the icon is lost, so try again.
    for (int attempt = 0; attempt < 5 && !shell.panel()->isVisible(); ++attempt) {
        QVERIFY(clickAt(icon.center(), 1));
        if (QTest::qWaitFor([&] { return shell.panel()->isVisible(); }, 4000))
            break;
    }
    QVERIFY(shell.panel()->isVisible());
    // Attached below the icon, inside the screen.
    const QRect panel = shell.panel()->frameGeometry();
    QTRY_VERIFY(shell.panel()->frameGeometry().top() > icon.bottom());
    QVERIFY(shell.panel()->screen()->availableGeometry().contains(panel));
    QVERIFY(std::abs(panel.center().x() - icon.center().x()) <= 2 ||
            panel.right() == shell.panel()->screen()->availableGeometry().right());

    // A second click on the icon closes it again.
    QVERIFY(clickAt(icon.center(), 1));
    QTRY_VERIFY_WITH_TIMEOUT(!shell.panel()->isVisible(), 10000);
}

void TrayTest::contextMenu()
{
    QVERIFY2(expectTray(), "run by the tray mode of with_xvfb.sh only");
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
    GuiFixture fx;
    CorvaneMonitorApp shell(fx.make({fx.server(QStringLiteral("web"))}));
    QVERIFY(settle(shell.monitor()));
    QTRY_VERIFY_WITH_TIMEOUT(!shell.tray()->geometry().isEmpty(), 10000);
    QSignalSpy quit(&shell, &CorvaneMonitorApp::quitRequested);

    // The tray may map the icon a moment after reporting its geometry; a click that lands
    // before that is lost, as it would be for a user, so try again.
    for (int attempt = 0; attempt < 5 && !shell.trayMenu()->isVisible(); ++attempt) {
        QVERIFY(clickAt(shell.tray()->geometry().center(), 3));
        if (QTest::qWaitFor([&] { return shell.trayMenu()->isVisible(); }, 4000))
            break;
    }
    QVERIFY(shell.trayMenu()->isVisible());
    QAction* quitAction = nullptr;
    for (QAction* action : shell.trayMenu()->actions())
        if (action->text() == QLatin1String("Quit"))
            quitAction = action;
    QVERIFY(quitAction);
    const QRect item = shell.trayMenu()->actionGeometry(quitAction);
    QVERIFY(clickAt(shell.trayMenu()->mapToGlobal(item.center()), 1));
    QTRY_COMPARE_WITH_TIMEOUT(quit.size(), 1, 10000);
}

void TrayTest::withoutTrayTheFallbackWindowAppears()
{
    QVERIFY2(!expectTray(), "run by the no-tray mode of with_xvfb.sh only");
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    GuiFixture fx;
    CorvaneMonitorApp shell(fx.make({fx.server(QStringLiteral("web"))}));
    QVERIFY(shell.windowMode());
    QVERIFY(QTest::qWaitForWindowExposed(shell.panel()));
    QCOMPARE(shell.panel()->windowTitle(), QStringLiteral("Corvane Monitor"));
    QVERIFY(settle(shell.monitor()));
}

void TrayTest::secondLaunchAsksTheFirstOverTheBus()
{
    // The wrapper gives a private session bus; a second connection stands for a second launch.
    QDBusConnection firstBus = QDBusConnection::sessionBus();
    QVERIFY2(firstBus.isConnected(), "no session bus");
    SingleInstance first(firstBus);
    QVERIFY(first.claim());
    QSignalSpy shown(&first, &SingleInstance::showRequested);

    QDBusConnection secondBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("second"));
    QVERIFY(secondBus.isConnected());
    {
        SingleInstance second(secondBus);
        QVERIFY(!second.claim());
    }
    QTRY_COMPARE(shown.size(), 1);
    QDBusConnection::disconnectFromBus(QStringLiteral("second"));
}

void TrayTest::trayAppearingLaterTakesOver()
{
    QVERIFY2(!expectTray(), "run by the no-tray mode of with_xvfb.sh only");
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    GuiFixture fx;
    CorvaneMonitorApp shell(fx.make({fx.server(QStringLiteral("web"))}));
    QVERIFY(shell.windowMode());
    QVERIFY(QTest::qWaitForWindowExposed(shell.panel()));
    QSignalSpy entered(&shell, &CorvaneMonitorApp::trayModeEntered);

    // The desktop's tray starts after the app, as it may at login.
    QProcess trayer;
    trayer.setStandardInputFile(QProcess::nullDevice());
    trayer.start(QStringLiteral("trayer"),
                 {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                  QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                  QStringLiteral("--width"), QStringLiteral("200"), QStringLiteral("--height"),
                  QStringLiteral("28"), QStringLiteral("--SetDockType"), QStringLiteral("true")});
    QVERIFY2(trayer.waitForStarted(10000), qPrintable(trayer.errorString()));

    QTRY_COMPARE_WITH_TIMEOUT(entered.size(), 1, 20000);
    QVERIFY(!shell.windowMode());
    QVERIFY(shell.tray() && shell.tray()->isVisible());
    QVERIFY(!shell.panel()->isVisible());
    QVERIFY(shell.panel()->windowFlags() & Qt::FramelessWindowHint);

    trayer.kill();
    QVERIFY(trayer.waitForFinished(10000));
}

QTEST_MAIN(TrayTest)
#include "TrayTest.moc"
