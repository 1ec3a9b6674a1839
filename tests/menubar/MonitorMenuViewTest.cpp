#include "GuiFixture.h"

#include "MonitorDetailSheet.h"
#include "MonitorMenuView.h"
#include "PanelTexts.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace corvane;
using namespace corvane::test;

namespace {

const QString kRefused =
    QStringLiteral("ssh: connect to host 127.0.0.1 port 22: Connection refused");

QWidget* content(MonitorMenuView& panel)
{
    // Replaced content is deleted later; drop it so only the current one is found.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return panel.findChild<QWidget*>(QStringLiteral("panelContent"));
}

template <typename T = QLabel> T* part(MonitorMenuView& panel, const QString& name)
{
    return content(panel)->findChild<T*>(name);
}

QWidget* row(MonitorMenuView& panel, const ServerProfile& profile)
{
    return childWith(content(panel), QStringLiteral("serverRow"), "profileId",
                     uuidText(profile.id));
}

QString rowText(QWidget* row, const QString& name)
{
    auto* label = row ? row->findChild<QLabel*>(name) : nullptr;
    return label ? label->text() : QStringLiteral("<none>");
}

QString prop(QWidget* widget, const char* name)
{
    return widget ? widget->property(name).toString() : QStringLiteral("<none>");
}

QMenu* openRowMenu(MonitorMenuView& panel, QWidget* target)
{
    if (!target)
        return nullptr;
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(200, 10),
                            target->mapToGlobal(QPoint(200, 10)));
    QApplication::sendEvent(target, &event);
    return panel.openMenu();
}

HealthReport richReport()
{
    HealthReport r = report(HealthStatus::warn, 12, 86400 + 300);
    r.groups = {HealthGroup{QStringLiteral("System"), HealthStatus::warn, {QStringLiteral("swap")}},
                HealthGroup{QStringLiteral("Network"), HealthStatus::ok, {}}};
    r.checks = {HealthCheck{QStringLiteral("swap"), HealthStatus::warn, QStringLiteral("80% used"),
                            QStringLiteral("System")}};
    r.services = QList<DiscoveredService>{
        {QStringLiteral("nginx"), QStringLiteral("running"), QStringLiteral("active (running)")},
        {QStringLiteral("cron"), QStringLiteral("stopped"), QStringLiteral("inactive (dead)")}};
    return r;
}

} // namespace

class MonitorMenuViewTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void noProfiles();
    void listHeight_data();
    void listHeight();
    void threeServersWithSelection();
    void failedRefreshKeepsOlderReport();
    void disabledServer();
    void refreshingServerShowsSpinner();
    void selectedVariantA();
    void selectedVariantAWithoutServices();
    void selectedVariantB_data();
    void selectedVariantB();
    void serverRowMenu();
    void serviceAndGroupMenus();
    void chooserAndRowClickSelect();
    void commands();
    void untrustedTextIsShownLiterally();
    void clickElsewhereDismisses();
};

void MonitorMenuViewTest::noProfiles()
{
    GuiFixture fx;
    auto monitor = fx.make({});
    MonitorMenuView panel(*monitor);
    QCOMPARE(panel.width(), 410);

    QWidget* fleet = part<QWidget>(panel, QStringLiteral("fleetStatus"));
    QCOMPARE(prop(fleet, "symbol"), QStringLiteral("exclamationmark.triangle.fill"));
    QCOMPARE(prop(fleet, "colorRole"), QStringLiteral("orange"));
    QCOMPARE(fleet->findChild<QLabel*>(QStringLiteral("text"))->text(), QStringLiteral("Warning"));
    QVERIFY(!part(panel, QStringLiteral("offlineText")));
    QCOMPARE(part<QScrollArea>(panel, QStringLiteral("serverList"))->height(), 58);
    QVERIFY(content(panel)->findChildren<QWidget*>(QStringLiteral("serverRow")).isEmpty());
    QVERIFY(!part<QWidget>(panel, QStringLiteral("selectedSection")));
    QCOMPARE(part(panel, QStringLiteral("summaryLine"))->text(),
             QString::fromUtf8("ALL SERVERS: 0 OK  ·  0 WARN  ·  0 FAIL"));
    QVERIFY(!part(panel, QStringLiteral("errorLine")));

    part<QToolButton>(panel, QStringLiteral("serverChooser"))->click();
    QVERIFY(panel.openMenu());
    QVERIFY(panel.openMenu()->actions().isEmpty());
}

