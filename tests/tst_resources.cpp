#include "tavrintestenvironment.h"

#include <QtCore/qdir.h>
#include <QtCore/qdiriterator.h>
#include <QtCore/qfileinfo.h>
#include <QtCore/qset.h>
#include <QtGui/qcolor.h>
#include <QtGui/qfontdatabase.h>
#include <QtGui/qicon.h>
#include <QtGui/qimage.h>
#include <QtGui/qimagereader.h>
#include <QtGui/qpainter.h>
#include <QtGui/qrawfont.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qapplication.h>

namespace {

// The flag codes the server chooser knows; the United Kingdom is "UK".
const char *const flagCodes[]
        = {"AD", "AF", "AG", "AI", "AL", "AM", "AO", "AR", "AS", "AT", "AU", "AW", "AZ", "BA", "BB",
           "BD", "BE", "BF", "BG", "BH", "BI", "BJ", "BM", "BN", "BO", "BR", "BS", "BT", "BW", "BY",
           "BZ", "CA", "CD", "CF", "CG", "CH", "CI", "CK", "CL", "CM", "CN", "CO", "CR", "CU", "CV",
           "CX", "CY", "CZ", "DE", "DJ", "DK", "DM", "DO", "DZ", "EC", "EE", "EG", "ER", "ES", "ET",
           "FI", "FJ", "FK", "FM", "FO", "FR", "GA", "GD", "GE", "GH", "GI", "GL", "GM", "GN", "GP",
           "GQ", "GR", "GS", "GU", "GW", "GY", "HK", "HN", "HR", "HT", "HU", "ID", "IE", "IL", "IN",
           "IQ", "IR", "IS", "IT", "JM", "JO", "JP", "KE", "KG", "KH", "KI", "KM", "KN", "KP", "KR",
           "KW", "KY", "KZ", "LA", "LB", "LC", "LI", "LK", "LR", "LS", "LT", "LU", "LV", "LY", "MA",
           "MC", "MD", "MG", "MH", "MK", "ML", "MM", "MN", "MO", "MQ", "MR", "MS", "MT", "MU", "MV",
           "MW", "MX", "MY", "MZ", "NA", "NE", "NF", "NG", "NI", "NL", "NO", "NP", "NR", "NU", "NZ",
           "OM", "PA", "PE", "PF", "PG", "PH", "PK", "PL", "PM", "PN", "PR", "PT", "PW", "PY", "QA",
           "RO", "RS", "RU", "RW", "SA", "SB", "SC", "SD", "SE", "SG", "SI", "SK", "SL", "SM", "SN",
           "SO", "SR", "ST", "SV", "SY", "SZ", "TC", "TD", "TG", "TH", "TJ", "TL", "TM", "TN", "TO",
           "TR", "TT", "TV", "TW", "TZ", "UA", "UG", "UK", "US", "UY", "UZ", "VA", "VC", "VE", "VG",
           "VI", "VN", "VU", "WF", "WS", "YE", "ZA", "ZM", "ZW"};

struct NamedImage
{
    const char *path;
    int width;
    int height;
};

// Every PNG that the program and its form load, with its size.
const NamedImage windowImages[] = {
        {"title-background.png", 344, 48},
        {"title-logo.png", 136, 27},
        {"window-minimize.png", 12, 12},
        {"window-hide.png", 12, 12},
        {"logo-with-text.png", 300, 90},
        {"login-user.png", 24, 24},
        {"login-lock.png", 24, 24},
        {"encryption.png", 24, 24},
        {"encryption-disabled.png", 24, 24},
        {"clock.png", 24, 24},
        {"clock-disabled.png", 24, 24},
        {"key.png", 24, 24},
        {"key-disabled.png", 24, 24},
        {"star.png", 19, 19},
        {"star-lit.png", 19, 19},
        {"choose-server-combo-button.png", 58, 62},
        {"location_pin_fill.png", 320, 512},
        {"flags/auto.png", 32, 33},
};

const char *const trayIcons[] = {"tray/tray_off.ico", "tray/tray_connect.ico", "tray/tray_on.ico"};

QString resourcePath(const char *relative)
{
    return QStringLiteral(":/imgs/") + QLatin1String(relative);
}

int opaquePixelCount(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(line[x]) > 127)
                ++count;
        }
    }
    return count;
}

