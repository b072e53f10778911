// Whole-program tests: the real tavrin-client, started from a working folder with its Fonts, on
// its own Xvfb display with a tray host (trayer), where wanted a window manager (openbox), and
// the real tavrin-sim on the run's own TMPDIR and a loopback port. Input goes through the X
// server (xdotool). Every run has its own home, config, runtime and temp folders; every process
// started is ended with the run. Screenshots are kept in the test artifact folder.

#include "base/tavrindeployment.h"
#include "programrun.h"
#include "service/tavrincredentials.h"

#include <QtCore/qdir.h>
#include <QtGui/qpainter.h>

namespace {

const QString mainWindow = QStringLiteral("^Tavrin Client$");
const QPoint trayIcon(1024 - 12, 12); // trayer sits in the top right corner

// Where the image shows in the screenshot, drawn over a background of one colour, pixel for pixel
// (within rounding: the single-size image enlarged differs by far more); (-1, -1) when nowhere.
QPoint findImage(const QImage &shot, const QImage &image, QColor background)
{
    QImage expected(image.size(), QImage::Format_RGB32);
    expected.fill(background);
    QPainter painter(&expected);
    painter.drawImage(expected.rect(), image);
    painter.end();
    const QImage screen = shot.convertToFormat(QImage::Format_RGB32);
    const auto near = [](QRgb a, QRgb b) {
        return qAbs(qRed(a) - qRed(b)) <= 8 && qAbs(qGreen(a) - qGreen(b)) <= 8
               && qAbs(qBlue(a) - qBlue(b)) <= 8;
    };
    const auto matches = [&](int x, int y, int u, int v) {
        return near(reinterpret_cast<const QRgb *>(screen.constScanLine(y + v))[x + u],
                    reinterpret_cast<const QRgb *>(expected.constScanLine(v))[u]);
    };
    // The pixel of the image the least like the background tells the candidates apart.
    QPoint anchor;
    for (int i = 0, most = -1; i < image.width() * image.height(); ++i) {
        const QPoint at(i % image.width(), i / image.width());
        const int distance = qAbs(qGray(expected.pixel(at)) - qGray(background.rgb()));
        if (distance > most)
            most = distance, anchor = at;
    }
    for (int y = 0; y + image.height() <= screen.height(); ++y) {
        for (int x = 0; x + image.width() <= screen.width(); ++x) {
            bool same = matches(x, y, anchor.x(), anchor.y());
            for (int v = 0; same && v < image.height(); ++v) {
                for (int u = 0; same && u < image.width(); ++u)
                    same = matches(x, y, u, v);
            }
            if (same)
                return QPoint(x, y);
        }
    }
    return QPoint(-1, -1);
}

} // namespace

class tst_Program : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startupEnds_data();
    void startupEnds();
    void instancesMouseAndTray();
    void keyboardAtScaleTwo();

private:
    // The start-up rows' one display, which gets its tray host and stand-in as the rows need them.
    std::unique_ptr<ProgramRun> m_run;
    bool m_trayHost = false;
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

void tst_Program::startupEnds_data()
{
    QTest::addColumn<bool>("trayHost");
    QTest::addColumn<bool>("damagedFonts");
    QTest::addColumn<QStringList>("simArguments"); // empty: no service listens
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("no tray host") << false << false << QStringList()
                                  << QByteArray(
                                             "Systray is not supported by this operating system.\n")
                                  << 1;
    QTest::newRow("damaged font")
            << true << true << QStringList()
            << QByteArray("Error registering font b\nError while registering fonts.\n") << 2;
    // These two end after the "Connection error" box.
    QTest::newRow("no service") << true << false << QStringList() << QByteArray() << 3;
    QTest::newRow("service closes the link")
            << true << false << QStringList{"--close-after-received", "1"} << QByteArray() << 4;
}

