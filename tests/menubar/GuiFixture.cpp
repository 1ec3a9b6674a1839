#include "GuiFixture.h"

#include <QMenu>

#include "TestSupport.h"

#include "records/HealthReportJson.h"

#include <QFile>
#include <QJsonDocument>
#include <QTest>
#include <QUrl>
#include <QWidget>

namespace corvane::test {

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    out.write(bytes);
}

} // namespace

GuiFixture::GuiFixture()
{
    if (!m_dir.isValid())
        qFatal("no temporary folder");
    // The last argument is the remote command; run it here instead of on a server.
    m_ssh = writeFakeSsh(m_dir.path(),
                         QStringLiteral("for last; do :; done\nexec /bin/sh -c \"$last\""));
}

QString GuiFixture::file(const QString& name, const char* suffix) const
{
    return m_dir.filePath(QString::fromLatin1(QUrl::toPercentEncoding(name))
                              .replace(QLatin1Char('%'), QLatin1Char('_')) +
                          QString::fromLatin1(suffix));
}

ServerProfile GuiFixture::server(const QString& name, bool enabled)
{
    ServerProfile profile;
    profile.name = name;
    profile.host = QStringLiteral("127.0.0.1");
    profile.user = QStringLiteral("tester");
    profile.enabled = enabled;
    const QString base = file(name, "");
    profile.remoteCommand =
        QStringLiteral("while [ -e '%1.hold' ]; do sleep 0.02; done; "
                       "if [ -e '%1.fail' ]; then cat '%1.fail' >&2; exit 255; fi; cat '%1.json'")
            .arg(base);
    if (!QFile::exists(base + QStringLiteral(".json")))
        setReport(name, report(HealthStatus::ok, 1));
    return profile;
}

void GuiFixture::setReport(const QString& name, const HealthReport& value) const
{
    writeFile(file(name, ".json"), QJsonDocument(encodeHealthReport(value)).toJson());
}

void GuiFixture::setFailing(const QString& name, const QString& message) const
{
    writeFile(file(name, ".fail"), message.toUtf8());
}

void GuiFixture::clearFailing(const QString& name) const
{
    QFile::remove(file(name, ".fail"));
}

void GuiFixture::hold(const QString& name) const
{
    writeFile(file(name, ".hold"), {});
}

void GuiFixture::release(const QString& name) const
{
    QFile::remove(file(name, ".hold"));
}

std::unique_ptr<ServerMonitor> GuiFixture::make(const QList<ServerProfile>& profiles,
                                                std::optional<QUuid> selected)
{
    store->set(QString::fromLatin1(ServerMonitor::profilesKey),
               SettingsValue(encodeServerProfiles(profiles)));
    store->set(QString::fromLatin1(ServerMonitor::notificationsKey), SettingsValue(false));
    if (selected)
        store->set(QString::fromLatin1(ServerMonitor::selectedKey),
                   SettingsValue(uuidText(*selected)));
    MonitorSeams seams;
    seams.store = store;
    seams.notifier = std::make_shared<NullNotifier>();
    return std::make_unique<ServerMonitor>(seams, m_ssh);
}

bool settle(const ServerMonitor& monitor)
{
    return QTest::qWaitFor(
        [&] {
            for (const ServerProfile& profile : monitor.servers()) {
                if (!profile.enabled)
                    continue;
                const auto it = monitor.results().constFind(profile.id);
                if (it == monitor.results().constEnd() || it->refreshing ||
                    (!it->report && !it->error))
                    return false;
            }
            return true;
        },
        20000);
}

HealthReport report(HealthStatus overall, qint64 ok, std::optional<qint64> uptime)
{
    HealthReport out;
    out.overall = overall;
    out.counts = {ok, overall == HealthStatus::warn ? 1 : 0, overall == HealthStatus::fail ? 1 : 0};
    out.uptimeSeconds = uptime;
    return out;
}

QWidget* childWith(QWidget* root, const QString& objectName, const char* property,
                   const QVariant& value)
{
    for (QWidget* child : root->findChildren<QWidget*>(objectName))
        if (child->property(property) == value && child->isVisibleTo(root))
            return child;
    return nullptr;
}

QStringList menuTexts(QMenu* menu)
{
    if (!menu)
        return {QStringLiteral("<no menu>")};
    QStringList out;
    for (QAction* action : menu->actions())
        out.append(action->isSeparator() ? QStringLiteral("---") : action->text());
    return out;
}

void trigger(QMenu* menu, const QString& text)
{
    QVERIFY(menu);
    for (QAction* action : menu->actions())
        if (action->text() == text) {
            action->trigger();
            menu->close();
            return;
        }
    QFAIL(qPrintable(QStringLiteral("no menu entry ") + text));
}

} // namespace corvane::test