// The mean colour of the clearly visible pixels of an image.
QColor meanColour(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    qint64 red = 0, green = 0, blue = 0, count = 0;
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(line[x]) <= 127)
                continue;
            red += qRed(line[x]);
            green += qGreen(line[x]);
            blue += qBlue(line[x]);
            ++count;
        }
    }
    if (count == 0)
        return QColor();
    return QColor(int(red / count), int(green / count), int(blue / count));
}

bool columnsAreEqual(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 1; x < image.width(); ++x) {
            if (image.pixel(x, y) != image.pixel(0, y))
                return false;
        }
    }
    return true;
}

} // namespace

class tst_Resources : public QObject
{
    Q_OBJECT

private slots:
    void windowImages_data();
    void windowImages();
    void flags_data();
    void flags();
    void noUnexpectedFiles();
    void titleBackgroundRepeats();
    void loginLogoIsCentred();
    void colourVariants_data();
    void colourVariants();
    void trayIcons_data();
    void trayIcons();
    void trayIconsDifferByState();
    void fontsFolder();
    void contactSheet();
};

void tst_Resources::windowImages_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    for (const NamedImage &image : ::windowImages)
        QTest::newRow(image.path) << resourcePath(image.path) << QSize(image.width, image.height);
}

void tst_Resources::windowImages()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());
    QVERIFY2(opaquePixelCount(image) > 0, "the image is fully transparent");
    // QPixmap goes through the same loader as the form's pixmaps and icons.
    QCOMPARE(QPixmap(path).size(), size);
}

void tst_Resources::flags_data()
{
    QTest::addColumn<QString>("code");
    for (const char *code : flagCodes)
        QTest::newRow(code) << QString::fromLatin1(code);
}

void tst_Resources::flags()
{
    QFETCH(QString, code);
    const QImage image(QStringLiteral(":/imgs/flags/") + code + QStringLiteral(".png"));
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(32, 23));
    // A flag fills its rectangle, only the rounded corners are transparent; Nepal's flag is
    // the one that is not a rectangle.
    const int opaque = opaquePixelCount(image);
    if (code == QLatin1String("NP"))
        QVERIFY2(opaque > 32 * 23 / 3 && opaque < 32 * 23 - 16, qPrintable(QString::number(opaque)));
    else
        QVERIFY2(opaque > 32 * 23 - 16, qPrintable(QString::number(opaque)));
}

void tst_Resources::noUnexpectedFiles()
{
    QSet<QString> expected;
    for (const NamedImage &image : ::windowImages)
        expected.insert(resourcePath(image.path));
    for (const char *code : flagCodes)
        expected.insert(QStringLiteral(":/imgs/flags/") + QLatin1String(code)
                        + QStringLiteral(".png"));
    for (const char *icon : ::trayIcons)
        expected.insert(resourcePath(icon));
    QCOMPARE(expected.size(), 18 + 219 + 3);

    QSet<QString> present;
    QDirIterator it(QStringLiteral(":/imgs"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        present.insert(it.next());

    const QSet<QString> missing = expected - present;
    const QSet<QString> extra = present - expected;
    QVERIFY2(missing.isEmpty(), qPrintable(QStringList(missing.values()).join(QLatin1Char(' '))));
    QVERIFY2(extra.isEmpty(), qPrintable(QStringList(extra.values()).join(QLatin1Char(' '))));
    QVERIFY(!QFile::exists(QStringLiteral(":/imgs/flags/GB.png")));
}

void tst_Resources::titleBackgroundRepeats()
{
    // The title strip repeats the image horizontally: every column must be the same.
    const QImage image(QStringLiteral(":/imgs/title-background.png"));
    QVERIFY(!image.isNull());
    QVERIFY(columnsAreEqual(image));
    QCOMPARE(opaquePixelCount(image), image.width() * image.height());
    // A blue band that white title text reads on.
    const QColor mean = meanColour(image);
    QVERIFY2(mean.blue() > mean.red() + 100, qPrintable(mean.name()));
    QVERIFY(mean.lightness() < 200);
}

void tst_Resources::loginLogoIsCentred()
{
    // The login page centres the label's pixmap; the logo is centred inside the image too.
    const QImage image = QImage(QStringLiteral(":/imgs/logo-with-text.png"))
                                 .convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!image.isNull());
    int left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0) {
                left = qMin(left, x);
                right = qMax(right, x);
            }
        }
    }
    QVERIFY(right > left);
    const int rightMargin = image.width() - 1 - right;
    QVERIFY2(qAbs(left - rightMargin) <= 2,
             qPrintable(QStringLiteral("%1 %2").arg(left).arg(rightMargin)));
    // The brand blue.
    const QColor mean = meanColour(image);
    QVERIFY2(mean.hsvHue() >= 190 && mean.hsvHue() <= 210, qPrintable(mean.name()));
}

