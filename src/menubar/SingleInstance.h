#pragma once

#include <QDBusConnection>
#include <QFileSystemWatcher>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace corvane {

// One running application per user. The first instance owns a well-known name on the session
// bus; a later one asks it to show its panel and then leaves. Without a bus a lock file stands
// in for the name, and touching a file next to it stands in for the call.
class SingleInstance : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.corvane.Monitor")

public:
    static constexpr auto serviceName = "org.corvane.Monitor";
    static constexpr auto objectPath = "/org/corvane/Monitor";

    // With no bus connection the lock file is used; dir is where it and the request file live
    // (empty: the user's runtime folder).
    explicit SingleInstance(std::optional<QDBusConnection> bus, QString dir = {},
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the one instance. Otherwise the running one has been asked
    // to show its panel.
    bool claim();

public Q_SLOTS:
    Q_SCRIPTABLE void ShowPanel();

Q_SIGNALS:
    void showRequested();

private:
    bool claimBus();
    bool claimLockFile();

    std::optional<QDBusConnection> m_bus;
    QString m_dir;
    std::unique_ptr<QLockFile> m_lock;
    QFileSystemWatcher m_watcher;
};

} // namespace corvane
