#include "GuiFixture.h"

#include "CorvaneMonitorApp.h"
#include "MonitorMenuView.h"
#include "SceneWindow.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace corvane;
using namespace corvane::test;

namespace {

QStringList actionTexts(QMenu* menu)
{
    QStringList out;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            out.append(action->text());
    return out;
}

QAction* action(QMenu* menu, const QString& text)
{
    for (QAction* a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

int openScenes(const QString& id)
{
    int count = 0;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* scene = qobject_cast<SceneWindow*>(top);
            scene && scene->sceneId() == id && scene->isVisible())
            ++count;
    return count;
}

} // namespace

class ShellTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void windows_data();
    void windows();
    void withoutTrayThePanelIsAWindow();
    void trayFollowsFleetStatus();
    void trayMenu();
    void startAtLogin();
    void quitOnlyThroughQuit();
    void singleInstanceByLockFile();
};

void ShellTest::windows_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("minimum");
    QTest::newRow("settings") << "monitor-settings"
                              << "Corvane Monitor Settings" << QSize(880, 750) << QSize(780, 640);
    QTest::newRow("diagnostics") << "monitor-diagnostics"
                                 << "Server Diagnostics" << QSize(760, 600) << QSize(0, 0);
}

void ShellTest::windows()
{
    QFETCH(QString, id);
    QFETCH(QString, title);
    QFETCH(QSize, size);
    QFETCH(QSize, minimum);
    GuiFixture fx;
    CorvaneMonitorApp shell(fx.make({}), CorvaneMonitorApp::TrayMode::forceWindow);

    shell.openWindow(id);
    SceneWindow* window = shell.window(id);
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), title);
    QCOMPARE(window->size(), size);
    QCOMPARE(window->minimumSize(), minimum);
    window->resize(100, 100);
    QCOMPARE(window->width(), std::max(100, minimum.width()));

    // Opening it again brings the same window forward.
    window->showMinimized();
    shell.openWindow(id);
    QCOMPARE(shell.window(id), window);
    QCOMPARE(openScenes(id), 1);
    QVERIFY(!window->isMinimized());

    // The panel's buttons open it too.
    window->close();
    QTRY_VERIFY(!shell.window(id));
    const QString button =
        id == QLatin1String("monitor-settings") ? "settingsButton" : "diagnosticsButton";
    shell.panel()->findChild<QToolButton*>(button)->click();
    QVERIFY(shell.window(id));
    QCOMPARE(shell.window(id)->size(), size);
    QCOMPARE(openScenes(id), 1);
}

void ShellTest::withoutTrayThePanelIsAWindow()
{
    GuiFixture fx;
    // The offscreen platform has no tray: the automatic choice must fall back.
    CorvaneMonitorApp shell(fx.make({}), CorvaneMonitorApp::TrayMode::automatic);
    QVERIFY(shell.windowMode());
    QVERIFY(!shell.tray());
    QVERIFY(shell.panel()->isVisible());
    QCOMPARE(shell.panel()->windowTitle(), QStringLiteral("Corvane Monitor"));
    QVERIFY(!(shell.panel()->windowFlags() & Qt::FramelessWindowHint));
    QVERIFY(!shell.panel()->dismissOnDeactivate());
    // A second launch's request brings it back after the user closed it.
    shell.panel()->close();
    shell.showPanel();
    QVERIFY(shell.panel()->isVisible());
}

void ShellTest::trayFollowsFleetStatus()
{
    GuiFixture fx;
    const ServerProfile ok = fx.server(QStringLiteral("ok"));
    const ServerProfile bad = fx.server(QStringLiteral("bad"));
    fx.setReport(ok.name, report(HealthStatus::ok, 3));
    fx.setReport(bad.name, report(HealthStatus::ok, 3));
    fx.hold(ok.name);
    CorvaneMonitorApp shell(fx.make({ok, bad}), CorvaneMonitorApp::TrayMode::forceTray);
    QVERIFY(shell.tray());
    // Before the first refresh completes the fleet counts as a warning.
    QCOMPARE(shell.tray()->toolTip(), QString::fromUtf8("Corvane Monitor — Warning"));
    QCOMPARE(shell.tray()->icon().name(), QStringLiteral("exclamationmark.triangle.fill"));

    fx.release(ok.name);
    QVERIFY(settle(shell.monitor()));
    QCOMPARE(shell.tray()->toolTip(), QString::fromUtf8("Corvane Monitor — Healthy"));
    QCOMPARE(shell.tray()->icon().name(), QStringLiteral("checkmark.circle.fill"));

    fx.setFailing(bad.name, QStringLiteral("refused"));
    shell.monitor().refresh(bad.id);
    QVERIFY(settle(shell.monitor()));
    QCOMPARE(shell.tray()->toolTip(), QString::fromUtf8("Corvane Monitor — Critical"));
    QCOMPARE(shell.tray()->icon().name(), QStringLiteral("xmark.circle.fill"));
    // Tinted, not a monochrome template: the icon is drawn in the red of the palette.
    const QImage image = shell.tray()->icon().pixmap(QSize(32, 32)).toImage();
    QColor centreRing = image.pixelColor(16, 2);
    QVERIFY2(centreRing.red() > 150 && centreRing.green() < 110, qPrintable(centreRing.name()));
}

