#include "qvpnbandwidthwidget.h"
#include "tavrintestenvironment.h"

#include <QtCore/qlocale.h>
#include <QtGui/qimage.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qapplication.h>

#include <cmath>

static const QRgb background = qRgb(247, 247, 250);
static const QRgb grid = qRgb(226, 226, 226);
static const QRgb blueUpload = qRgb(66, 175, 226);
static const QRgb blueDownload = qRgb(133, 201, 225);
static const QRgb redUpload = qRgb(239, 86, 75);
static const QRgb redDownload = qRgb(235, 128, 122);

static QImage render(QVPNBandwidthWidget &widget)
{
    QImage image(widget.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    widget.render(&image);
    return image;
}

class tst_BandwidthWidget : public QObject
{
    Q_OBJECT

private slots:
    void formatBandwidth_data();
    void formatBandwidth();
    void scaleTop_data();
    void scaleTop();
    void trimming_data();
    void trimming();
    void maximumFollowsKeptSamples();
    void emptyGraph();
    void barsAndPalettes_data();
    void barsAndPalettes();
    void samplesScrollLeft();
    void realisticSeries();
};

void tst_BandwidthWidget::formatBandwidth_data()
{
    QTest::addColumn<quint64>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << Q_UINT64_C(0) << "0.00bits";
    QTest::newRow("one") << Q_UINT64_C(1) << "10.00bits";
    QTest::newRow("last bits") << Q_UINT64_C(10) << "100.00bits";
    QTest::newRow("first Kbit") << Q_UINT64_C(11) << "0.11Kbit";
    QTest::newRow("last Kbit") << Q_UINT64_C(10000) << "100.00Kbit";
    QTest::newRow("first Mbit") << Q_UINT64_C(10001) << "0.10Mbit";
    QTest::newRow("two decimals") << Q_UINT64_C(12345) << "0.12Mbit";
    QTest::newRow("lowest scale") << Q_UINT64_C(100000) << "1.00Mbit";
    QTest::newRow("last Mbit") << Q_UINT64_C(10000000) << "100.00Mbit";
    QTest::newRow("first Gbit") << Q_UINT64_C(10000001) << "0.10Gbit";
    QTest::newRow("highest scale") << Q_UINT64_C(10000000000) << "100.00Gbit";
    QTest::newRow("largest sample") << Q_UINT64_C(4294967295) << "42.95Gbit";
    // Ten times this no longer fits in 64 bits; the text must not wrap around.
    QTest::newRow("largest value") << Q_UINT64_C(18446744073709551615) << "184467440737.10Gbit";
}

void tst_BandwidthWidget::formatBandwidth()
{
    QFETCH(quint64, value);
    QFETCH(QString, text);
    QCOMPARE(::formatBandwidth(value), text);
    // A point as the separator whatever the locale.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString german = ::formatBandwidth(value);
    QLocale::setDefault(previous);
    QCOMPARE(german, text);
}

void tst_BandwidthWidget::scaleTop_data()
{
    QTest::addColumn<quint32>("largest");
    QTest::addColumn<quint64>("top");
    QTest::newRow("empty floor") << quint32(0) << Q_UINT64_C(100000);
    const QList<quint64> tops = {100000,    200000,    500000,     1000000,  2000000,
                                 5000000,   10000000,  20000000,   50000000, 100000000,
                                 200000000, 500000000, 10000000000};
    for (int i = 0; i + 1 < tops.size(); ++i) {
        const quint32 boundary = quint32(tops[i]);
        QTest::addRow("%u", boundary) << boundary << tops[i];
        QTest::addRow("%u", boundary + 1) << boundary + 1 << tops[i + 1];
    }
    QTest::newRow("largest sample") << quint32(4294967295u) << Q_UINT64_C(10000000000);
}

void tst_BandwidthWidget::scaleTop()
{
    QFETCH(quint32, largest);
    QFETCH(quint64, top);
    // The largest value may come as a download or as an upload.
    for (bool asUpload : {false, true}) {
        QVPNBandwidthWidget widget;
        widget.resize(342, 150);
        QCOMPARE(widget.scaleTop(), Q_UINT64_C(100000));
        widget.addSample(1, asUpload ? 5 : largest, asUpload ? largest : 0);
        QCOMPARE(widget.maximumValue(), qMax(largest, quint32(1024)));
        QCOMPARE(widget.scaleTop(), top);
    }
}

void tst_BandwidthWidget::trimming_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("additions");
    QTest::addColumn<int>("kept");
    QTest::newRow("width 0") << 0 << 3 << 0;
    QTest::newRow("width 1") << 1 << 3 << 1;
    QTest::newRow("width 6") << 6 << 3 << 1;
    QTest::newRow("width 7") << 7 << 3 << 2;
    QTest::newRow("form width, empty") << 342 << 0 << 0;
    QTest::newRow("form width, full") << 342 << 57 << 57;
    QTest::newRow("form width, one more") << 342 << 58 << 57;
    QTest::newRow("form width, many more") << 342 << 200 << 57;
    QTest::newRow("width 343") << 343 << 60 << 58;
}

void tst_BandwidthWidget::trimming()
{
    QFETCH(int, width);
    QFETCH(int, additions);
    QFETCH(int, kept);
    QVPNBandwidthWidget widget;
    widget.resize(width, 150);
    QCOMPARE(widget.width(), width);
    for (int i = 0; i < additions; ++i)
        widget.addSample(quint8(i), quint32(i), quint32(1000 + i));
    QCOMPARE(widget.keptSamples().size(), kept);
    if (kept == 0)
        return;
    // Newest first; the oldest ones were dropped.
    QCOMPARE(widget.keptSamples().first().download, quint32(additions - 1));
    QCOMPARE(widget.keptSamples().last().download, quint32(additions - kept));
    QCOMPARE(widget.keptSamples().last().upload, quint32(1000 + additions - kept));
}

