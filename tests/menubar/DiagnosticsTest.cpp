#include "GuiFixture.h"

#include "CorvaneMonitorApp.h"
#include "DiagnosticsTexts.h"
#include "MonitorDetailSheet.h"
#include "MonitorDiagnosticsView.h"
#include "MonitorMenuView.h"
#include "SceneWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTest>

using namespace corvane;
using namespace corvane::test;

Q_DECLARE_METATYPE(corvane::HealthCheck)

namespace {

const QString kDash = QString::fromUtf8(" — Diagnostics");

QWidget* content(MonitorDiagnosticsView& view)
{
    // Replaced content is deleted later; drop it so only the current one is found.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return view.findChild<QWidget*>(QStringLiteral("diagnosticsContent"));
}

QLabel* label(MonitorDiagnosticsView& view, const QString& name)
{
    return content(view)->findChild<QLabel*>(name);
}

QList<QWidget*> rows(MonitorDiagnosticsView& view)
{
    return content(view)->findChildren<QWidget*>(QStringLiteral("checkRow"));
}

// Each row as "icon role | name | detail".
QStringList rowTexts(MonitorDiagnosticsView& view)
{
    QStringList out;
    for (QWidget* row : rows(view)) {
        auto* icon = row->findChild<QLabel*>(QStringLiteral("checkIcon"));
        out.append(QStringLiteral("%1 %2 | %3 | %4")
                       .arg(icon->property("symbol").toString(),
                            icon->property("colorRole").toString(),
                            row->findChild<QLabel*>(QStringLiteral("checkName"))->text(),
                            row->findChild<QLabel*>(QStringLiteral("checkDetail"))->text()));
    }
    return out;
}

// A secondary click on that widget at that point, delivered the way the desktop delivers it.
QMenu* menuAt(MonitorDiagnosticsView& view, QWidget* target, QPoint at)
{
    if (!target)
        return nullptr;
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &event);
    return view.openMenu();
}

QMenu* openRowMenu(MonitorDiagnosticsView& view, int index)
{
    QWidget* row = rows(view).value(index);
    return menuAt(view, row, QPoint(2, 2));
}

HealthCheck check(const char* name, HealthStatus status, const QString& detail,
                  const char* section = "System")
{
    return HealthCheck{QString::fromUtf8(name), status, detail, QString::fromUtf8(section)};
}

HealthReport reportWith(const QList<HealthCheck>& checks)
{
    HealthReport r = report(HealthStatus::warn, 1);
    r.checks = checks;
    return r;
}

} // namespace

class DiagnosticsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void title_data();
    void title();
    void emptyWithoutSelectionOrReport();
    void rowsFollowTheReport();
    void failedRefreshKeepsOlderChecks();
    void requiredServiceChecksComeLast();
    void rowMenu_data();
    void rowMenu();
    void menuFromAnyPartOfTheRow();
    void followsSelectionWhileSheetStays();
    void remoteTextIsShownLiterally();
    void shellPutsTheViewInItsWindow();
};

void DiagnosticsTest::title_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("nothing selected") << false << QString() << QStringLiteral("Server") + kDash;
    QTest::newRow("named") << true << QStringLiteral("web-01") << QStringLiteral("web-01") + kDash;
    QTest::newRow("named Server") << true << QStringLiteral("Server")
                                  << QStringLiteral("Server") + kDash;
    QTest::newRow("empty name is not the fallback") << true << QString() << kDash;
    QTest::newRow("blank name kept")
        << true << QStringLiteral("  ") << QStringLiteral("  ") + kDash;
}

void DiagnosticsTest::title()
{
    QFETCH(bool, selected);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    std::optional<ServerProfile> profile;
    if (selected) {
        profile = ServerProfile();
        profile->name = name;
    }
    QCOMPARE(texts::diagnosticsTitle(profile), expected);
}

