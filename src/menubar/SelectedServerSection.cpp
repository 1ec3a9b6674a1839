#include "SelectedServerSection.h"

#include "PanelActions.h"
#include "PanelTexts.h"
#include "RowFrame.h"
#include "ViewKit.h"

#include "monitor/ServerMonitor.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/Palette.h"
#include "platform/gui/Symbols.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace corvane {

SelectedServerSection::SelectedServerSection(ServerMonitor& monitor, PanelActions& actions,
                                             QWidget* parent)
    : QWidget(parent), m_monitor(monitor), m_actions(actions)
{
    setObjectName(QStringLiteral("selectedSection"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    const std::optional<ServerProfile> profile = m_monitor.selected();
    if (!profile)
        return;
    column->addWidget(buildHeading(*profile));

    m_scroll = new QScrollArea;
    m_scroll->setObjectName(QStringLiteral("selectedScroll"));
    m_scroll->setFixedHeight(scrollHeight);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    const std::optional<HealthReport> report = m_monitor.report();
    QWidget* inside = nullptr;
    if (report) {
        inside = buildHealth(*profile, *report);
    } else {
        inside = new QWidget;
        auto* box = new QVBoxLayout(inside);
        viewkit::setPadding(box, 14, 14, 14);
        QLabel* message = viewkit::text(texts::noReportText(m_monitor.selectedResult()),
                                        TextStyle::caption, ColorRole::secondary);
        message->setObjectName(QStringLiteral("noReportText"));
        message->setWordWrap(true);
        box->addWidget(message);
        box->addStretch(1);
    }
    m_scroll->setWidget(inside);
    column->addWidget(m_scroll);
}

QWidget* SelectedServerSection::buildHeading(const ServerProfile& profile)
{
    auto* heading = new QWidget;
    auto* row = new QHBoxLayout(heading);
    viewkit::setPadding(row, 14, 10, 10);
    QLabel* name = viewkit::text(texts::selectedHeading(profile), TextStyle::captionBold);
    name->setObjectName(QStringLiteral("selectedHeading"));
    row->addWidget(name);
    row->addStretch(1);

    auto* refresh = new QToolButton;
    refresh->setObjectName(QStringLiteral("refreshSelectedButton"));
    refresh->setAutoRaise(true);
    refresh->setToolButtonStyle(Qt::ToolButtonIconOnly);
    refresh->setIcon(symbols::icon(QStringLiteral("arrow.clockwise"),
                                   QApplication::palette().color(QPalette::ButtonText)));
    refresh->setAccessibleName(QStringLiteral("Refresh"));
    refresh->setProperty("symbol", QStringLiteral("arrow.clockwise"));
    ServerMonitor* monitor = &m_monitor;
    connect(refresh, &QToolButton::clicked, this, [monitor] { monitor->refreshSelected(); });
    row->addWidget(refresh);
    return heading;
}

QWidget* SelectedServerSection::buildHealth(const ServerProfile& profile,
                                            const HealthReport& report)
{
    auto* inside = new QWidget;
    inside->setObjectName(QStringLiteral("selectedHealth"));
    auto* column = new QVBoxLayout(inside);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* uptime = new QWidget;
    uptime->setObjectName(QStringLiteral("uptimeRow"));
    auto* uptimeRow = new QHBoxLayout(uptime);
    uptimeRow->setSpacing(8);
    viewkit::setPadding(uptimeRow, 14, 10, 10);
    const QFont medium = textstyles::systemFont(12, QFont::Medium);
    uptimeRow->addWidget(viewkit::symbol(QStringLiteral("clock.arrow.circlepath"),
                                         ColorRole::secondary, viewkit::symbolSide(medium)));
    uptimeRow->addWidget(viewkit::text(QStringLiteral("Uptime"), medium));
    uptimeRow->addStretch(1);
    QLabel* value =
        viewkit::text(texts::uptimeValue(report), textstyles::systemFont(12, QFont::Medium, true),
                      ColorRole::secondary);
    value->setObjectName(QStringLiteral("uptimeValue"));
    uptimeRow->addWidget(value);
    column->addWidget(uptime);
    column->addWidget(viewkit::divider());

    const QList<DiscoveredService> services = m_monitor.selectedServices();
    auto heading = [](const QString& text, const QString& name) {
        auto* box = new QWidget;
        auto* row = new QHBoxLayout(box);
        viewkit::setPadding(row, 14, 8, 8);
        QLabel* label = viewkit::text(text, TextStyle::captionBold, ColorRole::secondary);
        label->setObjectName(name);
        row->addWidget(label);
        row->addStretch(1);
        return box;
    };
    if (!services.isEmpty()) {
        column->addWidget(heading(QStringLiteral("SERVICES"), QStringLiteral("servicesHeading")));
        for (const DiscoveredService& service : services)
            column->addWidget(buildServiceRow(profile, service));
        column->addWidget(viewkit::divider());
        column->addWidget(
            heading(QStringLiteral("HEALTH GROUPS"), QStringLiteral("groupsHeading")));
    }
    for (const HealthGroup& group : report.groups) {
        column->addWidget(buildGroupRow(group, report));
        column->addWidget(viewkit::divider(14));
    }
    column->addStretch(1);
    return inside;
}

QWidget* SelectedServerSection::buildServiceRow(const ServerProfile& profile,
                                                const DiscoveredService& service)
{
    auto* frame = new RowFrame(false);
    frame->setObjectName(QStringLiteral("serviceRow"));
    frame->setProperty("serviceName", service.name);
    auto* row = new QHBoxLayout(frame);
    row->setSpacing(8);
    viewkit::setPadding(row, 14, 5, 5);
    const QFont regular = textstyles::systemFont(12, QFont::Normal);
    QLabel* icon = viewkit::symbol(service.symbol(), service.color(), viewkit::symbolSide(regular));
    icon->setObjectName(QStringLiteral("serviceIcon"));
    row->addWidget(icon);
    QLabel* name = viewkit::text(service.name, regular);
    name->setObjectName(QStringLiteral("serviceName"));
    row->addWidget(name);
    row->addStretch(1);
    if (texts::isRequired(profile, service)) {
        QLabel* badge = viewkit::text(QStringLiteral("REQUIRED"),
                                      textstyles::systemFont(9, QFont::Bold), ColorRole::orange);
        badge->setObjectName(QStringLiteral("requiredBadge"));
        row->addWidget(badge);
    }
    QLabel* state = viewkit::text(service.title(), TextStyle::caption, ColorRole::secondary);
    state->setObjectName(QStringLiteral("serviceState"));
    row->addWidget(state);

    PanelActions* actions = &m_actions;
    connect(frame, &RowFrame::menuRequested, this, [actions, service](QPoint at) {
        actions->popupMenu(
            {
                {QStringLiteral("Show Details"),
                 [actions, service] { actions->showDetails(texts::serviceDetailItem(service)); }},
                {QStringLiteral("Copy Details"),
                 [service] { clipboard::setPlainText(texts::serviceCopyText(service)); }},
            },
            at);
    });
    return frame;
}

QWidget* SelectedServerSection::buildGroupRow(const HealthGroup& group, const HealthReport& report)
{
    auto* frame = new RowFrame(false);
    frame->setObjectName(QStringLiteral("groupRow"));
    frame->setProperty("groupName", group.name);
    auto* row = new QHBoxLayout(frame);
    viewkit::setPadding(row, 14, 8, 8);
    QLabel* name = viewkit::text(group.name, textstyles::systemFont(12, QFont::Medium));
    name->setObjectName(QStringLiteral("groupName"));
    row->addWidget(name);
    row->addStretch(1);
    QWidget* status =
        viewkit::symbolText(symbol(group.status), title(group.status),
                            textstyles::font(TextStyle::caption), color(group.status));
    status->setObjectName(QStringLiteral("groupStatus"));
    row->addWidget(status);

    PanelActions* actions = &m_actions;
    connect(frame, &RowFrame::menuRequested, this, [actions, group, report](QPoint at) {
        actions->popupMenu(
            {
                {QStringLiteral("Show Details"),
                 [actions, group, report] {
                     actions->showDetails(texts::groupDetailItem(group, report));
                 }},
                {QStringLiteral("Copy Details"),
                 [group] { clipboard::setPlainText(texts::groupCopyText(group)); }},
            },
            at);
    });
    return frame;
}

} // namespace corvane
