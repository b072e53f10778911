// The window's own widgets, driven as a person drives them and checked on what they paint.
#include "tavrintestenvironment.h"
#include "widgets/qvpnbandwidthwidget.h"
#include "widgets/qvpnservercombobox.h"
#include "widgets/qvpnservermodel.h"

#define QTEST_QPA_MOUSE_HANDLING // mouse events through the window handle, routed as on a desktop
#include <QtTest/QtTest>
#include <QtWidgets/QtWidgets>

struct EventCounter : QObject // counts the events of its type that reach the objects it filters
{
    explicit EventCounter(QEvent::Type counted) { type = counted; }
    QEvent::Type type;
    int count = 0;
    bool eventFilter(QObject *, QEvent *e) override { return (count += e->type() == type) < 0; }
};

const QRgb Background = qRgb(247, 247, 250), Grid = qRgb(226, 226, 226), Black = qRgb(0, 0, 0);
const QRgb BlueUp = qRgb(66, 175, 226), BlueDown = qRgb(133, 201, 225), RedUp = qRgb(239, 86, 75);
const QRgb RedDown = qRgb(235, 128, 122), White = qRgb(255, 255, 255), Gray = qRgb(160, 160, 164);
const QRgb Highlight = qRgb(112, 141, 198);
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

    void bandwidthGraph()
    {
        QLocale::setDefault(QLocale::German); // a point whatever the locale
        // clang-format off
        for (const auto &[value, text] : {std::pair<quint64, QString>{10, "100.00bits"}, {11, "0.11Kbit"},
                {10001, "0.10Mbit"}, {10000000, "100.00Mbit"}, {10000001, "0.10Gbit"},
                {Q_UINT64_C(18446744073709551615), "184467440737.10Gbit"}}) // no wrap-around
            QCOMPARE(formatBandwidth(value), text);
        QLocale::setDefault(QLocale::system());
        // At least 100,000; the steps end with 500,000,000 and 10,000,000,000.
        for (const auto &[maximum, top] : {std::pair<quint32, quint64>{0, 100000}, {100001, 200000},
                {2000001, 5000000}, {500000000, 500000000}, {4294967295u, Q_UINT64_C(10000000000)}})
            QCOMPARE(bandwidthScaleTop(maximum), top);
        // clang-format on
        // A graph keeps one sample per six pixels, rounded up; a large first sample, a download
        // or an upload, sets the scale while it is kept.
        for (const auto &[width, kept] : {QPair<int, int>{0, 0}, {6, 1}, {7, 2}, {342, 57}}) {
            QVPNBandwidthWidget graph;
            graph.resize(width, 150);
            graph.addSample(1, kept % 2 ? 3000000 : 0, kept % 2 ? 0 : 3000000);
            for (int i = 1; i < kept; ++i)
                graph.addSample(1, 50000, 50000);
            QCOMPARE(graph.scaleTop(), quint64(kept ? 5000000 : 100000));
            graph.addSample(1, 50000, 50000);
            QCOMPARE(graph.scaleTop(), quint64(100000));
        }

        // Bars three pixels wide, the upload at W - 2 and the download at W - 5, each older sample
        // six pixels further left; blue for type 1, red for any other. The legend shows the newest
        // sample's rates (half the reported values) by arrows in its palette, and the scale's top,
        // half and 0: it looks as the same texts drawn at their places on the empty graph. However
        // fast samples come, only the repaint timer paints, once per expiry.
        QVPNBandwidthWidget graph;
        graph.resize(342, 150);
        QFont font("Roboto");
        font.setPixelSize(12); // the same size on the graph and on an image, whatever their DPI
        graph.setFont(font);
        QImage expected = graph.grab().toImage();
        for (int y = 0; y < 150; ++y) // empty: only the background and the grid
            for (int x = 0; x < 342; ++x)
                COMPARE_PIXEL(expected, x, y, x % 24 && y % 24 ? Background : Grid);
        graph.addSample(2, 60000, 10000);
        graph.addSample(1, 20000, 50000); // under a top of 100,000: levels 120 and 75
        QCOMPARE(graph.accessibleDescription(), "Download 100.00Kbit, upload 0.25Mbit");
        const QImage image = graph.grab().toImage();
        // clang-format off
        for (const auto &[middle, level, colour] : {std::tuple<int, int, QRgb>{340, 75, BlueUp},
                {337, 120, BlueDown}, {334, 135, RedUp}, {331, 60, RedDown}})
            for (int x = middle - 1; x <= middle + 1; ++x)
                for (const int y : {50, 70, 80, 115, 125, 140, 148})
                    COMPARE_PIXEL(image, x, y, y > level ? colour : x % 24 ? Background : Grid);
        const QPair<QPoint, QString> texts[] = {{{171, 21}, "0.25Mbit"}, {{261, 21}, "100.00Kbit"},
                {{5, 21}, "1.00Mbit"}, {{5, 85}, "0.50Mbit"}, {{5, 140}, "0.00bits"}};
        // clang-format on
        COMPARE_PIXEL(image, 329, 100, Background);
        QPainter painter(&expected);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QColor(128, 128, 128));
        painter.setFont(font);
        for (const auto &[at, text] : texts) {
            painter.drawText(at, text);
            const QRect area = QFontMetrics(font).boundingRect(text).translated(at)
                               + QMargins(2, 2, 2, 2);
            QCOMPARE(image.copy(area), expected.copy(area));
        }
        COMPARE_PIXEL(image, 341 - 179, 20, BlueUp); // the arrows
        COMPARE_PIXEL(image, 341 - 89, 13, BlueDown);
        graph.addSample(0, 0, 0);
        COMPARE_PIXEL(graph.grab().toImage(), 341 - 179, 20, RedUp);

        QVPNBandwidthWidget flooded; // no repaint pending from the samples above
        EventCounter paints(QEvent::Paint);
        flooded.installEventFilter(&paints);
        flooded.show();
        QVERIFY(QTest::qWaitForWindowExposed(&flooded));
        QTRY_COMPARE(paints.count, 1); // the first paint
        for (int round = 2; round <= 3; ++round) {
            for (int i = 0; i < 1000; ++i) {
                flooded.addSample(1, 997 * i, 0);
                QCoreApplication::sendPostedEvents(); // any update asked for is painted now
            }
            QCOMPARE(paints.count, round - 1);
            QTRY_COMPARE(paints.count, round);
        }
    }

    // Rows in list order, one host to measure for all its rows, favourites by name; each row
    // reads its server, favourite mark and latency to assistive technology.
    void serverModel()
    {
        QVPNServerModel model;
        // clang-format off
        const QList<VPNServer> servers{{"Automatic", "auto", "auto.test"}, {"Germany", "DE", "de.test"},
                {"Germany 2", "DE", "de.test"}, {"France", "FR", "fr.test"}, {"Japan", "JP", "jp.test"},
                {"France", "FR", "fr2.test"}, {"", "", ""}};
        // clang-format on
        model.setServers(servers);
        QCOMPARE(model.serverAt(5), servers.at(5));
        QCOMPARE(model.findServer("France"), 3);
        QCOMPARE(model.findServer("germany"), -1);
        QCOMPARE(model.hostnames(),
                 QStringList({"auto.test", "de.test", "fr.test", "jp.test", "fr2.test", ""}));
        model.setLatency("de.test", 42);
        model.setLatency("fr.test", -1);
        QVERIFY(model.setData(model.index(1), Qt::Checked, Qt::CheckStateRole));
        QStringList texts;
        for (int row = 0; row < 6; ++row)
            texts << model.index(row).data(Qt::AccessibleTextRole).toString();
        QCOMPARE(texts.join('|'), "Automatic|Germany, favourite, 42 ms|Germany 2, 42 ms|"
                                  "France, no answer|Japan|France");
        const QVariantMap automatic{{"name", "Automatic"},
                                    {"code", "auto"},
                                    {"hostname", "auto.test"}};
        QCOMPARE(model.index(0).data(Qt::UserRole).toMap(), automatic); // no "ping" unmeasured
        // Favourite texts set one after the other, and the favourites they give: in row order,
        // both Frances; marks only added; the space is the name's; empty names mark nothing.
        // clang-format off
        const QPair<QStringList, QString> favorites[] = {{{"Japan,France"}, "France,Japan,France"},
                {{"Japan", "Automatic"}, "Automatic,Japan"}, {{"France, Japan"}, "France,France"},
                {{",Germany 2,,", "france,JAPAN", "Atlantis"}, "Germany 2"}};
        // clang-format on
        for (const auto &[given, expected] : favorites) {
            model.setServers(servers); // a new list: unmeasured, no favourites
            QCOMPARE(model.favoriteServers(), QString());
            QVERIFY(!model.index(1).data(QVPNServerModel::LatencyRole).isValid());
            for (const QString &text : given)
                model.setFavoriteServers(text);
            QCOMPARE(model.favoriteServers(), expected);
            QVERIFY(model.index(6, 0).data(Qt::CheckStateRole) != Qt::Checked);
        }
    }

    // The face takes presses up to W - 75, the popup button from W - 74. In the popup a release
    // on the star (x 24 to 40) toggles it and keeps the popup open; anywhere else on a row it
    // picks the row and closes the popup. A long name ends in "..." before the latency.
    void chooser()
    {
        // Only a built-in code names a flag: not a path, not a lower-case code, not XX.
        for (const char *code : {"../location_pin_fill", "de", "XX"})
            QCOMPARE(flagImagePath(code), QString());
        QList<VPNServer> servers;
        for (const char *code : {"auto", "DE", "DE", "FR", "JP", "XX", "US", "SE"})
            servers << VPNServer{'S' + QString::number(servers.size()), code,
                                 QString::number(servers.size())};
        servers[7].name = QString(300, QChar('W'));
        QVPNServerComboBox box;
        box.resize(297, 62);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        box.setServers(servers.mid(3));
        box.setServers(servers); // a new list: its first row current
        QCOMPARE(box.currentServer(), servers.at(0));
        for (int row = 0; row < 8; ++row)
            box.serverModel()->setLatency(QString::number(row),
                                          QList<int>{199, 200, 399, 400, 0}.value(row, -1));
        QVariantMap entry = box.itemData(7, Qt::UserRole).toMap(); // the long name's
        QCOMPARE(entry.value("ping"), QVariant(-1));
        entry["ping"] = 150;
        box.setItemData(7, entry, Qt::UserRole); // and the row is painted green
        const int w = box.width(), h = box.height();
        for (const bool named : {true, false}) {
            box.setCurrentServer(named ? servers.at(7) : VPNServer());
            QImage image(w, h, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
            box.render(&image, {}, {}, QWidget::DrawChildren);
            for (const QPoint corner : {QPoint(0, 0), {0, h - 1}, {w - 1, 0}, {w - 1, h - 1}})
                QVERIFY(qAlpha(image.pixel(corner)) < 255); // rounded
            // "Connect" in white over the name in dark blue, both left of the line.
            QVERIFY(countColor(image, QRect(0, 10, w - 75, 28), White) > 20);
            QCOMPARE(countColor(image, QRect(w - 74, 0, 8, h), White), 0);
            QCOMPARE(countColor(image, QRect(0, 28, w - 75, h - 28), qRgb(1, 67, 97)) > 5, named);
        }
        box.setCurrentIndex(2); // the popup's rows, each painted into its rectangle
        QImage image(297, 8 * 41, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        QStyleOptionViewItem option;
        for (int row = 0; row < 8; ++row) {
            option.rect = {0, 41 * row, 297, 41};
            box.itemDelegate()->paint(&painter, option, box.model()->index(row, 0));
        }
        painter.end();
        const QRgb bands[] = {Green, Amber, Amber, Red, Gray, Gray, Gray, Green};
        for (int row = 0, y = 0; row < 8; ++row, y += 41) {
            const QRgb back = row == 2 ? Highlight : White;
            // No flag for XX; the name in black.
            COMPARE_PIXEL(image, 5, y + 1, back);
            QCOMPARE(countColor(image, {56, y + 4, 33, 34}, back) == 33 * 34, row == 5);
            QVERIFY(countColor(image, {93, y + 8, 158, 25}, Black, 64) > 5);
            QCOMPARE(countColor(image, {252, y + 3, 45, 35}, Black, 64), 0);
            // The number (or "---") over "ms", in the band's colour and in no other (the small
            // "ms" keeps few pixels of the full colour where the font engine smooths it).
            for (const QRgb colour : {Green, Amber, Red, Gray, Black}) {
                const int upper = countColor(image, {256, y + 3, 41, 16}, colour);
                const int lower = countColor(image, {256, y + 21, 41, 14}, colour);
                QVERIFY2(colour == bands[row] ? upper > 3 && lower > 0 : upper + lower == 0,
                         qPrintable(QString::asprintf("row %d, colour %x", row, colour)));
            }
        }

        QSignalSpy pressed(&box, &QVPNServerComboBox::pressed);
        QSignalSpy stars(&box, &QVPNServerComboBox::starToggled);
        QTest::mouseClick(&box, Qt::LeftButton, {}, {w - 75, 30});
        QCOMPARE(pressed.count(), 1);
        QVERIFY(!box.view()->isVisible());
        const auto popupOpens = [&box, w] {
            QTest::mouseClick(&box, Qt::LeftButton, {}, {w - 74, 30});
            return QTest::qWaitFor([&box] { return box.view()->isVisible(); });
        };
        QVERIFY(popupOpens());
        // clang-format off
        const std::tuple<int, int, QString, int> clicks[] = {{24, 2, "S2", 2}, {40, 3, "S2,S3", 2},
                {41, 4, "S2,S3", 4}, {23, 1, "S2,S3", 1}, {40, 2, "S3", 1}};
        // clang-format on
        for (const auto &[x, row, favorites, current] : clicks) {
            const QRect rect = box.view()->visualRect(box.model()->index(row, 0));
            QCOMPARE(QPoint(rect.top(), rect.height()), QPoint(41 * row, 41)); // as painted
            QTest::mouseClick(box.view()->viewport(), Qt::LeftButton, {}, {x, rect.center().y()});
            QCOMPARE(box.favoriteServers(), favorites);
            QCOMPARE(box.currentIndex(), current);
            QTRY_COMPARE(box.view()->isVisible(), x >= 24 && x <= 40);
            QVERIFY(box.view()->isVisible() || popupOpens());
        }
        QCOMPARE(stars.count(), 3);
        QCOMPARE(pressed.count(), 1);

        box.setCurrentIndex(-1); // neither -1 nor an empty list forget the current server
        box.setServers({});
        QCOMPARE(box.currentServer(), servers.at(1));
    }
};

TAVRIN_TEST_MAIN(tst_Widgets)
#include "tst_widgets.moc"
