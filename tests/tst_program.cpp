// Whole-program tests: the real tavrin-client, started from a working folder with its Fonts, on
// its own Xvfb display with a tray host (trayer), where wanted a window manager (openbox), and
// the real tavrin-sim. Input goes through the X server (xdotool). Screenshots are kept in the
// test artifact folder.

#include "programrun.h"

#include <QtGui/qpainter.h>

namespace {

const QString mainWindow = QStringLiteral("^Tavrin Client$");
const QPoint trayIcon(1024 - 12, 12); // trayer sits in the top right corner
const QStringList fastSim{"--connect-delay", "0", "--disconnect-delay", "0"};

// Whether the image shows somewhere in the area of the screenshot, drawn over the background,
// pixel for pixel within rounding (the single-size image enlarged differs by far more).
bool showsImage(const QImage &shot, const QRect &area, const QImage &image)
{
    QImage expected(image.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    QPainter(&expected).drawImage(expected.rect(), image);
    const QImage screen = shot.convertToFormat(QImage::Format_RGB32);
    const auto near = [](QRgb a, QRgb b) {
        return qAbs(qRed(a) - qRed(b)) <= 8 && qAbs(qGreen(a) - qGreen(b)) <= 8
               && qAbs(qBlue(a) - qBlue(b)) <= 8;
    };
    // The pixel of the image the least like the background tells the candidates apart.
    QPoint anchor;
    for (int i = 0, most = -1; i < image.width() * image.height(); ++i) {
        const QPoint at(i % image.width(), i / image.width());
        if (255 - qGray(expected.pixel(at)) > most)
            most = 255 - qGray(expected.pixel(at)), anchor = at;
    }
    const QRect places = area.intersected(screen.rect())
                                 .adjusted(0, 0, 1 - image.width(), 1 - image.height());
    for (int y = places.top(); y <= places.bottom(); ++y) {
        for (int x = places.left(); x <= places.right(); ++x) {
            bool same = near(screen.pixel(x + anchor.x(), y + anchor.y()), expected.pixel(anchor));
            for (int i = 0; same && i < image.width() * image.height(); ++i)
                same = near(screen.pixel(x + i % image.width(), y + i / image.width()),
                            expected.pixel(i % image.width(), i / image.width()));
            if (same)
                return true;
        }
    }
    return false;
}

} // namespace

class tst_Program : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startupEnds_data();
    void startupEnds();
    void instancesMouseAndScaleTwo();
    void keyboardOnly();

private:
    std::unique_ptr<ProgramRun> m_run; // the start-up rows' display
};

void tst_Program::initTestCase()
{
    const QString missing = missingTool(
            {"Xvfb", "trayer", "openbox", "xdotool", "xwininfo", "xprop", "import"});
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    QVERIFY2(!TavrinTestEnvironment::clientProgram().isEmpty(), "tavrin-client is not built");
    QVERIFY2(!TavrinTestEnvironment::simProgram().isEmpty(), "tavrin-sim is not built");
    QVERIFY2(QFile::exists(TavrinTestEnvironment::buildDir() + "/tools/traywait"),
             "tools/traywait is not built");
}

// The start-up's other ends (without a tray: tst_desktop) on one display: a damaged font, no
// service, a service that closes the link.
void tst_Program::startupEnds_data()
{
    QTest::addColumn<QByteArray>("font");          // the one file of the Fonts folder, if any
    QTest::addColumn<QStringList>("simArguments"); // empty: no service listens
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("damaged font")
            << QByteArray(2048, 'Z') << QStringList()
            << QByteArray("Error registering font b\nError while registering fonts.\n") << 2;
    // These two end after the "Connection error" box.
    QTest::newRow("no service") << QByteArray() << QStringList() << QByteArray() << 3;
    QTest::newRow("service closes the link")
            << QByteArray() << QStringList{"--close-after-received", "1"} << QByteArray() << 4;
}