void MonitorMenuViewTest::listHeight_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("scrolls");
    QTest::newRow("one") << 1 << 58 << false;
    QTest::newRow("two") << 2 << 116 << false;
    QTest::newRow("three") << 3 << 174 << false;
    QTest::newRow("four") << 4 << 175 << true;
}

void MonitorMenuViewTest::listHeight()
{
    QFETCH(int, count);
    QFETCH(int, height);
    QFETCH(bool, scrolls);
    GuiFixture fx;
    QList<ServerProfile> profiles;
    for (int i = 0; i < count; ++i)
        profiles.append(fx.server(QStringLiteral("s%1").arg(i), false));
    auto monitor = fx.make(profiles);
    MonitorMenuView panel(*monitor);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    auto* list = part<QScrollArea>(panel, QStringLiteral("serverList"));
    QCOMPARE(list->height(), height);
    QCOMPARE(content(panel)->findChildren<QWidget*>(QStringLiteral("serverRow")).size(), count);
    QTRY_COMPARE(list->verticalScrollBar()->maximum() > 0, scrolls);
}

void MonitorMenuViewTest::threeServersWithSelection()
{
    GuiFixture fx;
    const ServerProfile ok = fx.server(QStringLiteral("ok-1"));
    const ServerProfile warn = fx.server(QStringLiteral("warn-1"));
    const ServerProfile fail = fx.server(QStringLiteral("fail-1"));
    fx.setReport(ok.name, report(HealthStatus::ok, 20, 59));
    fx.setReport(warn.name, report(HealthStatus::warn, 7, 86400 + 300));
    fx.setFailing(fail.name, kRefused);
    auto monitor = fx.make({ok, warn, fail}, warn.id);
    QVERIFY(settle(*monitor));
    MonitorMenuView panel(*monitor);

    struct Expect
    {
        ServerProfile profile;
        QString symbol, role, okCount, uptime;
    };
    const QList<Expect> rows = {
        {ok, "checkmark.circle.fill", "green", "20 OK", "Up 0m"},
        {warn, "exclamationmark.triangle.fill", "orange", "7 OK", "Up 1d 0h 5m"},
        {fail, "xmark.circle.fill", "red", "<none>", "<none>"},
    };
    for (const Expect& e : rows) {
        QWidget* r = row(panel, e.profile);
        QVERIFY2(r, qPrintable(e.profile.name));
        QWidget* icon = r->findChild<QLabel*>(QStringLiteral("rowIcon"));
        QCOMPARE(prop(icon, "symbol"), e.symbol);
        QCOMPARE(prop(icon, "colorRole"), e.role);
        QCOMPARE(rowText(r, QStringLiteral("rowName")), e.profile.name);
        QCOMPARE(rowText(r, QStringLiteral("rowHost")), QStringLiteral("127.0.0.1"));
        QCOMPARE(rowText(r, QStringLiteral("rowOkCount")), e.okCount);
        QCOMPARE(rowText(r, QStringLiteral("rowUptime")), e.uptime);
        const bool selected = e.profile.id == warn.id;
        QCOMPARE(r->findChild<QLabel*>(QStringLiteral("rowName"))->font().bold(), selected);
        QCOMPARE(r->findChild<QLabel*>(QStringLiteral("rowCheckmark")) != nullptr, selected);
    }

    QCOMPARE(part(panel, QStringLiteral("offlineText"))->text(), QStringLiteral("1 offline"));
    QCOMPARE(prop(part(panel, QStringLiteral("offlineText")), "colorRole"), QStringLiteral("red"));
    QCOMPARE(prop(part<QWidget>(panel, QStringLiteral("fleetStatus")), "symbol"),
             QStringLiteral("xmark.circle.fill"));
    // The failed server counts once as a failure in the aggregate.
    QCOMPARE(part(panel, QStringLiteral("summaryLine"))->text(),
             QString::fromUtf8("ALL SERVERS: 27 OK  ·  1 WARN  ·  1 FAIL"));
    // The error line follows the selection only.
    QVERIFY(!part(panel, QStringLiteral("errorLine")));
    QCOMPARE(part(panel, QStringLiteral("selectedHeading"))->text(), QStringLiteral("WARN-1"));

    monitor->select(fail.id);
    QLabel* error = part(panel, QStringLiteral("errorLine"));
    QVERIFY(error);
    QCOMPARE(error->text(), kRefused);
    QCOMPARE(prop(error, "colorRole"), QStringLiteral("red"));
    QVERIFY(error->textInteractionFlags() & Qt::TextSelectableByMouse);
}

