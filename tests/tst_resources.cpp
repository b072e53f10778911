#include "tavrintestenvironment.h"

#include <QtCore/qdir.h>
#include <QtCore/qdiriterator.h>
#include <QtGui/qicon.h>
#include <QtGui/qimagereader.h>
#include <QtGui/qpainter.h>
#include <QtGui/qrawfont.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qapplication.h>

// The flag codes the server chooser knows; the United Kingdom is "UK".
// clang-format off
static const char flagList[] =
        "AD AF AG AI AL AM AO AR AS AT AU AW AZ BA BB BD BE BF BG BH BI BJ BM BN BO BR BS BT BW BY "
        "BZ CA CD CF CG CH CI CK CL CM CN CO CR CU CV CX CY CZ DE DJ DK DM DO DZ EC EE EG ER ES ET "
        "FI FJ FK FM FO FR GA GD GE GH GI GL GM GN GP GQ GR GS GU GW GY HK HN HR HT HU ID IE IL IN "
        "IQ IR IS IT JM JO JP KE KG KH KI KM KN KP KR KW KY KZ LA LB LC LI LK LR LS LT LU LV LY MA "
        "MC MD MG MH MK ML MM MN MO MQ MR MS MT MU MV MW MX MY MZ NA NE NF NG NI NL NO NP NR NU NZ "
        "OM PA PE PF PG PH PK PL PM PN PR PT PW PY QA RO RS RU RW SA SB SC SD SE SG SI SK SL SM SN "
        "SO SR ST SV SY SZ TC TD TG TH TJ TL TM TN TO TR TT TV TW TZ UA UG UK US UY UZ VA VC VE VG "
        "VI VN VU WF WS YE ZA ZM ZW";
// clang-format on
static const QStringList flagCodes = QString::fromLatin1(flagList).split(QLatin1Char(' '));

// Every PNG that the program and its form load besides the flags, with its size; the icons
// come in colour and in grey for their disabled look.
enum Tone { AnyTone, Grey, Colour };
static const struct
{
    QString name;
    QSize size;
    Tone tone;
} windowImages[] = {
        {"title-background.png", {344, 48}},
        {"title-logo.png", {136, 27}},
        {"window-minimize.png", {12, 12}},
        {"window-hide.png", {12, 12}},
        {"logo-with-text.png", {300, 90}},
        {"login-user.png", {24, 24}},
        {"login-lock.png", {24, 24}},
        {"encryption.png", {24, 24}, Colour},
        {"encryption-disabled.png", {24, 24}, Grey},
        {"clock.png", {24, 24}, Colour},
        {"clock-disabled.png", {24, 24}, Grey},
        {"key.png", {24, 24}, Colour},
        {"key-disabled.png", {24, 24}, Grey},
        {"star.png", {19, 19}, Grey},
        {"star-lit.png", {19, 19}, Colour},
        {"choose-server-combo-button.png", {58, 62}},
        {"location_pin_fill.png", {320, 512}},
        {"flags/auto.png", {32, 33}},
};

// The tray icons: off in grey (no hue), connecting in amber, on in blue.
static const struct
{
    QString name;
    int hueFrom, hueTo;
} trayIconFiles[] = {{"tray/tray_off.ico", -1, -1},
                     {"tray/tray_connect.ico", 30, 60},
                     {"tray/tray_on.ico", 180, 220}};

static QString flagPath(const QString &code)
{
    return QStringLiteral(":/imgs/flags/") + code + QStringLiteral(".png");
}

// The number and the mean colour of the clearly visible pixels of an image.
static QPair<int, QColor> opaquePixels(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    qint64 red = 0, green = 0, blue = 0;
    int count = 0;
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb pixel = argb.pixel(x, y);
            if (qAlpha(pixel) <= 127)
                continue;
            red += qRed(pixel);
            green += qGreen(pixel);
            blue += qBlue(pixel);
            ++count;
        }
    }
    if (count == 0)
        return qMakePair(0, QColor());
    return qMakePair(count, QColor(int(red / count), int(green / count), int(blue / count)));
}

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
    void trayIcons();
    void fontsFolder();
    void contactSheet();
};

void tst_Resources::windowImages_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("tone");
    for (const auto &image : ::windowImages)
        QTest::newRow(qPrintable(image.name))
                << ":/imgs/" + image.name << image.size << int(image.tone);
}

void tst_Resources::windowImages()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QFETCH(int, tone);
    const QImage image(path);
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());
    // QPixmap goes through the same loader as the form's pixmaps and icons.
    QCOMPARE(QPixmap(path).size(), size);
    const QPair<int, QColor> opaque = opaquePixels(image);
    QVERIFY2(opaque.first > 0, "the image is fully transparent");
    if (tone != AnyTone)
        QVERIFY2(tone == Grey ? opaque.second.hsvSaturation() < 40
                              : opaque.second.hsvSaturation() > 120,
                 qPrintable(opaque.second.name()));
}

void tst_Resources::flags_data()
{
    QTest::addColumn<QString>("code");
    QCOMPARE(flagCodes.size(), 219);
    for (const QString &code : flagCodes)
        QTest::newRow(qPrintable(code)) << code;
}

void tst_Resources::flags()
{
    QFETCH(QString, code);
    const QImage image(flagPath(code));
    QCOMPARE(image.size(), QSize(32, 23));
    // A flag fills its rectangle but for the rounded corners; Nepal's is not a rectangle.
    const int opaque = opaquePixels(image).first;
    if (code == QLatin1String("NP"))
        QVERIFY2(opaque > 32 * 23 / 3 && opaque < 32 * 23 - 16, qPrintable(QString::number(opaque)));
    else
        QVERIFY2(opaque > 32 * 23 - 16, qPrintable(QString::number(opaque)));
}

