#pragma once

#include "records/HealthReport.h"
#include "records/ServerProfile.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <QCoro/QCoroTask>

#include <optional>

namespace corvane {

class ServerMonitor;

// The settings window's working state: a draft of one profile and the window's copies of the
// monitor's settings, with the handlers that run when they change. It holds no widget, so every
// rule of the window can be tested without one; the view renders it and calls into it.
// Setters run their change handler only when the value differs.
class SettingsState : public QObject
{
    Q_OBJECT

public:
    explicit SettingsState(ServerMonitor& monitor, QObject* parent = nullptr);

    [[nodiscard]] ServerMonitor& monitor() const { return m_monitor; }

    [[nodiscard]] const ServerProfile& draft() const { return m_draft; }
    void setDraft(const ServerProfile& draft);
    [[nodiscard]] const std::optional<QUuid>& editingID() const { return m_editingID; }
    void setEditingID(const std::optional<QUuid>& id);
    [[nodiscard]] const QString& validation() const { return m_validation; }
    [[nodiscard]] qint64 interval() const { return m_interval; }
    void setInterval(qint64 minutes);
    [[nodiscard]] bool notifications() const { return m_notifications; }
    void setNotifications(bool on);
    [[nodiscard]] const QString& newRequiredService() const { return m_newRequiredService; }
    void setNewRequiredService(const QString& text);
    [[nodiscard]] bool showUninstalled() const { return m_showUninstalled; }
    void setShowUninstalled(bool on);

    // Each time the window opens: copy the monitor's settings and selection.
    void shown();
    // A fresh default profile in the draft; nothing reaches the monitor.
    void newProfile();
    // Removes the edited profile at once, then edits the list's first profile.
    void removeEdited();
    // Reorders the monitor's list at once; positions count in the list before the move.
    void move(const QList<qsizetype>& from, qsizetype to);
    // Checks the draft and hands it to the monitor; false, with the form's message, if it fails.
    bool save();

    // Services shown for the edited profile: the stored profile's report and placeholders,
    // filtered by the draft's required names and the "not installed" switch.
    [[nodiscard]] QList<DiscoveredService> visibleServices() const;
    void setRequired(const QString& name, bool required);
    [[nodiscard]] bool canAddRequiredService() const;
    void addRequiredService();
    // Probes the stored profile (not the draft); finishes at once while nothing is edited.
    QCoro::Task<> refreshServices();

Q_SIGNALS:
    // Any field of this state changed.
    void changed();

private:
    void setValidation(const QString& text);

    ServerMonitor& m_monitor;
    ServerProfile m_draft;
    std::optional<QUuid> m_editingID;
    QString m_validation;
    qint64 m_interval = 5;
    bool m_notifications = true;
    QString m_newRequiredService;
    bool m_showUninstalled = false;
};

} // namespace corvane