void MonitorMenuViewTest::failedRefreshKeepsOlderReport()
{
    GuiFixture fx;
    const ServerProfile web = fx.server(QStringLiteral("web"));
    fx.setReport(web.name, report(HealthStatus::ok, 9, 3600));
    auto monitor = fx.make({web});
    QVERIFY(settle(*monitor));
    fx.setFailing(web.name, kRefused);
    monitor->refresh(web.id);
    QVERIFY(settle(*monitor));

    MonitorMenuView panel(*monitor);
    QWidget* r = row(panel, web);
    QCOMPARE(prop(r->findChild<QLabel*>(QStringLiteral("rowIcon")), "symbol"),
             QStringLiteral("xmark.circle.fill"));
    QCOMPARE(rowText(r, QStringLiteral("rowOkCount")), QStringLiteral("9 OK"));
    QCOMPARE(rowText(r, QStringLiteral("rowUptime")), QStringLiteral("Up 1h 0m"));
    QCOMPARE(part(panel, QStringLiteral("errorLine"))->text(), kRefused);
    // The older report still fills the selected section; the error is only in the red line.
    QCOMPARE(part(panel, QStringLiteral("uptimeValue"))->text(), QStringLiteral("1h 0m"));
    QVERIFY(!part(panel, QStringLiteral("noReportText")));
    QCOMPARE(part(panel, QStringLiteral("summaryLine"))->text(),
             QString::fromUtf8("ALL SERVERS: 9 OK  ·  0 WARN  ·  0 FAIL"));
}

void MonitorMenuViewTest::disabledServer()
{
    GuiFixture fx;
    const ServerProfile off = fx.server(QStringLiteral("spare"), false);
    const ServerProfile fresh = fx.server(QStringLiteral("fresh"));
    auto monitor = fx.make({off, fresh});
    QVERIFY(settle(*monitor));
    MonitorMenuView panel(*monitor);
    QWidget* offRow = row(panel, off);
    QCOMPARE(prop(offRow->findChild<QLabel*>(QStringLiteral("rowIcon")), "symbol"),
             QStringLiteral("circle.dotted"));
    QCOMPARE(prop(offRow->findChild<QLabel*>(QStringLiteral("rowIcon")), "colorRole"),
             QStringLiteral("gray"));
    QCOMPARE(rowText(offRow, QStringLiteral("rowOkCount")), QStringLiteral("<none>"));

    // A result the server kept from before it was disabled: the symbol follows it, still gray.
    QHash<QUuid, ServerResult> results = monitor->results();
    ServerResult failed;
    failed.error = kRefused;
    results.insert(off.id, failed);
    results.remove(fresh.id);
    monitor->setResults(results);
    offRow = row(panel, off);
    QCOMPARE(prop(offRow->findChild<QLabel*>(QStringLiteral("rowIcon")), "symbol"),
             QStringLiteral("xmark.circle.fill"));
    QCOMPARE(prop(offRow->findChild<QLabel*>(QStringLiteral("rowIcon")), "colorRole"),
             QStringLiteral("gray"));
    // A disabled server is not offline and adds nothing to the summary.
    QVERIFY(!part(panel, QStringLiteral("offlineText")));
    QCOMPARE(part(panel, QStringLiteral("summaryLine"))->text(),
             QString::fromUtf8("ALL SERVERS: 0 OK  ·  0 WARN  ·  0 FAIL"));
    // An enabled server with no result: dotted circle in the secondary colour, nothing trailing.
    QWidget* freshRow = row(panel, fresh);
    QCOMPARE(prop(freshRow->findChild<QLabel*>(QStringLiteral("rowIcon")), "symbol"),
             QStringLiteral("circle.dotted"));
    QCOMPARE(prop(freshRow->findChild<QLabel*>(QStringLiteral("rowIcon")), "colorRole"),
             QStringLiteral("secondary"));
    QVERIFY(!freshRow->findChild<QWidget*>(QStringLiteral("rowSpinner")));
}

