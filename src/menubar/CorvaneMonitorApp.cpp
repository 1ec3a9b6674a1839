#include "CorvaneMonitorApp.h"

#include "MonitorDiagnosticsView.h"
#include "MonitorMenuView.h"
#include "PanelPlacement.h"
#include "PanelTexts.h"
#include "SceneWindow.h"
#include "ViewKit.h"
#include "settings/SettingsView.h"

#include "monitor/ServerMonitor.h"
#include "platform/Autostart.h"
#include "platform/gui/Palette.h"
#include "platform/gui/Symbols.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTimer>

namespace corvane {

CorvaneMonitorApp::CorvaneMonitorApp(std::unique_ptr<ServerMonitor> monitor, TrayMode mode,
                                     QObject* parent)
    : QObject(parent), m_monitor(std::move(monitor))
{
    m_panel = std::make_unique<MonitorMenuView>(*m_monitor);
    connect(m_panel.get(), &MonitorMenuView::openWindowRequested, this,
            &CorvaneMonitorApp::openWindow);
    connect(m_panel.get(), &MonitorMenuView::quitRequested, this,
            &CorvaneMonitorApp::quitRequested);

    m_trayMenu = std::make_unique<QMenu>();
    m_trayMenu->setObjectName(QStringLiteral("trayMenu"));
    m_trayMenu->addAction(QStringLiteral("Show Panel"), this, &CorvaneMonitorApp::showPanel);
    m_trayMenu->addAction(QStringLiteral("Refresh All"), this, [this] { m_monitor->refreshAll(); });
    m_trayMenu->addAction(QStringLiteral("Settings"), this, [this] {
        openWindow(QString::fromLatin1(MonitorMenuView::settingsWindowId));
    });
    // Read from the autostart file each time: desktop tools may change it behind our back.
    QAction* startAtLogin = m_trayMenu->addAction(QStringLiteral("Start at Login"));
    startAtLogin->setObjectName(QStringLiteral("startAtLogin"));
    startAtLogin->setCheckable(true);
    startAtLogin->setChecked(autostart::isEnabled());
    connect(m_trayMenu.get(), &QMenu::aboutToShow, startAtLogin,
            [startAtLogin] { startAtLogin->setChecked(autostart::isEnabled()); });
    connect(startAtLogin, &QAction::triggered, this, [startAtLogin](bool on) {
        autostart::setEnabled(on, QCoreApplication::applicationFilePath());
        startAtLogin->setChecked(autostart::isEnabled());
    });
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(QStringLiteral("Quit"), this, &CorvaneMonitorApp::quitRequested);

    const bool trayAvailable =
        mode == TrayMode::forceTray ||
        (mode == TrayMode::automatic && QSystemTrayIcon::isSystemTrayAvailable());
    m_windowMode = !trayAvailable;
    if (m_windowMode) {
        // No tray to live in: the panel becomes an ordinary window so the app stays usable.
        m_panel->setWindowFlags(Qt::Window);
        m_panel->setWindowTitle(QString::fromLatin1(fallbackTitle));
        m_panel->setDismissOnDeactivate(false);
        m_panel->show();
        if (mode == TrayMode::automatic) {
            // Started at login before the desktop's tray: move there once it appears. The
            // check runs only while there is no tray, so an idle app with a tray has no timer.
            m_trayWatch = new QTimer(this);
            m_trayWatch->setInterval(trayWatchMs);
            connect(m_trayWatch, &QTimer::timeout, this, [this] {
                if (QSystemTrayIcon::isSystemTrayAvailable())
                    enterTrayMode();
            });
            m_trayWatch->start();
        }
    } else {
        enterTrayMode();
    }
    connect(m_monitor.get(), &ServerMonitor::serversChanged, this, &CorvaneMonitorApp::updateTray);
    connect(m_monitor.get(), &ServerMonitor::resultsChanged, this, &CorvaneMonitorApp::updateTray);
}

void CorvaneMonitorApp::enterTrayMode()
{
    if (m_trayWatch) {
        m_trayWatch->deleteLater();
        m_trayWatch = nullptr;
    }
    m_panel->hide();
    m_panel->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    m_panel->setWindowTitle(QString::fromLatin1(fallbackTitle));
    m_panel->setDismissOnDeactivate(true);
    m_windowMode = false;
    m_tray = new QSystemTrayIcon(this);
    m_tray->setObjectName(QStringLiteral("trayIcon"));
    m_tray->setContextMenu(m_trayMenu.get());
    connect(m_tray, &QSystemTrayIcon::activated, this, &CorvaneMonitorApp::onActivated);
    updateTray();
    m_tray->show();
    Q_EMIT trayModeEntered();
}

CorvaneMonitorApp::~CorvaneMonitorApp()
{
    for (const QPointer<SceneWindow>& window : std::as_const(m_windows))
        delete window.data();
    if (m_tray)
        m_tray->setContextMenu(nullptr);
}

SceneWindow* CorvaneMonitorApp::window(const QString& id) const
{
    return m_windows.value(id);
}

void CorvaneMonitorApp::updateTray()
{
    if (!m_tray)
        return;
    const HealthStatus fleet = m_monitor->status();
    m_tray->setIcon(symbols::icon(symbol(fleet), palette::color(color(fleet))));
    m_tray->setToolTip(texts::trayToolTip(fleet));
}

void CorvaneMonitorApp::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::MiddleClick ||
        reason == QSystemTrayIcon::DoubleClick)
        togglePanel();
}

void CorvaneMonitorApp::showPanel()
{
    m_panel->rebuild();
    if (!m_windowMode) {
        const QRect icon = m_tray ? m_tray->geometry() : QRect();
        const QPoint pointer = QCursor::pos();
        QScreen* screen = QGuiApplication::screenAt(icon.isValid() ? icon.center() : pointer);
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen)
            m_panel->move(
                panelPosition(icon, pointer, m_panel->size(), screen->availableGeometry()));
    }
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
}

void CorvaneMonitorApp::togglePanel()
{
    if (m_panel->isVisible() && !m_windowMode)
        m_panel->hide();
    else
        showPanel();
}

void CorvaneMonitorApp::openWindow(const QString& id)
{
    if (SceneWindow* open = m_windows.value(id)) {
        open->showNormal();
        open->raise();
        open->activateWindow();
        return;
    }
    const std::optional<SceneInfo> info = sceneInfo(id);
    if (!info)
        return;
    QWidget* content = nullptr;
    if (id == QLatin1String(MonitorMenuView::diagnosticsWindowId)) {
        content = new MonitorDiagnosticsView(*m_monitor);
    } else {
        content = new SettingsView(*m_monitor);
    }
    auto* window = new SceneWindow(*info, content);
    m_windows.insert(id, window);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace corvane
