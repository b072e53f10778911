#include "qicmpecho.h"
#include "qvpnservercombobox.h"
#include "qvpnservercomboboxitemdelegate.h"
#include "tavrintestenvironment.h"

#include <QtCore/qatomic.h>
#include <QtCore/qdir.h>
#include <QtCore/qfile.h>
#include <QtCore/qthread.h>
#include <QtGui/qfontdatabase.h>
#include <QtGui/qimage.h>
#include <QtGui/qpainter.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qabstractitemview.h>
#include <QtWidgets/qapplication.h>
#include <QtWidgets/qscrollbar.h>

typedef QList<VPNServer> ServerList;

// An echo that never answers until it is told to give up, so that the latencies a test
// stores stay as they are.
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

static const QRgb Unpainted = qRgb(255, 0, 255);
static const QRgb White = qRgb(255, 255, 255);
static const QRgb Highlight = qRgb(112, 141, 198);
static const QRgb Separator = qRgb(202, 202, 202);
static const QRgb Green = qRgb(75, 206, 126);
static const QRgb Amber = qRgb(253, 186, 61);
static const QRgb Red = qRgb(252, 84, 53);
static const QRgb Gray = QColor(Qt::gray).rgb();
static const QRgb Black = qRgb(0, 0, 0);
static const QRgb Dark = qRgb(66, 176, 227);
static const QRgb Light = qRgb(84, 183, 229);
static const QRgb Line = qRgb(43, 134, 175);
static const QRgb NameBlue = qRgb(1, 67, 97);

static QRgb pixel(const QImage &image, int x, int y)
{
    return image.pixel(x, y) | 0xff000000u;
}

// How many pixels of the area carry exactly that colour (fully opaque).
static int countColor(const QImage &image, const QRect &area, QRgb color)
{
    int count = 0;
    const QRect clipped = area & image.rect();
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            if (image.pixel(x, y) == (color | 0xff000000u))
                ++count;
        }
    }
    return count;
}

// How many pixels of the area are neither of the given colours.
static int countOther(const QImage &image, const QRect &area, QRgb a, QRgb b)
{
    const QRect clipped = area & image.rect();
    return clipped.width() * clipped.height() - countColor(image, clipped, a)
           - (a == b ? 0 : countColor(image, clipped, b));
}

// Pixels of antialiased black text: dark and without colour.
static int countNearBlack(const QImage &image, const QRect &area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            count += qMax(qRed(p), qMax(qGreen(p), qBlue(p))) < 64
                     && qMax(qRed(p), qMax(qGreen(p), qBlue(p)))
                                        - qMin(qRed(p), qMin(qGreen(p), qBlue(p)))
                                < 8;
        }
    }
    return count;
}

static QString colorName(QRgb color)
{
    return QColor(color).name();
}

#define COMPARE_PIXEL(image, x, y, expected) \
    QVERIFY2(pixel(image, x, y) == ((expected) | 0xff000000u), \
             qPrintable(QStringLiteral("(%1, %2) is %3, expected %4") \
                                .arg(x) \
                                .arg(y) \
                                .arg(colorName(pixel(image, x, y)), colorName(expected))))

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
    static void save(const QImage &image, const QString &name);
    QImage paintRows(QVPNServerComboBox &chooser, int first, int count);

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

void tst_ServerComboPainting::save(const QImage &image, const QString &name)
{
    const QString path = TavrinTestEnvironment::artifactDir() + QLatin1Char('/') + name;
    QVERIFY2(image.save(path), qPrintable(path));
}

QImage tst_ServerComboPainting::paintRows(QVPNServerComboBox &chooser, int first, int count)
{
    QImage image(QVPNServerComboBoxItemDelegate::RowWidth,
                 QVPNServerComboBoxItemDelegate::RowHeight * count, QImage::Format_ARGB32);
    image.fill(Unpainted);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    for (int row = first; row < first + count; ++row) {
        const QModelIndex index = chooser.model()->index(row, 0);
        option.rect = QRect(0, 0, 1, 1); // not used by the row painter
        chooser.itemDelegate()->paint(&painter, option, index);
    }
    return image;
}