void tst_Program::startupEnds()
{
    QFETCH(QByteArray, font);
    QFETCH(QStringList, simArguments);
    QFETCH(int, exitCode);
    if (!m_run) {
        m_run.reset(new ProgramRun);
        VERIFY_SET_UP(m_run->setUp(true, false));
    }
    ProgramRun &run = *m_run;
    if (!simArguments.isEmpty())
        VERIFY_SET_UP(run.startSim(simArguments));
    QTemporaryDir folder;
    QFile junk(folder.filePath("Fonts/b.ttf"));
    QVERIFY(font.isEmpty()
            || (QDir().mkpath(folder.filePath("Fonts")) && junk.open(QIODevice::WriteOnly)
                && junk.write(font) == font.size()));
    junk.close();
    QProcess *client = run.start(TavrinTestEnvironment::clientProgram(), {},
                                 font.isEmpty() ? TavrinTestEnvironment::buildDir() : folder.path());
    if (exitCode >= 3) {
        const QString box = run.waitForWindow("^Connection error");
        QVERIFY2(!box.isEmpty(), "no \"Connection error\" box");
        // The box holds the program until it is dismissed; without a service the window is
        // never shown, and the box is in the middle of the screen where it would have opened.
        QCOMPARE(client->state(), QProcess::Running);
        if (exitCode == 3) {
            QVERIFY(run.windows(mainWindow).isEmpty());
            const QPoint offset = run.geometry(box).center() - QPoint(512, 384);
            QVERIFY2(offset.manhattanLength() < 100, qPrintable(QString::number(offset.x())));
        }
        // There is no window manager: give the box the focus, then press its button.
        QVERIFY(run.xdotool({"windowfocus", box}) && run.key("Return"));
    }
    QVERIFY2(waitForExit(client), "tavrin-client did not end");
    QCOMPARE(client->exitStatus(), QProcess::NormalExit);
    QCOMPARE(client->exitCode(), exitCode);
    QTEST(client->readAllStandardOutput(), "output");
}

// At twice the scale, with the mouse. The program has one identity, whatever name it is started
// under: a second start ends at once, leaving the first untouched. An instance that dies leaves
// its lock behind; the next one takes it over and runs. Its window is twice as large, cut to its
// rounded shape at that size, and draws its images from their double-size versions, the login
// page's and the list's (an enlarged single one would not match them). The title bar's close
// button hides the window to the tray, a click on the tray icon brings it back; a click on the
// chooser's face connects to the server remembered from the last run. Exit from the tray menu
// (by its mnemonic) takes the tunnel down first and ends the program.
void tst_Program::instancesMouseAndScaleTwo()
{
    ProgramRun run;
    run.setScreenSize("1600x1200");
    VERIFY_SET_UP(run.setUp(true, true, fastSim));
    run.environment().insert("QT_SCALE_FACTOR", "2");
    run.storeLogin(false);
    QProcess *first = run.start();
    QVERIFY2(!run.waitForWindow(mainWindow).isEmpty(), "no main window");
    QTemporaryDir links;
    QVERIFY(QFile::link(TavrinTestEnvironment::clientProgram(), links.filePath("another-name")));
    QProcess *second = run.start(links.filePath("another-name"));
    QVERIFY2(waitForExit(second), "the second instance kept running");
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(second->readAllStandardOutput(), QByteArray());
    QCOMPARE(first->state(), QProcess::Running);
    QCOMPARE(run.windows(mainWindow).size(), 1);
    QVERIFY(!run.simLog().contains("session=2"));
    first->kill();
    QVERIFY(waitForExit(first) && run.waitForSimLog("SVC CLIENT session=1 disconnected"));
    QProcess *client = run.start();
    QVERIFY2(run.waitForSimLog("SVC CLIENT session=2 connected"), qPrintable(run.simLog()));
    const QString window = run.waitForWindow(mainWindow);
    QVERIFY2(!window.isEmpty(), "no main window");
    // Where the window ends up once shown: it is placed after it has been mapped.
    QImage shot;
    const QRect screen(0, 0, 1600, 1200);
    WAIT_FOR(showsImage(shot = run.screenshot("scale-2-login"), screen,
                        QImage(":/imgs/login-user@2x.png")));
    QRect geometry = run.geometry(window);
    QCOMPARE(geometry.size(), QSize(688, 1090));
    const auto at = [&geometry](int x, int y) { return geometry.topLeft() + 2 * QPoint(x, y); };
    for (const QPoint &corner : {geometry.topLeft(), geometry.bottomRight()})
        QCOMPARE(shot.pixel(corner), qRgb(0, 0, 0));
    const QPoint trayIcon(1600 - 12, 12);
    QVERIFY(run.click(at(344 - 15, 14)));
    WAIT_FOR(run.windows(mainWindow).isEmpty());
    QVERIFY(run.click(trayIcon));
    QVERIFY2(!run.waitForWindow(mainWindow).isEmpty(), "the tray icon did not show the window");
    geometry = run.geometry(window); // placed anew
    // Settings shows the connection page, whose chooser's popup button opens the list once it
    // is in. Once the tunnel is up, the state strip turns blue.
    QVERIFY(run.waitForSimLog("HTTP GET /get_list"));
    const QString pid = QString::number(client->processId());
    const int windows = run.windows(QString(), pid).size(); // the window and the tray icon's
    QVERIFY(run.click(at(250, 440)) && run.click(at(300, 102)));
    WAIT_FOR(run.windows(QString(), pid).size() > windows);
    WAIT_FOR(showsImage(run.screenshot("scale-2-list"), screen, QImage(":/imgs/flags/FR@2x.png")));
    QVERIFY(run.key("Escape"));
    WAIT_FOR(run.windows(QString(), pid).size() == windows);
    QVERIFY(run.click(at(100, 102)));
    QVERIFY2(run.waitForSimLog("connect host=127\\.0\\.0\\.12 "), qPrintable(run.simLog()));
    WAIT_FOR(run.pixel(at(10, 330)) == qRgb(66, 176, 227));
    // The menu is one more window of the program; it holds the keyboard while open.
    QVERIFY(run.click(trayIcon, 3));
    WAIT_FOR(run.windows(QString(), pid).size() > windows);
    QVERIFY(run.xdotool({"key", "x"}));
    QVERIFY2(waitForExit(client), "Exit from the tray menu did not end the program");
    QCOMPARE(client->exitCode(), 0);
    QVERIFY(run.waitForSimLog("state=Disconnected"));
}

