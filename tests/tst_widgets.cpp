// The window's own widgets, driven as a person drives them and checked on what they paint.
#include "ping/qicmpecho.h"
#include "tavrintestenvironment.h"
#include "widgets/qclicableframe.h"
#include "widgets/qclickablelabel.h"
#include "widgets/qvpnbandwidthwidget.h"
#include "widgets/qvpnservercombobox.h"
#include "widgets/qvpnservercomboboxitemdelegate.h"

// QTest's mouse functions send to the widget's window handle, through the window system's path,
// so that Qt's routing and popup handling run as on a desktop.
#define QTEST_QPA_MOUSE_HANDLING
#include <QtTest/QtTest>
#include <QtWidgets/QtWidgets>

// Records the mouse events its children leave to it, as the main window does.
struct RecordingParent : QWidget
{
    QString received;
    void mousePressEvent(QMouseEvent *) override { received += "press "; }
    void mouseMoveEvent(QMouseEvent *) override { received += "move "; }
    void mouseReleaseEvent(QMouseEvent *) override { received += "release "; }
};

const QRgb Background = qRgb(247, 247, 250), Grid = qRgb(226, 226, 226), Black = qRgb(0, 0, 0);
const QRgb BlueUp = qRgb(66, 175, 226), BlueDown = qRgb(133, 201, 225), RedUp = qRgb(239, 86, 75);
const QRgb RedDown = qRgb(235, 128, 122), White = qRgb(255, 255, 255), Gray = qRgb(160, 160, 164);
const QRgb Highlight = qRgb(112, 141, 198), Separator = qRgb(202, 202, 202);
const QRgb Green = qRgb(75, 206, 126), Amber = qRgb(253, 186, 61), Red = qRgb(252, 84, 53);

#define COMPARE_PIXEL(image, x, y, expected) \
    QCOMPARE(QColor((image).pixel(x, y)).name(), QColor(expected).name())

// The opaque pixels of the area in the colour or, given a tolerance, near its grey level.
int countColor(const QImage &image, const QRect &area, QRgb color, int tolerance = 0)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += qAlpha(image.pixel(x, y)) == 255
                     && (image.pixel(x, y) == (color | 0xff000000u)
                         || qAbs(qGray(image.pixel(x, y)) - qGray(color)) < tolerance);
    return count;
}

// Answers with the given latencies, -1 for any other host; while held, not until the test lets
// it go or the chooser gives up.
struct FakeEcho : QIcmpEcho
{
    QHash<QString, int> latencies;
    QAtomicInt holding{0};
    int echo(const QString &hostname) override
    {
        while (holding.loadAcquire())
            QThread::msleep(2);
        return latencies.value(hostname, -1);
    }
    void abort() override { holding.storeRelease(0); }
};

typedef QList<VPNServer> ServerList;
const ServerList Sample{{"Automatic", "auto", "auto.test"},
                        {"Germany", "DE", "de.test"},
                        {"Germany 2", "DE", "de.test"},
                        {"France", "FR", "fr.test"},
                        {"Japan", "JP", "jp.test"}};

// A shown chooser that measures through a fake echo, one step a millisecond.
struct Chooser
{
    FakeEcho *echo = new FakeEcho;
    QVPNServerComboBox box{echo};
    QSignalSpy requests{&box, &QVPNServerComboBox::pingHost};

    explicit Chooser(const ServerList &servers, const QHash<QString, int> &latencies = {})
    {
        echo->latencies = latencies;
        box.setPingInterval(1);
        box.resize(297, 62);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        box.setServers(servers); // the first echo after the test's next turn of the event loop
    }
    bool popupOpens()
    {
        QTest::mouseClick(&box, Qt::LeftButton, {}, {box.width() - 10, 30});
        return QTest::qWaitFor([this] { return box.view()->isVisible(); });
    }
    void mouseOnRow(QTest::MouseAction action, int row, int x)
    {
        const QRect rect = box.view()->visualRect(box.model()->index(row, 0));
        QTest::mouseEvent(action, box.view()->viewport(), Qt::LeftButton, {},
                          {x, rect.center().y()});
    }
};