void DiagnosticsTest::emptyWithoutSelectionOrReport()
{
    GuiFixture fx;
    auto none = fx.make({});
    MonitorDiagnosticsView empty(*none);
    QCOMPARE(label(empty, QStringLiteral("diagnosticsTitle"))->text(),
             QStringLiteral("Server") + kDash);
    QLabel* hint = label(empty, QStringLiteral("diagnosticsHint"));
    QCOMPARE(hint->text(),
             QStringLiteral("Select a server in the menu bar to change this report."));
    QCOMPARE(hint->property("colorRole").toString(), QStringLiteral("secondary"));
    QVERIFY(rows(empty).isEmpty());
    // The list is there, and holds nothing but its stretch: no placeholder text.
    auto* list = content(empty)->findChild<QScrollArea*>(QStringLiteral("checkList"));
    QVERIFY(list);
    QVERIFY(list->widget()->findChildren<QLabel*>().isEmpty());
    QCOMPARE(list->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(empty.minimumWidth() >= 650 && empty.minimumHeight() >= 450);
    QCOMPARE(content(empty)->layout()->contentsMargins(), QMargins(20, 20, 20, 20));
    QCOMPARE(content(empty)->layout()->spacing(), 12);
    QVERIFY(label(empty, QStringLiteral("diagnosticsTitle"))->font().bold());

    // Selected, but the first refresh has not finished: empty, then the rows arrive live.
    const ServerProfile web = fx.server(QStringLiteral("web"));
    fx.setReport(web.name, reportWith({check("disk", HealthStatus::ok, "40% used")}));
    fx.hold(web.name);
    auto monitor = fx.make({web}, web.id);
    MonitorDiagnosticsView view(*monitor);
    QCOMPARE(label(view, QStringLiteral("diagnosticsTitle"))->text(),
             QStringLiteral("web") + kDash);
    QVERIFY(rows(view).isEmpty());
    fx.release(web.name);
    QVERIFY(settle(*monitor));
    QCOMPARE(rowTexts(view),
             QStringList({QStringLiteral("checkmark.circle.fill green | disk | 40% used")}));
}

void DiagnosticsTest::rowsFollowTheReport()
{
    GuiFixture fx;
    const ServerProfile web = fx.server(QStringLiteral("web"));
    fx.setReport(web.name, reportWith({check("swap", HealthStatus::warn, "80% used"),
                                       check("disk", HealthStatus::fail, "92% used", "Storage"),
                                       check("load", HealthStatus::ok, "0.3"),
                                       check("empty", HealthStatus::ok, QString())}));
    auto monitor = fx.make({web}, web.id);
    QVERIFY(settle(*monitor));
    MonitorDiagnosticsView view(*monitor);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QCOMPARE(rowTexts(view), QStringList({
                                 "exclamationmark.triangle.fill orange | swap | 80% used",
                                 "xmark.circle.fill red | disk | 92% used",
                                 "checkmark.circle.fill green | load | 0.3",
                                 "checkmark.circle.fill green | empty | ",
                             }));
    QCOMPARE(rows(view).at(1)->property("checkId").toString(), QStringLiteral("Storage/disk"));
    QWidget* row = rows(view).constFirst();
    auto* name = row->findChild<QLabel*>(QStringLiteral("checkName"));
    auto* detail = row->findChild<QLabel*>(QStringLiteral("checkDetail"));
    QCOMPARE(name->font().weight(), QFont::Medium);
    QCOMPARE(detail->property("colorRole").toString(), QStringLiteral("secondary"));
    QVERIFY(detail->font().pointSizeF() < name->font().pointSizeF());
    for (QLabel* text : {name, detail})
        QVERIFY(text->textInteractionFlags() & Qt::TextSelectableByMouse);
    // A row spans the list, and an empty detail keeps its line.
    QTRY_VERIFY(row->width() >= view.width() - 60);
    auto* emptyDetail = rows(view).at(3)->findChild<QLabel*>(QStringLiteral("checkDetail"));
    QVERIFY(emptyDetail->height() > 0);
    QCOMPARE(rows(view).at(3)->height(), row->height());

    // A primary click on a row does nothing but select text.
    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(row->width() - 3, 3));
    QVERIFY(!view.openMenu());
    QVERIFY(!view.sheet());
}

