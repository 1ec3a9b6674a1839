#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>

#include <memory>

class QMenu;
class QTimer;

namespace corvane {

class MonitorMenuView;
class ServerMonitor;
class SceneWindow;

// The application shell: owns the one monitor, the tray icon, the panel and the windows the
// panel opens by identifier.
class CorvaneMonitorApp : public QObject
{
    Q_OBJECT

public:
    enum class TrayMode
    {
        automatic,
        forceTray,
        forceWindow
    };

    explicit CorvaneMonitorApp(std::unique_ptr<ServerMonitor> monitor,
                               TrayMode mode = TrayMode::automatic, QObject* parent = nullptr);
    ~CorvaneMonitorApp() override;

    [[nodiscard]] ServerMonitor& monitor() const { return *m_monitor; }
    [[nodiscard]] MonitorMenuView* panel() const { return m_panel.get(); }
    [[nodiscard]] QSystemTrayIcon* tray() const { return m_tray; }
    [[nodiscard]] QMenu* trayMenu() const { return m_trayMenu.get(); }
    // True when there is no tray and the panel is an ordinary window instead.
    [[nodiscard]] bool windowMode() const { return m_windowMode; }
    [[nodiscard]] SceneWindow* window(const QString& id) const;

    void showPanel();
    void togglePanel();
    // Opens the window with that identifier, or brings the open one forward.
    void openWindow(const QString& id);

    static constexpr auto fallbackTitle = "Corvane Monitor";
    // How often a fallback window looks for a tray that appeared after start.
    static constexpr int trayWatchMs = 2000;

Q_SIGNALS:
    void quitRequested();
    // A tray appeared after start: the icon is shown and the fallback window hidden.
    void trayModeEntered();

private:
    void enterTrayMode();
    void updateTray();
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    std::unique_ptr<ServerMonitor> m_monitor;
    std::unique_ptr<MonitorMenuView> m_panel;
    std::unique_ptr<QMenu> m_trayMenu;
    QSystemTrayIcon* m_tray = nullptr;
    QTimer* m_trayWatch = nullptr;
    bool m_windowMode = false;
    QHash<QString, QPointer<SceneWindow>> m_windows;
};

} // namespace corvane
