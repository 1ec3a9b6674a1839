#pragma once

#include <QFrame>
#include <QPoint>

namespace corvane {

// A row whose whole rectangle answers clicks and context-menu clicks, the empty middle too.
class RowFrame : public QFrame
{
    Q_OBJECT

public:
    explicit RowFrame(bool clickable, QWidget* parent = nullptr);

Q_SIGNALS:
    void clicked();
    void menuRequested(QPoint globalPos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_clickable;
    bool m_pressed = false;
};

} // namespace corvane
