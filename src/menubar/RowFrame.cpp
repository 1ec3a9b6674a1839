#include "RowFrame.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>

namespace corvane {

RowFrame::RowFrame(bool clickable, QWidget* parent) : QFrame(parent), m_clickable(clickable)
{
    setAttribute(Qt::WA_Hover, clickable);
}

void RowFrame::mousePressEvent(QMouseEvent* event)
{
    if (m_clickable && event->button() == Qt::LeftButton) {
        m_pressed = true;
        update();
        event->accept();
        return;
    }
    QFrame::mousePressEvent(event);
}

void RowFrame::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_clickable && event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        update();
        event->accept();
        if (rect().contains(event->position().toPoint()))
            Q_EMIT clicked();
        return;
    }
    QFrame::mouseReleaseEvent(event);
}

void RowFrame::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    Q_EMIT menuRequested(event->globalPos());
}

void RowFrame::paintEvent(QPaintEvent* event)
{
    if (m_clickable && (m_pressed || underMouse())) {
        QPainter painter(this);
        QColor shade = palette().color(QPalette::WindowText);
        shade.setAlphaF(m_pressed ? 0.14f : 0.06f);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(shade);
        painter.drawRoundedRect(QRectF(rect()).adjusted(4, 0, -4, 0), 6, 6);
    }
    QFrame::paintEvent(event);
}

} // namespace corvane
