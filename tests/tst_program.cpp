// The real tavrin-client and tavrin-sim on an Xvfb display with a tray host (trayer), where
// wanted a window manager (openbox); input through the X server (xdotool).

#include "programrun.h"

#include <QtGui/qpainter.h>

namespace {

const QString mainWindow = QStringLiteral("^Tavrin Client$");
const QStringList fastSim{"--connect-delay", "0", "--disconnect-delay", "0"};

// Whether the image shows somewhere in the area, drawn over white, pixel for pixel within
// rounding (the single-size image enlarged differs by far more).
bool showsImage(const QImage &shot, const QRect &area, const QImage &image)
{
    QImage expected(image.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    QPainter(&expected).drawImage(expected.rect(), image); // at its pixel size, whatever its ratio
    const QImage screen = shot.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), count = w * image.height();
    const auto same = [&](int x, int y, int i) {
        i = (i + count / 2 + w / 2) % count; // from the middle, where an icon is not background
        const QRgb a = screen.pixel(x + i % w, y + i / w), b = expected.pixel(i % w, i / w);
        return qAbs(qRed(a) - qRed(b)) <= 8 && qAbs(qGreen(a) - qGreen(b)) <= 8
               && qAbs(qBlue(a) - qBlue(b)) <= 8;
    };
    const QRect places = area.intersected(screen.rect()).adjusted(0, 0, 1 - w, 1 - image.height());
    for (int y = places.top(); y <= places.bottom(); ++y) {
        for (int x = places.left(); x <= places.right(); ++x) {
            int i = 0;
            while (i < count && same(x, y, i))
                ++i;
            if (i == count)
                return true;
        }
    }
    return false;
}

QImage atScale(const QImage &doubled, qreal scale) // made smaller as the program makes it
{
    return doubled.scaled(doubled.size() * scale / 2, Qt::IgnoreAspectRatio,
                          Qt::SmoothTransformation);
}

// Whether the program's windows beyond its first ones (a popup, the tray menu) open or close.
bool popup(ProgramRun &run, QProcess *client, int windows, bool open)
{
    const QString pid = QString::number(client->processId());
    return QTest::qWaitFor([&] { return (run.windows(QString(), pid).size() > windows) == open; },
                           LongPatience);
}

} // namespace

class tst_Program : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startEnds_data();
    void startEnds();
    void instancesMouseAndScales_data();
    void instancesMouseAndScales();
    void keyboardOnly();
};

void tst_Program::initTestCase()
{
    const QString missing = missingTool(
            {"Xvfb", "trayer", "openbox", "xdotool", "xwininfo", "xprop", "import"});
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    QVERIFY(!TavrinTestEnvironment::clientProgram().isEmpty()
            && !TavrinTestEnvironment::simProgram().isEmpty()
            && QFile::exists(TavrinTestEnvironment::buildDir() + "/tools/traywait"));
}

// A start that ends early: fonts that do not load (the first by name named, then 2), no service
// (its box, then 3). Without a tray, late at log-on: tst_desktop; a lost one: tst_maindialog.
void tst_Program::startEnds_data()
{
    QTest::addColumn<int>("code");
    QTest::newRow("font") << 2;
    QTest::newRow("no service") << 3;
}

void tst_Program::startEnds()
{
    QFETCH(int, code);
    ProgramRun run;
    VERIFY_SET_UP(run.setUp(true, false));
    QTemporaryDir folder;
    QVERIFY(QDir().mkpath(folder.filePath("Fonts")));
    for (const char *name : {"Fonts/B.ttf", "Fonts/a.TTF"}) { // in name order, case ignored
        QFile junk(folder.filePath(name));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write(QByteArray(2048, 'Z')) == 2048);
    }
    QProcess *client = run.start(TavrinTestEnvironment::clientProgram(), {},
                                 code == 2 ? folder.path() : TavrinTestEnvironment::buildDir());
    if (code == 3) {
        const QString box = run.waitForWindow("^Connection error");
        QVERIFY(!box.isEmpty() && run.xdotool({"windowfocus", "--sync", box}));
        WAIT_FOR(run.tool("xdotool", {"getwindowfocus"}).trimmed() == box);
        QVERIFY(run.key("Return"));
    }
    QVERIFY2(waitForExit(client), "tavrin-client did not end");
    QCOMPARE(client->exitStatus(), QProcess::NormalExit);
    QCOMPARE(client->exitCode(), code);
    const QByteArray said = "Error registering font a\nError while registering fonts.\n";
    QCOMPARE(client->readAllStandardOutput(), code == 2 ? said : QByteArray());
}

