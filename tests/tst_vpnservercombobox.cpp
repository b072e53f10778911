#include "qicmpecho.h"
#include "qvpnservercombobox.h"
#include "qvpnservercomboboxitemdelegate.h"
#include "tavrintestenvironment.h"

#include <QtCore/qatomic.h>
#include <QtCore/qdir.h>
#include <QtCore/qfile.h>
#include <QtCore/qmutex.h>
#include <QtCore/qthread.h>
#include <QtGui/qfontdatabase.h>
#include <QtGui/qpainter.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qabstractitemview.h>
#include <QtWidgets/qapplication.h>
#include <QtWidgets/qscrollbar.h>

typedef QList<VPNServer> ServerList;

// What the chooser's echo was asked, shared with the test; the echo itself belongs to the
// chooser's ping service and dies with it. While block is set the echo does not come back.
struct EchoLog
{
    QMutex mutex;
    QStringList asked;
    QHash<QString, int> latencies;
    QAtomicInt block{0}, abortable{1}, returned{0}, aborted{0}, destroyed{0};

    QStringList hosts()
    {
        QMutexLocker locker(&mutex);
        return asked;
    }
};

class LoggingEcho : public QIcmpEcho
{
public:
    explicit LoggingEcho(EchoLog *log)
        : m_log(log)
    {}
    ~LoggingEcho() override { m_log->destroyed.ref(); }
    void abort() override
    {
        m_log->aborted.ref();
        if (m_log->abortable.loadAcquire())
            m_log->block.storeRelease(0);
    }
    int echo(const QString &hostname) override
    {
        m_log->mutex.lock();
        m_log->asked.append(hostname);
        const int latency = m_log->latencies.value(hostname, -1);
        m_log->mutex.unlock();
        while (m_log->block.loadAcquire())
            QThread::msleep(20);
        m_log->returned.ref();
        return latency;
    }

private:
    EchoLog *m_log;
};

static const ServerList Sample{{"Automatic", "auto", "auto.example.test"},
                               {"Germany", "DE", "de.example.test"},
                               {"Germany 2", "DE", "de.example.test"},
                               {"France", "FR", "fr.example.test"},
                               {"Japan", "JP", "jp.example.test"}};

static ServerEntry entryAt(const QVPNServerComboBox &chooser, int row)
{
    return chooser.itemData(row, Qt::UserRole).toMap();
}

// The stored latencies, row by row; null where a row has not been measured yet.
static QVariantList pings(const QVPNServerComboBox &chooser)
{
    QVariantList result;
    for (int row = 0; row < chooser.count(); ++row)
        result << entryAt(chooser, row).value(QStringLiteral("ping"));
    return result;
}

static const QRgb Unpainted = qRgb(255, 0, 255), White = qRgb(255, 255, 255);
static const QRgb Highlight = qRgb(112, 141, 198), Separator = qRgb(202, 202, 202);
static const QRgb Green = qRgb(75, 206, 126), Amber = qRgb(253, 186, 61), Red = qRgb(252, 84, 53);
static const QRgb Gray = QColor(Qt::gray).rgb(), Black = qRgb(0, 0, 0);
static const QRgb Dark = qRgb(66, 176, 227), Light = qRgb(84, 183, 229);
static const QRgb Line = qRgb(43, 134, 175), NameBlue = qRgb(1, 67, 97);

// How many pixels of the area match.
template<typename Match>
static int countPixels(const QImage &image, const QRect &area, Match match)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += match(image.pixel(x, y));
    }
    return count;
}

// Pixels of exactly that colour (fully opaque).
static int countColor(const QImage &image, const QRect &area, QRgb color)
{
    return countPixels(image, area, [color](QRgb p) { return p == (color | 0xff000000u); });
}

// Pixels of antialiased black text: dark and without colour.
static int countNearBlack(const QImage &image, const QRect &area)
{
    return countPixels(image, area, [](QRgb p) {
        const int high = qMax(qRed(p), qMax(qGreen(p), qBlue(p)));
        return high < 64 && high - qMin(qRed(p), qMin(qGreen(p), qBlue(p))) < 8;
    });
}

#define COMPARE_PIXEL(image, x, y, expected) \
    QCOMPARE(QColor(image.pixel(x, y)).name(), QColor(expected).name())

