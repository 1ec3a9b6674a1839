#pragma once

#include "SettingsState.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

namespace corvane {

class ServerListModel;

// The content of the settings window: the server list on the left, the editor of one profile
// with its service block on the right, and the interval and notification settings below. It
// renders a SettingsState and forwards every user action to it.
class SettingsView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int serverColumnWidth = 205;
    static constexpr int editorMinimumWidth = 460;
    static constexpr int serviceListMaxHeight = 190;

    explicit SettingsView(ServerMonitor& monitor, QWidget* parent = nullptr);
    ~SettingsView() override;

    [[nodiscard]] SettingsState& state() const { return *m_state; }
    [[nodiscard]] ServerListModel& serverModel() const { return *m_model; }
    [[nodiscard]] QListView* serverList() const { return m_list; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildServerColumn(QVBoxLayout* column);
    void buildForm(QVBoxLayout* column);
    void buildServiceBlock(QVBoxLayout* column);
    void render();
    void renderServices();
    void syncSelection();
    void listSelectionChanged();
    void fixTabOrder();
    void editDraft(const std::function<void(ServerProfile&)>& edit);

    SettingsState* m_state = nullptr;
    ServerListModel* m_model = nullptr;
    bool m_selecting = false;
    bool m_shownOnce = false;

    QListView* m_list = nullptr;
    QToolButton* m_add = nullptr;
    QToolButton* m_remove = nullptr;
    QLabel* m_title = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_host = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_keyFile = nullptr;
    QLineEdit* m_command = nullptr;
    QCheckBox* m_enabled = nullptr;
    QCheckBox* m_discover = nullptr;
    QPushButton* m_refreshServices = nullptr;
    QCheckBox* m_showUninstalled = nullptr;
    QScrollArea* m_serviceArea = nullptr;
    QLabel* m_noServices = nullptr;
    QPointer<QWidget> m_serviceRows;
    QList<DiscoveredService> m_shownServices;
    QList<QCheckBox*> m_requiredSwitches;
    QLineEdit* m_addField = nullptr;
    QPushButton* m_addButton = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_help = nullptr;
    QLabel* m_validation = nullptr;
    QPushButton* m_newServer = nullptr;
    QPushButton* m_save = nullptr;
    QComboBox* m_interval = nullptr;
    QCheckBox* m_notifications = nullptr;
};

} // namespace corvane