void DiagnosticsTest::failedRefreshKeepsOlderChecks()
{
    GuiFixture fx;
    const ServerProfile web = fx.server(QStringLiteral("web"));
    fx.setReport(web.name, reportWith({check("disk", HealthStatus::warn, "85% used")}));
    auto monitor = fx.make({web}, web.id);
    QVERIFY(settle(*monitor));
    MonitorDiagnosticsView view(*monitor);
    fx.setFailing(web.name, QStringLiteral("ssh: connect to host 127.0.0.1 port 22: refused"));
    monitor->refresh(web.id);
    QVERIFY(settle(*monitor));
    QVERIFY(monitor->results().value(web.id).error);
    QCOMPARE(rowTexts(view),
             QStringList({"exclamationmark.triangle.fill orange | disk | 85% used"}));
    // The error itself belongs to the panel, not here.
    for (QLabel* text : content(view)->findChildren<QLabel*>())
        QVERIFY2(!text->text().contains(QStringLiteral("refused")), qPrintable(text->text()));
}

void DiagnosticsTest::requiredServiceChecksComeLast()
{
    GuiFixture fx;
    ServerProfile web = fx.server(QStringLiteral("web"));
    web.requiredServices = {QStringLiteral("postgresql"), QStringLiteral("nginx")};
    HealthReport r = reportWith({check("disk", HealthStatus::ok, "40% used")});
    r.services = QList<DiscoveredService>{
        {QStringLiteral("nginx"), QStringLiteral("stopped"), QStringLiteral("inactive (dead)")}};
    fx.setReport(web.name, r);
    auto monitor = fx.make({web}, web.id);
    QVERIFY(settle(*monitor));
    MonitorDiagnosticsView view(*monitor);

    const QStringList shown = rowTexts(view);
    QCOMPARE(shown.size(), 3);
    QCOMPARE(shown.constFirst(), QStringLiteral("checkmark.circle.fill green | disk | 40% used"));
    for (int i : {1, 2}) {
        QVERIFY2(shown.at(i).startsWith(QStringLiteral("xmark.circle.fill red | Required: ")),
                 qPrintable(shown.at(i)));
    }
    QVERIFY(shown.at(1).contains(QStringLiteral("Required: postgresql")));
    QVERIFY(shown.at(2).contains(QStringLiteral("Required: nginx")));

    trigger(openRowMenu(view, 1), QStringLiteral("Show Details"));
    QVERIFY(view.sheet());
    QCOMPARE(view.sheet()->item().title, QStringLiteral("Required: postgresql"));
    QCOMPARE(view.sheet()->item().status, QStringLiteral("Critical"));
    QVERIFY2(view.sheet()->item().details.startsWith(QStringLiteral("Section: Required services")),
             qPrintable(view.sheet()->item().details));
}

void DiagnosticsTest::rowMenu_data()
{
    QTest::addColumn<HealthCheck>("check");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("details");
    QTest::newRow("failing") << check("disk", HealthStatus::fail, "92% used") << "Critical"
                             << "Section: System\n\n92% used";
    QTest::newRow("warning") << check("swap", HealthStatus::warn, "80% used", "Memory") << "Warning"
                             << "Section: Memory\n\n80% used";
    QTest::newRow("healthy, several lines")
        << check("ntp", HealthStatus::ok, "synced\nstratum 2", "Time") << "Healthy"
        << "Section: Time\n\nsynced\nstratum 2";
    QTest::newRow("empty detail ends with the blank line")
        << check("empty", HealthStatus::ok, QString()) << "Healthy"
        << "Section: System\n\n";
}

