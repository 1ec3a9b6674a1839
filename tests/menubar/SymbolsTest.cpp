#include "platform/gui/Symbols.h"
#include "platform/gui/Palette.h"
#include "platform/gui/TextStyles.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <cmath>

using namespace corvane;

Q_DECLARE_METATYPE(ColorRole)

namespace {

const QStringList kNames = {
    QStringLiteral("checkmark.circle.fill"),
    QStringLiteral("exclamationmark.triangle.fill"),
    QStringLiteral("xmark.circle.fill"),
    QStringLiteral("pause.circle"),
    QStringLiteral("minus.circle"),
    QStringLiteral("questionmark.circle"),
    QStringLiteral("circle.dotted"),
    QStringLiteral("server.rack"),
    QStringLiteral("chevron.down.circle"),
    QStringLiteral("checkmark"),
    QStringLiteral("arrow.clockwise"),
    QStringLiteral("clock.arrow.circlepath"),
    QStringLiteral("plus"),
    QStringLiteral("minus"),
};

QImage render(const QString& name, int side, const QColor& color = Qt::black)
{
    return symbols::pixmap(name, color, side).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Share of the box that is covered, 0 to 1.
double coverage(const QImage& image)
{
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qAlpha(image.pixel(x, y)) / 255.0;
    return sum / (image.width() * image.height());
}

double luminance(const QColor& c)
{
    auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette lightPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0xf6, 0xf5, 0xf4));
    p.setColor(QPalette::WindowText, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    return p;
}

QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x24, 0x24, 0x24));
    p.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    p.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    return p;
}

} // namespace

class SymbolsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyNameIsDrawn_data();
    void everyNameIsDrawn();
    void symbolsLookDifferent();
    void filledSymbolsAreFilled();
    void unknownNameShowsQuestionMark();
    void iconFollowsDeviceScale();
    void colorsReadOnBothPalettes_data();
    void colorsReadOnBothPalettes();
    void statusColorsAreDistinct();
    void textStylesKeepTheirOrder();
};

void SymbolsTest::everyNameIsDrawn_data()
{
    QTest::addColumn<QString>("name");
    for (const QString& name : kNames)
        QTest::newRow(qPrintable(name)) << name;
}

void SymbolsTest::everyNameIsDrawn()
{
    QFETCH(QString, name);
    QVERIFY(symbols::has(name));
    QVERIFY(symbols::names().contains(name));
    const QRectF bounds = symbols::path(name).boundingRect();
    QVERIFY2(QRectF(0, 0, 24, 24).adjusted(-0.5, -0.5, 0.5, 0.5).contains(bounds),
             qPrintable(QStringLiteral("%1 leaves its box").arg(name)));
    QVERIFY2(bounds.width() > 10 || bounds.height() > 10, "too small to recognise");

    // Tinting: every painted pixel has the tint's colour, at small and large sizes alike.
    const QColor tint(0x20, 0xa0, 0x40);
    for (int side : {16, 22, 64, 256}) {
        const QImage image = render(name, side, tint);
        QVERIFY2(coverage(image) > 0.02,
                 qPrintable(QStringLiteral("%1 at %2").arg(name).arg(side)));
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3) {
                const QRgb px = image.pixel(x, y);
                if (qAlpha(px) < 250)
                    continue;
                // Premultiplied edges round by a unit or two.
                QVERIFY(std::abs(qRed(px) - tint.red()) <= 2);
                QVERIFY(std::abs(qGreen(px) - tint.green()) <= 2);
                QVERIFY(std::abs(qBlue(px) - tint.blue()) <= 2);
            }
    }
}

void SymbolsTest::symbolsLookDifferent()
{
    // Any two symbols differ in a fair number of pixels, so none can be mistaken for another;
    // two that share a ring differ in their inner mark.
    QList<QImage> images;
    for (const QString& name : kNames)
        images.append(render(name, 48));
    for (qsizetype a = 0; a < images.size(); ++a)
        for (qsizetype b = a + 1; b < images.size(); ++b) {
            int differing = 0;
            for (int y = 0; y < 48; ++y)
                for (int x = 0; x < 48; ++x)
                    if (std::abs(qAlpha(images[a].pixel(x, y)) - qAlpha(images[b].pixel(x, y))) >
                        128)
                        ++differing;
            QVERIFY2(differing > 48 * 48 / 60,
                     qPrintable(QStringLiteral("%1 and %2 look alike").arg(kNames[a], kNames[b])));
        }
}

