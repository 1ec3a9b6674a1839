#pragma once

#include <QWidget>

class QScrollArea;

namespace corvane {

class PanelActions;
class ServerMonitor;
struct DiscoveredService;
struct HealthGroup;
struct HealthReport;
struct ServerProfile;

// The selected server's heading, uptime, services and health groups, built from the monitor's
// state at construction. The panel makes a new one on every change.
class SelectedServerSection : public QWidget
{
    Q_OBJECT

public:
    static constexpr int scrollHeight = 300;

    SelectedServerSection(ServerMonitor& monitor, PanelActions& actions, QWidget* parent = nullptr);

    [[nodiscard]] QScrollArea* scrollArea() const { return m_scroll; }

private:
    [[nodiscard]] QWidget* buildHeading(const ServerProfile& profile);
    [[nodiscard]] QWidget* buildHealth(const ServerProfile& profile, const HealthReport& report);
    [[nodiscard]] QWidget* buildServiceRow(const ServerProfile& profile,
                                           const DiscoveredService& service);
    [[nodiscard]] QWidget* buildGroupRow(const HealthGroup& group, const HealthReport& report);

    ServerMonitor& m_monitor;
    PanelActions& m_actions;
    QScrollArea* m_scroll = nullptr;
};

} // namespace corvane
