#pragma once

#include <QTimer>
#include <QWidget>

namespace corvane {

// A small indeterminate progress spinner.
class MiniSpinner : public QWidget
{
    Q_OBJECT

public:
    explicit MiniSpinner(int side = 14, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer m_timer;
    int m_step = 0;
};

} // namespace corvane
