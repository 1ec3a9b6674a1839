#include "GuiFixture.h"

#include "CorvaneMonitorApp.h"
#include "SceneWindow.h"
#include "settings/ServerListModel.h"
#include "settings/SettingsView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

using namespace corvane;
using namespace corvane::test;

namespace {

template <typename T> T* part(QWidget& view, const char* name)
{
    // Replaced rows are deleted later; drop them so only the current ones are found.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    T* found = view.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no %s", name);
    return found;
}

QStringList listNames(SettingsView& view)
{
    QStringList out;
    const QAbstractItemModel* model = view.serverList()->model();
    for (int r = 0; r < model->rowCount(); ++r)
        out.append(model->index(r, 0).data().toString());
    return out;
}

QStringList monitorNames(const ServerMonitor& monitor)
{
    QStringList out;
    for (const ServerProfile& p : monitor.servers())
        out.append(p.name);
    return out;
}

std::optional<QString> selectedName(SettingsView& view)
{
    const QModelIndexList rows = view.serverList()->selectionModel()->selectedIndexes();
    if (rows.isEmpty())
        return std::nullopt;
    return rows.first().data().toString();
}

QList<QCheckBox*> requiredSwitches(SettingsView& view)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return view.findChildren<QCheckBox*>(QStringLiteral("requiredSwitch"));
}

QStringList serviceRows(SettingsView& view)
{
    QStringList out;
    for (QCheckBox* box : requiredSwitches(view))
        out.append(box->property("service").toString() +
                   (box->isChecked() ? QStringLiteral(" [required]") : QString()));
    return out;
}

void typeInto(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

HealthReport withServices(const QList<DiscoveredService>& services)
{
    HealthReport r = report(HealthStatus::ok, 1);
    r.services = services;
    return r;
}

} // namespace

class SettingsViewTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }
    void windowOpensOnThePanelsServer();
    void emptyList();
    void listAndEditorFollowEachOther();
    void clickOnEmptySpaceClearsTheSelection();
    void pausedServersAreMarked();
    void formEditsTheDraftAndReturnDoesNotSave();
    void saveFromTheButtons();
    void removeButton();
    void dragReorderThroughTheModel_data();
    void dragReorderThroughTheModel();
    void dropOnTheList();
    void intervalAndNotifications();
    void serviceRowsAndSwitches();
    void addFieldAndButton();
    void longServiceListScrolls();
    void remoteAndProfileTextIsPlain();
    void everyControlIsNamedInVisualTabOrder();
};

void SettingsViewTest::windowOpensOnThePanelsServer()
{
    GuiFixture fixture;
    const ServerProfile a = fixture.server(QStringLiteral("A"), false);
    const ServerProfile b = fixture.server(QStringLiteral("B"), false);
    CorvaneMonitorApp shell(fixture.make({a, b}, b.id), CorvaneMonitorApp::TrayMode::forceWindow);
    shell.openWindow(QStringLiteral("monitor-settings"));
    SceneWindow* window = shell.window(QStringLiteral("monitor-settings"));
    QVERIFY(window);
    auto* view = window->findChild<SettingsView*>();
    QVERIFY(view);
    QCOMPARE(view->state().editingID(), std::optional<QUuid>(b.id));
    QCOMPARE(view->state().draft(), b);
    // The content never forces the window past its own minimum.
    window->resize(window->minimumSize());
    QCOMPARE(window->size(), QSize(780, 640));
}

