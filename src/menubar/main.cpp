// corvane-monitor: the tray application.

#include "CorvaneMonitorApp.h"
#include "SingleInstance.h"

#include "monitor/ServerMonitor.h"
#include "platform/SleepWatcher.h"

#include <QApplication>
#include <QCommandLineParser>
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

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Watches the health of your Linux servers from the system tray."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption sshOption(
        QStringLiteral("ssh"), QStringLiteral("The ssh client to run (default /usr/bin/ssh)."),
        QStringLiteral("path"), QString::fromLatin1(SSHRunner::defaultExecutable));
    parser.addOption(sshOption);
    parser.process(app);
    const QString ssh = parser.value(sshOption);

    SingleInstance instance(QDBusConnection::sessionBus());
    if (!instance.claim())
        return 0;

    MonitorSeams seams;
    seams.deferStartupRefresh = true;
    CorvaneMonitorApp shell(std::make_unique<ServerMonitor>(
        std::move(seams), ssh.isEmpty() ? QString::fromLatin1(SSHRunner::defaultExecutable) : ssh));
    QObject::connect(&shell, &CorvaneMonitorApp::quitRequested, &app, &QApplication::quit);
    QObject::connect(&instance, &SingleInstance::showRequested, &shell,
                     &CorvaneMonitorApp::showPanel);
    // After a sleep every result is hours old: refresh once at wake-up.
    SleepWatcher sleep(QDBusConnection::systemBus());
    QObject::connect(&sleep, &SleepWatcher::resumed, &shell,
                     [&shell] { shell.monitor().refreshAll(); });
    return QApplication::exec();
}
