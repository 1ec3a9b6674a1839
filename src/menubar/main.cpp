// corvane-monitor: the tray application.

#include "CorvaneMonitorApp.h"
#include "SingleInstance.h"

#include "monitor/ServerMonitor.h"
#include "platform/SleepWatcher.h"

#include <QApplication>
#include <QDBusConnection>

using namespace corvane;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvane-monitor"));
    QApplication::setApplicationDisplayName(QStringLiteral("Corvane Monitor"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("corvane-monitor"));
    // It lives in the tray: closing its last window must not end it; only "Quit" does.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance(QDBusConnection::sessionBus());
    if (!instance.claim())
        return 0;

    MonitorSeams seams;
    seams.deferStartupRefresh = true;
    CorvaneMonitorApp shell(std::make_unique<ServerMonitor>(std::move(seams)));
    QObject::connect(&shell, &CorvaneMonitorApp::quitRequested, &app, &QApplication::quit);
    QObject::connect(&instance, &SingleInstance::showRequested, &shell,
                     &CorvaneMonitorApp::showPanel);
    // After a sleep every result is hours old: refresh once at wake-up.
    SleepWatcher sleep(QDBusConnection::systemBus());
    QObject::connect(&sleep, &SleepWatcher::resumed, &shell,
                     [&shell] { shell.monitor().refreshAll(); });
    return QApplication::exec();
}