void SettingsViewTest::emptyList()
{
    GuiFixture fixture;
    auto monitor = fixture.make({});
    SettingsView view(*monitor);
    view.show();
    QCOMPARE(view.serverList()->model()->rowCount(), 0);
    QVERIFY(!part<QToolButton>(view, "removeServer")->isEnabled());
    QVERIFY(part<QToolButton>(view, "addServer")->isEnabled());
    QCOMPARE(part<QLabel>(view, "editorTitle")->text(), QStringLiteral("Add a server"));
    QCOMPARE(part<QLineEdit>(view, "nameField")->text(), QStringLiteral("New Server"));
    QCOMPARE(part<QLineEdit>(view, "portField")->text(), QStringLiteral("22"));
    QVERIFY(part<QCheckBox>(view, "enabledSwitch")->isChecked());
    QVERIFY(part<QCheckBox>(view, "discoverSwitch")->isChecked());
    QVERIFY(!part<QPushButton>(view, "refreshServices")->isEnabled());
    QVERIFY(part<QLabel>(view, "noServices")->isVisible());
    QVERIFY(!part<QScrollArea>(view, "serviceList")->isVisible());
    QVERIFY(!part<QLabel>(view, "validation")->isVisible());
    QVERIFY(!part<QLabel>(view, "requiredSummary")->isVisible());
    QVERIFY(part<QPushButton>(view, "saveAndRefresh")->isEnabled());
}

void SettingsViewTest::listAndEditorFollowEachOther()
{
    GuiFixture fixture;
    const ServerProfile a = fixture.server(QStringLiteral("A"), false);
    ServerProfile b = fixture.server(QStringLiteral("B"), false);
    b.user = QStringLiteral("bob");
    auto monitor = fixture.make({a, b}, b.id);
    SettingsView view(*monitor);
    view.show();
    // Opens on the panel's server.
    QCOMPARE(selectedName(view), std::optional<QString>(QStringLiteral("B")));
    QCOMPARE(part<QLineEdit>(view, "userField")->text(), QStringLiteral("bob"));
    QCOMPARE(part<QLabel>(view, "editorTitle")->text(), QStringLiteral("Connection details"));

    // A click on a row edits it, without changing the panel's selection.
    QListView* list = view.serverList();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(0, 0)).center());
    QCOMPARE(view.state().editingID(), std::optional<QUuid>(a.id));
    QCOMPARE(part<QLineEdit>(view, "userField")->text(), a.user);
    QCOMPARE(monitor->selectedID(), std::optional<QUuid>(b.id));

    // Setting the id from elsewhere moves the list.
    view.state().setEditingID(b.id);
    QCOMPARE(selectedName(view), std::optional<QString>(QStringLiteral("B")));
    view.state().newProfile();
    QCOMPARE(selectedName(view), std::nullopt);
    QCOMPARE(part<QLabel>(view, "editorTitle")->text(), QStringLiteral("Add a server"));
    QCOMPARE(part<QLineEdit>(view, "nameField")->text(), QStringLiteral("New Server"));
}

void SettingsViewTest::clickOnEmptySpaceClearsTheSelection()
{
    GuiFixture fixture;
    ServerProfile a = fixture.server(QStringLiteral("A"), false);
    auto monitor = fixture.make({a}, a.id);
    SettingsView view(*monitor);
    view.resize(900, 760);
    view.show();
    QListView* list = view.serverList();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      QPoint(10, list->viewport()->height() - 5));
    QCOMPARE(selectedName(view), std::nullopt);
    QCOMPARE(view.state().editingID(), std::nullopt);
    QCOMPARE(view.state().draft(), a);
    QCOMPARE(part<QLabel>(view, "editorTitle")->text(), QStringLiteral("Add a server"));

    // Saving stores the draft under its own id and selects that row again.
    QTest::mouseClick(part<QPushButton>(view, "saveAndRefresh"), Qt::LeftButton);
    QCOMPARE(monitor->servers().size(), 1);
    QCOMPARE(selectedName(view), std::optional<QString>(QStringLiteral("A")));
}