void ShellTest::trayMenu()
{
    GuiFixture fx;
    const ServerProfile web = fx.server(QStringLiteral("web"));
    CorvaneMonitorApp shell(fx.make({web}), CorvaneMonitorApp::TrayMode::forceTray);
    QVERIFY(settle(shell.monitor()));
    QCOMPARE(shell.tray()->contextMenu(), shell.trayMenu());
    QCOMPARE(actionTexts(shell.trayMenu()),
             QStringList({"Show Panel", "Refresh All", "Settings", "Start at Login", "Quit"}));
    QVERIFY(!shell.panel()->isVisible());
    QVERIFY(shell.panel()->windowFlags() & Qt::FramelessWindowHint);

    action(shell.trayMenu(), QStringLiteral("Show Panel"))->trigger();
    QVERIFY(shell.panel()->isVisible());
    QCOMPARE(shell.panel()->width(), 410);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(available.contains(shell.panel()->frameGeometry()));

    fx.hold(web.name);
    action(shell.trayMenu(), QStringLiteral("Refresh All"))->trigger();
    QVERIFY(shell.monitor().results().value(web.id).refreshing);
    fx.release(web.name);
    QVERIFY(settle(shell.monitor()));

    action(shell.trayMenu(), QStringLiteral("Settings"))->trigger();
    QVERIFY(shell.window(QStringLiteral("monitor-settings")));

    QSignalSpy quit(&shell, &CorvaneMonitorApp::quitRequested);
    action(shell.trayMenu(), QStringLiteral("Quit"))->trigger();
    QCOMPARE(quit.size(), 1);
}

void ShellTest::startAtLogin()
{
    QTemporaryDir config;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    const QString file = config.path() + QStringLiteral("/autostart/corvane-monitor.desktop");

    GuiFixture fx;
    CorvaneMonitorApp shell(fx.make({fx.server(QStringLiteral("web"))}),
                            CorvaneMonitorApp::TrayMode::forceTray);
    QAction* item = action(shell.trayMenu(), QStringLiteral("Start at Login"));
    QVERIFY(item->isCheckable());
    QVERIFY(!item->isChecked());

    item->trigger();
    QVERIFY(item->isChecked());
    QVERIFY(QFile::exists(file));

    // Someone else hides the entry: the menu shows it as off the next time it opens.
    QFile hidden(file);
    QVERIFY(hidden.open(QIODevice::Append));
    hidden.write("Hidden=true\n");
    hidden.close();
    Q_EMIT shell.trayMenu()->aboutToShow();
    QVERIFY(!item->isChecked());

    item->trigger();
    QVERIFY(item->isChecked());
    item->trigger();
    QVERIFY(!item->isChecked());
    QVERIFY(!QFile::exists(file));

    qputenv("XDG_CONFIG_HOME", saved);
}

void ShellTest::quitOnlyThroughQuit()
{
    GuiFixture fx;
    CorvaneMonitorApp shell(fx.make({}), CorvaneMonitorApp::TrayMode::forceWindow);
    QSignalSpy quit(&shell, &CorvaneMonitorApp::quitRequested);
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    QApplication::setQuitOnLastWindowClosed(false);

    shell.openWindow(QStringLiteral("monitor-diagnostics"));
    shell.window(QStringLiteral("monitor-diagnostics"))->close();
    shell.panel()->close();
    QCoreApplication::processEvents();
    QCOMPARE(quit.size(), 0);

    shell.showPanel();
    shell.panel()->findChild<QToolButton*>(QStringLiteral("quitButton"))->click();
    QCOMPARE(quit.size(), 1);
}

void ShellTest::singleInstanceByLockFile()
{
    QTemporaryDir dir;
    SingleInstance first(std::nullopt, dir.path());
    QVERIFY(first.claim());
    QSignalSpy shown(&first, &SingleInstance::showRequested);

    SingleInstance second(std::nullopt, dir.path());
    QVERIFY(!second.claim());
    QTRY_COMPARE(shown.size(), 1);
}

QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
