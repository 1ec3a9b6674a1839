#include "MonitorDetailSheet.h"

#include "PanelTexts.h"
#include "ViewKit.h"

#include "platform/gui/Clipboard.h"
#include "platform/gui/Palette.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {

MonitorDetailSheet::MonitorDetailSheet(MonitorDetailItem item, QWidget* parent)
    : QDialog(parent), m_item(std::move(item))
{
    setObjectName(QStringLiteral("detailSheet"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    setWindowTitle(m_item.title);
    setMinimumSize(minimumWidth, minimumHeight);

    const ColorRole tone = texts::sheetStatusColor(m_item.status);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);

    auto* header = new QHBoxLayout;
    const QFont title2 = textstyles::font(TextStyle::title2);
    QLabel* icon = viewkit::symbol(texts::sheetStatusSymbol(m_item.status), tone,
                                   viewkit::symbolSide(title2) + 4);
    icon->setObjectName(QStringLiteral("sheetSymbol"));
    header->addWidget(icon);
    auto* lines = new QVBoxLayout;
    lines->setSpacing(4);
    QFont boldTitle = title2;
    boldTitle.setBold(true);
    QLabel* title = viewkit::text(m_item.title, boldTitle);
    title->setObjectName(QStringLiteral("sheetTitle"));
    title->setWordWrap(true);
    lines->addWidget(title);
    QLabel* status = viewkit::text(m_item.status, TextStyle::body, tone);
    status->setObjectName(QStringLiteral("sheetStatus"));
    lines->addWidget(status);
    header->addLayout(lines, 1);
    column->addLayout(header);
    column->addWidget(viewkit::divider());

    // A plain-text view cannot show markup, and it selects, scrolls and wraps on its own.
    auto* details = new QPlainTextEdit;
    details->setObjectName(QStringLiteral("sheetDetails"));
    details->setReadOnly(true);
    details->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    details->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    details->setFont(textstyles::systemFont(12, QFont::Normal, true));
    details->setPlainText(texts::sheetDetailsShown(m_item.details));
    details->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    details->setFrameShape(QFrame::NoFrame);
    details->document()->setDocumentMargin(12);
    details->setFocusPolicy(Qt::ClickFocus);
    const QColor fill = palette::quaternaryFill(QApplication::palette());
    details->setStyleSheet(QStringLiteral("QPlainTextEdit#sheetDetails { background: rgba(%1, %2, "
                                          "%3, %4); border-radius: 8px; }")
                               .arg(fill.red())
                               .arg(fill.green())
                               .arg(fill.blue())
                               .arg(fill.alphaF(), 0, 'f', 2));
    column->addWidget(details, 1);

    auto* buttons = new QHBoxLayout;
    auto* copy = new QPushButton(QStringLiteral("Copy Details"));
    copy->setObjectName(QStringLiteral("copyDetailsButton"));
    copy->setAutoDefault(false);
    auto* close = new QPushButton(QStringLiteral("Close"));
    close->setObjectName(QStringLiteral("closeButton"));
    close->setDefault(true);
    buttons->addWidget(copy);
    buttons->addStretch(1);
    buttons->addWidget(close);
    column->addLayout(buttons);

    const QString raw = m_item.details;
    connect(copy, &QPushButton::clicked, this, [raw] { clipboard::setPlainText(raw); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    close->setFocus();
}

} // namespace corvane