void SettingsViewTest::pausedServersAreMarked()
{
    GuiFixture fixture;
    const ServerProfile on = fixture.server(QStringLiteral("on"));
    const ServerProfile off = fixture.server(QStringLiteral("off"), false);
    auto monitor = fixture.make({on, off}, off.id);
    SettingsView view(*monitor);
    view.show();
    const QAbstractItemModel* model = view.serverList()->model();
    QCOMPARE(model->index(0, 0).data(ServerListModel::PausedRole).toBool(), false);
    QCOMPARE(model->index(1, 0).data(ServerListModel::PausedRole).toBool(), true);
    // The mark takes room after the name.
    QVERIFY(view.serverList()->sizeHintForIndex(model->index(1, 0)).width() >
            view.serverList()->sizeHintForIndex(model->index(0, 0)).width());

    // Enabling and saving removes it.
    QTest::mouseClick(part<QCheckBox>(view, "enabledSwitch"), Qt::LeftButton);
    QVERIFY(view.state().draft().enabled);
    QVERIFY(model->index(1, 0).data(ServerListModel::PausedRole).toBool());
    QTest::mouseClick(part<QPushButton>(view, "saveAndRefresh"), Qt::LeftButton);
    QCOMPARE(model->index(1, 0).data(ServerListModel::PausedRole).toBool(), false);
}

void SettingsViewTest::formEditsTheDraftAndReturnDoesNotSave()
{
    GuiFixture fixture;
    const ServerProfile a = fixture.server(QStringLiteral("A"), false);
    auto monitor = fixture.make({a}, a.id);
    SettingsView view(*monitor);
    view.show();

    struct Edit
    {
        const char* field;
        QString text;
    };
    const Edit edits[] = {{"nameField", QStringLiteral("  Renamed ")},
                          {"hostField", QStringLiteral("db")},
                          {"userField", QStringLiteral("ops")},
                          {"portField", QStringLiteral("022")},
                          {"keyFileField", QStringLiteral("~/.ssh/id_ed25519")},
                          {"commandField", QStringLiteral("health --json")}};
    for (const Edit& edit : edits) {
        auto* field = part<QLineEdit>(view, edit.field);
        typeInto(field, edit.text);
        QTest::keyClick(field, Qt::Key_Return);
    }
    QTest::mouseClick(part<QCheckBox>(view, "discoverSwitch"), Qt::LeftButton);

    ServerProfile expected = a;
    expected.name = QStringLiteral("  Renamed ");
    expected.host = QStringLiteral("db");
    expected.user = QStringLiteral("ops");
    expected.port = QStringLiteral("022");
    expected.keyFile = QStringLiteral("~/.ssh/id_ed25519");
    expected.remoteCommand = QStringLiteral("health --json");
    expected.discoverServices = false;
    QCOMPARE(view.state().draft(), expected);
    // Return in a field saved nothing.
    QCOMPARE(monitor->servers(), QList<ServerProfile>{a});

    // A failed save shows its message; editing leaves it; a good save clears it.
    auto* port = part<QLineEdit>(view, "portField");
    typeInto(port, QStringLiteral("22.0"));
    QTest::mouseClick(part<QPushButton>(view, "saveAndRefresh"), Qt::LeftButton);
    auto* message = part<QLabel>(view, "validation");
    QVERIFY(message->isVisible());
    QCOMPARE(message->text(),
             QStringLiteral("Enter a name, host, SSH username, valid port and remote command."));
    QCOMPARE(message->property("colorRole").toString(), QStringLiteral("red"));
    QCOMPARE(monitor->servers(), QList<ServerProfile>{a});
    typeInto(port, QStringLiteral("+22"));
    QVERIFY(message->isVisible());
    QTest::mouseClick(part<QPushButton>(view, "saveAndRefresh"), Qt::LeftButton);
    QVERIFY(!message->isVisible());
    expected.port = QStringLiteral("+22");
    QCOMPARE(monitor->servers(), QList<ServerProfile>{expected});
    // The field still shows what was typed, where the cursor left it.
    QCOMPARE(port->text(), QStringLiteral("+22"));
}