void tst_Resources::colourVariants_data()
{
    QTest::addColumn<QString>("lit");
    QTest::addColumn<QString>("dim");
    QTest::newRow("encryption") << QStringLiteral(":/imgs/encryption.png")
                                << QStringLiteral(":/imgs/encryption-disabled.png");
    QTest::newRow("clock") << QStringLiteral(":/imgs/clock.png")
                           << QStringLiteral(":/imgs/clock-disabled.png");
    QTest::newRow("key") << QStringLiteral(":/imgs/key.png")
                         << QStringLiteral(":/imgs/key-disabled.png");
    QTest::newRow("star") << QStringLiteral(":/imgs/star-lit.png")
                          << QStringLiteral(":/imgs/star.png");
}

void tst_Resources::colourVariants()
{
    QFETCH(QString, lit);
    QFETCH(QString, dim);
    const QImage litImage(lit);
    const QImage dimImage(dim);
    // The same glyph in a colour and in grey.
    const QColor litColour = meanColour(litImage);
    const QColor dimColour = meanColour(dimImage);
    QVERIFY(litColour.isValid() && dimColour.isValid());
    QVERIFY2(litColour.hsvSaturation() > 120, qPrintable(litColour.name()));
    QVERIFY2(dimColour.hsvSaturation() < 40, qPrintable(dimColour.name()));
}

void tst_Resources::trayIcons_data()
{
    QTest::addColumn<QString>("path");
    for (const char *icon : ::trayIcons)
        QTest::newRow(icon) << resourcePath(icon);
}

void tst_Resources::trayIcons()
{
    QFETCH(QString, path);
    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("ico"));
    QVERIFY2(reader.imageCount() >= 5, qPrintable(QString::number(reader.imageCount())));

    const QIcon icon(path);
    QVERIFY(!icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    for (int side : {16, 20, 24, 32, 48}) {
        QVERIFY2(sizes.contains(QSize(side, side)), qPrintable(QString::number(side)));
        const QImage image = icon.pixmap(side, side).toImage();
        QCOMPARE(image.size(), QSize(side, side));
        // The glyph fills a good part of even the smallest image, so that it reads in a tray.
        QVERIFY2(opaquePixelCount(image) > side * side / 3, qPrintable(QString::number(side)));
    }
}

void tst_Resources::trayIconsDifferByState()
{
    const QColor off = meanColour(QIcon(resourcePath(::trayIcons[0])).pixmap(32).toImage());
    const QColor connecting = meanColour(QIcon(resourcePath(::trayIcons[1])).pixmap(32).toImage());
    const QColor on = meanColour(QIcon(resourcePath(::trayIcons[2])).pixmap(32).toImage());
    // Off is grey, connecting amber, on blue.
    QVERIFY2(off.hsvSaturation() < 40, qPrintable(off.name()));
    QVERIFY2(connecting.hsvSaturation() > 120, qPrintable(connecting.name()));
    QVERIFY2(connecting.hsvHue() >= 30 && connecting.hsvHue() <= 60, qPrintable(connecting.name()));
    QVERIFY2(on.hsvSaturation() > 120, qPrintable(on.name()));
    QVERIFY2(on.hsvHue() >= 180 && on.hsvHue() <= 220, qPrintable(on.name()));
}