void SymbolsTest::filledSymbolsAreFilled()
{
    // The ".fill" symbols are solid shapes with a cut-out mark; the others are outlines.
    const double filled = coverage(render(QStringLiteral("checkmark.circle.fill"), 64));
    const double outline = coverage(render(QStringLiteral("minus.circle"), 64));
    QVERIFY2(filled > 0.45, qPrintable(QString::number(filled)));
    QVERIFY2(outline < 0.35, qPrintable(QString::number(outline)));
    // The mark is cut out of the disc: the centre of the check-mark disc is see-through where the
    // tick runs, and the centre of the cross is see-through.
    const QImage cross = render(QStringLiteral("xmark.circle.fill"), 64);
    QCOMPARE(qAlpha(cross.pixel(32, 32)), 0);
    QCOMPARE(qAlpha(cross.pixel(32, 8)), 255);
}

void SymbolsTest::unknownNameShowsQuestionMark()
{
    QVERIFY(!symbols::has(QStringLiteral("no.such.symbol")));
    QCOMPARE(render(QStringLiteral("no.such.symbol"), 32),
             render(QStringLiteral("questionmark.circle"), 32));
}

void SymbolsTest::iconFollowsDeviceScale()
{
    const QIcon icon = symbols::icon(QStringLiteral("checkmark"), Qt::red);
    QCOMPARE(icon.name(), QStringLiteral("checkmark"));
    const QPixmap doubled = icon.pixmap(QSize(16, 16), 2.0);
    QCOMPARE(doubled.size(), QSize(32, 32));
    QCOMPARE(doubled.devicePixelRatio(), 2.0);
    QVERIFY(!icon.pixmap(QSize(300, 300)).isNull());
}

void SymbolsTest::colorsReadOnBothPalettes_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<ColorRole>("role");
    for (bool dark : {false, true})
        for (ColorRole role : {ColorRole::secondary, ColorRole::gray, ColorRole::red,
                               ColorRole::orange, ColorRole::green, ColorRole::accent})
            QTest::addRow("%s %s", dark ? "dark" : "light", qPrintable(colorRoleName(role)))
                << dark << role;
}

void SymbolsTest::colorsReadOnBothPalettes()
{
    QFETCH(bool, dark);
    QFETCH(ColorRole, role);
    const QPalette p = dark ? darkPalette() : lightPalette();
    QCOMPARE(palette::isDark(p), dark);
    const double ratio = contrast(palette::color(role, p), p.color(QPalette::Window));
    // Large-text contrast at least, against the window behind it.
    QVERIFY2(ratio >= 3.0, qPrintable(QString::number(ratio)));
}

void SymbolsTest::statusColorsAreDistinct()
{
    for (const QPalette& p : {lightPalette(), darkPalette()}) {
        const QList<QColor> colors = {
            palette::color(ColorRole::red, p), palette::color(ColorRole::orange, p),
            palette::color(ColorRole::green, p), palette::color(ColorRole::secondary, p)};
        for (qsizetype a = 0; a < colors.size(); ++a)
            for (qsizetype b = a + 1; b < colors.size(); ++b)
                QVERIFY(colors[a] != colors[b]);
    }
}

void SymbolsTest::textStylesKeepTheirOrder()
{
    QFont base;
    base.setPointSizeF(10);
    auto size = [&](TextStyle style) { return textstyles::font(style, base).pointSizeF(); };
    QVERIFY(size(TextStyle::caption2) < size(TextStyle::caption));
    QVERIFY(size(TextStyle::caption) < size(TextStyle::body));
    QVERIFY(size(TextStyle::body) < size(TextStyle::title3));
    QVERIFY(size(TextStyle::title3) < size(TextStyle::title2));
    QCOMPARE(size(TextStyle::headline), size(TextStyle::body));
    QVERIFY(textstyles::font(TextStyle::headline, base).bold());
    QVERIFY(textstyles::font(TextStyle::captionBold, base).bold());
    QVERIFY(!textstyles::font(TextStyle::caption, base).bold());
    QCOMPARE(size(TextStyle::body), 10.0);

    const QFont mono = textstyles::systemFont(12, QFont::Medium, true, base);
    QVERIFY(QFontInfo(mono).fixedPitch());
    QCOMPARE(mono.weight(), QFont::Medium);
    // A larger desktop font makes every style larger.
    QFont big = base;
    big.setPointSizeF(14);
    QVERIFY(textstyles::font(TextStyle::caption2, big).pointSizeF() > size(TextStyle::caption2));
}

QTEST_MAIN(SymbolsTest)
#include "SymbolsTest.moc"