static void save(const QImage &image, const QString &name)
{
    const QString path = TavrinTestEnvironment::artifactDir() + QLatin1Char('/') + name;
    QVERIFY2(image.save(path), qPrintable(path));
}

static QImage paintRows(QVPNServerComboBox &chooser, int first, int count, const QString &name)
{
    QImage image(QVPNServerComboBoxItemDelegate::RowWidth,
                 QVPNServerComboBoxItemDelegate::RowHeight * count, QImage::Format_ARGB32);
    image.fill(Unpainted);
    QPainter painter(&image);
    for (int row = first; row < first + count; ++row)
        chooser.itemDelegate()->paint(&painter, {}, chooser.model()->index(row, 0));
    save(image, name);
    return image;
}

class tst_VPNServerComboBox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fillAndCurrentServer();
    void favorites_data();
    void favorites();
    void pingCycle();
    void press_data();
    void press();
    void destructionWhileEchoBlocks_data();
    void destructionWhileEchoBlocks();
    void face();
    void rows();
    void scrolledRows();
    void popupClick_data();
    void popupClick();

private:
    bool m_fonts = false;
};

void tst_VPNServerComboBox::initTestCase()
{
    const QDir fonts(QStringLiteral("/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF"));
    for (const QString &file : fonts.entryList({QStringLiteral("*.ttf")}))
        m_fonts |= QFontDatabase::addApplicationFont(fonts.filePath(file)) >= 0;
    if (!m_fonts)
        qWarning("Roboto is not installed: the text checks are skipped");
}

void tst_VPNServerComboBox::fillAndCurrentServer()
{
    EchoLog log;
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    const VPNServer chosen{"France", "FR", "fr.example.test"};
    chooser.setCurrentServer(chosen);
    QCOMPARE(chooser.currentServer(), chosen);

    // A fill makes its first row current and gives exactly one row per entry.
    chooser.setServers(Sample);
    QCOMPARE(chooser.model()->rowCount(), 5);
    QCOMPARE(chooser.currentServer(), Sample.first());
    QCOMPARE(chooser.servers(), Sample);
    for (int row = 0; row < 5; ++row) {
        const ServerEntry entry = entryAt(chooser, row);
        QCOMPARE(entry.keys(), (QStringList{"code", "hostname", "name"}));
        QCOMPARE(VPNServer({entry["name"].toString(), entry["code"].toString(),
                            entry["hostname"].toString()}),
                 Sample.at(row));
        QCOMPARE(chooser.model()->index(row, 0).flags(), Qt::ItemIsUserCheckable);
    }
    chooser.setServers(Sample.mid(3, 2));
    QCOMPARE(chooser.model()->rowCount(), 2);
    QCOMPARE(chooser.servers(), Sample.mid(3, 2));

    // The current server follows the list, but neither -1 nor an empty fill forget it.
    chooser.setCurrentIndex(1);
    QCOMPARE(chooser.currentServer(), Sample.at(4));
    chooser.setCurrentIndex(-1);
    chooser.setServers(ServerList());
    QCOMPARE(chooser.model()->rowCount(), 0);
    QCOMPARE(chooser.currentServer(), Sample.at(4));
}

void tst_VPNServerComboBox::favorites_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("favorites");
    QTest::newRow("row order, not the text's")
            << QStringList{"Japan,France"} << "France,Japan,France";
    QTest::newRow("marks are only ever added")
            << QStringList{"Japan", "Automatic"} << "Automatic,Japan";
    QTest::newRow("letter case differs") << QStringList{"france,JAPAN"} << QString();
    QTest::newRow("spaces are part of the name") << QStringList{"France, Japan"} << "France,France";
    QTest::newRow("empty parts") << QStringList{",Germany 2,,"} << "Germany 2";
    QTest::newRow("empty and unknown") << QStringList{"", "Atlantis"} << QString();
}

