// Writes pictures of the panel, the sheet and the windows into <build>/screenshots, so anyone can
// look at what the app shows without a desktop. Each picture is also checked for size and content.

#include "GuiFixture.h"

#include "MonitorDetailSheet.h"
#include "MonitorDiagnosticsView.h"
#include "MonitorMenuView.h"
#include "PanelTexts.h"
#include "settings/SettingsView.h"

#include <QApplication>
#include <QDir>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

using namespace corvane;
using namespace corvane::test;

namespace {

QPalette paletteFor(bool dark)
{
    std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette p = fusion->standardPalette();
    if (!dark)
        return p;
    const QColor window(0x2a, 0x2a, 0x2e), base(0x1e, 0x1e, 0x22), text(0xee, 0xee, 0xee);
    for (auto role : {QPalette::Window, QPalette::Button})
        p.setColor(role, window);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(role, text);
    p.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    return p;
}

QString outDir()
{
    const QString dir = QStringLiteral(CORVANE_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    return dir;
}

HealthReport sampleReport()
{
    HealthReport r = report(HealthStatus::warn, 41, 12 * 86400 + 3 * 3600 + 240);
    r.groups = {HealthGroup{QStringLiteral("System"), HealthStatus::warn, {QStringLiteral("swap")}},
                HealthGroup{QStringLiteral("Network"), HealthStatus::ok, {}},
                HealthGroup{QStringLiteral("Storage"), HealthStatus::ok, {}}};
    r.checks = {HealthCheck{QStringLiteral("swap"), HealthStatus::warn, QStringLiteral("80% used"),
                            QStringLiteral("System")}};
    r.services = QList<DiscoveredService>{
        {QStringLiteral("nginx"), QStringLiteral("running"), QStringLiteral("active (running)")},
        {QStringLiteral("cron"), QStringLiteral("stopped"), QStringLiteral("inactive (dead)")},
        {QStringLiteral("backup"), QStringLiteral("disabled"), QStringLiteral("disabled")}};
    return r;
}

// True when the picture holds more than a flat background.
bool hasContent(const QImage& image)
{
    const QRgb background = image.pixel(0, 0);
    int differing = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            if (image.pixel(x, y) != background)
                ++differing;
    return differing > 200;
}

} // namespace

class ScreenshotsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }
    void panel_data();
    void panel();
    void sheet_data();
    void sheet();
    void diagnostics_data();
    void diagnostics();
    void settings_data();
    void settings();
};

void ScreenshotsTest::panel_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("dark");
    for (bool dark : {false, true})
        for (const char* state :
             {"empty", "fleet", "failed-refresh", "refreshing", "waiting", "unreachable"})
            QTest::addRow("%s %s", state, dark ? "dark" : "light")
                << QString::fromLatin1(state) << dark;
}

void ScreenshotsTest::panel()
{
    QFETCH(QString, state);
    QFETCH(bool, dark);
    QApplication::setPalette(paletteFor(dark));

    GuiFixture fx;
    QList<ServerProfile> profiles;
    std::optional<QUuid> selected;
    if (state == QLatin1String("fleet") || state == QLatin1String("failed-refresh") ||
        state == QLatin1String("refreshing")) {
        ServerProfile web = fx.server(QStringLiteral("web-01"));
        web.requiredServices = {QStringLiteral("nginx"), QStringLiteral("postgresql")};
        ServerProfile db = fx.server(QStringLiteral("db-01"));
        ServerProfile cache = fx.server(QStringLiteral("cache-01"));
        ServerProfile spare = fx.server(QStringLiteral("spare"), false);
        fx.setReport(web.name, sampleReport());
        fx.setReport(db.name, report(HealthStatus::ok, 38, 86400 * 40 + 60));
        fx.setFailing(cache.name, QStringLiteral("ssh: connect to host 127.0.0.1 port 2222: "
                                                 "Connection refused"));
        profiles = {web, db, cache, spare};
        selected = web.id;
    } else if (state != QLatin1String("empty")) {
        ServerProfile web = fx.server(QStringLiteral("web-01"));
        if (state == QLatin1String("waiting"))
            fx.hold(web.name);
        else
            fx.setFailing(web.name, QStringLiteral("Host key verification failed."));
        profiles = {web};
    }
    auto monitor = fx.make(profiles, selected);
    if (state != QLatin1String("waiting"))
        QVERIFY(settle(*monitor));
    if (state == QLatin1String("failed-refresh")) {
        fx.setFailing(profiles[0].name, QStringLiteral("Timed out after 90 seconds."));
        monitor->refresh(profiles[0].id);
        QVERIFY(settle(*monitor));
    } else if (state == QLatin1String("refreshing")) {
        fx.hold(profiles[1].name);
        monitor->refresh(profiles[1].id);
    }

    MonitorMenuView view(*monitor);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QImage image = view.grab().toImage();
    QCOMPARE(image.width(), qRound(410 * image.devicePixelRatio()));
    QVERIFY(hasContent(image));
    const QString file =
        QStringLiteral("%1/panel-%2-%3.png").arg(outDir(), state, dark ? "dark" : "light");
    QVERIFY2(image.save(file), qPrintable(file));
    for (const ServerProfile& p : profiles)
        fx.release(p.name);
    QVERIFY(settle(*monitor));
}

