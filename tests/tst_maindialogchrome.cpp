// The frameless main window's own chrome: the rounded shape and outline, the drag from
// anywhere a press reaches the window, the title bar's minimise and hide buttons and the way back
// from the tray.

#include "qvpnbandwidthwidget.h"
#include "tavrinfakedesktop.h"
#include "tavrinframe.h"
#include "tavrintestenvironment.h"

#include <QtCore/qdatetime.h>
#include <QtCore/qpointer.h>
#include <QtGui/qevent.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qapplication.h>
#include <QtWidgets/qlabel.h>
#include <QtWidgets/qpushbutton.h>

namespace {

void sendMouse(QWidget *target, QEvent::Type type, const QPointF &local, const QPointF &global,
               Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, local, global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// Opens the window, shown at this position.
QMainDialog *openAt(TavrinFakeDesktop &desktop, const QPoint &position)
{
    QMainDialog *window = desktop.start() ? desktop.openWindow() : nullptr;
    if (!window || !QTest::qWaitForWindowExposed(window))
        return nullptr;
    window->move(position);
    return QTest::qWaitFor([&] { return window->pos() == position; }, 20000) ? window : nullptr;
}

} // namespace

class tst_MainDialogChrome : public QObject
{
    Q_OBJECT

private slots:
    void init() { TavrinFakeDesktop::resetSettings(); }
    void shape_roundedMaskAndOutline();
    void drag_data();
    void drag();
    void drag_endsWithRelease();
};

void tst_MainDialogChrome::shape_roundedMaskAndOutline()
{
    TavrinFakeDesktop desktop;
    QMainDialog *window = openAt(desktop, QPoint(0, 0));
    QVERIFY(window);
    QCOMPARE(window->size(), QSize(344, 545));
    QTRY_VERIFY_WITH_TIMEOUT(!window->mask().isEmpty(), 20000);

    // The corners outside the 7-pixel radius are cut away; everything else, outline included,
    // is part of the window.
    const QRegion mask = window->mask();
    const QList<QPoint> outside{{0, 0},   {1, 1},     {343, 0},   {342, 1},   {0, 544},
                                {1, 543}, {343, 544}, {342, 543}, {344, 272}, {172, 545}};
    const QList<QPoint> inside{{172, 272}, {10, 0},  {0, 10},    {333, 0}, {343, 10},
                               {172, 544}, {0, 534}, {343, 534}, {3, 3},   {340, 541}};
    for (const QPoint &point : outside + inside) {
        QVERIFY2(mask.contains(point) == inside.contains(point),
                 qPrintable(QStringLiteral("%1,%2").arg(point.x()).arg(point.y())));
    }

    // Grey outline and light fill where no child paints over them (the login page's margin).
    const QImage login = window->grab().toImage();
    QCOMPARE(QColor(login.pixel(0, 300)), QColor(160, 160, 160));
    QCOMPARE(QColor(login.pixel(343, 300)), QColor(160, 160, 160));
    QCOMPARE(QColor(login.pixel(5, 300)), QColor(247, 247, 247));
    login.save(TavrinTestEnvironment::artifactDir() + QStringLiteral("/maindialog-login.png"));

    // The connected page with a minute of traffic and the address, for a person to look at.
    QVERIFY(desktop.deliver(
            buildConnectedFrame("10.8.0.2", quint32(QDateTime::currentSecsSinceEpoch() - 4242))));
    quint32 download = 0;
    quint32 upload = 0;
    for (quint32 second = 0; second < 60; ++second) {
        download += 150000 + (second % 7) * 40000 + (second % 3) * 90000;
        upload += 30000 + (second % 5) * 15000;
        desktop.peer.sendBandwidth(1, download, upload);
    }
    auto *graph = desktop.widget<QVPNBandwidthWidget>("bandwidth_widget");
    QTRY_VERIFY_WITH_TIMEOUT(graph->keptSamples().size() == 57
                                     && graph->keptSamples().first().type == 1,
                             20000);
    QTRY_COMPARE_WITH_TIMEOUT(desktop.widget<QLabel>("ipaddress_value_label")->text(),
                              QStringLiteral("192.0.2.1"), 20000);
    window->grab().save(TavrinTestEnvironment::artifactDir()
                        + QStringLiteral("/maindialog-connected.png"));
}

void tst_MainDialogChrome::drag_data()
{
    QTest::addColumn<QString>("pressedWidget"); // empty: the window itself
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("drags");
    QTest::newRow("window, left button") << QString() << int(Qt::LeftButton) << true;
    QTest::newRow("window, right button") << QString() << int(Qt::RightButton) << true;
    QTest::newRow("window, middle button") << QString() << int(Qt::MiddleButton) << true;
    QTest::newRow("title label") << "title_label" << int(Qt::LeftButton) << true;
    QTest::newRow("plain label") << "logo_image_label" << int(Qt::LeftButton) << true;
    QTest::newRow("user icon") << "username_label" << int(Qt::LeftButton) << true;
    QTest::newRow("edit field") << "username_edit" << int(Qt::LeftButton) << false;
    QTest::newRow("push button") << "settings_button" << int(Qt::LeftButton) << false;
}

void tst_MainDialogChrome::drag()
{
    QFETCH(QString, pressedWidget);
    QFETCH(int, button);
    QFETCH(bool, drags);

    TavrinFakeDesktop desktop;
    QMainDialog *window = openAt(desktop, QPoint(100, 120));
    QVERIFY(window);
    QWidget *target = pressedWidget.isEmpty()
                              ? window
                              : desktop.widget<QWidget>(pressedWidget.toLatin1().constData());
    QVERIFY(target);
    const auto pressed = Qt::MouseButton(button);
    const QPoint local(3, 3);
    const QPoint inWindow = target->mapTo(window, local);
    const QPoint global = QPoint(100, 120) + inWindow;

    sendMouse(target, QEvent::MouseButtonPress, local, global, pressed, pressed);
    // Moves go to the widget that took the press, as the mouse grab delivers them.
    for (const QPoint &step : {QPoint(40, 25), QPoint(-30, 60)})
        sendMouse(target, QEvent::MouseMove, local + step, global + step, Qt::NoButton, pressed);
    if (drags)
        QTRY_COMPARE_WITH_TIMEOUT(window->pos(), QPoint(70, 180), 20000);
    sendMouse(target, QEvent::MouseButtonRelease, local + QPoint(-30, 60), global + QPoint(-30, 60),
              pressed, Qt::NoButton);
    if (!drags) {
        // A widget that takes the press keeps the window where it is, even when moves reach
        // the window itself.
        sendMouse(window, QEvent::MouseMove, inWindow + QPoint(50, 50), global + QPoint(50, 50),
                  Qt::NoButton, pressed);
        QApplication::processEvents();
        QCOMPARE(window->pos(), QPoint(100, 120));
    }
}

void tst_MainDialogChrome::drag_endsWithRelease()
{
    TavrinFakeDesktop desktop;
    QMainDialog *window = openAt(desktop, QPoint(200, 200));
    QVERIFY(window);

    // Fractional positions are rounded to whole pixels.
    sendMouse(window, QEvent::MouseButtonPress, QPointF(10.6, 20.4), QPointF(210.6, 220.4),
              Qt::LeftButton, Qt::LeftButton);
    sendMouse(window, QEvent::MouseMove, QPoint(31, 40), QPoint(231, 240), Qt::NoButton,
              Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(window->pos(), QPoint(220, 220), 20000);
    // The release may come from anywhere; after it, moves no longer drag.
    sendMouse(window, QEvent::MouseButtonRelease, QPoint(-500, -500), QPoint(-300, -300),
              Qt::LeftButton, Qt::NoButton);
    sendMouse(window, QEvent::MouseMove, QPoint(90, 90), QPoint(310, 310), Qt::NoButton,
              Qt::LeftButton);
    QApplication::processEvents();
    QCOMPARE(window->pos(), QPoint(220, 220));
}

TAVRIN_TEST_MAIN(tst_MainDialogChrome)
#include "tst_maindialogchrome.moc"
