#pragma once

#include "MonitorDetailSheet.h"

#include <QMenu>
#include <QPointer>
#include <QWidget>

class QVBoxLayout;

namespace corvane {

class ServerMonitor;
struct HealthCheck;

// The content of the diagnostics window: every check of the selected server's report, one
// row each. It only reads the monitor and redraws on every published change; a row's context
// menu opens the detail sheet over this window or copies the check's detail.
class MonitorDiagnosticsView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int leastWidth = 650;
    static constexpr int leastHeight = 450;

    explicit MonitorDiagnosticsView(ServerMonitor& monitor, QWidget* parent = nullptr);
    ~MonitorDiagnosticsView() override;

    // The open detail sheet, if any.
    [[nodiscard]] MonitorDetailSheet* sheet() const { return m_sheet; }
    // The row menu while it is open.
    [[nodiscard]] QMenu* openMenu() const { return m_menu; }

    void showDetails(const MonitorDetailItem& item);
    void rebuild();

Q_SIGNALS:
    // A sheet was opened for that item.
    void detailsShown(const MonitorDetailItem& item);

protected:
    bool event(QEvent* event) override;

private:
    [[nodiscard]] QWidget* buildRow(const HealthCheck& check);
    void popupRowMenu(const HealthCheck& check, const QPoint& globalPos);

    ServerMonitor& m_monitor;
    QVBoxLayout* m_layout = nullptr;
    QPointer<QWidget> m_content;
    QPointer<MonitorDetailSheet> m_sheet;
    QPointer<QMenu> m_menu;
};

} // namespace corvane