void tst_Program::startupEnds()
{
    QFETCH(bool, trayHost);
    QFETCH(bool, damagedFonts);
    QFETCH(QStringList, simArguments);
    QFETCH(int, exitCode);
    if (!m_run) {
        m_run.reset(new ProgramRun);
        VERIFY_SET_UP(m_run->startX(false));
    }
    ProgramRun &run = *m_run;
    if (trayHost && !std::exchange(m_trayHost, true))
        VERIFY_SET_UP(run.startTrayHost());
    if (!simArguments.isEmpty())
        VERIFY_SET_UP(run.startSim(simArguments));
    // A Fonts folder with a good font, a file that is no font, and another good font.
    QTemporaryDir fontsDir;
    if (damagedFonts) {
        const QString fonts = fontsDir.filePath("Fonts");
        const QString source = TavrinTestEnvironment::buildDir() + "/Fonts/Roboto-Regular.ttf";
        QFile junk(fonts + "/b.ttf");
        QVERIFY(QDir().mkpath(fonts) && QFile::copy(source, fonts + "/a.ttf")
                && QFile::copy(source, fonts + "/c.ttf") && junk.open(QIODevice::WriteOnly)
                && junk.write(QByteArray(2048, 'Z')) == 2048);
    }
    QProcess *client = run.start(TavrinTestEnvironment::clientProgram(), {},
                                 damagedFonts ? fontsDir.path() : TavrinTestEnvironment::buildDir());
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

// The program has one identity, whatever name it is started under: a second start ends at once,
// leaving the first untouched. An instance that dies leaves its lock behind; the next one takes
// it over and runs. Then the title bar's close button hides the window to the tray, a click on
// the tray icon brings it back. The server remembered from the last run stays on the chooser's
// face once the list is in; a server picked from the list with the mouse is the one the face
// then connects to and remembers. Exit from the tray menu (by its mnemonic) ends the program.
void tst_Program::instancesMouseAndTray()
{
    ProgramRun run;
    VERIFY_SET_UP(run.setUp(true, true, {"--connect-delay", "0", "--disconnect-delay", "0"}));
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
    const QRect geometry = run.geometry(window);
    QCOMPARE(geometry.size(), QSize(344, 545));
    const QPoint origin = geometry.topLeft();
    // Painted (not the black root window) before its buttons are clicked.
    WAIT_FOR(run.pixel(geometry.center()) != qRgb(0, 0, 0));
    QVERIFY(run.click(geometry.topRight() + QPoint(-15, 14)));
    WAIT_FOR(run.windows(mainWindow).isEmpty());
    QVERIFY(run.click(trayIcon));
    QVERIFY2(!run.waitForWindow(mainWindow).isEmpty(), "the tray icon did not show the window");

    const QString pid = QString::number(client->processId());
    // The chooser's face and its popup button, in the fixed layout of the connection page.
    const QPoint face = origin + QPoint(100, 102);
    // The popup: the program's one window narrower than the main window and six rows high.
    const auto popupGeometry = [&] {
        for (const QString &id : run.windows(QString(), pid)) {
            const QRect popup = run.geometry(id);
            if (popup.width() < 344 && popup.height() >= 6 * 41)
                return popup;
        }
        return QRect();
    };
    const auto openPopup = [&] {
        QRect popup;
        const bool shown = run.click(origin + QPoint(300, 102))
                           && QTest::qWaitFor([&] { return !(popup = popupGeometry()).isEmpty(); },
                                              LongPatience);
        return shown ? popup : QRect();
    };
    QVERIFY(run.click(origin + QPoint(250, 440))); // Settings: the connection page
    QVERIFY2(!openPopup().isEmpty(), "the popup did not open with the list");
    QVERIFY(run.key("Escape"));
    QVERIFY(run.click(face));
    QVERIFY2(run.waitForSimLog("connect host=127\\.0\\.0\\.12 "), qPrintable(run.simLog()));
    // Once the window shows the tunnel up (the state strip turns blue), the big button
    // disconnects.
    WAIT_FOR(run.pixel(origin + QPoint(10, 330)) == qRgb(66, 176, 227));
    QVERIFY(run.click(face));
    QVERIFY2(run.waitForSimLog("state=Disconnected"), qPrintable(run.simLog()));
    const QRect popup = openPopup();
    QVERIFY2(!popup.isEmpty(), "the popup did not open");
    // The list opens scrolled so that the current server, Germany, is its last visible row;
    // the row above it is France (127.0.0.11).
    QVERIFY(run.click(popup.topLeft() + QPoint(150, 4 * 41 + 20)));
    WAIT_FOR(popupGeometry().isEmpty());
    QVERIFY(run.click(face));
    QVERIFY2(run.waitForSimLog("connect host=127\\.0\\.0\\.11 "), qPrintable(run.simLog()));
    QCOMPARE(run.settings()->value("Connection Name").toString(), QStringLiteral("France"));
    WAIT_FOR(run.pixel(origin + QPoint(10, 330)) == qRgb(66, 176, 227));

    // The menu is one more window of the program; it holds the keyboard while open. Exit takes
    // the tunnel down first.
    const int windowsBefore = run.windows(QString(), pid).size();
    QVERIFY(run.click(trayIcon, 3));
    WAIT_FOR(run.windows(QString(), pid).size() > windowsBefore);
    QVERIFY(run.xdotool({"key", "x"}));
    QVERIFY2(waitForExit(client), "Exit from the tray menu did not end the program");
    QCOMPARE(client->exitCode(), 0);
    QVERIFY(run.waitForSimLog("state=Disconnected", 2));
}

// At twice the scale, with keys alone: the window is twice as large, cut to its rounded shape
// at that size, and draws its images from their double-size versions (an enlarged single one
// would not match them); the user logs in with Enter, disconnects, opens and closes the list,
// marks a favourite and picks another server in it, connects to it and ends the program without
// the mouse. Meanwhile Escape, the window
// manager's close (Alt+F4 under openbox) and a minimise send the window to the tray with the
// tunnel up, and a click on the tray icon brings it back.
void tst_Program::keyboardAtScaleTwo()
{
    ProgramRun run;
    run.setScreenSize("1600x1200");
    VERIFY_SET_UP(run.setUp(true, true, {"--connect-delay", "0", "--disconnect-delay", "0"}, true));
    run.environment().insert("QT_SCALE_FACTOR", "2");
    QProcess *client = run.start();
    const QString window = run.waitForWindow(mainWindow);
    QVERIFY2(!window.isEmpty(), "no main window");
    const QRect geometry = run.geometry(window);
    QCOMPARE(geometry.size(), QSize(688, 1090));
    WAIT_FOR(run.pixel(geometry.center()) != qRgb(0, 0, 0));
    QImage shot;
    WAIT_FOR(geometry.contains(findImage(shot = run.screenshot("scale-2-login"),
                                         QImage(":/imgs/login-user@2x.png"), Qt::white)));
    for (const QPoint &corner : {geometry.topLeft(), geometry.bottomRight()})
        QCOMPARE(shot.pixel(corner), qRgb(0, 0, 0));

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
    WAIT_FOR(findImage(shot = run.screenshot("scale-2-list"), QImage(":/imgs/flags/AU@2x.png"),
                       Qt::white)
             != QPoint(-1, -1));
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
        QVERIFY(QByteArray(close) == "minimise" ? run.xdotool({"windowminimize", window})
                                                : run.key(close));
        WAIT_FOR(wmState() == QLatin1String(close[0] == 'm' ? "iconic" : "gone"));
        // Right after a key binding openbox may still hold the pointer and swallow a click;
        // a person would click again.
        for (int attempt = 0; attempt < 20 && wmState() != QLatin1String("normal"); ++attempt) {
            QVERIFY(run.click(QPoint(1600 - 12, 12)));
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
