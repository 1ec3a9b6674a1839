#include "ViewKit.h"

#include "platform/gui/Palette.h"
#include "platform/gui/Symbols.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>

namespace corvane::viewkit {

void setTextColor(QWidget* widget, std::optional<ColorRole> role)
{
    if (!role)
        return;
    QPalette p = widget->palette();
    const QColor c = palette::color(*role, QApplication::palette());
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    widget->setPalette(p);
    widget->setProperty("colorRole", colorRoleName(*role));
}

QLabel* text(const QString& text, const QFont& font, std::optional<ColorRole> role)
{
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(font);
    setTextColor(label, role);
    return label;
}

QLabel* text(const QString& text, TextStyle style, std::optional<ColorRole> role)
{
    return viewkit::text(text, textstyles::font(style), role);
}

int symbolSide(const QFont& font)
{
    return std::max(10, QFontMetrics(font).height() - 1);
}

QLabel* symbol(const QString& name, std::optional<ColorRole> role, int side)
{
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    const QColor tint = role ? palette::color(*role, QApplication::palette())
                             : QApplication::palette().color(QPalette::WindowText);
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    label->setPixmap(symbols::pixmap(name, tint, side, ratio));
    label->setFixedSize(side, side);
    label->setProperty("symbol", name);
    label->setProperty("colorRole", role ? colorRoleName(*role) : QString());
    return label;
}

QWidget* symbolText(const QString& symbolName, const QString& text, const QFont& font,
                    std::optional<ColorRole> role)
{
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(5);
    QLabel* icon = symbol(symbolName, role, symbolSide(font));
    icon->setObjectName(QStringLiteral("symbol"));
    QLabel* label = viewkit::text(text, font, role);
    label->setObjectName(QStringLiteral("text"));
    row->addWidget(icon);
    row->addWidget(label);
    box->setProperty("symbol", symbolName);
    box->setProperty("colorRole", role ? colorRoleName(*role) : QString());
    return box;
}

QFrame* divider(int leftInset)
{
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    QPalette p = line->palette();
    QColor c = QApplication::palette().color(QPalette::WindowText);
    c.setAlphaF(0.15f);
    p.setColor(QPalette::WindowText, c);
    line->setPalette(p);
    line->setContentsMargins(leftInset, 0, 0, 0);
    if (leftInset > 0) {
        // An inset line: an empty margin on the left, the line on the rest.
        auto* holder = new QFrame;
        auto* row = new QHBoxLayout(holder);
        row->setContentsMargins(leftInset, 0, 0, 0);
        row->setSpacing(0);
        line->setContentsMargins(0, 0, 0, 0);
        row->addWidget(line);
        holder->setFixedHeight(1);
        holder->setObjectName(QStringLiteral("insetDivider"));
        return holder;
    }
    line->setObjectName(QStringLiteral("divider"));
    return line;
}

void setPadding(QBoxLayout* layout, int horizontal, int top, int bottom)
{
    layout->setContentsMargins(horizontal, top, horizontal, bottom);
}

} // namespace corvane::viewkit