void tst_BandwidthWidget::maximumFollowsKeptSamples()
{
    QVPNBandwidthWidget widget;
    widget.resize(60, 150);
    QCOMPARE(widget.maximumValue(), quint32(1024));
    for (int i = 0; i < 10; ++i)
        widget.addSample(1, 2000000, 0);
    // Narrowing alone trims nothing; the next sample does.
    widget.resize(12, 150);
    QCOMPARE(widget.keptSamples().size(), 10);
    widget.addSample(1, 3000000, 7);
    widget.addSample(1, 10, 2500);
    QCOMPARE(widget.keptSamples().size(), 2);
    QCOMPARE(widget.maximumValue(), quint32(3000000));
    QCOMPARE(widget.scaleTop(), Q_UINT64_C(5000000));
    // The scale shrinks again once the large samples have scrolled out.
    widget.addSample(1, 10, 20);
    QCOMPARE(widget.maximumValue(), quint32(2500));
    widget.addSample(1, 1000, 900);
    QCOMPARE(widget.maximumValue(), quint32(1024));
    QCOMPARE(widget.scaleTop(), Q_UINT64_C(100000));
}

void tst_BandwidthWidget::emptyGraph()
{
    // Only the grid, every 24 pixels from the top left corner, and no legend.
    QVPNBandwidthWidget widget;
    widget.resize(342, 150);
    const QImage image = render(widget);
    for (int y = 0; y < 150; ++y) {
        for (int x = 0; x < 342; ++x) {
            const QRgb expected = (x % 24 == 0 || y % 24 == 0) ? grid : background;
            QVERIFY2(image.pixel(x, y) == expected,
                     qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        }
    }
}

void tst_BandwidthWidget::barsAndPalettes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QRgb>("upload");
    QTest::addColumn<QRgb>("download");
    QTest::newRow("type 1 blue") << 1 << blueUpload << blueDownload;
    QTest::newRow("type 0 red") << 0 << redUpload << redDownload;
    QTest::newRow("type 2 red") << 2 << redUpload << redDownload;
    QTest::newRow("type 255 red") << 255 << redUpload << redDownload;
}

void tst_BandwidthWidget::barsAndPalettes()
{
    QFETCH(int, type);
    QFETCH(QRgb, upload);
    QFETCH(QRgb, download);
    QVPNBandwidthWidget widget;
    widget.resize(342, 150);
    widget.addSample(quint8(type), 20000, 50000); // levels 120 and 75 under a top of 100,000
    QCOMPARE(widget.scaleTop(), Q_UINT64_C(100000));
    const QImage image = render(widget);
    // Upload three pixels wide around x = W - 2, download around x = W - 5.
    for (int y : {80, 110, 125, 148}) {
        for (int x : {339, 340, 341})
            QCOMPARE(image.pixel(x, y), upload);
        QCOMPARE(image.pixel(335, y), background);
    }
    for (int y : {125, 148}) {
        for (int x : {336, 337, 338})
            QCOMPARE(image.pixel(x, y), download);
    }
    QCOMPARE(image.pixel(340, 70), background);
    QCOMPARE(image.pixel(337, 115), background);
    // The arrows, inside the up arrow's shaft and the down arrow's.
    QCOMPARE(image.pixel(341 - 179, 20), upload);
    QCOMPARE(image.pixel(341 - 89, 13), download);
}

void tst_BandwidthWidget::samplesScrollLeft()
{
    QVPNBandwidthWidget widget;
    widget.resize(342, 150);
    // Alternating palettes; each new sample pushes the others six pixels to the left, and the
    // arrows take the newest sample's palette.
    for (int i = 0; i < 61; ++i) {
        widget.addSample(i % 2 ? 1 : 0, 50000, 50000);
        if (i < 59)
            continue;
        const QImage image = render(widget);
        for (int k = 0; k < 57; ++k) {
            const bool blue = (i - k) % 2 == 1;
            QCOMPARE(image.pixel(340 - 6 * k, 110), blue ? blueUpload : redUpload);
            QCOMPARE(image.pixel(337 - 6 * k, 110), blue ? blueDownload : redDownload);
        }
        QCOMPARE(image.pixel(341 - 179, 20), i % 2 ? blueUpload : redUpload);
        QCOMPARE(image.pixel(341 - 89, 13), i % 2 ? blueDownload : redDownload);
    }
}

void tst_BandwidthWidget::realisticSeries()
{
    // A download that ramps up and settles with some ripple, a small upload, and a short spell
    // of the other sample type; written out for a person to look at.
    QVPNBandwidthWidget widget;
    widget.resize(342, 150);
    for (int i = 0; i < 70; ++i) {
        const double ramp = 1.0 - std::exp(-i / 12.0);
        const quint32 download = quint32(1400000 * ramp * (1.0 + 0.25 * std::sin(i * 0.7)));
        const quint32 upload = quint32(180000 * ramp * (1.0 + 0.4 * std::cos(i * 1.3)));
        widget.addSample(i >= 30 && i < 36 ? 0 : 1, download, upload);
    }
    QCOMPARE(widget.scaleTop(), Q_UINT64_C(2000000));
    const QString path = TavrinTestEnvironment::artifactDir() + "/bandwidth-graph.png";
    QVERIFY(render(widget).save(path));
}

TAVRIN_TEST_MAIN(tst_BandwidthWidget)
#include "tst_bandwidthwidget.moc"
