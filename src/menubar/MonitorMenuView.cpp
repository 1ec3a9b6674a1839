#include "MonitorMenuView.h"

#include "MiniSpinner.h"
#include "MonitorDetailSheet.h"
#include "PanelTexts.h"
#include "RowFrame.h"
#include "SelectedServerSection.h"
#include "ViewKit.h"

#include "monitor/ServerMonitor.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/Palette.h"
#include "platform/gui/Symbols.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace corvane {

namespace {

QToolButton* commandButton(const QString& text, const QString& name)
{
    auto* button = new QToolButton;
    button->setObjectName(name);
    button->setText(text);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return button;
}

int scrollValue(QWidget* root, const QString& name)
{
    if (!root)
        return 0;
    auto* area = root->findChild<QScrollArea*>(name);
    return area ? area->verticalScrollBar()->value() : 0;
}

void restoreScroll(QWidget* root, const QString& name, int value)
{
    if (auto* area = root->findChild<QScrollArea*>(name)) {
        area->widget()->adjustSize();
        area->verticalScrollBar()->setValue(value);
    }
}

} // namespace

MonitorMenuView::MonitorMenuView(ServerMonitor& monitor, QWidget* parent)
    : QWidget(parent), m_monitor(monitor)
{
    setObjectName(QStringLiteral("monitorPanel"));
    setFixedWidth(panelWidth);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    connect(&m_monitor, &ServerMonitor::serversChanged, this, &MonitorMenuView::rebuild);
    connect(&m_monitor, &ServerMonitor::resultsChanged, this, &MonitorMenuView::rebuild);
    connect(&m_monitor, &ServerMonitor::selectedIDChanged, this, &MonitorMenuView::rebuild);
    rebuild();
}

MonitorMenuView::~MonitorMenuView() = default;

void MonitorMenuView::rebuild()
{
    const QString listName = QStringLiteral("serverList");
    const QString healthName = QStringLiteral("selectedScroll");
    const int listScroll = scrollValue(m_content, listName);
    const int healthScroll = scrollValue(m_content, healthName);

    // The old content may be inside the very click that caused this redraw: let it finish.
    if (m_content) {
        m_layout->removeWidget(m_content);
        m_content->hide();
        m_content->deleteLater();
    }

    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("panelContent"));
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    column->addWidget(buildHeader());
    column->addWidget(viewkit::divider());
    column->addWidget(buildServerHeading());
    column->addWidget(buildServerList());
    column->addWidget(viewkit::divider());
    if (m_monitor.selected()) {
        column->addWidget(new SelectedServerSection(m_monitor, *this));
        column->addWidget(viewkit::divider());
    }
    column->addWidget(buildSummary());
    if (const std::optional<ServerResult> result = m_monitor.selectedResult();
        result && result->error)
        column->addWidget(buildErrorLine(*result->error));
    column->addWidget(viewkit::divider());
    column->addWidget(buildCommands());

    m_content = content;
    m_layout->addWidget(content);
    restoreScroll(content, listName, listScroll);
    restoreScroll(content, healthName, healthScroll);

    const int height = m_layout->hasHeightForWidth() ? m_layout->totalHeightForWidth(panelWidth)
                                                     : m_layout->totalSizeHint().height();
    setFixedHeight(height);
}

QWidget* MonitorMenuView::buildHeader()
{
    auto* header = new QWidget;
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(14, 14, 14, 14);

    auto* titles = new QVBoxLayout;
    titles->setSpacing(5);
    QWidget* brand =
        viewkit::symbolText(QStringLiteral("server.rack"), QStringLiteral("CORVANE MONITOR"),
                            textstyles::font(TextStyle::headline));
    brand->setObjectName(QStringLiteral("brand"));
    titles->addWidget(brand, 0, Qt::AlignLeft);
    const HealthStatus fleet = m_monitor.status();
    QWidget* status = viewkit::symbolText(symbol(fleet), title(fleet),
                                          textstyles::font(TextStyle::body), color(fleet));
    status->setObjectName(QStringLiteral("fleetStatus"));
    titles->addWidget(status, 0, Qt::AlignLeft);
    row->addLayout(titles);
    row->addStretch(1);

    if (const std::optional<QString> offline = texts::offlineText(m_monitor.offlineCount())) {
        QLabel* label = viewkit::text(*offline, TextStyle::captionBold, ColorRole::red);
        label->setObjectName(QStringLiteral("offlineText"));
        row->addWidget(label);
    }
    return header;
}