// At laptops' scales and at twice the scale (Xft.dpi / 96), with the mouse. A second start,
// under another name, ends at once and leaves the first untouched; the lock of one that died is
// taken over. The window is larger by the scale with its outline on its very edges, and draws the
// double-size images (made smaller below 200 %) and a line between each two of the chooser's
// rows; the chooser's face connects to the server remembered from the last run. Exit from the
// tray menu (by its mnemonic) takes the tunnel down and ends it.
void tst_Program::instancesMouseAndScales_data()
{
    QTest::addColumn<int>("dpi");
    QTest::newRow("200 %") << 192;
    QTest::newRow("125 %") << 120;
    QTest::newRow("150 %") << 144;
}

void tst_Program::instancesMouseAndScales()
{
    QFETCH(int, dpi);
    ProgramRun run;
    run.setScreenSize("1600x1200");
    VERIFY_SET_UP(run.setUp(true, true, fastSim));
    run.tool("xprop", {"-root", "-f", "RESOURCE_MANAGER", "8s", "-set", "RESOURCE_MANAGER",
                       QStringLiteral("Xft.dpi:\t%1\n").arg(dpi)});
    run.storeLogin();
    QProcess *first = run.start();
    QVERIFY2(!run.waitForWindow(mainWindow).isEmpty(), "no main window");
    QTemporaryDir links;
    QVERIFY(QFile::link(TavrinTestEnvironment::clientProgram(), links.filePath("another-name")));
    QProcess *second = run.start(links.filePath("another-name"));
    QVERIFY2(waitForExit(second), "the second instance kept running");
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(second->readAllStandardOutput(), QByteArray());
    QVERIFY(first->state() == QProcess::Running && run.windows(mainWindow).size() == 1
            && !run.simLog().contains("session=2"));
    first->kill();
    QVERIFY(waitForExit(first) && run.waitForSimLog("SVC CLIENT session=1 disconnected"));
    QProcess *client = run.start();
    QVERIFY2(run.waitForSimLog("SVC CLIENT session=2 connected"), qPrintable(run.simLog()));
    const QString window = run.waitForWindow(mainWindow);
    QVERIFY2(!window.isEmpty(), "no main window");
    const qreal scale = dpi / 96.0;
    QImage shot; // where the window ends up: it is placed after it has been mapped
    const QRect screen(0, 0, 1600, 1200);
    WAIT_FOR(showsImage(shot = run.screenshot(QString("scale-%1-login").arg(dpi)), screen,
                        atScale(QImage(":/imgs/login-user@2x.png"), scale)));
    const QRect geometry = run.geometry(window);
    QCOMPARE(geometry.size(), QSize(344, 545) * scale); // rounded as the screen rounds it
    const auto at = [&](int x, int y) { return geometry.topLeft() + QPoint(x, y) * scale; };
    const QString faults = outlineFaults(shot, geometry);
    QVERIFY2(faults.isEmpty(), qPrintable(faults));
    // Settings, then the chooser's popup button once the list is in; once up, the strip is blue.
    QVERIFY(run.waitForSimLog("HTTP GET /get_list"));
    const int windows = run.windows(QString(), QString::number(client->processId())).size();
    QVERIFY(run.click(at(250, 440)) && run.click(at(300, 102)) && popup(run, client, windows, true));
    WAIT_FOR(showsImage(shot = run.screenshot(QString("scale-%1-list").arg(dpi)), screen,
                        atScale(QImage(":/imgs/flags/FR@2x.png"), scale)));
    int lines = 0; // between the six rows shown, through the gap between stars and flags
    for (int y = geometry.top(), x = at(70, 0).x(); y < geometry.bottom(); ++y)
        lines += shot.pixel(x, y) != qRgb(202, 202, 202)
                 && shot.pixel(x, y + 1) == qRgb(202, 202, 202);
    QCOMPARE(lines, 5);
    QVERIFY(run.key("Escape") && popup(run, client, windows, false) && run.click(at(100, 102)));
    QVERIFY2(run.waitForSimLog("connect host=127\\.0\\.0\\.12 "), qPrintable(run.simLog()));
    WAIT_FOR(run.pixel(at(10, 330)) == qRgb(66, 176, 227));
    // The tray menu holds the keyboard while open.
    QVERIFY(run.click(QPoint(1600 - 12, 12), 3) && popup(run, client, windows, true)
            && run.xdotool({"key", "x"}));
    QVERIFY2(waitForExit(client), "Exit from the tray menu did not end the program");
    QCOMPARE(client->exitCode(), 0);
    QVERIFY(run.waitForSimLog("state=Disconnected"));
}

