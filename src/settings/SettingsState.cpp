#include "SettingsState.h"

#include "SettingsTexts.h"

#include "monitor/ServerMonitor.h"

#include <algorithm>

namespace corvane {

namespace {

QCoro::Task<> nothing()
{
    co_return;
}

} // namespace

SettingsState::SettingsState(ServerMonitor& monitor, QObject* parent)
    : QObject(parent), m_monitor(monitor)
{
}

void SettingsState::setDraft(const ServerProfile& draft)
{
    if (m_draft == draft)
        return;
    m_draft = draft;
    Q_EMIT changed();
}

void SettingsState::setEditingID(const std::optional<QUuid>& id)
{
    if (m_editingID == id)
        return;
    m_editingID = id;
    if (id) {
        const QList<ServerProfile>& servers = m_monitor.servers();
        const auto found = std::find_if(servers.cbegin(), servers.cend(),
                                        [&](const ServerProfile& p) { return p.id == *id; });
        if (found != servers.cend())
            m_draft = *found;
    }
    m_validation.clear();
    m_newRequiredService.clear();
    Q_EMIT changed();
}

void SettingsState::setInterval(qint64 minutes)
{
    if (m_interval == minutes)
        return;
    m_interval = minutes;
    m_monitor.setIntervalMinutes(minutes);
    Q_EMIT changed();
}

void SettingsState::setNotifications(bool on)
{
    if (m_notifications == on)
        return;
    m_notifications = on;
    m_monitor.setNotifications(on);
    Q_EMIT changed();
}

void SettingsState::setNewRequiredService(const QString& text)
{
    if (m_newRequiredService == text)
        return;
    m_newRequiredService = text;
    Q_EMIT changed();
}

void SettingsState::setShowUninstalled(bool on)
{
    if (m_showUninstalled == on)
        return;
    m_showUninstalled = on;
    Q_EMIT changed();
}

void SettingsState::setValidation(const QString& text)
{
    if (m_validation == text)
        return;
    m_validation = text;
    Q_EMIT changed();
}

void SettingsState::shown()
{
    setInterval(m_monitor.intervalMinutes());
    setNotifications(m_monitor.notifications());
    setEditingID(m_monitor.selectedID());
    // Also when the selection did not change: the window shows what the panel shows.
    if (const std::optional<ServerProfile> selected = m_monitor.selected())
        setDraft(*selected);
}

void SettingsState::newProfile()
{
    setEditingID(std::nullopt);
    m_draft = ServerProfile();
    m_validation.clear();
    m_newRequiredService.clear();
    Q_EMIT changed();
}

void SettingsState::removeEdited()
{
    if (!m_editingID)
        return;
    m_monitor.remove(*m_editingID);
    const QList<ServerProfile>& servers = m_monitor.servers();
    setEditingID(servers.isEmpty() ? std::nullopt : std::optional<QUuid>(servers.first().id));
}

void SettingsState::move(const QList<qsizetype>& from, qsizetype to)
{
    m_monitor.move(from, to);
}

bool SettingsState::save()
{
    if (!settingstexts::passesForm(m_draft)) {
        setValidation(settingstexts::formMessage());
        return false;
    }
    // Stored as typed: the trimmed copies only served the checks.
    const ServerProfile saved = m_draft;
    m_monitor.save(saved);
    setEditingID(saved.id);
    setValidation(QString());
    return true;
}

QList<DiscoveredService> SettingsState::visibleServices() const
{
    if (!m_editingID)
        return {};
    QList<DiscoveredService> shown;
    for (const DiscoveredService& service : m_monitor.discoveredServices(*m_editingID))
        if (m_showUninstalled || service.isInstalled() ||
            m_draft.requiredServices.contains(service.name))
            shown.append(service);
    return shown;
}

void SettingsState::setRequired(const QString& name, bool required)
{
    QStringList names = m_draft.requiredServices;
    if (required) {
        if (names.contains(name))
            return;
        names.append(name);
    } else if (names.removeAll(name) == 0) {
        return;
    }
    m_draft.requiredServices = names;
    Q_EMIT changed();
}

bool SettingsState::canAddRequiredService() const
{
    return !settingstexts::trimServiceName(m_newRequiredService).isEmpty();
}

void SettingsState::addRequiredService()
{
    const QString name = settingstexts::trimServiceName(m_newRequiredService);
    if (!settingstexts::isValidServiceName(name)) {
        setValidation(settingstexts::serviceNameMessage());
        return;
    }
    if (!m_draft.requiredServices.contains(name))
        m_draft.requiredServices.append(name);
    m_newRequiredService.clear();
    m_validation.clear();
    Q_EMIT changed();
}

QCoro::Task<> SettingsState::refreshServices()
{
    if (!m_editingID)
        return nothing();
    // The monitor's task owns what it needs, so it completes even if this window closes.
    return m_monitor.refresh(*m_editingID);
}

} // namespace corvane