void MonitorMenuViewTest::refreshingServerShowsSpinner()
{
    GuiFixture fx;
    const ServerProfile web = fx.server(QStringLiteral("web"));
    fx.setReport(web.name, report(HealthStatus::ok, 5));
    auto monitor = fx.make({web});
    QVERIFY(settle(*monitor));
    MonitorMenuView panel(*monitor);
    QCOMPARE(rowText(row(panel, web), QStringLiteral("rowOkCount")), QStringLiteral("5 OK"));

    fx.hold(web.name);
    monitor->refresh(web.id);
    QWidget* r = row(panel, web);
    QVERIFY(r->findChild<QWidget*>(QStringLiteral("rowSpinner")));
    QCOMPARE(rowText(r, QStringLiteral("rowOkCount")), QStringLiteral("<none>"));
    // The icon keeps the status it had before the refresh.
    QCOMPARE(prop(r->findChild<QLabel*>(QStringLiteral("rowIcon")), "symbol"),
             QStringLiteral("checkmark.circle.fill"));

    fx.setReport(web.name, report(HealthStatus::ok, 6));
    fx.release(web.name);
    QVERIFY(settle(*monitor));
    r = row(panel, web);
    QVERIFY(!r->findChild<QWidget*>(QStringLiteral("rowSpinner")));
    QCOMPARE(rowText(r, QStringLiteral("rowOkCount")), QStringLiteral("6 OK"));
}

void MonitorMenuViewTest::selectedVariantA()
{
    GuiFixture fx;
    ServerProfile web = fx.server(QStringLiteral("web-01"));
    web.requiredServices = {QStringLiteral("postgresql"), QStringLiteral("nginx")};
    fx.setReport(web.name, richReport());
    auto monitor = fx.make({web});
    QVERIFY(settle(*monitor));
    MonitorMenuView panel(*monitor);

    QCOMPARE(part(panel, QStringLiteral("selectedHeading"))->text(), QStringLiteral("WEB-01"));
    QVERIFY(part<QToolButton>(panel, QStringLiteral("refreshSelectedButton")));
    QCOMPARE(part<QScrollArea>(panel, QStringLiteral("selectedScroll"))->height(), 300);
    QCOMPARE(part(panel, QStringLiteral("uptimeValue"))->text(), QStringLiteral("1d 0h 5m"));
    QVERIFY(part(panel, QStringLiteral("servicesHeading")));
    QCOMPARE(part(panel, QStringLiteral("groupsHeading"))->text(), QStringLiteral("HEALTH GROUPS"));

    struct Service
    {
        QString name, symbol, role, state;
        bool required;
    };
    const QList<Service> expected = {
        {"cron", "exclamationmark.triangle.fill", "orange", "Stopped", false},
        {"nginx", "checkmark.circle.fill", "green", "Running", true},
        {"postgresql", "minus.circle", "secondary", "Not installed", true},
    };
    const QList<QWidget*> services =
        content(panel)->findChildren<QWidget*>(QStringLiteral("serviceRow"));
    QCOMPARE(services.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QWidget* r = services[i];
        QCOMPARE(rowText(r, QStringLiteral("serviceName")), expected[i].name);
        QCOMPARE(prop(r->findChild<QLabel*>(QStringLiteral("serviceIcon")), "symbol"),
                 expected[i].symbol);
        QCOMPARE(prop(r->findChild<QLabel*>(QStringLiteral("serviceIcon")), "colorRole"),
                 expected[i].role);
        QCOMPARE(rowText(r, QStringLiteral("serviceState")), expected[i].state);
        QCOMPARE(rowText(r, QStringLiteral("requiredBadge")),
                 expected[i].required ? QStringLiteral("REQUIRED") : QStringLiteral("<none>"));
    }

    // Report order, with the group the required-service rule adds at the end.
    QStringList groups;
    for (QWidget* g : content(panel)->findChildren<QWidget*>(QStringLiteral("groupRow")))
        groups << rowText(g, QStringLiteral("groupName")) + QLatin1Char('=') +
                      prop(g->findChild<QWidget*>(QStringLiteral("groupStatus")), "symbol");
    QCOMPARE(groups,
             QStringList({"System=exclamationmark.triangle.fill", "Network=checkmark.circle.fill",
                          "Required services=xmark.circle.fill"}));
}

