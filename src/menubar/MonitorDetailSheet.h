#pragma once

#include "MonitorDetailItem.h"

#include <QDialog>

class QPlainTextEdit;

namespace corvane {

// One item in full over the window that asked for it: modal for that window only.
class MonitorDetailSheet : public QDialog
{
    Q_OBJECT

public:
    static constexpr int minimumWidth = 540;
    static constexpr int minimumHeight = 350;

    explicit MonitorDetailSheet(MonitorDetailItem item, QWidget* parent);

    [[nodiscard]] const MonitorDetailItem& item() const { return m_item; }

private:
    MonitorDetailItem m_item;
};

} // namespace corvane
