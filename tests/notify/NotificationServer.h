#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace corvane::test {

// The recording notification server (recording_notifyd.py) as a child of the test, on the
// test's session bus.
class NotificationServer
{
public:
    // One call the server received, in arrival order. Only Notify fills the other fields.
    struct Call
    {
        QString method;
        QString appName;
        qint64 replacesId = -1;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        qint64 expireTimeout = 0;
        qint64 id = 0;
    };

    // With hold, the server answers nothing until release().
    explicit NotificationServer(QStringList capabilities = {QStringLiteral("body")},
                                bool hold = false);
    ~NotificationServer();
    NotificationServer(const NotificationServer&) = delete;
    NotificationServer& operator=(const NotificationServer&) = delete;

    // Starts the server and waits until it owns the name; returns why not, or an empty text.
    [[nodiscard]] QString start();
    void stop();

    [[nodiscard]] QList<Call> calls() const;
    [[nodiscard]] QList<Call> notifications() const;
    [[nodiscard]] qint64 held() const;
    void release();

    [[nodiscard]] static bool ownerPresent();

private:
    QStringList m_capabilities;
    bool m_hold;
    QProcess m_process;
};

} // namespace corvane::test
