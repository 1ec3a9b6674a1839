#pragma once

#include "MonitorDetailSheet.h"
#include "PanelActions.h"

#include <QMenu>
#include <QPointer>
#include <QWidget>

class QScrollArea;
class QVBoxLayout;

namespace corvane {

class ServerMonitor;
struct ServerProfile;
struct ServerResult;

// The panel under the tray icon. It renders the monitor's state afresh on every published
// change, calls the monitor's operations, and asks for windows and for quitting by signal.
class MonitorMenuView : public QWidget, public PanelActions
{
    Q_OBJECT

public:
    static constexpr int panelWidth = 410;
    static constexpr auto settingsWindowId = "monitor-settings";
    static constexpr auto diagnosticsWindowId = "monitor-diagnostics";

    explicit MonitorMenuView(ServerMonitor& monitor, QWidget* parent = nullptr);
    ~MonitorMenuView() override;

    // Hide when another window becomes active, unless the detail sheet is open.
    void setDismissOnDeactivate(bool on) { m_dismissOnDeactivate = on; }
    [[nodiscard]] bool dismissOnDeactivate() const { return m_dismissOnDeactivate; }

    [[nodiscard]] MonitorDetailSheet* sheet() const { return m_sheet; }
    // The context menu last opened by a row or the chooser, while it is open.
    [[nodiscard]] QMenu* openMenu() const { return m_menu; }

    void showDetails(const MonitorDetailItem& item) override;
    void popupMenu(const QList<MenuEntry>& entries, const QPoint& globalPos) override;

    void rebuild();

Q_SIGNALS:
    void openWindowRequested(const QString& id);
    void quitRequested();

protected:
    bool event(QEvent* event) override;

private:
    [[nodiscard]] QWidget* buildHeader();
    [[nodiscard]] QWidget* buildServerHeading();
    [[nodiscard]] QScrollArea* buildServerList();
    [[nodiscard]] QWidget* buildServerRow(const ServerProfile& profile,
                                          const std::optional<ServerResult>& result, bool selected);
    [[nodiscard]] QWidget* buildSummary();
    [[nodiscard]] QWidget* buildErrorLine(const QString& error);
    [[nodiscard]] QWidget* buildCommands();

    ServerMonitor& m_monitor;
    QVBoxLayout* m_layout = nullptr;
    QPointer<QWidget> m_content;
    QPointer<MonitorDetailSheet> m_sheet;
    QPointer<QMenu> m_menu;
    bool m_dismissOnDeactivate = false;
};

} // namespace corvane
