#pragma once

#include <QColor>
#include <QIconEngine>
#include <QString>

namespace corvane {

// Draws one of our symbols at whatever size the icon is asked for, in one tint.
class SymbolIconEngine : public QIconEngine
{
public:
    SymbolIconEngine(QString name, QColor color);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override;
    [[nodiscard]] QIconEngine* clone() const override;
    [[nodiscard]] QString key() const override;
    [[nodiscard]] QString iconName() override { return m_name; }

private:
    [[nodiscard]] QColor tint(QIcon::Mode mode) const;

    QString m_name;
    QColor m_color;
};

} // namespace corvane