void tst_Resources::fontsFolder()
{
    const QDir fonts(TavrinTestEnvironment::buildDir() + QStringLiteral("/Fonts"));
    QVERIFY2(fonts.exists(), qPrintable(fonts.path()));
    const QFileInfoList files = fonts.entryInfoList({QStringLiteral("*.ttf")}, QDir::Files,
                                                    QDir::Name);
    QVERIFY(!files.isEmpty());

    QMap<QString, QSet<QString>> stylesByFamily;
    QList<int> ids;
    for (const QFileInfo &file : files) {
        const int id = QFontDatabase::addApplicationFont(file.absoluteFilePath());
        QVERIFY2(id != -1, qPrintable(file.fileName()));
        ids.append(id);
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        QVERIFY2(families.contains(QStringLiteral("Roboto"))
                         || families.contains(QStringLiteral("Roboto Condensed")),
                 qPrintable(file.fileName() + QLatin1Char(' ') + families.join(QLatin1Char(','))));

        const QRawFont raw(file.absoluteFilePath(), 12);
        QVERIFY(raw.isValid());
        QCOMPARE(raw.style(), QFont::StyleNormal);
        stylesByFamily[raw.familyName()].insert(raw.styleName());
    }

    // The weights the program asks for: light to black for Roboto, regular and bold condensed.
    const QSet<QString> roboto = stylesByFamily.value(QStringLiteral("Roboto"));
    for (const char *style : {"Light", "Regular", "Medium", "Bold", "Black"})
        QVERIFY2(roboto.contains(QLatin1String(style)), style);
    const QSet<QString> condensed = stylesByFamily.value(QStringLiteral("Roboto Condensed"));
    for (const char *style : {"Regular", "Bold"})
        QVERIFY2(condensed.contains(QLatin1String(style)), style);
    QCOMPARE(stylesByFamily.size(), 2);

    for (int id : qAsConst(ids))
        QVERIFY(QFontDatabase::removeApplicationFont(id));
}

void tst_Resources::contactSheet()
{
    // All images on one sheet for a person to look at: window images on the light window
    // colour, the tray icons at every size, then the flags.
    QImage sheet(700, 900, QImage::Format_ARGB32);
    sheet.fill(QColor(247, 247, 247));
    QPainter painter(&sheet);
    int x = 10, y = 10, rowHeight = 0;
    const auto place = [&](const QPixmap &pixmap, const QColor &background) {
        if (x + pixmap.width() > sheet.width() - 10) {
            x = 10;
            y += rowHeight + 10;
            rowHeight = 0;
        }
        if (background.isValid())
            painter.fillRect(QRect(QPoint(x, y), pixmap.size()), background);
        painter.drawPixmap(x, y, pixmap);
        x += pixmap.width() + 10;
        rowHeight = qMax(rowHeight, pixmap.height());
    };
    const QColor face(84, 183, 229);
    for (const NamedImage &image : ::windowImages) {
        const QString name = QLatin1String(image.path);
        const bool onBlue = name.startsWith(QLatin1String("window-"))
                            || name.startsWith(QLatin1String("title-logo"))
                            || name.startsWith(QLatin1String("choose-server"));
        QPixmap pixmap(resourcePath(image.path));
        if (name.startsWith(QLatin1String("location_pin")))
            pixmap = pixmap.scaledToHeight(128, Qt::SmoothTransformation);
        place(pixmap, onBlue ? face : QColor());
    }
    for (const char *tray : ::trayIcons) {
        const QIcon icon(resourcePath(tray));
        for (int side : {16, 20, 24, 32, 48})
            place(icon.pixmap(side), QColor());
    }
    x = 10;
    y += rowHeight + 16;
    rowHeight = 0;
    for (const char *code : flagCodes)
        place(QPixmap(QStringLiteral(":/imgs/flags/") + QLatin1String(code)
                      + QStringLiteral(".png")),
              QColor(Qt::white));
    painter.end();

    const QString file = TavrinTestEnvironment::artifactDir() + QStringLiteral("/resources.png");
    QVERIFY(sheet.save(file));
    QVERIFY(y < sheet.height() - 23);
}

TAVRIN_TEST_MAIN(tst_Resources)
#include "tst_resources.moc"
