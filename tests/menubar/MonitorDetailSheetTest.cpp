#include "MonitorDetailSheet.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace corvane;

namespace {

struct Shown
{
    QWidget parent;
    QPointer<MonitorDetailSheet> sheet;

    explicit Shown(const MonitorDetailItem& item)
    {
        parent.resize(410, 600);
        parent.show();
        sheet = new MonitorDetailSheet(item, &parent);
        sheet->open();
    }
};

} // namespace

class MonitorDetailSheetTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void statusRule_data();
    void statusRule();
    void showsTextsAndLayout();
    void emptyDetails();
    void closeKeys_data();
    void closeKeys();
};

void MonitorDetailSheetTest::statusRule_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("role");
    QTest::addColumn<QString>("symbol");
    QTest::newRow("Critical") << "Critical"
                              << "red"
                              << "xmark.circle.fill";
    QTest::newRow("FAILED") << "FAILED"
                            << "red"
                            << "xmark.circle.fill";
    QTest::newRow("Warning") << "Warning"
                             << "orange"
                             << "exclamationmark.triangle.fill";
    QTest::newRow("Stopped") << "Stopped"
                             << "orange"
                             << "exclamationmark.triangle.fill";
    QTest::newRow("Healthy") << "Healthy"
                             << "green"
                             << "checkmark.circle.fill";
    QTest::newRow("Not installed") << "Not installed"
                                   << "green"
                                   << "checkmark.circle.fill";
    QTest::newRow("critical with a blank") << "critical "
                                           << "green"
                                           << "checkmark.circle.fill";
}

void MonitorDetailSheetTest::statusRule()
{
    QFETCH(QString, status);
    QFETCH(QString, role);
    QFETCH(QString, symbol);
    Shown shown(MonitorDetailItem::make(QStringLiteral("disk"), status, QStringLiteral("x")));
    auto* icon = shown.sheet->findChild<QLabel*>(QStringLiteral("sheetSymbol"));
    QCOMPARE(icon->property("symbol").toString(), symbol);
    QCOMPARE(icon->property("colorRole").toString(), role);
    auto* word = shown.sheet->findChild<QLabel*>(QStringLiteral("sheetStatus"));
    QCOMPARE(word->text(), status);
    QCOMPARE(word->property("colorRole").toString(), role);
}

void MonitorDetailSheetTest::showsTextsAndLayout()
{
    const QString details = QStringLiteral("Section: disk\n\n") + QString(500, QLatin1Char('w'));
    Shown shown(
        MonitorDetailItem::make(QStringLiteral("root"), QStringLiteral("Warning"), details));
    MonitorDetailSheet* sheet = shown.sheet;
    QVERIFY(QTest::qWaitForWindowExposed(sheet));
    QCOMPARE(sheet->windowModality(), Qt::WindowModal);
    QVERIFY(sheet->width() >= 540);
    QVERIFY(sheet->height() >= 350);
    QCOMPARE(sheet->findChild<QLabel*>(QStringLiteral("sheetTitle"))->text(),
             QStringLiteral("root"));
    QVERIFY(sheet->findChild<QLabel*>(QStringLiteral("sheetTitle"))->font().bold());

    auto* text = sheet->findChild<QPlainTextEdit*>(QStringLiteral("sheetDetails"));
    QCOMPARE(text->toPlainText(), details);
    QVERIFY(text->isReadOnly());
    QVERIFY(text->textInteractionFlags() & Qt::TextSelectableByMouse);
    QVERIFY(QFontInfo(text->font()).fixedPitch());
    // A long line wraps instead of scrolling sideways.
    QCOMPARE(text->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QTRY_VERIFY(text->document()->documentLayout()->documentSize().height() > 3);

    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    sheet->findChild<QPushButton*>(QStringLiteral("copyDetailsButton"))->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), details);
    QVERIFY2(sheet->isVisible(), "copying leaves the sheet open");
}

void MonitorDetailSheetTest::emptyDetails()
{
    Shown shown(MonitorDetailItem::make(QStringLiteral("root"), QStringLiteral("Healthy"), {}));
    QCOMPARE(shown.sheet->findChild<QPlainTextEdit*>()->toPlainText(),
             QStringLiteral("No additional diagnostic information available."));
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    shown.sheet->findChild<QPushButton*>(QStringLiteral("copyDetailsButton"))->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
}

void MonitorDetailSheetTest::closeKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("focus");
    QTest::newRow("Return") << int(Qt::Key_Return) << "closeButton";
    QTest::newRow("Return with the copy button focused")
        << int(Qt::Key_Return) << "copyDetailsButton";
    QTest::newRow("Return in the details") << int(Qt::Key_Return) << "sheetDetails";
    QTest::newRow("Enter") << int(Qt::Key_Enter) << "closeButton";
    QTest::newRow("Escape") << int(Qt::Key_Escape) << "closeButton";
}

void MonitorDetailSheetTest::closeKeys()
{
    QFETCH(int, key);
    QFETCH(QString, focus);
    Shown shown(MonitorDetailItem::make(QStringLiteral("root"), QStringLiteral("Healthy"),
                                        QStringLiteral("line")));
    QVERIFY(QTest::qWaitForWindowExposed(shown.sheet));
    QVERIFY(shown.sheet->findChild<QPushButton*>(QStringLiteral("closeButton"))->isDefault());
    QWidget* target = shown.sheet->findChild<QWidget*>(focus);
    target->setFocus();
    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    QTest::keyClick(target, Qt::Key(key));
    QTRY_VERIFY(!shown.sheet);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
}

QTEST_MAIN(MonitorDetailSheetTest)
#include "MonitorDetailSheetTest.moc"