void ScreenshotsTest::sheet_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void ScreenshotsTest::sheet()
{
    QFETCH(bool, dark);
    QApplication::setPalette(paletteFor(dark));
    HealthReport r = sampleReport();
    ServerProfile web;
    web.name = QStringLiteral("web-01");
    web.host = QStringLiteral("10.0.0.21");
    ServerResult result;
    result.report = r;
    QWidget parent;
    parent.resize(410, 600);
    parent.show();
    auto* sheet = new MonitorDetailSheet(texts::serverDetailItem(web, result), &parent);
    sheet->open();
    QVERIFY(QTest::qWaitForWindowExposed(sheet));
    const QImage image = sheet->grab().toImage();
    QVERIFY(hasContent(image));
    const QString file = QStringLiteral("%1/sheet-%2.png").arg(outDir(), dark ? "dark" : "light");
    QVERIFY2(image.save(file), qPrintable(file));
}

void ScreenshotsTest::diagnostics_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void ScreenshotsTest::diagnostics()
{
    QFETCH(bool, dark);
    QApplication::setPalette(paletteFor(dark));
    GuiFixture fx;
    ServerProfile web = fx.server(QStringLiteral("web-01"));
    web.requiredServices = {QStringLiteral("nginx"), QStringLiteral("postgresql")};
    HealthReport r = sampleReport();
    r.checks.append(
        {HealthCheck{QStringLiteral("disk /"), HealthStatus::ok, QStringLiteral("41% used"),
                     QStringLiteral("Storage")},
         HealthCheck{QStringLiteral("load"), HealthStatus::ok, QStringLiteral("0.42 0.37 0.30"),
                     QStringLiteral("System")},
         HealthCheck{QStringLiteral("ntp"), HealthStatus::ok, QString(), QStringLiteral("Time")}});
    fx.setReport(web.name, r);
    auto monitor = fx.make({web}, web.id);
    QVERIFY(settle(*monitor));

    MonitorDiagnosticsView view(*monitor);
    view.resize(760, 600);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QImage image = view.grab().toImage();
    QCOMPARE(image.width(), qRound(760 * image.devicePixelRatio()));
    QVERIFY(hasContent(image));
    const QString file =
        QStringLiteral("%1/diagnostics-%2.png").arg(outDir(), dark ? "dark" : "light");
    QVERIFY2(image.save(file), qPrintable(file));
}

void ScreenshotsTest::settings_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<bool>("adding");
    QTest::newRow("server light") << false << false;
    QTest::newRow("server dark") << true << false;
    QTest::newRow("add light") << false << true;
}

void ScreenshotsTest::settings()
{
    QFETCH(bool, dark);
    QFETCH(bool, adding);
    QApplication::setPalette(paletteFor(dark));
    GuiFixture fx;
    ServerProfile web = fx.server(QStringLiteral("web-01"));
    web.requiredServices = {QStringLiteral("nginx"), QStringLiteral("postgresql")};
    ServerProfile db = fx.server(QStringLiteral("db-01"), false);
    ServerProfile backup = fx.server(QStringLiteral("backup"));
    fx.setReport(web.name, sampleReport());
    auto monitor = fx.make({web, db, backup}, web.id);
    QVERIFY(settle(*monitor));

    SettingsView view(*monitor);
    view.resize(880, 750);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    if (adding) {
        view.state().newProfile();
        QVERIFY(!view.state().save());
    }
    // Let the relayout after the new rows happen, as the event loop would.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QImage image = view.grab().toImage();
    QCOMPARE(image.width(), qRound(880 * image.devicePixelRatio()));
    QVERIFY(hasContent(image));
    const QString file = QStringLiteral("%1/settings-%2-%3.png")
                             .arg(outDir(), adding ? "add" : "server", dark ? "dark" : "light");
    QVERIFY2(image.save(file), qPrintable(file));
}

QTEST_MAIN(ScreenshotsTest)
#include "ScreenshotsTest.moc"