void SettingsViewTest::saveFromTheButtons()
{
    GuiFixture fixture;
    const ServerProfile a = fixture.server(QStringLiteral("A"), false);
    auto monitor = fixture.make({a}, a.id);
    SettingsView view(*monitor);
    view.show();
    QTest::mouseClick(part<QPushButton>(view, "newServer"), Qt::LeftButton);
    QCOMPARE(selectedName(view), std::nullopt);
    typeInto(part<QLineEdit>(view, "hostField"), QStringLiteral("127.0.0.1"));
    typeInto(part<QLineEdit>(view, "userField"), QStringLiteral("ops"));
    QTest::mouseClick(part<QCheckBox>(view, "enabledSwitch"), Qt::LeftButton);
    QTest::mouseClick(part<QPushButton>(view, "saveAndRefresh"), Qt::LeftButton);
    QCOMPARE(listNames(view), (QStringList{"A", "New Server"}));
    QCOMPARE(selectedName(view), std::optional<QString>(QStringLiteral("New Server")));
    QCOMPARE(part<QLabel>(view, "editorTitle")->text(), QStringLiteral("Connection details"));
    QCOMPARE(monitor->selectedID(), view.state().editingID());

    // The add button is another way to a fresh profile.
    QTest::mouseClick(part<QToolButton>(view, "addServer"), Qt::LeftButton);
    QCOMPARE(selectedName(view), std::nullopt);
    QVERIFY(view.state().draft().id != *monitor->selectedID());
}

void SettingsViewTest::removeButton()
{
    GuiFixture fixture;
    const ServerProfile a = fixture.server(QStringLiteral("A"), false);
    const ServerProfile b = fixture.server(QStringLiteral("B"), false);
    const ServerProfile c = fixture.server(QStringLiteral("C"), false);
    auto monitor = fixture.make({a, b, c}, b.id);
    SettingsView view(*monitor);
    view.show();
    auto* remove = part<QToolButton>(view, "removeServer");
    QTest::mouseClick(remove, Qt::LeftButton);
    QCOMPARE(listNames(view), (QStringList{"A", "C"}));
    QCOMPARE(selectedName(view), std::optional<QString>(QStringLiteral("A")));
    QCOMPARE(part<QLineEdit>(view, "nameField")->text(), QStringLiteral("A"));
    QTest::mouseClick(remove, Qt::LeftButton);
    QTest::mouseClick(remove, Qt::LeftButton);
    QVERIFY(monitor->servers().isEmpty());
    QVERIFY(!remove->isEnabled());
    QCOMPARE(part<QLabel>(view, "editorTitle")->text(), QStringLiteral("Add a server"));
    // The last one's values stay in the form.
    QCOMPARE(part<QLineEdit>(view, "nameField")->text(), QStringLiteral("C"));
}

void SettingsViewTest::dragReorderThroughTheModel_data()
{
    QTest::addColumn<int>("dragged");
    QTest::addColumn<int>("dropRow");
    QTest::addColumn<QStringList>("order");

    QTest::newRow("last to the top") << 2 << 0 << QStringList{"C", "A", "B"};
    QTest::newRow("first to the end") << 0 << 3 << QStringList{"B", "C", "A"};
    QTest::newRow("first below the second") << 0 << 2 << QStringList{"B", "A", "C"};
    QTest::newRow("onto its own place") << 1 << 1 << QStringList{"A", "B", "C"};
    QTest::newRow("just below itself") << 1 << 2 << QStringList{"A", "B", "C"};
    QTest::newRow("on empty space") << 0 << -1 << QStringList{"B", "C", "A"};
}