void DiagnosticsTest::rowMenu()
{
    QFETCH(HealthCheck, check);
    QFETCH(QString, status);
    QFETCH(QString, details);
    GuiFixture fx;
    const ServerProfile web = fx.server(QStringLiteral("web"));
    fx.setReport(web.name, reportWith({check}));
    auto monitor = fx.make({web}, web.id);
    QVERIFY(settle(*monitor));
    MonitorDiagnosticsView view(*monitor);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QCOMPARE(menuTexts(openRowMenu(view, 0)), QStringList({"Show Details", "Copy Details"}));

    // Copy puts the detail alone there, replacing what was there, and opens nothing.
    QGuiApplication::clipboard()->setText(QStringLiteral("stale"));
    trigger(view.openMenu(), QStringLiteral("Copy Details"));
    QCOMPARE(QGuiApplication::clipboard()->text(), check.detail);
    QVERIFY(!view.sheet());

    trigger(openRowMenu(view, 0), QStringLiteral("Show Details"));
    MonitorDetailSheet* sheet = view.sheet();
    QVERIFY(sheet);
    QCOMPARE(sheet->item().title, check.name);
    QCOMPARE(sheet->item().status, status);
    QCOMPARE(sheet->item().details, details);
    // Modal for this window only.
    QCOMPARE(sheet->window()->parentWidget(), &view);
    QCOMPARE(sheet->windowModality(), Qt::WindowModal);
    QVERIFY(sheet->isVisible());
    const QUuid first = sheet->item().id;

    sheet->close();
    QTRY_VERIFY(!view.sheet());
    trigger(openRowMenu(view, 0), QStringLiteral("Show Details"));
    QVERIFY(view.sheet());
    QVERIFY2(view.sheet()->item().id != first, "each opening is a new item");
}

void DiagnosticsTest::menuFromAnyPartOfTheRow()
{
    GuiFixture fx;
    const ServerProfile web = fx.server(QStringLiteral("web"));
    fx.setReport(web.name, reportWith({check("disk", HealthStatus::fail, "92% used")}));
    auto monitor = fx.make({web}, web.id);
    QVERIFY(settle(*monitor));
    MonitorDiagnosticsView view(*monitor);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QWidget* row = rows(view).constFirst();

    // The selectable texts must not answer with a menu of their own.
    for (const QString& part : {QStringLiteral("checkIcon"), QStringLiteral("checkName"),
                                QStringLiteral("checkDetail")}) {
        auto* target = row->findChild<QWidget*>(part);
        QCOMPARE(menuTexts(menuAt(view, target, QPoint(1, 1))),
                 QStringList({"Show Details", "Copy Details"}));
        view.openMenu()->close();
        QTRY_VERIFY(!view.openMenu());
    }
    // The far right end of the row, past the texts.
    const QPoint end(row->width() - 2, row->height() / 2);
    QWidget* under = row->childAt(end);
    QCOMPARE(menuTexts(menuAt(view, under ? under : row, under ? under->mapFrom(row, end) : end)),
             QStringList({"Show Details", "Copy Details"}));
}