void tst_Resources::noUnexpectedFiles()
{
    QSet<QString> expected;
    for (const auto &image : ::windowImages)
        expected.insert(":/imgs/" + image.name);
    for (const QString &code : flagCodes)
        expected.insert(flagPath(code));
    for (const auto &tray : trayIconFiles)
        expected.insert(":/imgs/" + tray.name);
    QCOMPARE(expected.size(), 18 + 219 + 3);

    QSet<QString> present;
    QDirIterator it(QStringLiteral(":/imgs"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        present.insert(it.next());
    QCOMPARE(QStringList((expected - present).values()), QStringList()); // missing
    QCOMPARE(QStringList((present - expected).values()), QStringList()); // extra, GB among them
}

void tst_Resources::titleBackgroundRepeats()
{
    // The title strip repeats the image horizontally: every column must be the same, opaque,
    // and a blue that white title text reads on.
    const QImage image(QStringLiteral(":/imgs/title-background.png"));
    QVERIFY(!image.isNull());
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 1; x < image.width(); ++x)
            QCOMPARE(image.pixel(x, y), image.pixel(0, y));
    }
    const QPair<int, QColor> opaque = opaquePixels(image);
    QCOMPARE(opaque.first, image.width() * image.height());
    QVERIFY2(opaque.second.blue() > opaque.second.red() + 100, qPrintable(opaque.second.name()));
    QVERIFY(opaque.second.lightness() < 200);
}

void tst_Resources::trayIcons()
{
    // Real .ico files whose glyph fills a good part of even the smallest image, and whose
    // colour tells the state.
    for (const auto &tray : trayIconFiles) {
        QImageReader reader(":/imgs/" + tray.name);
        QCOMPARE(reader.format(), QByteArray("ico"));
        QVERIFY2(reader.imageCount() >= 5, qPrintable(tray.name));
        const QIcon icon(":/imgs/" + tray.name);
        for (int side : {16, 20, 24, 32, 48}) {
            QVERIFY2(icon.availableSizes().contains(QSize(side, side)), qPrintable(tray.name));
            const QImage image = icon.pixmap(side, side).toImage();
            QCOMPARE(image.size(), QSize(side, side));
            QVERIFY2(opaquePixels(image).first > side * side / 3, qPrintable(tray.name));
        }
        const QColor mean = opaquePixels(icon.pixmap(32).toImage()).second;
        if (tray.hueFrom < 0) {
            QVERIFY2(mean.hsvSaturation() < 40, qPrintable(mean.name()));
            continue;
        }
        QVERIFY2(mean.hsvSaturation() > 120, qPrintable(mean.name()));
        QVERIFY2(mean.hsvHue() >= tray.hueFrom && mean.hsvHue() <= tray.hueTo,
                 qPrintable(mean.name()));
    }
}

void tst_Resources::fontsFolder()
{
    // The build copies the weights the program asks for: light to black for Roboto, regular
    // and bold condensed.
    const QDir fonts(TavrinTestEnvironment::buildDir() + QStringLiteral("/Fonts"));
    QMap<QString, QSet<QString>> stylesByFamily;
    for (const QFileInfo &file : fonts.entryInfoList({QStringLiteral("*.ttf")}, QDir::Files)) {
        const QRawFont raw(file.absoluteFilePath(), 12);
        QVERIFY2(raw.isValid(), qPrintable(file.fileName()));
        QCOMPARE(raw.style(), QFont::StyleNormal);
        stylesByFamily[raw.familyName()].insert(raw.styleName());
    }
    QCOMPARE(stylesByFamily.keys(), QStringList({"Roboto", "Roboto Condensed"}));
    for (const char *style : {"Light", "Regular", "Medium", "Bold", "Black"})
        QVERIFY2(stylesByFamily["Roboto"].contains(QLatin1String(style)), style);
    for (const char *style : {"Regular", "Bold"})
        QVERIFY2(stylesByFamily["Roboto Condensed"].contains(QLatin1String(style)), style);
}

void tst_Resources::contactSheet()
{
    // Every image on one sheet for a person to look at, on the title blue so that the white
    // ones show: window images (large ones scaled down), tray icons at every size, flags.
    QList<QPixmap> pixmaps;
    for (const auto &image : ::windowImages) {
        const QPixmap pixmap(":/imgs/" + image.name);
        pixmaps << (pixmap.width() > 64 || pixmap.height() > 64
                            ? pixmap.scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                            : pixmap);
    }
    for (const auto &tray : trayIconFiles) {
        for (int side : {16, 20, 24, 32, 48})
            pixmaps << QIcon(":/imgs/" + tray.name).pixmap(side);
    }
    for (const QString &code : flagCodes)
        pixmaps << QPixmap(flagPath(code));
    QImage sheet(16 * 72, (pixmaps.size() + 15) / 16 * 72, QImage::Format_ARGB32);
    sheet.fill(QColor(84, 183, 229));
    QPainter painter(&sheet);
    for (int i = 0; i < pixmaps.size(); ++i) {
        const QPoint centre(i % 16 * 72 + 36, i / 16 * 72 + 36);
        QVERIFY(!pixmaps.at(i).isNull());
        painter.drawPixmap(centre - pixmaps.at(i).rect().center(), pixmaps.at(i));
    }
    painter.end();
    QVERIFY(sheet.save(TavrinTestEnvironment::artifactDir() + QStringLiteral("/resources.png")));
}

TAVRIN_TEST_MAIN(tst_Resources)
#include "tst_resources.moc"