void SettingsViewTest::dragReorderThroughTheModel()
{
    QFETCH(int, dragged);
    QFETCH(int, dropRow);
    QFETCH(QStringList, order);

    GuiFixture fixture;
    const ServerProfile a = fixture.server(QStringLiteral("A"), false);
    const ServerProfile b = fixture.server(QStringLiteral("B"), false);
    const ServerProfile c = fixture.server(QStringLiteral("C"), false);
    auto monitor = fixture.make({a, b, c}, b.id);
    SettingsView view(*monitor);
    view.show();
    QAbstractItemModel* model = view.serverList()->model();
    std::unique_ptr<QMimeData> data(model->mimeData({model->index(dragged, 0)}));
    QVERIFY(model->canDropMimeData(data.get(), Qt::MoveAction, dropRow, 0, {}));
    QVERIFY(model->dropMimeData(data.get(), Qt::MoveAction, dropRow, 0, {}));
    QCOMPARE(monitorNames(*monitor), order);
    QCOMPARE(listNames(view), order);
    // Stored at once, and the selection stays on the same profile.
    const auto stored =
        decodeServerProfiles(*fixture.store->blob(QString::fromLatin1(ServerMonitor::profilesKey)));
    QVERIFY(stored);
    QCOMPARE(*stored, monitor->servers());
    QCOMPARE(selectedName(view), std::optional<QString>(QStringLiteral("B")));
    QCOMPARE(view.state().draft(), b);

    // Copies and foreign data are not moves.
    QVERIFY(!model->dropMimeData(data.get(), Qt::CopyAction, 0, 0, {}));
    QMimeData foreign;
    foreign.setText(QStringLiteral("0"));
    QVERIFY(!model->dropMimeData(&foreign, Qt::MoveAction, 0, 0, {}));
    QCOMPARE(monitorNames(*monitor), order);
}

