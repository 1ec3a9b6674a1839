#pragma once

#include <QString>
#include <QUuid>

namespace corvane {

// What the detail sheet shows. Every item made is a new item, even with equal texts.
struct MonitorDetailItem
{
    QUuid id = QUuid::createUuid();
    QString title;
    QString status;
    QString details;

    [[nodiscard]] static MonitorDetailItem make(QString title, QString status, QString details)
    {
        return MonitorDetailItem{QUuid::createUuid(), std::move(title), std::move(status),
                                 std::move(details)};
    }
};

} // namespace corvane
