#include "MonitorDiagnosticsView.h"

#include "DiagnosticsTexts.h"
#include "PanelTexts.h"
#include "RowFrame.h"
#include "ViewKit.h"

#include "monitor/ServerMonitor.h"
#include "platform/gui/Clipboard.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace corvane {

namespace {

// Selectable, but its own copy menu would hide the row's: that click goes to the row.
void makeSelectable(QLabel* label)
{
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setContextMenuPolicy(Qt::NoContextMenu);
    label->setWordWrap(true);
}

} // namespace

MonitorDiagnosticsView::MonitorDiagnosticsView(ServerMonitor& monitor, QWidget* parent)
    : QWidget(parent), m_monitor(monitor)
{
    setObjectName(QStringLiteral("diagnosticsView"));
    setMinimumSize(leastWidth, leastHeight);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    connect(&m_monitor, &ServerMonitor::serversChanged, this, &MonitorDiagnosticsView::rebuild);
    connect(&m_monitor, &ServerMonitor::resultsChanged, this, &MonitorDiagnosticsView::rebuild);
    connect(&m_monitor, &ServerMonitor::selectedIDChanged, this, &MonitorDiagnosticsView::rebuild);
    rebuild();
}

MonitorDiagnosticsView::~MonitorDiagnosticsView() = default;

void MonitorDiagnosticsView::rebuild()
{
    const QString listName = QStringLiteral("checkList");
    int scroll = 0;
    if (m_content) {
        if (auto* old = m_content->findChild<QScrollArea*>(listName))
            scroll = old->verticalScrollBar()->value();
        // The old content may be inside the very event that caused this redraw.
        m_layout->removeWidget(m_content);
        m_content->hide();
        m_content->deleteLater();
    }

    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("diagnosticsContent"));
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(12);

    QFont titleFont = textstyles::font(TextStyle::title2);
    titleFont.setBold(true);
    QLabel* title = viewkit::text(texts::diagnosticsTitle(m_monitor.selected()), titleFont);
    title->setObjectName(QStringLiteral("diagnosticsTitle"));
    column->addWidget(title);

    QLabel* hint =
        viewkit::text(texts::diagnosticsHint(), TextStyle::caption, ColorRole::secondary);
    hint->setObjectName(QStringLiteral("diagnosticsHint"));
    column->addWidget(hint);

    auto* area = new QScrollArea;
    area->setObjectName(listName);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* inside = new QWidget;
    inside->setObjectName(QStringLiteral("checkRows"));
    auto* rows = new QVBoxLayout(inside);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(10);
    // No report (nothing selected, or not refreshed yet) is simply an empty list.
    if (const std::optional<HealthReport> report = m_monitor.report())
        for (const HealthCheck& check : report->checks)
            rows->addWidget(buildRow(check));
    rows->addStretch(1);
    area->setWidget(inside);
    column->addWidget(area, 1);

    m_content = content;
    m_layout->addWidget(content);
    inside->adjustSize();
    area->verticalScrollBar()->setValue(scroll);
}

QWidget* MonitorDiagnosticsView::buildRow(const HealthCheck& check)
{
    // Not clickable: a primary click only starts a text selection.
    auto* frame = new RowFrame(false);
    frame->setObjectName(QStringLiteral("checkRow"));
    frame->setProperty("checkId", check.id());
    auto* row = new QHBoxLayout(frame);
    row->setContentsMargins(0, 0, 0, 0);

    QFont nameFont = textstyles::font(TextStyle::body);
    nameFont.setWeight(QFont::Medium);
    QLabel* icon =
        viewkit::symbol(symbol(check.status), color(check.status), viewkit::symbolSide(nameFont));
    icon->setObjectName(QStringLiteral("checkIcon"));
    icon->setContextMenuPolicy(Qt::NoContextMenu);
    row->addWidget(icon, 0, Qt::AlignTop);

    auto* lines = new QVBoxLayout;
    lines->setSpacing(2);
    QLabel* name = viewkit::text(check.name, nameFont);
    name->setObjectName(QStringLiteral("checkName"));
    makeSelectable(name);
    lines->addWidget(name);
    QLabel* detail = viewkit::text(check.detail, TextStyle::caption, ColorRole::secondary);
    detail->setObjectName(QStringLiteral("checkDetail"));
    makeSelectable(detail);
    if (check.detail.isEmpty()) {
        // An empty detail still keeps its line, as high as a line of text.
        detail->setText(QStringLiteral("X"));
        detail->setMinimumHeight(detail->sizeHint().height());
        detail->clear();
    }
    lines->addWidget(detail);
    // The text takes the width the spacer would: the whole row is the menu's hit area anyway.
    row->addLayout(lines, 1);

    connect(frame, &RowFrame::menuRequested, this,
            [this, check](QPoint at) { popupRowMenu(check, at); });
    return frame;
}

void MonitorDiagnosticsView::popupRowMenu(const HealthCheck& check, const QPoint& globalPos)
{
    if (m_menu)
        m_menu->close();
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("checkMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The menu acts on its own copy: a redraw while it is open replaces the row, not the check.
    menu->addAction(QStringLiteral("Show Details"), this,
                    [this, check] { showDetails(texts::checkDetailItem(check)); });
    menu->addAction(QStringLiteral("Copy Details"), this,
                    [check] { clipboard::setPlainText(texts::checkCopyText(check)); });
    m_menu = menu;
    menu->popup(globalPos);
}

void MonitorDiagnosticsView::showDetails(const MonitorDetailItem& item)
{
    if (m_sheet)
        m_sheet->close();
    // Parented to the view, not to the content, so a redraw leaves an open sheet alone.
    auto* sheet = new MonitorDetailSheet(item, this);
    m_sheet = sheet;
    sheet->open();
    Q_EMIT detailsShown(item);
}

bool MonitorDiagnosticsView::event(QEvent* event)
{
    if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::ThemeChange)
        rebuild();
    return QWidget::event(event);
}

} // namespace corvane