void tst_ServerComboPainting::face()
{
    QVPNServerComboBox chooser(new SilentEcho);
    chooser.resize(300, 62);
    const int w = 300;
    const int h = 62;
    for (const bool named : {true, false}) {
        chooser.setCurrentServer(named ? VPNServer{"Germany", "DE", "de.example.test"}
                                       : VPNServer());
        QImage image(chooser.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        chooser.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        save(image, named ? QStringLiteral("chooser-face.png")
                          : QStringLiteral("chooser-face-no-name.png"));

        // Rounded outer corners, square inner ones.
        for (const QPoint corner :
             {QPoint(0, 0), QPoint(0, h - 1), QPoint(w - 1, 0), QPoint(w - 1, h - 1)})
            QVERIFY(qAlpha(image.pixel(corner)) < 255);
        COMPARE_PIXEL(image, 3, h / 2, Dark);
        COMPARE_PIXEL(image, 10, 0, Dark);
        COMPARE_PIXEL(image, w - 76, 0, Dark);
        COMPARE_PIXEL(image, w - 76, h - 1, Dark);
        COMPARE_PIXEL(image, w - 75, 0, Line);
        COMPARE_PIXEL(image, w - 75, h / 2, Line);
        COMPARE_PIXEL(image, w - 75, h - 1, Line);
        COMPARE_PIXEL(image, w - 74, 0, Light);
        COMPARE_PIXEL(image, w - 67, 30, Light); // left of the button image
        COMPARE_PIXEL(image, w - 11, 0, Light);
        COMPARE_PIXEL(image, w - 11, h - 1, Light);
        COMPARE_PIXEL(image, w - 3, h / 2, Light);
        COMPARE_PIXEL(image, w - 40, 2, Light); // above the button image

        if (!m_fonts)
            continue;
        const QRect textArea(QPoint(0, 10), QPoint(w - 76, 37));
        QVERIFY(countColor(image, textArea, qRgb(255, 255, 255)) > 20);
        // No text on the popup button (outside its image, whose content is not ours to test).
        QCOMPARE(countColor(image, QRect(QPoint(w - 74, 0), QPoint(w - 67, h - 1)), White), 0);
        QCOMPARE(countColor(image, QRect(QPoint(w - 74, 0), QPoint(w - 1, 4)), White), 0);
        const int nameBlue = countColor(image, QRect(QPoint(0, 28), QPoint(w - 76, 67)), NameBlue);
        if (named)
            QVERIFY(nameBlue > 5);
        else
            QCOMPARE(nameBlue, 0);
    }
}

void tst_ServerComboPainting::rows()
{
    QVPNServerComboBox chooser(new SilentEcho);
    chooser.setServers(ServerList() << VPNServer{"Automatic", "auto", "a.example.test"}
                                    << VPNServer{"Germany", "DE", "de.example.test"}
                                    << VPNServer{"France", "FR", "fr.example.test"}
                                    << VPNServer{"Japan", "JP", "jp.example.test"}
                                    << VPNServer{"Nowhere", "XX", "xx.example.test"}
                                    << VPNServer{"Failed", "YY", "yy.example.test"}
                                    << VPNServer{"United States", "US", "us.example.test"}
                                    << VPNServer{"Sweden", "SE", "se.example.test"});
    const QList<int> latencies{199, 200, 399, 400, 0, -1};
    for (int row = 0; row < latencies.size(); ++row) {
        ServerEntry entry = chooser.itemData(row, Qt::UserRole).toMap();
        entry.insert(QStringLiteral("ping"), latencies.at(row));
        chooser.setItemData(row, entry, Qt::UserRole);
    }
    chooser.setFavoriteServers(QStringLiteral("Germany,United States"));
    chooser.setCurrentIndex(2);
    const QImage image = paintRows(chooser, 0, 8);
    save(image, QStringLiteral("chooser-rows.png"));

    const QList<QRgb> bands{Green, Amber, Amber, Red, Gray, Gray};
    for (int row = 0; row < 8; ++row) {
        const int y = 41 * row;
        const bool current = row == 2;
        const QRgb background = current ? Highlight : White;
        // Background: the current row's starts one pixel lower and ends one pixel lower.
        if (current) {
            COMPARE_PIXEL(image, 5, y, Unpainted);
            COMPARE_PIXEL(image, 5, y + 1, Highlight);
            COMPARE_PIXEL(image, 296, y + 40, Highlight);
        } else {
            COMPARE_PIXEL(image, 5, y, White);
            COMPARE_PIXEL(image, 296, y + 40, White);
        }
        COMPARE_PIXEL(image, 2, y + 20, background);
        // The line over every row but the first visible one.
        COMPARE_PIXEL(image, 150, y, row > 0 ? Separator : White);
        COMPARE_PIXEL(image, 10, y, row > 0 ? Separator : White);
        COMPARE_PIXEL(image, 287, y, row > 0 ? Separator : White);
        if (row > 0) {
            COMPARE_PIXEL(image, 9, y, row == 2 ? Unpainted : White);
            COMPARE_PIXEL(image, 288, y, row == 2 ? Unpainted : White);
        }
        // Without images (no flag for "XX" and "YY", none at all before the images arrive) the
        // flag area keeps the background.
        const QRect flagArea(QPoint(56, y + 4), QPoint(88, y + 37));
        if (row == 4 || row == 5
            || !QFile::exists(QStringLiteral(":/imgs/flags/%1.png")
                                      .arg(chooser.itemData(row, Qt::UserRole)
                                                   .toMap()
                                                   .value("code")
                                                   .toString())))
            QCOMPARE(countOther(image, flagArea, background, background), 0);
        else
            QVERIFY(countOther(image, flagArea, background, background) > 0);

        const QRect latencyArea(QPoint(256, y + 3), QPoint(296, y + 37));
        if (row >= latencies.size()) {
            QCOMPARE(countOther(image, latencyArea, background, background), 0);
        } else if (m_fonts) {
            const QRgb band = bands.at(row);
            QVERIFY2(countColor(image, QRect(QPoint(256, y + 3), QPoint(296, y + 18)), band) > 3,
                     qPrintable(QStringLiteral("row %1 lacks %2").arg(row).arg(colorName(band))));
            QVERIFY(countColor(image, QRect(QPoint(256, y + 21), QPoint(296, y + 34)), band) > 3);
            for (const QRgb other : {Green, Amber, Red, Gray, Black}) {
                if (other != band)
                    QCOMPARE(countColor(image, latencyArea, other), 0);
            }
        }
        if (m_fonts) {
            // The name in black, also on the rows after one without latency.
            QVERIFY(countNearBlack(image, QRect(QPoint(93, y + 8), QPoint(250, y + 32))) > 5);
        }
    }
    if (m_fonts) {
        // "---" is narrower than three digits: the digit rows reach further right.
        const auto rightmost = [&](int row, QRgb color) {
            int right = -1;
            for (int x = 256; x < 297; ++x) {
                if (countColor(image, QRect(x, 41 * row + 3, 1, 16), color))
                    right = x;
            }
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
    QCOMPARE(chooser.view()->verticalScrollBar()->value(), 5);
    QCOMPARE(chooser.view()->indexAt(QPoint(100, 10)).row(), 5);
    QCOMPARE(chooser.view()->indexAt(QPoint(100, 41 + 10)).row(), 6);

    chooser.setCurrentIndex(6);
    const QImage image = paintRows(chooser, 5, 6);
    save(image, QStringLiteral("chooser-rows-scrolled.png"));
    save(chooser.view()->viewport()->grab().toImage(), QStringLiteral("chooser-popup.png"));
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
    QTest::newRow("left of the star")
            << int(QEvent::MouseButtonRelease) << qreal(23) << true << false;
    QTest::newRow("star from 24") << int(QEvent::MouseButtonRelease) << qreal(24) << true << true;
    QTest::newRow("rounds to 24") << int(QEvent::MouseButtonRelease) << qreal(23.5) << true << true;
    QTest::newRow("star to 40") << int(QEvent::MouseButtonRelease) << qreal(40) << true << true;
    QTest::newRow("rounds to 41") << int(QEvent::MouseButtonRelease) << qreal(40.5) << true
                                  << false;
    QTest::newRow("right of the star")
            << int(QEvent::MouseButtonRelease) << qreal(41) << true << false;
    QTest::newRow("press on the star is not ours")
            << int(QEvent::MouseButtonPress) << qreal(30) << false << false;
    QTest::newRow("double click is not ours")
            << int(QEvent::MouseButtonDblClick) << qreal(100) << false << false;
}

void tst_ServerComboPainting::popupClick()
{
    QFETCH(int, eventType);
    QFETCH(qreal, x);
    QFETCH(bool, handled);
    QFETCH(bool, toggles);
    QVPNServerComboBox chooser(new SilentEcho);
    chooser.setServers(ServerList() << VPNServer{"Automatic", "auto", "a.example.test"}
                                    << VPNServer{"Germany", "DE", "de.example.test"}
                                    << VPNServer{"France", "FR", "fr.example.test"});
    chooser.setFavoriteServers(QStringLiteral("France"));
    QSignalSpy stars(&chooser, &QVPNServerComboBox::starToggled);
    QAbstractItemDelegate *delegate = chooser.itemDelegate();

    for (const int row : {1, 2}) {
        const QModelIndex index = chooser.model()->index(row, 0);
        const int before = index.data(Qt::CheckStateRole).toInt();
        const int currentBefore = chooser.currentIndex();
        QMouseEvent event(QEvent::Type(eventType), QPointF(x, 41 * row + 17), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        event.setAccepted(true);
        QCOMPARE(delegate->editorEvent(&event, chooser.model(), QStyleOptionViewItem(), index),
                 handled);
        const int after = index.data(Qt::CheckStateRole).toInt();
        if (toggles) {
            QCOMPARE(after, before == Qt::Checked ? int(Qt::Unchecked) : int(Qt::Checked));
            QVERIFY(event.isAccepted()); // the popup stays open
            QCOMPARE(chooser.currentIndex(), currentBefore);
        } else if (handled) {
            QCOMPARE(after, before);
            QVERIFY(!event.isAccepted()); // travels on to the popup, which closes
            QCOMPARE(chooser.currentIndex(), row);
            QCOMPARE(chooser.currentServer().name, chooser.servers().at(row).name);
        } else {
            QCOMPARE(after, before);
            QCOMPARE(chooser.currentIndex(), currentBefore);
        }
    }
    QCOMPARE(stars.count(), toggles ? 2 : 0);
    QCOMPARE(chooser.favoriteServers(),
             toggles ? QStringLiteral("Germany") : QStringLiteral("France"));
}

void tst_ServerComboPainting::clickInOpenPopup()
{
    QVPNServerComboBox chooser(new SilentEcho);
    chooser.resize(297, 62);
    ServerList servers;
    for (const char *name : {"Automatic", "Germany", "France", "Japan"})
        servers << VPNServer{QString::fromLatin1(name), "XX", QString()};
    chooser.setServers(servers);
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    QSignalSpy stars(&chooser, &QVPNServerComboBox::starToggled);

    chooser.showPopup();
    QTRY_VERIFY(chooser.view()->isVisible());
    QWidget *viewport = chooser.view()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(30, 41 + 20));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(32, 3 * 41 + 20));
    QCOMPARE(stars.count(), 2);
    QCOMPARE(chooser.favoriteServers(), QStringLiteral("Germany,Japan"));
    QVERIFY(chooser.view()->isVisible());
    QCOMPARE(chooser.currentIndex(), 0);

    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(150, 2 * 41 + 20));
    QTRY_VERIFY(!chooser.view()->isVisible());
    QCOMPARE(chooser.currentIndex(), 2);
    QCOMPARE(chooser.currentServer().name, QStringLiteral("France"));
    QCOMPARE(stars.count(), 2);
}

TAVRIN_TEST_MAIN(tst_ServerComboPainting)
#include "tst_servercombopainting.moc"
