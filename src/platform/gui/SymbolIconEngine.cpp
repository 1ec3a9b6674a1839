#include "SymbolIconEngine.h"

#include "Symbols.h"

#include <QPainter>

namespace corvane {

SymbolIconEngine::SymbolIconEngine(QString name, QColor color)
    : m_name(std::move(name)), m_color(std::move(color))
{
}

QColor SymbolIconEngine::tint(QIcon::Mode mode) const
{
    if (mode != QIcon::Disabled)
        return m_color;
    QColor dimmed = m_color;
    dimmed.setAlphaF(m_color.alphaF() * 0.4f);
    return dimmed;
}

void SymbolIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State)
{
    symbols::paint(*painter, m_name, QRectF(rect), tint(mode));
}

QPixmap SymbolIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state)
{
    return scaledPixmap(size, mode, state, 1.0);
}

QPixmap SymbolIconEngine::scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State,
                                       qreal scale)
{
    // QIcon hands over the size in device pixels already.
    const QSize device = size;
    QPixmap out(device);
    out.fill(Qt::transparent);
    {
        QPainter painter(&out);
        symbols::paint(painter, m_name, QRectF(QPointF(0, 0), QSizeF(device)), tint(mode));
    }
    out.setDevicePixelRatio(scale);
    return out;
}

QIconEngine* SymbolIconEngine::clone() const
{
    return new SymbolIconEngine(m_name, m_color);
}

QString SymbolIconEngine::key() const
{
    return QStringLiteral("corvane-symbol");
}

} // namespace corvane