void MonitorMenuViewTest::selectedVariantAWithoutServices()
{
    GuiFixture fx;
    ServerProfile web = fx.server(QStringLiteral("web"));
    web.discoverServices = false;
    HealthReport r = richReport();
    r.uptimeSeconds.reset();
    fx.setReport(web.name, r);
    auto monitor = fx.make({web});
    QVERIFY(settle(*monitor));
    MonitorMenuView panel(*monitor);
    QCOMPARE(part(panel, QStringLiteral("uptimeValue"))->text(), QStringLiteral("Not available"));
    QVERIFY(!part(panel, QStringLiteral("servicesHeading")));
    QVERIFY(!part(panel, QStringLiteral("groupsHeading")));
    QVERIFY(content(panel)->findChildren<QWidget*>(QStringLiteral("serviceRow")).isEmpty());
    QCOMPARE(content(panel)->findChildren<QWidget*>(QStringLiteral("groupRow")).size(), 2);
}

void MonitorMenuViewTest::selectedVariantB_data()
{
    QTest::addColumn<bool>("unreachable");
    QTest::addColumn<QString>("shown");
    QTest::newRow("first refresh running")
        << false << QString::fromUtf8("Waiting for health data…");
    QTest::newRow("never reachable") << true << kRefused;
}

void MonitorMenuViewTest::selectedVariantB()
{
    QFETCH(bool, unreachable);
    QFETCH(QString, shown);
    GuiFixture fx;
    const ServerProfile web = fx.server(QStringLiteral("web"));
    if (unreachable)
        fx.setFailing(web.name, kRefused);
    else
        fx.hold(web.name);
    auto monitor = fx.make({web});
    if (unreachable)
        QVERIFY(settle(*monitor));
    MonitorMenuView panel(*monitor);

    QLabel* text = part(panel, QStringLiteral("noReportText"));
    QVERIFY(text);
    QCOMPARE(text->text(), shown);
    QCOMPARE(prop(text, "colorRole"), QStringLiteral("secondary"));
    QCOMPARE(part<QScrollArea>(panel, QStringLiteral("selectedScroll"))->height(), 300);
    QVERIFY(!part(panel, QStringLiteral("uptimeValue")));
    QLabel* error = part(panel, QStringLiteral("errorLine"));
    QCOMPARE(error ? error->text() : QStringLiteral("<none>"),
             unreachable ? kRefused : QStringLiteral("<none>"));
    fx.release(web.name);
    QVERIFY(settle(*monitor));
}