void tst_VPNServerComboBox::favorites()
{
    QFETCH(QStringList, texts);
    EchoLog log;
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    const ServerList servers = Sample + ServerList{{"France", "FR", "fr2.example.test"}};
    chooser.setServers(servers);
    for (const QString &text : texts)
        chooser.setFavoriteServers(text);
    QTEST(chooser.favoriteServers(), "favorites");
    QStringList checked;
    for (int row = 0; row < chooser.count(); ++row) {
        if (chooser.itemData(row, Qt::CheckStateRole).toInt() == Qt::Checked)
            checked << entryAt(chooser, row).value("name").toString();
    }
    QTEST(checked.join(','), "favorites");
    chooser.setServers(servers); // a new fill starts without any
    QCOMPARE(chooser.favoriteServers(), QString());
}

void tst_VPNServerComboBox::pingCycle()
{
    EchoLog log;
    log.latencies = {{"auto.example.test", 12}, {"de.example.test", 250}, {"jp.example.test", 480}};
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    QSignalSpy requests(&chooser, &QVPNServerComboBox::pingHost);
    chooser.setServers(ServerList{{"No host", "XX", QString()}} + Sample);
    QVERIFY(requests.isEmpty()); // the first step waits for its timer

    // One echo per host in row order: the shared host once, the failed one (-1) never again,
    // and never an empty name.
    const QVariantList expected{-1, 12, 250, 250, -1, 480};
    QTRY_COMPARE_WITH_TIMEOUT(pings(chooser), expected, 60000);
    const QStringList hosts{"auto.example.test", "de.example.test", "fr.example.test",
                            "jp.example.test"};
    QCOMPARE(log.hosts(), hosts);
    QCOMPARE(requests.count(), 4);
    QMetaObject::invokeMethod(&chooser, "pingNextServer"); // the cycle has ended
    QCOMPARE(requests.count(), 4);

    // A result for no row changes nothing; a new fill measures anew.
    QMetaObject::invokeMethod(&chooser, "pingResult", Q_ARG(QString, "elsewhere.example.test"),
                              Q_ARG(int, 5));
    QCOMPARE(pings(chooser), expected);
    chooser.setServers(Sample.mid(4));
    QCOMPARE(pings(chooser), QVariantList{QVariant()});
    QTRY_COMPARE_WITH_TIMEOUT(pings(chooser), QVariantList{480}, 60000);
    // Only that host again (the steps still pending may each have sent it once).
    const QStringList again = log.hosts().mid(4);
    QVERIFY(!again.isEmpty() && again.count("jp.example.test") == again.size());
}

void tst_VPNServerComboBox::press_data()
{
    QTest::addColumn<int>("fromRight");
    QTest::addColumn<bool>("emitsPressed");
    QTest::newRow("left part") << 250 << true;
    QTest::newRow("width - 75") << 75 << true;
    QTest::newRow("width - 74") << 74 << false;
    QTest::newRow("right edge") << 1 << false;
}

void tst_VPNServerComboBox::press()
{
    QFETCH(int, fromRight);
    QFETCH(bool, emitsPressed);
    EchoLog log;
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    chooser.resize(297, 62);
    chooser.setServers(Sample);
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    QSignalSpy pressed(&chooser, &QVPNServerComboBox::pressed);
    QTest::mousePress(&chooser, Qt::LeftButton, {}, QPoint(chooser.width() - fromRight, 30));
    QCOMPARE(pressed.count(), emitsPressed ? 1 : 0);
    QCOMPARE(chooser.view()->isVisible(), !emitsPressed);
}

void tst_VPNServerComboBox::destructionWhileEchoBlocks_data()
{
    QTest::addColumn<bool>("abortable");
    QTest::newRow("echo gives up when asked") << true;
    QTest::newRow("echo cannot be interrupted") << false;
}

void tst_VPNServerComboBox::destructionWhileEchoBlocks()
{
    QFETCH(bool, abortable);
    EchoLog log;
    log.block.storeRelease(1);
    log.abortable.storeRelease(abortable ? 1 : 0);
    auto *chooser = new QVPNServerComboBox(new LoggingEcho(&log));
    chooser->setServers(Sample);
    QTRY_COMPARE_WITH_TIMEOUT(log.hosts().size(), 1, 60000);

    delete chooser; // never waits for the echo to come back
    QCOMPARE(log.aborted.loadAcquire(), 1);
    if (!abortable)
        QCOMPARE(log.returned.loadAcquire(), 0);
    // Either way the service and its thread are released once the echo has ended.
    log.block.storeRelease(0);
    QTRY_COMPARE_WITH_TIMEOUT(log.destroyed.loadAcquire(), 1, 60000);
    QCOMPARE(log.hosts(), QStringList{"auto.example.test"});
}