// With keys alone: log in with Enter, disconnect, open and close the list, mark a favourite and
// pick another server in it, connect and end the program. Meanwhile Escape, the window manager's
// close (Alt+F4) and a minimise send the window to the tray with the tunnel up, and a click on
// the tray icon brings it back.
void tst_Program::keyboardOnly()
{
    ProgramRun run;
    VERIFY_SET_UP(run.setUp(true, true, fastSim, true));
    QProcess *client = run.start();
    const QString window = run.waitForWindow(mainWindow);
    QVERIFY2(!window.isEmpty(), "no main window");
    WAIT_FOR(run.tool("xdotool", {"getactivewindow"}).trimmed() == window);
    QVERIFY(run.xdotool({"type", "demo"}) && run.key("Tab") && run.xdotool({"type", "demo"})
            && run.key("Return"));
    // Keys go in once the window shows their page: the big button (red) or the chooser (blue).
    const auto face = [&] { return run.pixel(run.geometry(window).topLeft() + QPoint(30, 75)); };
    QVERIFY2(run.waitForSimLog("state=Connected "), qPrintable(run.simLog()));
    WAIT_FOR(face() == qRgb(242, 113, 104));
    QVERIFY(run.key("space"));
    QVERIFY2(run.waitForSimLog("state=Disconnected"), qPrintable(run.simLog()));
    WAIT_FOR(face() == qRgb(66, 176, 227));
    // Now the chooser has it: Space opens its list, Escape closes the list alone.
    const int windows = run.windows(QString(), QString::number(client->processId())).size();
    QVERIFY(run.key("space") && popup(run, client, windows, true) && run.key("Escape")
            && popup(run, client, windows, false));
    QCOMPARE(run.windows(mainWindow).size(), 1);
    // The list is in name order: the row after Automatic is Belgium, whose star Space marks.
    QVERIFY(run.key("space") && popup(run, client, windows, true) && run.key("Down")
            && run.key("space") && run.key("Return") && popup(run, client, windows, false));
    QVERIFY(run.key("Return"));
    QVERIFY2(run.waitForSimLog("connect host=127\\.0\\.0\\.4 "), qPrintable(run.simLog()));
    QVERIFY(run.waitForSimLog("state=Connected ", 2));
    const auto wmState = [&] { // what the window manager made of the window
        const QByteArray state = run.tool("xprop", {"-id", window, "WM_STATE"});
        return state.contains("Normal") ? "normal" : state.contains("Iconic") ? "iconic" : "gone";
    };
    const QRegularExpression abort("RECV session=1 type=5 ");
    const int aborts = run.simLog().count(abort);
    for (const char *close : {"Escape", "alt+F4", "minimise"}) {
        WAIT_FOR(run.tool("xdotool", {"getactivewindow"}).trimmed() == window); // keys go there
        QVERIFY(close[0] == 'm' ? run.xdotool({"windowminimize", window}) : run.key(close));
        WAIT_FOR(wmState() == QLatin1String(close[0] == 'm' ? "iconic" : "gone"));
        // Right after a key binding openbox may still hold the pointer and swallow a click;
        // a person would click again.
        const auto normal = [&] { return wmState() == QLatin1String("normal"); };
        WAIT_FOR(normal() || (run.click(QPoint(1024 - 12, 12)) && QTest::qWaitFor(normal, 250)));
    }
    QCOMPARE(run.simLog().count(abort), aborts); // the tunnel stayed up
    // Exit takes the tunnel down first once it is up (while connecting it waits): pressed until
    // the program ends.
    QVERIFY2(QTest::qWaitFor([&] { return run.key("ctrl+q") && client->waitForFinished(100); },
                             LongPatience),
             "Ctrl+Q did not end the program");
    QCOMPARE(client->exitCode(), 0);
    QCOMPARE(run.settings()->value("FavoriteServers").toString(), QStringLiteral("Belgium"));
    QCOMPARE(run.settings()->value("Connection Name").toString(), QStringLiteral("Belgium"));
}

TAVRIN_TEST_MAIN(tst_Program)
#include "tst_program.moc"