class tst_Widgets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() // text is painted in Roboto, which the program registers from Fonts
    {
        const QDir fonts(TavrinTestEnvironment::buildDir() + "/Fonts");
        for (const QString &file : fonts.entryList({"*.ttf"}))
            QVERIFY(QFontDatabase::addApplicationFont(fonts.filePath(file)) >= 0);
    }

    void labelAndFrameClicks()
    {
        RecordingParent parent;
        auto *label = new QClickableLabel(&parent);
        auto *frame = new QClicableFrame(&parent);
        frame->move(0, 40);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QSignalSpy labelClicks(label, &QClickableLabel::clicked);
        QSignalSpy frameClicks(frame, &QClicableFrame::clicked);
        for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
            // The label clicks on a still release; the parent, which drags the window, sees all.
            for (const int moves : {1, 0, 3, 0}) {
                parent.received.clear();
                labelClicks.clear();
                QTest::mousePress(label, button, {}, {5, 5});
                for (int i = 1; i <= moves; ++i)
                    QTest::mouseMove(label, {5 + i, 5});
                QCOMPARE(labelClicks.count(), 0);
                QTest::mouseRelease(label, button, {}, {5 + moves, 5});
                QCOMPARE(labelClicks.count(), moves ? 0 : 1);
                QCOMPARE(parent.received,
                         QString("press %1release ").arg(QString("move ").repeated(moves)));
            }
            // The frame clicks on the press itself and keeps it; a double click clicks again.
            parent.received.clear();
            frameClicks.clear();
            QTest::mousePress(frame, button, {}, {5, 5});
            QCOMPARE(frameClicks.count(), 1);
            QTest::mouseRelease(frame, button, {}, {5, 5});
            QTest::mouseDClick(frame, button, {}, {5, 5});
            QCOMPARE(frameClicks.count(), 3);
            QVERIFY(!parent.received.contains("press"));
        }
    }

    void bandwidthTextsAndScale()
    {
        // clang-format off
        const QPair<quint64, QString> texts[] = {
                {0, "0.00bits"}, {10, "100.00bits"}, {11, "0.11Kbit"}, {10000, "100.00Kbit"},
                {10001, "0.10Mbit"}, {12345, "0.12Mbit"}, {10000000, "100.00Mbit"},
                {10000001, "0.10Gbit"}, {4294967295u, "42.95Gbit"},
                {Q_UINT64_C(18446744073709551615), "184467440737.10Gbit"}}; // no wrap-around
        const quint64 tops[] = {100000, 200000, 500000, 1000000, 2000000, 5000000, 10000000,
                                20000000, 50000000, 100000000, 200000000, 500000000,
                                Q_UINT64_C(10000000000)};
        // clang-format on
        QLocale::setDefault(QLocale::German); // a point whatever the locale
        for (const auto &text : texts)
            QCOMPARE(formatBandwidth(text.first), text.second);
        QLocale::setDefault(QLocale::system());
        QCOMPARE(bandwidthScaleTop(0), tops[0]);
        for (size_t i = 0; i + 1 < std::size(tops); ++i) {
            QCOMPARE(bandwidthScaleTop(quint32(tops[i])), tops[i]);
            QCOMPARE(bandwidthScaleTop(quint32(tops[i]) + 1), tops[i + 1]);
        }
        QCOMPARE(bandwidthScaleTop(4294967295u), tops[12]);
    }

    void graphBarsAndTrimming()
    {
        // A large first sample, a download or an upload, sets the scale while it is kept.
        const QPair<int, int> keptByWidth[] = {{0, 0}, {1, 1},    {6, 1},
                                               {7, 2}, {342, 57}, {343, 58}};
        for (const auto &c : keptByWidth) {
            QVPNBandwidthWidget graph;
            graph.resize(c.first, 150);
            graph.addSample(1, c.second % 2 ? 3000000 : 0, c.second % 2 ? 0 : 3000000);
            for (int i = 1; i < c.second; ++i)
                graph.addSample(1, 50000, 50000);
            QCOMPARE(graph.scaleTop(), quint64(c.second ? 5000000 : 100000));
            const QImage before = graph.grab().toImage();
            graph.addSample(1, 50000, 50000);
            QCOMPARE(graph.scaleTop(), quint64(100000));
            if (c.first == 342) { // the oldest bar, at the left edge, goes; the newest grows
                COMPARE_PIXEL(before, 1, 70, BlueDown);
                COMPARE_PIXEL(before, 340, 100, Background);
                COMPARE_PIXEL(graph.grab().toImage(), 1, 70, Background);
                COMPARE_PIXEL(graph.grab().toImage(), 340, 100, BlueUp);
            }
        }
        // Upload bars around W - 2, download around W - 5; blue for type 1, red for any other.
        for (const int type : {1, 0, 2, 255}) {
            QVPNBandwidthWidget graph;
            graph.resize(342, 150);
            graph.addSample(quint8(type), 20000, 50000); // levels 120 and 75 under 100,000
            const QImage image = graph.grab().toImage();
            const QRgb up = type == 1 ? BlueUp : RedUp, down = type == 1 ? BlueDown : RedDown;
            for (const int y : {70, 80, 110, 115, 125, 148}) {
                for (const int x : {339, 340, 341})
                    COMPARE_PIXEL(image, x, y, y > 73 ? up : Background);
                for (const int x : {336, 337, 338})
                    COMPARE_PIXEL(image, x, y, y > 118 ? down : x % 24 ? Background : Grid);
                COMPARE_PIXEL(image, 335, y, Background);
            }
            COMPARE_PIXEL(image, 341 - 179, 20, up);
            COMPARE_PIXEL(image, 341 - 89, 13, down);
        }
    }

    void legendShowsNewestRatesAndScale()
    {
        QVPNBandwidthWidget graph;
        graph.resize(342, 150);
        QFont font("Roboto");
        font.setPixelSize(12); // the same size on the graph and on an image, whatever their DPI
        graph.setFont(font);
        QImage expected = graph.grab().toImage();
        for (int y = 0; y < 150; ++y) // empty: only the background and the grid
            for (int x = 0; x < 342; ++x)
                COMPARE_PIXEL(expected, x, y, x % 24 && y % 24 ? Background : Grid);
        graph.addSample(0, 3000000, 1000); // the scale top becomes 5,000,000
        graph.addSample(1, 50000, 20000);
        // The newest rates as the legend shows them: half the reported values.
        QCOMPARE(graph.accessibleDescription(), "Download 0.25Mbit, upload 100.00Kbit");
        // The texts look as the same texts drawn at their places on the empty graph.
        // clang-format off
        const QPair<QPoint, QString> texts[] = {{{171, 21}, "100.00Kbit"}, {{261, 21}, "0.25Mbit"},
                {{5, 21}, "50.00Mbit"}, {{5, 85}, "25.00Mbit"}, {{5, 140}, "0.00bits"}};
        // clang-format on
        QPainter painter(&expected);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QColor(128, 128, 128));
        painter.setFont(font);
        for (const auto &text : texts)
            painter.drawText(text.first, text.second);
        painter.end();
        const QImage image = graph.grab().toImage();
        for (const auto &text : texts) {
            const QRect area = QFontMetrics(font).boundingRect(text.second).translated(text.first);
            QCOMPARE(image.copy(area.adjusted(-2, -2, 2, 2)),
                     expected.copy(area.adjusted(-2, -2, 2, 2)));
        }
        COMPARE_PIXEL(image, 331, 100, RedDown); // the older sample keeps its own palette
    }

    void chooserFillCurrentAndFavorites()
    {
        Chooser c({});
        c.box.setServers(Sample); // one row per server, the first one current
        QCOMPARE(c.box.currentServer(), Sample.at(0));
        for (int row = -1; row <= 5; ++row)
            QCOMPARE(c.box.serverAt(row), Sample.value(row));
        QCOMPARE(c.box.findServer("Germany"), 1);
        QCOMPARE(c.box.findServer("germany"), -1);
        c.box.setServers(Sample.mid(3));
        c.box.setCurrentIndex(1);
        QCOMPARE(c.box.currentServer(), Sample.at(4));
        c.box.setCurrentIndex(-1); // neither -1 nor an empty fill forget the current server
        c.box.setServers({});
        QCOMPARE(c.box.currentServer(), Sample.at(4));
        // Favourite texts set one after the other, and the favourites they give.
        const QPair<QStringList, QString> favorites[]
                = {{{"Japan,France"}, "France,Japan,France"},   // row order; both Frances
                   {{"Japan", "Automatic"}, "Automatic,Japan"}, // marks are only ever added
                   {{"France, Japan"}, "France,France"},        // the space belongs to the name
                   {{",Germany 2,,", "france,JAPAN", "Atlantis"}, "Germany 2"},
                   {{""}, ""}}; // an empty text marks nothing, not the row without a name
        for (const auto &test : favorites) {
            c.box.setServers(Sample + ServerList{{"France", "FR", "fr2.test"}, {"", "", "x"}});
            QCOMPARE(c.box.favoriteServers(), QString()); // a new fill starts without any
            for (const QString &text : test.first)
                c.box.setFavoriteServers(text);
            QCOMPARE(c.box.favoriteServers(), test.second);
            QVERIFY(c.box.model()->index(6, 0).data(Qt::CheckStateRole) != Qt::Checked);
        }
    }

    void chooserMeasuresOneHostAtATime()
    {
        Chooser c(ServerList{{"No host", "XX", ""}} + Sample,
                  {{"auto.test", 12}, {"de.test", 250}, {"jp.test", 480}});
        c.echo->holding.storeRelease(1);
        QTRY_COMPARE(c.requests.count(), 1);
        QTest::qWait(30);
        QCOMPARE(c.requests.count(), 1); // none while an echo is out
        c.echo->holding.storeRelease(0);
        // No echo for a row without a host, one for a shared host, none again after a failure.
        QTRY_COMPARE(c.box.itemData(5, Qt::UserRole).toMap().value("ping"), QVariant(480));
        const QVariant latencies[] = {-1, 12, 250, 250, -1, 480};
        for (int row = 0; row < 6; ++row)
            QCOMPARE(c.box.itemData(row, Qt::UserRole).toMap().value("ping"), latencies[row]);
        QTest::qWait(30);
        QCOMPARE(c.requests.count(), 4);
    }

    void chooserInput()
    {
        Chooser c(Sample);
        QSignalSpy pressed(&c.box, &QVPNServerComboBox::pressed);
        QSignalSpy stars(&c.box, &QVPNServerComboBox::starToggled);
        // Left of the popup button a press is the face's.
        QTest::mouseClick(&c.box, Qt::LeftButton, {}, {c.box.width() - 75, 30});
        QCOMPARE(pressed.count(), 1);
        QVERIFY(!c.box.view()->isVisible());
        // A press on the button opens the popup; let go over a row, it picks that row.
        QTest::mousePress(&c.box, Qt::LeftButton, {}, {c.box.width() - 74, 30});
        c.mouseOnRow(QTest::MouseMove, 3, 150);
        c.mouseOnRow(QTest::MouseRelease, 3, 150);
        QTRY_VERIFY(!c.box.view()->isVisible());
        QCOMPARE(c.box.currentIndex(), 3);
        // It stays open after a whole click, and after a click on a star, which toggles it.
        QTest::mouseClick(&c.box, Qt::LeftButton, {}, {c.box.width() - 74, 30});
        QTest::qWait(20);
        QVERIFY(c.box.view()->isVisible());
        const std::tuple<int, int, QString, int> clicks[] = {{24, 2, "Germany 2", 3},
                                                             {40, 3, "Germany 2,France", 3},
                                                             {41, 4, "Germany 2,France", 4},
                                                             {23, 1, "Germany 2,France", 1},
                                                             {40, 2, "France", 1}};
        for (const auto &[x, row, favorites, current] : clicks) {
            c.mouseOnRow(QTest::MouseClick, row, x);
            QCOMPARE(c.box.favoriteServers(), favorites);
            QCOMPARE(c.box.currentIndex(), current);
            QTest::qWait(20);
            QCOMPARE(c.box.view()->isVisible(), x >= 24 && x <= 40);
            QVERIFY(c.box.view()->isVisible() || c.popupOpens());
        }
        QCOMPARE(stars.count(), 3);
        QCOMPARE(pressed.count(), 1);
    }

    void chooserPainting()
    {
        // Codes outside the built-in set draw no flag; a long name ends in "..." before the latency.
        const QStringList codes{"auto", "DE", "DE",
                                "FR",   "JP", "XX",
                                "US",   "SE", "../location_pin_fill",
                                "de"};
        ServerList servers;
        for (int row = 0; row < codes.size(); ++row)
            servers << VPNServer{"Server " + QString::number(row), codes[row], QString::number(row)};
        servers[7].name = QString(300, QChar('W'));
        Chooser c(servers, {{"0", 199}, {"1", 200}, {"2", 399}, {"3", 400}, {"4", 0}});
        QTRY_COMPARE(c.requests.count(), codes.size());
        const int w = c.box.width(), h = c.box.height();
        for (const bool named : {true, false}) {
            c.box.setCurrentServer(named ? servers.at(7) : VPNServer());
            QCOMPARE(c.box.toolTip(), named ? servers.at(7).name : QString());
            QImage image(w, h, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
            c.box.render(&image, {}, {}, QWidget::DrawChildren);
            // Rounded outer corners, square inner ones, the line between the parts at w - 75.
            for (const QPoint corner : {QPoint(0, 0), {0, h - 1}, {w - 1, 0}, {w - 1, h - 1}})
                QVERIFY(qAlpha(image.pixel(corner)) < 255);
            for (const int y : {0, h / 2, h - 1}) {
                COMPARE_PIXEL(image, w - 76, y, qRgb(66, 176, 227));
                COMPARE_PIXEL(image, w - 75, y, qRgb(43, 134, 175));
                COMPARE_PIXEL(image, w - 74, y, qRgb(84, 183, 229));
            }
            // "Connect" in white over the name in dark blue, both left of the line.
            QVERIFY(countColor(image, QRect(0, 10, w - 75, 28), White) > 20);
            QCOMPARE(countColor(image, QRect(w - 74, 0, 8, h), White), 0);
            QCOMPARE(countColor(image, QRect(0, 28, w - 75, h - 28), qRgb(1, 67, 97)) > 5, named);
        }
        c.box.setCurrentIndex(2); // the popup's rows

        QImage image(297, 8 * 41, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        for (int row = 0; row < 8; ++row)
            c.box.itemDelegate()->paint(&painter, {}, c.box.model()->index(row, 0));
        painter.end();
        const QRgb bands[] = {Green, Amber, Amber, Red, Gray, Gray, Gray, Gray};
        for (int row = 0, y = 0; row < 8; ++row, y += 41) {
            const QRgb back = row == 2 ? Highlight : White;
            // The current row's background starts one pixel lower; a line from x 10 to 287 tops
            // every row but the first; no flag for XX; the name in black.
            QCOMPARE(qAlpha(image.pixel(5, y)) + qAlpha(image.pixel(9, y)) == 0, row == 2);
            COMPARE_PIXEL(image, 5, y + 1, back);
            COMPARE_PIXEL(image, 296, y + 40, back);
            COMPARE_PIXEL(image, 10, y, row ? Separator : back);
            COMPARE_PIXEL(image, 287, y, row ? Separator : back);
            QCOMPARE(countColor(image, {56, y + 4, 33, 34}, back) == 33 * 34, row == 5 || row > 7);
            QVERIFY(countColor(image, {93, y + 8, 158, 25}, Black, 64) > 5);
            QCOMPARE(countColor(image, {252, y + 3, 45, 35}, Black, 64), 0);
            // The number (or "---") over "ms", in the band's colour and in no other.
            for (const QRgb colour : {Green, Amber, Red, Gray, Black}) {
                const int upper = countColor(image, {256, y + 3, 41, 16}, colour);
                const int lower = countColor(image, {256, y + 21, 41, 14}, colour);
                QVERIFY(colour == bands[row] ? upper > 3 && lower > 3 : upper + lower == 0);
            }
        }
        // The popup shows six, scrolled by whole rows: no line over the first row shown.
        QVERIFY(c.popupOpens());
        QCOMPARE(c.box.view()->viewport()->height(), 6 * 41);
        c.box.view()->verticalScrollBar()->setValue(4);
        c.box.setCurrentIndex(5);
        const QImage shown = c.box.view()->viewport()->grab().toImage();
        COMPARE_PIXEL(shown, 150, 0, White);
        COMPARE_PIXEL(shown, 150, 41, Separator);
        QVERIFY(QColor(shown.pixel(5, 41)) != QColor(Highlight));
        COMPARE_PIXEL(shown, 5, 42, Highlight);
        COMPARE_PIXEL(shown, 150, 5 * 41, Separator);
    }

    void everyImageLoads()
    {
        // Every image compiled in, every flag the resource script makes, and the @2x versions.
        QFile script(TavrinTestEnvironment::sourceDir() + "/scripts/resources/generate.js");
        QVERIFY(script.open(QIODevice::ReadOnly));
        QStringList names = QString::fromUtf8(script.readAll())
                                    .section("const flagCodes", 1)
                                    .section(".split", 0, 0)
                                    .split(QRegularExpression("[^A-Z]+"), Qt::SkipEmptyParts);
        QVERIFY(names.size() > 200 && names.contains("UK"));
        for (QString &name : names << "auto")
            name = ":/imgs/flags/" + name + ".png";
        for (QDirIterator it(":/imgs", QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            names << it.next();
        for (const QString &name : qAsConst(names)) {
            const QImage image(name);
            QVERIFY2(!image.isNull(), qPrintable(name));
            if (name.endsWith(".png") && !name.contains("@2x") && !name.contains("/app/"))
                QVERIFY2(QImage(name.chopped(4) + "@2x.png").size() == image.size() * 2,
                         qPrintable(name));
        }
    }
};

TAVRIN_TEST_MAIN(tst_Widgets)
#include "tst_widgets.moc"