void tst_VPNServerComboBox::face()
{
    EchoLog log;
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    const int w = 300, h = 62;
    chooser.resize(w, h);
    for (const bool named : {true, false}) {
        chooser.setCurrentServer(named ? VPNServer{"Germany", "DE", "de.example.test"}
                                       : VPNServer());
        QImage image(chooser.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        chooser.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        save(image, named ? "chooser-face.png" : "chooser-face-no-name.png");

        // Rounded outer corners, square inner ones; the line between the two parts at w - 75.
        for (const QPoint corner :
             {QPoint(0, 0), QPoint(0, h - 1), QPoint(w - 1, 0), QPoint(w - 1, h - 1)})
            QVERIFY(qAlpha(image.pixel(corner)) < 255);
        for (const int y : {0, h / 2, h - 1}) {
            COMPARE_PIXEL(image, w - 76, y, Dark);
            COMPARE_PIXEL(image, w - 75, y, Line);
        }
        COMPARE_PIXEL(image, 3, h / 2, Dark);
        COMPARE_PIXEL(image, w - 74, 0, Light);
        COMPARE_PIXEL(image, w - 67, 30, Light);
        COMPARE_PIXEL(image, w - 11, h - 1, Light);
        COMPARE_PIXEL(image, w - 3, h / 2, Light);
        if (!m_fonts)
            continue;
        QVERIFY(countColor(image, QRect(QPoint(0, 10), QPoint(w - 76, 37)), White) > 20);
        QCOMPARE(countColor(image, QRect(QPoint(w - 74, 0), QPoint(w - 67, h - 1)), White), 0);
        const int nameBlue = countColor(image, QRect(QPoint(0, 28), QPoint(w - 76, h - 1)),
                                        NameBlue);
        QVERIFY2(named == (nameBlue > 5), qPrintable(QString::number(nameBlue)));
    }
}

void tst_VPNServerComboBox::rows()
{
    EchoLog log;
    log.block.storeRelease(1); // no result overwrites the latencies stored below
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    chooser.setServers(Sample
                       + ServerList{{"Nowhere", "XX", "xx.example.test"},
                                    {"United States", "US", "us.example.test"},
                                    {"Sweden", "SE", "se.example.test"}});
    const QList<int> latencies{199, 200, 399, 400, 0, -1};
    for (int row = 0; row < latencies.size(); ++row) {
        ServerEntry entry = chooser.itemData(row, Qt::UserRole).toMap();
        entry.insert(QStringLiteral("ping"), latencies.at(row));
        chooser.setItemData(row, entry, Qt::UserRole);
    }
    chooser.setFavoriteServers(QStringLiteral("Germany,United States"));
    chooser.setCurrentIndex(2);
    const QImage image = paintRows(chooser, 0, 8, "chooser-rows.png");

    const QList<QRgb> bands{Green, Amber, Amber, Red, Gray, Gray};
    for (int row = 0; row < 8; ++row) {
        const int y = 41 * row;
        const QRgb background = row == 2 ? Highlight : White;
        // The current row's background starts and ends one pixel lower.
        COMPARE_PIXEL(image, 5, y, row == 2 ? Unpainted : White);
        COMPARE_PIXEL(image, 5, y + 1, background);
        COMPARE_PIXEL(image, 296, y + 40, background);
        // The line from x 10 to 287 over every row but the first visible one.
        COMPARE_PIXEL(image, 10, y, row > 0 ? Separator : background);
        COMPARE_PIXEL(image, 287, y, row > 0 ? Separator : background);
        COMPARE_PIXEL(image, 9, y, row == 2 ? Unpainted : White);
        // No flag image ("XX", "YY", or no images at all) leaves the background.
        const QRect flagArea(QPoint(56, y + 4), QPoint(88, y + 37));
        const bool flag = QFile::exists(":/imgs/flags/" + chooser.servers().at(row).code + ".png");
        QCOMPARE(countColor(image, flagArea, background) == flagArea.width() * flagArea.height(),
                 !flag);
        // The name in black, also on the rows after one with a gray "---".
        const QRect nameArea(QPoint(93, y + 8), QPoint(250, y + 32));
        QVERIFY(!m_fonts || countNearBlack(image, nameArea) > 5);
        const QRect latencyArea(QPoint(256, y + 3), QPoint(296, y + 37));
        if (row >= latencies.size()) {
            QCOMPARE(countColor(image, latencyArea, background), 41 * 35);
            continue;
        }
        if (!m_fonts)
            continue;
        const QRgb band = bands.at(row);
        QVERIFY2(countColor(image, QRect(QPoint(256, y + 3), QPoint(296, y + 18)), band) > 3,
                 qPrintable(QStringLiteral("row %1 lacks %2").arg(row).arg(QColor(band).name())));
        QVERIFY(countColor(image, QRect(QPoint(256, y + 21), QPoint(296, y + 34)), band) > 3);
        for (const QRgb other : {Green, Amber, Red, Gray, Black}) {
            if (other != band)
                QCOMPARE(countColor(image, latencyArea, other), 0);
        }
    }
}

void tst_VPNServerComboBox::scrolledRows()
{
    EchoLog log;
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    chooser.resize(297, 62);
    ServerList servers;
    for (int i = 0; i < 12; ++i)
        servers << VPNServer{QStringLiteral("Server %1").arg(i), "XX", QString()};
    chooser.setServers(servers);
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    chooser.showPopup();
    QTRY_VERIFY(chooser.view()->isVisible());
    QCOMPARE(chooser.view()->viewport()->height(), 6 * 41); // six rows, then it scrolls
    chooser.view()->verticalScrollBar()->setValue(5);
    QCOMPARE(chooser.view()->indexAt(QPoint(100, 41 + 10)).row(), 6);
    save(chooser.view()->viewport()->grab().toImage(), "chooser-popup.png");

    chooser.setCurrentIndex(6);
    const QImage image = paintRows(chooser, 5, 6, "chooser-rows-scrolled.png");
    COMPARE_PIXEL(image, 150, 0, White); // row 5 is the first visible row: no line
    COMPARE_PIXEL(image, 150, 41, Separator);
    COMPARE_PIXEL(image, 5, 41, Unpainted);
    COMPARE_PIXEL(image, 5, 42, Highlight);
    COMPARE_PIXEL(image, 150, 82, Separator);
    chooser.hidePopup();
}

void tst_VPNServerComboBox::popupClick_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<bool>("toggles");
    QTest::newRow("left of the star") << 23 << false;
    QTest::newRow("star from 24") << 24 << true;
    QTest::newRow("star to 40") << 40 << true;
    QTest::newRow("right of the star") << 41 << false;
    QTest::newRow("name") << 150 << false;
}