// With keys alone: the user logs in with Enter, disconnects, opens and closes the list, marks a
// favourite and picks another server in it, connects to it and ends the program without the
// mouse. Meanwhile Escape, the window manager's close (Alt+F4 under openbox) and a minimise send
// the window to the tray with the tunnel up, and a click on the tray icon brings it back.
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
    QVERIFY2(run.waitForSimLog("state=Connected "), qPrintable(run.simLog()));
    QVERIFY(run.key("space")); // the big button has the focus now
    QVERIFY2(run.waitForSimLog("state=Disconnected"), qPrintable(run.simLog()));
    // Now the chooser has the focus: its list opens; Escape closes the list alone.
    const QString pid = QString::number(client->processId());
    const int windows = run.windows(QString(), pid).size();
    QVERIFY(run.key("space"));
    WAIT_FOR(run.windows(QString(), pid).size() > windows);
    QVERIFY(run.key("Escape"));
    WAIT_FOR(run.windows(QString(), pid).size() == windows);
    QCOMPARE(run.windows(mainWindow).size(), 1);
    QVERIFY(run.key("space"));
    WAIT_FOR(run.windows(QString(), pid).size() > windows);
    // The list is in name order: the row after Automatic is Belgium, whose star Space marks.
    QVERIFY(run.key("Down") && run.key("space") && run.key("Return"));
    WAIT_FOR(run.windows(QString(), pid).size() == windows); // the list has closed
    QVERIFY(run.key("Return"));
    QVERIFY2(run.waitForSimLog("connect host=127\\.0\\.0\\.4 "), qPrintable(run.simLog()));
    QVERIFY(run.waitForSimLog("state=Connected ", 2));
    // What the window manager made of the window: the next step waits until it is done.
    const auto wmState = [&] {
        const QByteArray state = run.tool("xprop", {"-id", window, "WM_STATE"});
        return state.contains("Normal") ? "normal" : state.contains("Iconic") ? "iconic" : "gone";
    };
    const QRegularExpression abort("RECV session=1 type=5 ");
    const int aborts = run.simLog().count(abort);
    for (const char *close : {"Escape", "alt+F4", "minimise"}) {
        QVERIFY(close[0] == 'm' ? run.xdotool({"windowminimize", window}) : run.key(close));
        WAIT_FOR(wmState() == QLatin1String(close[0] == 'm' ? "iconic" : "gone"));
        // Right after a key binding openbox may still hold the pointer and swallow a click;
        // a person would click again.
        for (int attempt = 0; attempt < 20 && wmState() != QLatin1String("normal"); ++attempt) {
            QVERIFY(run.click(trayIcon));
            if (QTest::qWaitFor([&] { return wmState() == QLatin1String("normal"); }, 250))
                break;
        }
        QCOMPARE(wmState(), "normal");
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
