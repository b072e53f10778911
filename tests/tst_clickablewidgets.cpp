#include "qclicableframe.h"
#include "qclickablelabel.h"
#include "tavrintestenvironment.h"

#include <QtGui/qevent.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qapplication.h>

Q_DECLARE_METATYPE(Qt::MouseButton)

// A parent that records the mouse events its children leave to it, as the main window does.
class RecordingParent : public QWidget
{
public:
    QList<QEvent::Type> received;

protected:
    void mousePressEvent(QMouseEvent *event) override { received << event->type(); }
    void mouseReleaseEvent(QMouseEvent *event) override { received << event->type(); }
    void mouseMoveEvent(QMouseEvent *event) override { received << event->type(); }
};

static void send(QWidget *widget, QEvent::Type type, Qt::MouseButton button,
                 const QPoint &pos = QPoint(5, 5))
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton
                                                                     : Qt::MouseButtons(button);
    const Qt::MouseButton changed = type == QEvent::MouseMove ? Qt::NoButton : button;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), changed, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

class tst_ClickableWidgets : public QObject
{
    Q_OBJECT

private slots:
    void labelClick_data();
    void labelClick();
    void frameEmitsOnPress_data();
    void frameEmitsOnPress();
};

void tst_ClickableWidgets::labelClick_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("moves");
    QTest::newRow("left, still") << Qt::LeftButton << 0;
    QTest::newRow("right, still") << Qt::RightButton << 0;
    QTest::newRow("middle, still") << Qt::MiddleButton << 0;
    QTest::newRow("left, one move") << Qt::LeftButton << 1;
    QTest::newRow("left, many moves") << Qt::LeftButton << 5;
    QTest::newRow("right, one move") << Qt::RightButton << 1;
}

void tst_ClickableWidgets::labelClick()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, moves);
    RecordingParent parent;
    QClickableLabel *label = new QClickableLabel(&parent);
    label->setGeometry(0, 0, 40, 20);
    // How many events the parent had received at each clicked().
    QList<int> eventsAtClick;
    connect(label, &QClickableLabel::clicked, [&] { eventsAtClick << parent.received.size(); });

    send(label, QEvent::MouseButtonPress, button);
    QVERIFY(eventsAtClick.isEmpty());
    for (int i = 0; i < moves; ++i)
        send(label, QEvent::MouseMove, button, QPoint(6 + i, 5));
    send(label, QEvent::MouseButtonRelease, button);
    // The next press clears the drag: a still press and release clicks again, and so does the
    // second half of a double click.
    send(label, QEvent::MouseButtonPress, button);
    send(label, QEvent::MouseButtonRelease, button);
    send(label, QEvent::MouseButtonDblClick, button);
    send(label, QEvent::MouseButtonRelease, button);

    // clicked() comes from the label's release handling; every event still reaches the parent.
    const int first = 2 + moves;
    const QList<int> later = {first + 1, first + 3};
    QCOMPARE(eventsAtClick, moves ? later : QList<int>({1}) + later);
    QList<QEvent::Type> expected = {QEvent::MouseButtonPress};
    for (int i = 0; i < moves; ++i)
        expected << QEvent::MouseMove;
    expected << QEvent::MouseButtonRelease << QEvent::MouseButtonPress << QEvent::MouseButtonRelease
             << QEvent::MouseButtonDblClick << QEvent::MouseButtonRelease;
    QCOMPARE(parent.received, expected);
}

void tst_ClickableWidgets::frameEmitsOnPress_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::newRow("left") << Qt::LeftButton;
    QTest::newRow("right") << Qt::RightButton;
    QTest::newRow("middle") << Qt::MiddleButton;
}

void tst_ClickableWidgets::frameEmitsOnPress()
{
    QFETCH(Qt::MouseButton, button);
    RecordingParent parent;
    QClicableFrame *frame = new QClicableFrame(&parent);
    frame->setGeometry(0, 0, 60, 40);
    QSignalSpy spy(frame, &QClicableFrame::clicked);

    send(frame, QEvent::MouseButtonPress, button);
    QCOMPARE(spy.count(), 1);
    QVERIFY(!parent.received.contains(QEvent::MouseButtonPress));
    // Moving away and releasing outside changes nothing.
    send(frame, QEvent::MouseMove, button, QPoint(200, 300));
    send(frame, QEvent::MouseButtonRelease, button, QPoint(200, 300));
    QCOMPARE(spy.count(), 1);
    QTest::mouseClick(frame, button);
    QCOMPARE(spy.count(), 2);
    // The second press of a double click comes as a double-click event: one click each.
    send(frame, QEvent::MouseButtonDblClick, button);
    QCOMPARE(spy.count(), 3);
}

TAVRIN_TEST_MAIN(tst_ClickableWidgets)
#include "tst_clickablewidgets.moc"