void MonitorMenuViewTest::serverRowMenu()
{
    GuiFixture fx;
    const ServerProfile web = fx.server(QStringLiteral("web"));
    HealthReport r = report(HealthStatus::fail, 3);
    r.checks = {HealthCheck{QStringLiteral("disk"), HealthStatus::fail, QStringLiteral("92% used"),
                            QStringLiteral("System")}};
    r.groups = {
        HealthGroup{QStringLiteral("System"), HealthStatus::fail, {QStringLiteral("disk")}}};
    fx.setReport(web.name, r);
    auto monitor = fx.make({web});
    QVERIFY(settle(*monitor));
    MonitorMenuView panel(*monitor);
    panel.show();

    QMenu* menu = openRowMenu(panel, row(panel, web));
    QCOMPARE(menuTexts(menu),
             QStringList({"Show Details", "Copy Error Details", "---", "Refresh Server"}));
    trigger(menu, QStringLiteral("Copy Error Details"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("disk: 92% used"));

    trigger(openRowMenu(panel, row(panel, web)), QStringLiteral("Show Details"));
    MonitorDetailSheet* sheet = panel.sheet();
    QVERIFY(sheet);
    QCOMPARE(sheet->item().title, QStringLiteral("web"));
    QCOMPARE(sheet->item().status, QStringLiteral("Critical"));
    QCOMPARE(sheet->item().details,
             QStringLiteral("Server: web\n\nHost: 127.0.0.1\n\nStatus: Critical\n\nSystem: disk\n\n"
                            "System / disk [Critical]\n92% used"));
    QCOMPARE(sheet->parentWidget(), &panel);
    QCOMPARE(sheet->windowModality(), Qt::WindowModal);
    sheet->close();
    QTRY_VERIFY(!panel.sheet());

    // After a failed refresh the copied text is exactly the error, despite the older report.
    fx.setFailing(web.name, kRefused);
    fx.hold(web.name);
    trigger(openRowMenu(panel, row(panel, web)), QStringLiteral("Refresh Server"));
    QVERIFY(monitor->results().value(web.id).refreshing);
    fx.release(web.name);
    QVERIFY(settle(*monitor));
    trigger(openRowMenu(panel, row(panel, web)), QStringLiteral("Copy Error Details"));
    QCOMPARE(QGuiApplication::clipboard()->text(), kRefused);
}

void MonitorMenuViewTest::serviceAndGroupMenus()
{
    GuiFixture fx;
    const ServerProfile web = fx.server(QStringLiteral("web"));
    fx.setReport(web.name, richReport());
    auto monitor = fx.make({web});
    QVERIFY(settle(*monitor));
    MonitorMenuView panel(*monitor);
    panel.show();

    QWidget* cron = childWith(content(panel), QStringLiteral("serviceRow"), "serviceName",
                              QStringLiteral("cron"));
    QCOMPARE(menuTexts(openRowMenu(panel, cron)), QStringList({"Show Details", "Copy Details"}));
    trigger(panel.openMenu(), QStringLiteral("Copy Details"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("inactive (dead)"));
    trigger(openRowMenu(panel, cron), QStringLiteral("Show Details"));
    QVERIFY(panel.sheet());
    QCOMPARE(panel.sheet()->item().title, QStringLiteral("cron"));
    QCOMPARE(panel.sheet()->item().status, QStringLiteral("Stopped"));
    QCOMPARE(panel.sheet()->item().details, QStringLiteral("inactive (dead)"));
    panel.sheet()->close();
    QTRY_VERIFY(!panel.sheet());

    QWidget* system = childWith(content(panel), QStringLiteral("groupRow"), "groupName",
                                QStringLiteral("System"));
    QCOMPARE(menuTexts(openRowMenu(panel, system)), QStringList({"Show Details", "Copy Details"}));
    trigger(panel.openMenu(), QStringLiteral("Copy Details"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("System: Warning\nswap"));
    trigger(openRowMenu(panel, system), QStringLiteral("Show Details"));
    QVERIFY(panel.sheet());
    QCOMPARE(panel.sheet()->item().details,
             QStringLiteral("Group: System\n\nStatus: Warning\n\nMissing: swap\n\nswap: 80% used"));
    // A primary click on a service or group row does nothing.
    const std::optional<QUuid> before = monitor->selectedID();
    QTest::mouseClick(system, Qt::LeftButton);
    QCOMPARE(monitor->selectedID(), before);
}

void MonitorMenuViewTest::chooserAndRowClickSelect()
{
    GuiFixture fx;
    const ServerProfile a = fx.server(QStringLiteral("alpha"));
    const ServerProfile b = fx.server(QStringLiteral("beta"), false);
    const ServerProfile c = fx.server(QStringLiteral("gamma"));
    auto monitor = fx.make({a, b, c}, a.id);
    QVERIFY(settle(*monitor));
    MonitorMenuView panel(*monitor);
    panel.show();

    part<QToolButton>(panel, QStringLiteral("serverChooser"))->click();
    QMenu* menu = panel.openMenu();
    QCOMPARE(menuTexts(menu), QStringList({"alpha", "beta", "gamma"}));
    QCOMPARE(menu->actions()[0]->property("selected").toBool(), true);
    QCOMPARE(menu->actions()[0]->icon().name(), QStringLiteral("checkmark"));
    QVERIFY(menu->actions()[1]->icon().isNull());
    trigger(menu, QStringLiteral("beta"));
    QCOMPARE(monitor->selectedID(), b.id);
    QCOMPARE(part(panel, QStringLiteral("selectedHeading"))->text(), QStringLiteral("BETA"));

    // The empty middle of a row selects too.
    QWidget* gamma = row(panel, c);
    QTest::mouseClick(gamma, Qt::LeftButton, {}, QPoint(gamma->width() / 2, gamma->height() / 2));
    QCOMPARE(monitor->selectedID(), c.id);
    QVERIFY(row(panel, c)->findChild<QLabel*>(QStringLiteral("rowCheckmark")));
}

void MonitorMenuViewTest::commands()
{
    GuiFixture fx;
    const ServerProfile a = fx.server(QStringLiteral("a"));
    const ServerProfile b = fx.server(QStringLiteral("b"));
    auto monitor = fx.make({a, b});
    QVERIFY(settle(*monitor));
    MonitorMenuView panel(*monitor);
    QSignalSpy windows(&panel, &MonitorMenuView::openWindowRequested);
    QSignalSpy quit(&panel, &MonitorMenuView::quitRequested);

    part<QToolButton>(panel, QStringLiteral("diagnosticsButton"))->click();
    part<QToolButton>(panel, QStringLiteral("settingsButton"))->click();
    QCOMPARE(windows.size(), 2);
    QCOMPARE(windows[0][0].toString(), QStringLiteral("monitor-diagnostics"));
    QCOMPARE(windows[1][0].toString(), QStringLiteral("monitor-settings"));
    QCOMPARE(quit.size(), 0);
    part<QToolButton>(panel, QStringLiteral("quitButton"))->click();
    QCOMPARE(quit.size(), 1);

    fx.hold(a.name);
    fx.hold(b.name);
    part<QToolButton>(panel, QStringLiteral("refreshAllButton"))->click();
    QVERIFY(monitor->results().value(a.id).refreshing);
    QVERIFY(monitor->results().value(b.id).refreshing);
    fx.release(a.name);
    fx.release(b.name);
    QVERIFY(settle(*monitor));

    fx.hold(a.name);
    part<QToolButton>(panel, QStringLiteral("refreshSelectedButton"))->click();
    QVERIFY(monitor->results().value(a.id).refreshing);
    QVERIFY(!monitor->results().value(b.id).refreshing);
    fx.release(a.name);
    QVERIFY(settle(*monitor));
}

void MonitorMenuViewTest::untrustedTextIsShownLiterally()
{
    const QString markup = QStringLiteral("<b>x</b><img src=x>");
    GuiFixture fx;
    ServerProfile web = fx.server(markup);
    web.requiredServices = {markup};
    HealthReport r = report(HealthStatus::fail, 1);
    r.checks = {HealthCheck{markup, HealthStatus::fail, markup, markup}};
    r.groups = {HealthGroup{markup, HealthStatus::fail, {markup}}};
    r.services =
        QList<DiscoveredService>{{markup + QLatin1Char('2'), QStringLiteral("failed"), markup}};
    fx.setReport(web.name, r);
    auto monitor = fx.make({web});
    QVERIFY(settle(*monitor));
    // And an error line made of markup.
    QHash<QUuid, ServerResult> results = monitor->results();
    results[web.id].error = markup;
    monitor->setResults(results);

    MonitorMenuView panel(*monitor);
    panel.show();
    trigger(openRowMenu(panel, row(panel, web)), QStringLiteral("Show Details"));
    QVERIFY(panel.sheet());

    QStringList literal;
    for (QLabel* label : panel.findChildren<QLabel*>()) {
        if (!label->isVisibleTo(label->window()) && label->window() != panel.sheet())
            continue;
        QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->text()));
        if (label->text().contains(markup))
            literal.append(label->objectName());
    }
    literal.sort();
    QCOMPARE(literal, QStringList({"errorLine", "groupName", "rowName", "serviceName",
                                   "serviceName", "sheetTitle"}));
    QCOMPARE(part(panel, QStringLiteral("selectedHeading"))->text(), markup.toUpper());
    QVERIFY(panel.sheet()->findChild<QPlainTextEdit*>()->toPlainText().contains(markup));
}

void MonitorMenuViewTest::clickElsewhereDismisses()
{
    GuiFixture fx;
    const ServerProfile web = fx.server(QStringLiteral("web"));
    auto monitor = fx.make({web});
    QVERIFY(settle(*monitor));
    MonitorMenuView panel(*monitor);
    panel.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    panel.setDismissOnDeactivate(true);
    panel.show();

    trigger(openRowMenu(panel, row(panel, web)), QStringLiteral("Show Details"));
    QVERIFY(panel.sheet());
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(&panel, &deactivate);
    QVERIFY2(panel.isVisible(), "the panel stays while its sheet is open");

    panel.sheet()->close();
    QTRY_VERIFY(!panel.sheet());
    QApplication::sendEvent(&panel, &deactivate);
    QVERIFY(!panel.isVisible());

    // As an ordinary window it stays.
    panel.setDismissOnDeactivate(false);
    panel.show();
    QApplication::sendEvent(&panel, &deactivate);
    QVERIFY(panel.isVisible());
}

QTEST_MAIN(MonitorMenuViewTest)
#include "MonitorMenuViewTest.moc"
