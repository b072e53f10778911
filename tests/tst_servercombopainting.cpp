#include "qicmpecho.h"
#include "qvpnservercombobox.h"
#include "qvpnservercomboboxitemdelegate.h"
#include "tavrintestenvironment.h"

#include <QtCore/qatomic.h>
#include <QtCore/qdir.h>
#include <QtCore/qfile.h>
#include <QtCore/qthread.h>
#include <QtGui/qfontdatabase.h>
#include <QtGui/qpainter.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qabstractitemview.h>
#include <QtWidgets/qapplication.h>
#include <QtWidgets/qscrollbar.h>

typedef QList<VPNServer> ServerList;

// An echo that never answers until told to give up, so that the latencies a test stores stay.
class SilentEcho : public QIcmpEcho
{
public:
    int echo(const QString &) override
    {
        while (!m_aborted.loadAcquire())
            QThread::msleep(10);
        return -1;
    }
    void abort() override { m_aborted.storeRelease(1); }

private:
    QAtomicInt m_aborted;
};

static const QRgb Unpainted = qRgb(255, 0, 255), White = qRgb(255, 255, 255);
static const QRgb Highlight = qRgb(112, 141, 198), Separator = qRgb(202, 202, 202);
static const QRgb Green = qRgb(75, 206, 126), Amber = qRgb(253, 186, 61), Red = qRgb(252, 84, 53);
static const QRgb Gray = QColor(Qt::gray).rgb(), Black = qRgb(0, 0, 0);
static const QRgb Dark = qRgb(66, 176, 227), Light = qRgb(84, 183, 229);
static const QRgb Line = qRgb(43, 134, 175), NameBlue = qRgb(1, 67, 97);

// How many pixels of the area carry exactly that colour (fully opaque).
static int countColor(const QImage &image, const QRect &area, QRgb color)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixel(x, y) == (color | 0xff000000u);
    }
    return count;
}

// Pixels of antialiased black text: dark and without colour.
static int countNearBlack(const QImage &image, const QRect &area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            const int high = qMax(qRed(p), qMax(qGreen(p), qBlue(p)));
            count += high < 64 && high - qMin(qRed(p), qMin(qGreen(p), qBlue(p))) < 8;
        }
    }
    return count;
}

#define COMPARE_PIXEL(image, x, y, expected) \
    QCOMPARE(QColor(image.pixel(x, y)).name(), QColor(expected).name())

static ServerList named(const QStringList &names, const QStringList &codes)
{
    ServerList servers;
    for (int i = 0; i < names.size(); ++i)
        servers << VPNServer{names.at(i), codes.value(i, "XX"), names.at(i) + ".example.test"};
    return servers;
}

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

class tst_ServerComboPainting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void face();
    void rows();
    void scrolledRows();
    void popupClick_data();
    void popupClick();
    void clickInOpenPopup();

private:
    bool m_fonts = false;
};

void tst_ServerComboPainting::initTestCase()
{
    const QDir fonts(QStringLiteral("/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF"));
    for (const QString &file : fonts.entryList({QStringLiteral("*.ttf")}))
        m_fonts |= QFontDatabase::addApplicationFont(fonts.filePath(file)) >= 0;
    if (!m_fonts)
        qWarning("Roboto is not installed: the text checks are skipped");
}

void tst_ServerComboPainting::face()
{
    QVPNServerComboBox chooser(new SilentEcho);
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

void tst_ServerComboPainting::rows()
{
    QVPNServerComboBox chooser(new SilentEcho);
    chooser.setServers(named({"Automatic", "Germany", "France", "Japan", "Nowhere", "Failed",
                              "United States", "Sweden"},
                             {"auto", "DE", "FR", "JP", "XX", "YY", "US", "SE"}));
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
    if (m_fonts) {
        // "---" is narrower than three digits: the digits reach further right.
        const auto rightmost = [&](int row, QRgb color) {
            int right = -1;
            for (int x = 256; x < 297; ++x)
                right = countColor(image, QRect(x, 41 * row + 3, 1, 16), color) ? x : right;
            return right;
        };
        QVERIFY(rightmost(3, Red) > rightmost(4, Gray));
    }
}

void tst_ServerComboPainting::scrolledRows()
{
    QVPNServerComboBox chooser(new SilentEcho);
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

void tst_ServerComboPainting::popupClick_data()
{
    QTest::addColumn<int>("eventType");
    QTest::addColumn<qreal>("x");
    QTest::addColumn<bool>("handled");
    QTest::addColumn<bool>("toggles");
    const int release = QEvent::MouseButtonRelease;
    QTest::newRow("left of the star") << release << qreal(23) << true << false;
    QTest::newRow("star from 24") << release << qreal(24) << true << true;
    QTest::newRow("rounds to 24") << release << qreal(23.5) << true << true;
    QTest::newRow("star to 40") << release << qreal(40) << true << true;
    QTest::newRow("rounds to 41") << release << qreal(40.5) << true << false;
    QTest::newRow("press on the star")
            << int(QEvent::MouseButtonPress) << qreal(30) << false << false;
    QTest::newRow("double click") << int(QEvent::MouseButtonDblClick) << qreal(100) << false
                                  << false;
}

// Sends the event to the row's delegate directly: a toggle keeps the event accepted (the popup
// stays open), a selection ignores it so that it travels on and closes the popup.
void tst_ServerComboPainting::popupClick()
{
    QFETCH(int, eventType);
    QFETCH(qreal, x);
    QFETCH(bool, handled);
    QFETCH(bool, toggles);
    QVPNServerComboBox chooser(new SilentEcho);
    chooser.setServers(named({"Automatic", "Germany", "France"}, {}));
    chooser.setFavoriteServers(QStringLiteral("France"));
    QSignalSpy stars(&chooser, &QVPNServerComboBox::starToggled);
    for (const int row : {1, 2}) {
        QMouseEvent event(QEvent::Type(eventType), QPointF(x, 41 * row + 17), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCOMPARE(chooser.itemDelegate()->editorEvent(&event, chooser.model(), {},
                                                     chooser.model()->index(row, 0)),
                 handled);
        QCOMPARE(event.isAccepted(), !handled || toggles);
        QCOMPARE(chooser.currentIndex(), handled && !toggles ? row : 0);
    }
    QCOMPARE(stars.count(), toggles ? 2 : 0);
    QCOMPARE(chooser.favoriteServers(), toggles ? "Germany" : "France");
}

void tst_ServerComboPainting::clickInOpenPopup()
{
    QVPNServerComboBox chooser(new SilentEcho);
    chooser.resize(297, 62);
    chooser.setServers(named({"Automatic", "Germany", "France", "Japan"}, {}));
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    QSignalSpy stars(&chooser, &QVPNServerComboBox::starToggled);
    chooser.showPopup();
    QTRY_VERIFY(chooser.view()->isVisible());
    QWidget *viewport = chooser.view()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(30, 41 + 20));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(32, 3 * 41 + 20));
    QCOMPARE(chooser.favoriteServers(), QStringLiteral("Germany,Japan"));
    QVERIFY(chooser.view()->isVisible());
    QCOMPARE(chooser.currentIndex(), 0);

    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(150, 2 * 41 + 20));
    QTRY_VERIFY(!chooser.view()->isVisible());
    QCOMPARE(chooser.currentServer().name, QStringLiteral("France"));
    QCOMPARE(stars.count(), 2);
}

TAVRIN_TEST_MAIN(tst_ServerComboPainting)
#include "tst_servercombopainting.moc"