void DiagnosticsTest::followsSelectionWhileSheetStays()
{
    GuiFixture fx;
    const ServerProfile web = fx.server(QStringLiteral("web"));
    const ServerProfile db = fx.server(QStringLiteral("db"));
    fx.setReport(web.name, reportWith({check("disk", HealthStatus::fail, "92% used")}));
    fx.setReport(db.name, reportWith({check("replication", HealthStatus::warn, "lag 30s"),
                                      check("connections", HealthStatus::ok, "12")}));
    auto monitor = fx.make({web, db}, web.id);
    QVERIFY(settle(*monitor));
    MonitorDiagnosticsView view(*monitor);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    trigger(openRowMenu(view, 0), QStringLiteral("Show Details"));
    QPointer<MonitorDetailSheet> sheet = view.sheet();
    QVERIFY(sheet);

    monitor->select(db.id);
    QCOMPARE(label(view, QStringLiteral("diagnosticsTitle"))->text(), QStringLiteral("db") + kDash);
    QCOMPARE(rowTexts(view),
             QStringList({"exclamationmark.triangle.fill orange | replication | lag 30s",
                          "checkmark.circle.fill green | connections | 12"}));
    // The sheet keeps the item it was opened with.
    QVERIFY(sheet);
    QCOMPARE(view.sheet(), sheet.data());
    QCOMPARE(sheet->item().title, QStringLiteral("disk"));
    QCOMPARE(sheet->findChild<QPlainTextEdit*>(QStringLiteral("sheetDetails"))->toPlainText(),
             QStringLiteral("Section: System\n\n92% used"));

    // A profile edit redraws too; removing the selection empties the list.
    ServerProfile renamed = db;
    renamed.name = QStringLiteral("db-primary");
    fx.setReport(db.name, reportWith({check("replication", HealthStatus::ok, "lag 0s")}));
    monitor->save(renamed);
    QCOMPARE(label(view, QStringLiteral("diagnosticsTitle"))->text(),
             QStringLiteral("db-primary") + kDash);
    QVERIFY(settle(*monitor));
    QCOMPARE(rowTexts(view), QStringList({"checkmark.circle.fill green | replication | lag 0s"}));
    monitor->remove(db.id);
    monitor->remove(web.id);
    QCOMPARE(label(view, QStringLiteral("diagnosticsTitle"))->text(),
             QStringLiteral("Server") + kDash);
    QVERIFY(rows(view).isEmpty());
    QVERIFY(sheet);
}

void DiagnosticsTest::remoteTextIsShownLiterally()
{
    GuiFixture fx;
    const ServerProfile web = fx.server(QStringLiteral("<b>web</b> &amp;"));
    fx.setReport(web.name, reportWith({check("<i>disk</i>", HealthStatus::fail,
                                             "<a href='x'>92%</a> &lt;", "<h1>S</h1>")}));
    auto monitor = fx.make({web}, web.id);
    QVERIFY(settle(*monitor));
    MonitorDiagnosticsView view(*monitor);
    QCOMPARE(label(view, QStringLiteral("diagnosticsTitle"))->text(),
             QStringLiteral("<b>web</b> &amp;") + kDash);
    QCOMPARE(rowTexts(view),
             QStringList({"xmark.circle.fill red | <i>disk</i> | <a href='x'>92%</a> &lt;"}));
    for (QLabel* text : content(view)->findChildren<QLabel*>())
        QCOMPARE(text->textFormat(), Qt::PlainText);
    trigger(openRowMenu(view, 0), QStringLiteral("Show Details"));
    QCOMPARE(view.sheet()->findChild<QLabel*>(QStringLiteral("sheetTitle"))->textFormat(),
             Qt::PlainText);
}

void DiagnosticsTest::shellPutsTheViewInItsWindow()
{
    GuiFixture fx;
    const ServerProfile web = fx.server(QStringLiteral("web"));
    fx.setReport(web.name, reportWith({check("disk", HealthStatus::ok, "40% used")}));
    CorvaneMonitorApp shell(fx.make({web}, web.id), CorvaneMonitorApp::TrayMode::forceWindow);
    QVERIFY(settle(shell.monitor()));
    const QString id = QStringLiteral("monitor-diagnostics");
    shell.openWindow(id);
    SceneWindow* window = shell.window(id);
    QVERIFY(window);
    auto* view = window->findChild<MonitorDiagnosticsView*>();
    QVERIFY(view);
    QCOMPARE(rowTexts(*view), QStringList({"checkmark.circle.fill green | disk | 40% used"}));
    QCOMPARE(window->size(), QSize(760, 600));
    // The window is free to shrink below the content's own minimum.
    QCOMPARE(window->minimumSize(), QSize(0, 0));

    // The sheet is modal over the diagnostics window, not over the panel.
    trigger(openRowMenu(*view, 0), QStringLiteral("Show Details"));
    QVERIFY(view->sheet());
    QCOMPARE(view->sheet()->parentWidget()->window(), window);
    QVERIFY(!shell.panel()->findChild<MonitorDetailSheet*>());
}

QTEST_MAIN(DiagnosticsTest)
#include "DiagnosticsTest.moc"