// A click on a star toggles it and keeps the popup open for the next; a click elsewhere
// chooses the row and closes the popup.
void tst_VPNServerComboBox::popupClick()
{
    QFETCH(int, x);
    QFETCH(bool, toggles);
    EchoLog log;
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    chooser.resize(297, 62);
    chooser.setServers(Sample);
    chooser.setFavoriteServers(QStringLiteral("Germany 2"));
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    QSignalSpy stars(&chooser, &QVPNServerComboBox::starToggled);
    // Real clicks through the window system: the popup opens on the press on its button.
    QTest::mouseClick(chooser.windowHandle(), Qt::LeftButton, {}, QPoint(chooser.width() - 10, 30));
    QTRY_VERIFY(chooser.view()->isVisible());
    QWidget *viewport = chooser.view()->viewport();
    const auto clickRow = [&](int row) {
        QTest::mouseClick(viewport->window()->windowHandle(), Qt::LeftButton, {},
                          viewport->mapTo(viewport->window(), QPoint(x, row * 41 + 20)));
    };
    clickRow(1);
    if (toggles) {
        QVERIFY(chooser.view()->isVisible());
        clickRow(2);
    }
    QCOMPARE(stars.count(), toggles ? 2 : 0);
    QCOMPARE(chooser.favoriteServers(), toggles ? "Germany" : "Germany 2");
    QTRY_COMPARE(chooser.view()->isVisible(), toggles);
    QCOMPARE(chooser.currentServer(), Sample.at(toggles ? 0 : 1));
}

TAVRIN_TEST_MAIN(tst_VPNServerComboBox)
#include "tst_vpnservercombobox.moc"
