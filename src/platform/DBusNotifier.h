#pragma once

#include "Notifier.h"

#include <QDBusConnection>
#include <QString>

namespace corvane {

// Desktop notifications through org.freedesktop.Notifications on the session bus. Every call
// is asynchronous. The service has no permission model, so permission counts as granted; with
// no bus or no service the notification is dropped.
class DBusNotifier : public Notifier
{
public:
    DBusNotifier();
    explicit DBusNotifier(QDBusConnection connection);

    void post(const QString& title, const QString& body) override;

    static constexpr auto appName = "Corvane Monitor";

    // The body may be taken as markup by the server; remote text must show as written.
    [[nodiscard]] static QString escapeMarkup(const QString& text);

private:
    QDBusConnection m_connection;
};

} // namespace corvane