void SettingsViewTest::dropOnTheList()
{
    GuiFixture fixture;
    const ServerProfile a = fixture.server(QStringLiteral("A"), false);
    const ServerProfile b = fixture.server(QStringLiteral("B"), false);
    const ServerProfile c = fixture.server(QStringLiteral("C"), false);
    auto monitor = fixture.make({a, b, c}, c.id);
    SettingsView view(*monitor);
    view.resize(900, 760);
    view.show();
    QListView* list = view.serverList();
    QAbstractItemModel* model = list->model();
    std::unique_ptr<QMimeData> data(model->mimeData({model->index(2, 0)}));

    // The list's own drop handling: the top edge of the first row means "before it".
    const QPoint at = list->visualRect(model->index(0, 0)).topLeft() + QPoint(10, 1);
    QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
    QCoreApplication::sendEvent(list->viewport(), &enter);
    QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
    QCoreApplication::sendEvent(list->viewport(), &move);
    QVERIFY(move.isAccepted());
    QDropEvent drop(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
    QCoreApplication::sendEvent(list->viewport(), &drop);
    QCOMPARE(monitorNames(*monitor), (QStringList{"C", "A", "B"}));
    QCOMPARE(selectedName(view), std::optional<QString>(QStringLiteral("C")));
}

void SettingsViewTest::intervalAndNotifications()
{
    GuiFixture fixture;
    fixture.store->set(QString::fromLatin1(ServerMonitor::intervalKey), SettingsValue(qint64(2)));
    auto monitor = fixture.make({});
    SettingsView view(*monitor);
    view.show();
    auto* picker = part<QComboBox>(view, "intervalPicker");
    QStringList choices;
    for (int i = 0; i < picker->count(); ++i)
        choices.append(picker->itemText(i));
    QCOMPARE(choices, (QStringList{"1 min", "5 min", "10 min", "15 min", "30 min"}));
    // 2 is not offered: no choice shows, and 2 stays in force.
    QCOMPARE(picker->currentIndex(), -1);
    QCOMPARE(monitor->intervalMinutes(), 2);

    picker->setFocus();
    QTest::keyClick(picker, Qt::Key_Down);
    QCOMPARE(picker->currentText(), QStringLiteral("1 min"));
    QCOMPARE(monitor->intervalMinutes(), 1);
    QTest::keyClick(picker, Qt::Key_Down);
    QCOMPARE(monitor->intervalMinutes(), 5);

    // The fixture stores notifications off.
    auto* notifications = part<QCheckBox>(view, "notificationsSwitch");
    QVERIFY(!notifications->isChecked());
    QTest::mouseClick(notifications, Qt::LeftButton);
    QCOMPARE(monitor->notifications(), true);
    QCOMPARE(fixture.store->boolean(QString::fromLatin1(ServerMonitor::notificationsKey)),
             std::optional<bool>(true));
}

void SettingsViewTest::serviceRowsAndSwitches()
{
    GuiFixture fixture;
    ServerProfile web = fixture.server(QStringLiteral("web"));
    web.requiredServices = QStringList{"redis"};
    fixture.setReport(
        QStringLiteral("web"),
        withServices({{QStringLiteral("nginx"), QStringLiteral("running"), {}},
                      {QStringLiteral("mysql"), QStringLiteral("running"), {}},
                      {QStringLiteral("cups"), QStringLiteral("not_installed"), {}}}));
    auto monitor = fixture.make({web}, web.id);
    QVERIFY(settle(*monitor));
    SettingsView view(*monitor);
    view.show();
    QCOMPARE(serviceRows(view), (QStringList{"mysql", "nginx", "redis [required]"}));
    QVERIFY(part<QPushButton>(view, "refreshServices")->isEnabled());
    QCOMPARE(part<QLabel>(view, "requiredSummary")->text(), QStringLiteral("Required: redis"));

    QCheckBox* mysql = requiredSwitches(view).at(0);
    QCOMPARE(mysql->toolTip(), QStringLiteral("Require mysql to be running"));
    QCOMPARE(mysql->accessibleName(), QStringLiteral("Required mysql"));
    QVERIFY(mysql->text().isEmpty());
    QTest::mouseClick(mysql, Qt::LeftButton);
    QCOMPARE(view.state().draft().requiredServices, (QStringList{"redis", "mysql"}));
    QCOMPARE(serviceRows(view), (QStringList{"mysql [required]", "nginx", "redis [required]"}));
    QCOMPARE(part<QLabel>(view, "requiredSummary")->text(),
             QStringLiteral("Required: mysql, redis"));

    // Turning off the placeholder hides its row at once.
    QTest::mouseClick(requiredSwitches(view).at(2), Qt::LeftButton);
    QCOMPARE(serviceRows(view), (QStringList{"mysql [required]", "nginx"}));
    QCOMPARE(part<QLabel>(view, "requiredSummary")->text(), QStringLiteral("Required: mysql"));
    QTest::mouseClick(part<QCheckBox>(view, "showUninstalled"), Qt::LeftButton);
    QVERIFY(view.state().showUninstalled());
    QCOMPARE(serviceRows(view), (QStringList{"cups", "mysql [required]", "nginx", "redis"}));
    // The stored profile still requires redis until saved.
    QCOMPARE(monitor->servers().first().requiredServices, QStringList{"redis"});

    // A row shows its symbol, name and state.
    QWidget* row =
        childWith(&view, QStringLiteral("serviceRow"), "service", QStringLiteral("cups"));
    QVERIFY(row);
    const DiscoveredService cups{QStringLiteral("cups"), QStringLiteral("not_installed"), {}};
    QCOMPARE(row->findChild<QLabel*>(QStringLiteral("serviceTitle"))->text(), cups.title());
}

void SettingsViewTest::addFieldAndButton()
{
    GuiFixture fixture;
    auto monitor = fixture.make({});
    SettingsView view(*monitor);
    view.show();
    auto* field = part<QLineEdit>(view, "addServiceField");
    auto* add = part<QPushButton>(view, "addRequired");
    QCOMPARE(field->placeholderText(), QStringLiteral("Add required service (e.g. mysql)"));
    QVERIFY(!add->isEnabled());
    QTest::keyClicks(field, QStringLiteral("   "));
    QVERIFY(!add->isEnabled());
    // Return is always possible, and tells why nothing was added.
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(part<QLabel>(view, "validation")->text(),
             QStringLiteral("Use a valid systemd service name (letters, digits, @, _, -, or .)."));
    QCOMPARE(field->text(), QStringLiteral("   "));

    typeInto(field, QStringLiteral(" nginx.service "));
    QVERIFY(add->isEnabled());
    QTest::mouseClick(add, Qt::LeftButton);
    QCOMPARE(field->text(), QString());
    QVERIFY(!part<QLabel>(view, "validation")->isVisible());
    QCOMPARE(view.state().draft().requiredServices, QStringList{"nginx.service"});
    // A new profile lists none as rows; the summary shows the name.
    QCOMPARE(serviceRows(view), QStringList{});
    QVERIFY(part<QLabel>(view, "noServices")->isVisible());
    QCOMPARE(part<QLabel>(view, "requiredSummary")->text(),
             QStringLiteral("Required: nginx.service"));
}

void SettingsViewTest::longServiceListScrolls()
{
    GuiFixture fixture;
    ServerProfile web = fixture.server(QStringLiteral("web"));
    QList<DiscoveredService> many;
    for (int i = 0; i < 40; ++i)
        many.append({QStringLiteral("svc%1").arg(i, 2, 10, QLatin1Char('0')),
                     QStringLiteral("running"),
                     {}});
    fixture.setReport(QStringLiteral("web"), withServices(many));
    auto monitor = fixture.make({web}, web.id);
    QVERIFY(settle(*monitor));
    SettingsView view(*monitor);
    view.resize(900, 760);
    view.show();
    auto* area = part<QScrollArea>(view, "serviceList");
    QCOMPARE(requiredSwitches(view).size(), many.size());
    QCOMPARE(area->height(), SettingsView::serviceListMaxHeight);
    QVERIFY(area->verticalScrollBar()->maximum() > 0);
    QVERIFY(area->verticalScrollBar()->isVisible());
}

void SettingsViewTest::remoteAndProfileTextIsPlain()
{
    const QString markup = QStringLiteral("<b>x</b><img src=x>");
    GuiFixture fixture;
    ServerProfile web = fixture.server(QStringLiteral("web"));
    fixture.setReport(QStringLiteral("web"),
                      withServices({{markup, QStringLiteral("running"), markup}}));
    auto monitor = fixture.make({web}, web.id);
    QVERIFY(settle(*monitor));
    SettingsView view(*monitor);
    view.show();
    view.state().setRequired(markup, true);
    QCOMPARE(serviceRows(view), QStringList{markup + QStringLiteral(" [required]")});
    for (QLabel* label : view.findChildren<QLabel*>())
        if (label->isVisibleTo(&view) && label->text().contains(QLatin1String("<b>")))
            QCOMPARE(label->textFormat(), Qt::PlainText);
    QCOMPARE(part<QLabel>(view, "requiredSummary")->text(), QStringLiteral("Required: ") + markup);
}

void SettingsViewTest::everyControlIsNamedInVisualTabOrder()
{
    GuiFixture fixture;
    ServerProfile web = fixture.server(QStringLiteral("web"));
    fixture.setReport(QStringLiteral("web"),
                      withServices({{QStringLiteral("a"), QStringLiteral("running"), {}},
                                    {QStringLiteral("b"), QStringLiteral("running"), {}}}));
    auto monitor = fixture.make({web}, web.id);
    QVERIFY(settle(*monitor));
    SettingsView view(*monitor);
    view.resize(900, 760);
    view.show();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Walk the focus chain as Tab does, from the list, once round.
    QStringList order;
    QWidget* start = view.serverList();
    QWidget* w = start;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(&view) && view.isAncestorOf(w)) {
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
            order.append(w->accessibleName());
        }
        w = w->nextInFocusChain();
    } while (w != start);
    QCOMPARE(order, (QStringList{"Servers",
                                 "Add Server",
                                 "Remove Server",
                                 "Display name",
                                 "Host / SSH alias",
                                 "SSH username",
                                 "SSH port",
                                 "SSH key path (optional)",
                                 "Remote health command",
                                 "Monitoring enabled",
                                 "Automatically discover services",
                                 "Refresh services",
                                 "Show not installed services",
                                 "Required a",
                                 "Required b",
                                 "Add required service (e.g. mysql)",
                                 "Add Required",
                                 "New Server",
                                 "Save and Refresh",
                                 "Refresh every",
                                 "Notifications"}));
}

QTEST_MAIN(SettingsViewTest)
#include "SettingsViewTest.moc"
