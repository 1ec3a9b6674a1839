#pragma once

#include "monitor/ServerMonitor.h"
#include "platform/MemorySettingsStore.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <memory>
#include <optional>

class QMenu;
class QWidget;

namespace corvane::test {

// A monitor over an in-memory store and a fake ssh, so that nothing leaves the machine. Every
// server is a loopback profile whose remote command the fake runs locally: it prints the report
// set for that server, fails with the set message, or waits while the server is held.
class GuiFixture
{
public:
    GuiFixture();

    [[nodiscard]] ServerProfile server(const QString& name, bool enabled = true);
    void setReport(const QString& name, const HealthReport& report) const;
    void setFailing(const QString& name, const QString& message) const;
    void clearFailing(const QString& name) const;
    void hold(const QString& name) const;
    void release(const QString& name) const;

    [[nodiscard]] std::unique_ptr<ServerMonitor> make(const QList<ServerProfile>& profiles,
                                                      std::optional<QUuid> selected = std::nullopt);

    std::shared_ptr<MemorySettingsStore> store = std::make_shared<MemorySettingsStore>();

private:
    [[nodiscard]] QString file(const QString& name, const char* suffix) const;
    QTemporaryDir m_dir;
    QString m_ssh;
};

// Waits, within a generous bound, until every enabled profile has a finished result.
[[nodiscard]] bool settle(const ServerMonitor& monitor);

// A report with the given status and ok count, and nothing else unless the caller adds it.
[[nodiscard]] HealthReport report(HealthStatus overall, qint64 ok,
                                  std::optional<qint64> uptime = std::nullopt);

// The child widget with that object name whose property has that value.
[[nodiscard]] QWidget* childWith(QWidget* root, const QString& objectName, const char* property,
                                 const QVariant& value);

// A menu's entries in order, separators as "---".
[[nodiscard]] QStringList menuTexts(QMenu* menu);
// Triggers the entry with that text and closes the menu; fails the test when there is none.
void trigger(QMenu* menu, const QString& text);

} // namespace corvane::test