QWidget* MonitorMenuView::buildServerHeading()
{
    auto* heading = new QWidget;
    auto* row = new QHBoxLayout(heading);
    viewkit::setPadding(row, 14, 12, 0);
    row->addWidget(
        viewkit::text(QStringLiteral("SERVERS"), TextStyle::captionBold, ColorRole::secondary));
    row->addStretch(1);

    auto* chooser = new QToolButton;
    chooser->setObjectName(QStringLiteral("serverChooser"));
    chooser->setText(QStringLiteral("Switch Server"));
    chooser->setFont(textstyles::font(TextStyle::caption));
    chooser->setIcon(symbols::icon(QStringLiteral("chevron.down.circle"),
                                   QApplication::palette().color(QPalette::ButtonText)));
    chooser->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    chooser->setAutoRaise(true);
    connect(chooser, &QToolButton::clicked, this, [this, chooser] {
        QList<MenuEntry> entries;
        for (const ServerProfile& profile : m_monitor.servers()) {
            const QUuid id = profile.id;
            entries.append({profile.name, [this, id] { m_monitor.select(id); }});
        }
        popupMenu(entries, chooser->mapToGlobal(QPoint(0, chooser->height())));
        if (!m_menu)
            return;
        m_menu->setObjectName(QStringLiteral("serverChooserMenu"));
        const QList<QAction*> actions = m_menu->actions();
        for (qsizetype i = 0; i < actions.size() && i < m_monitor.servers().size(); ++i) {
            const bool selected = m_monitor.servers().at(i).id == m_monitor.selectedID();
            actions.at(i)->setProperty("selected", selected);
            if (selected)
                actions.at(i)->setIcon(symbols::icon(
                    QStringLiteral("checkmark"), QApplication::palette().color(QPalette::Text)));
        }
    });
    row->addWidget(chooser);
    return heading;
}

