#include "MiniSpinner.h"

#include <QPainter>

namespace corvane {

namespace {
constexpr int kSpokes = 8;
}

MiniSpinner::MiniSpinner(int side, QWidget* parent) : QWidget(parent)
{
    setFixedSize(side, side);
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % kSpokes;
        update();
    });
}

void MiniSpinner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    painter.translate(width() / 2.0, height() / 2.0);
    QPen pen(palette().color(QPalette::WindowText));
    pen.setWidthF(std::max(1.5, side / 9.0));
    pen.setCapStyle(Qt::RoundCap);
    for (int i = 0; i < kSpokes; ++i) {
        QColor c = palette().color(QPalette::WindowText);
        const int age = (m_step - i + kSpokes) % kSpokes;
        c.setAlphaF(1.0f - 0.8f * static_cast<float>(age) / kSpokes);
        pen.setColor(c);
        painter.setPen(pen);
        painter.save();
        painter.rotate(360.0 * i / kSpokes);
        painter.drawLine(QPointF(0, -side * 0.22), QPointF(0, -side * 0.42));
        painter.restore();
    }
}

void MiniSpinner::showEvent(QShowEvent*)
{
    m_timer.start();
}

void MiniSpinner::hideEvent(QHideEvent*)
{
    m_timer.stop();
}

} // namespace corvane