QScrollArea* MonitorMenuView::buildServerList()
{
    auto* area = new QScrollArea;
    area->setObjectName(QStringLiteral("serverList"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setFixedHeight(texts::serverListHeight(m_monitor.servers().size()));

    auto* inside = new QWidget;
    auto* column = new QVBoxLayout(inside);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    for (const ServerProfile& profile : m_monitor.servers()) {
        const auto it = m_monitor.results().constFind(profile.id);
        const std::optional<ServerResult> result =
            it == m_monitor.results().constEnd() ? std::nullopt : std::optional(*it);
        column->addWidget(buildServerRow(profile, result, profile.id == m_monitor.selectedID()));
    }
    column->addStretch(1);
    area->setWidget(inside);
    return area;
}

QWidget* MonitorMenuView::buildServerRow(const ServerProfile& profile,
                                         const std::optional<ServerResult>& result, bool selected)
{
    auto* frame = new RowFrame(true);
    frame->setObjectName(QStringLiteral("serverRow"));
    frame->setProperty("profileId", uuidText(profile.id));
    auto* row = new QHBoxLayout(frame);
    viewkit::setPadding(row, 14, 8, 8);

    const QFont body = textstyles::font(TextStyle::body);
    QLabel* icon = viewkit::symbol(texts::rowSymbol(result), texts::rowColor(profile, result),
                                   viewkit::symbolSide(body) + 2);
    icon->setObjectName(QStringLiteral("rowIcon"));
    row->addWidget(icon);

    auto* names = new QVBoxLayout;
    names->setSpacing(2);
    QFont nameFont = body;
    nameFont.setBold(selected);
    QLabel* name = viewkit::text(profile.name, nameFont);
    name->setObjectName(QStringLiteral("rowName"));
    names->addWidget(name);
    QLabel* host = viewkit::text(profile.host, TextStyle::caption2, ColorRole::secondary);
    host->setObjectName(QStringLiteral("rowHost"));
    names->addWidget(host);
    row->addLayout(names);
    row->addStretch(1);

    if (result && result->refreshing) {
        auto* spinner = new MiniSpinner;
        spinner->setObjectName(QStringLiteral("rowSpinner"));
        row->addWidget(spinner);
    } else if (result && result->report) {
        auto* trailing = new QVBoxLayout;
        trailing->setSpacing(2);
        QLabel* ok = viewkit::text(texts::okCountText(*result->report), TextStyle::caption2,
                                   ColorRole::secondary);
        ok->setObjectName(QStringLiteral("rowOkCount"));
        trailing->addWidget(ok, 0, Qt::AlignRight);
        if (const std::optional<QString> up = texts::rowUptimeText(*result->report)) {
            QLabel* uptime = viewkit::text(*up, TextStyle::caption2, ColorRole::secondary);
            uptime->setObjectName(QStringLiteral("rowUptime"));
            trailing->addWidget(uptime, 0, Qt::AlignRight);
        }
        row->addLayout(trailing);
    }
    if (selected) {
        QLabel* mark =
            viewkit::symbol(QStringLiteral("checkmark"), std::nullopt, viewkit::symbolSide(body));
        mark->setObjectName(QStringLiteral("rowCheckmark"));
        row->addWidget(mark);
    }

    const QUuid id = profile.id;
    connect(frame, &RowFrame::clicked, this, [this, id] { m_monitor.select(id); });
    connect(frame, &RowFrame::menuRequested, this, [this, profile, result](QPoint at) {
        const QUuid rowId = profile.id;
        popupMenu(
            {
                {QStringLiteral("Show Details"),
                 [this, profile, result] {
                     showDetails(texts::serverDetailItem(profile, result));
                 }},
                {QStringLiteral("Copy Error Details"),
                 [result] { clipboard::setPlainText(texts::serverErrorText(result)); }},
                {QString(), {}},
                {QStringLiteral("Refresh Server"), [this, rowId] { m_monitor.refresh(rowId); }},
            },
            at);
    });
    return frame;
}

QWidget* MonitorMenuView::buildSummary()
{
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(14, 14, 14, 14);
    QLabel* line = viewkit::text(texts::summaryLine(m_monitor.aggregate()), TextStyle::captionBold);
    line->setObjectName(QStringLiteral("summaryLine"));
    row->addWidget(line);
    row->addStretch(1);
    return box;
}

QWidget* MonitorMenuView::buildErrorLine(const QString& error)
{
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    viewkit::setPadding(row, 14, 0, 8);
    QLabel* line = viewkit::text(error, TextStyle::caption, ColorRole::red);
    line->setObjectName(QStringLiteral("errorLine"));
    line->setWordWrap(true);
    line->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    row->addWidget(line, 1);
    return box;
}

QWidget* MonitorMenuView::buildCommands()
{
    auto* bar = new QWidget;
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(14, 14, 14, 14);
    QToolButton* refreshAll =
        commandButton(QStringLiteral("Refresh All"), QStringLiteral("refreshAllButton"));
    QToolButton* diagnostics =
        commandButton(QStringLiteral("Diagnostics"), QStringLiteral("diagnosticsButton"));
    QToolButton* settings =
        commandButton(QStringLiteral("Settings"), QStringLiteral("settingsButton"));
    QToolButton* quit = commandButton(QStringLiteral("Quit"), QStringLiteral("quitButton"));
    row->addWidget(refreshAll);
    row->addStretch(1);
    row->addWidget(diagnostics);
    row->addWidget(settings);
    row->addWidget(quit);

    connect(refreshAll, &QToolButton::clicked, this, [this] { m_monitor.refreshAll(); });
    connect(diagnostics, &QToolButton::clicked, this,
            [this] { Q_EMIT openWindowRequested(QString::fromLatin1(diagnosticsWindowId)); });
    connect(settings, &QToolButton::clicked, this,
            [this] { Q_EMIT openWindowRequested(QString::fromLatin1(settingsWindowId)); });
    connect(quit, &QToolButton::clicked, this, &MonitorMenuView::quitRequested);
    return bar;
}

void MonitorMenuView::showDetails(const MonitorDetailItem& item)
{
    if (m_sheet)
        m_sheet->close();
    auto* sheet = new MonitorDetailSheet(item, this);
    m_sheet = sheet;
    sheet->open();
}

void MonitorMenuView::popupMenu(const QList<MenuEntry>& entries, const QPoint& globalPos)
{
    if (m_menu)
        m_menu->close();
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const MenuEntry& entry : entries) {
        if (entry.text.isEmpty()) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(entry.text);
        connect(action, &QAction::triggered, this, [run = entry.run] {
            if (run)
                run();
        });
    }
    m_menu = menu;
    // Asynchronous: the panel may be redrawn while the menu is open.
    menu->popup(globalPos);
}

bool MonitorMenuView::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::WindowDeactivate:
        if (m_dismissOnDeactivate && !m_sheet && !(m_menu && m_menu->isVisible()) && isWindow())
            hide();
        break;
    case QEvent::ApplicationPaletteChange:
    case QEvent::ThemeChange:
        rebuild();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

} // namespace corvane
