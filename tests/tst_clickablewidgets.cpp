#include "qclicableframe.h"
#include "qclickablelabel.h"
#include "tavrintestenvironment.h"

#include <QtGui/qevent.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qapplication.h>

Q_DECLARE_METATYPE(Qt::MouseButton)

// A parent that records the mouse events that reach it, the way the main window sees the
// presses, moves and releases that its children leave alone.
class RecordingParent : public QWidget
{
public:
    QList<QEvent::Type> received;

protected:
    void mousePressEvent(QMouseEvent *event) override { record(event); }
    void mouseReleaseEvent(QMouseEvent *event) override { record(event); }
    void mouseMoveEvent(QMouseEvent *event) override { record(event); }

private:
    void record(QMouseEvent *event)
    {
        received.append(event->type());
        event->accept();
    }
};

// Remembers, at each clicked(), how many mouse events the parent had received by then.
class OrderProbe : public QObject
{
public:
    explicit OrderProbe(RecordingParent *parent)
        : m_parent(parent)
    {}
    void onClicked() { eventsAtClick.append(m_parent->received.size()); }
    QList<int> eventsAtClick;

private:
    RecordingParent *m_parent;
};

class tst_ClickableWidgets : public QObject
{
    Q_OBJECT

private slots:
    void metaObjects();
    void labelClick_data();
    void labelClick();
    void labelEventsReachParent();
    void labelDoubleClick();
    void frameEmitsOnPress_data();
    void frameEmitsOnPress();
    void frameDoubleClick();
    void frameTakesThePress();

private:
    static void send(QWidget *widget, QEvent::Type type, Qt::MouseButton button,
                     const QPoint &pos = QPoint(5, 5));
};

void tst_ClickableWidgets::send(QWidget *widget, QEvent::Type type, Qt::MouseButton button,
                                const QPoint &pos)
{
    // While a button is held it appears in buttons(); a release leaves it out.
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton
                                                                     : Qt::MouseButtons(button);
    const Qt::MouseButton changed = type == QEvent::MouseMove ? Qt::NoButton : button;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), changed, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void tst_ClickableWidgets::metaObjects()
{
    QClickableLabel label;
    QClicableFrame frame;
    QCOMPARE(label.metaObject()->className(), "QClickableLabel");
    QCOMPARE(frame.metaObject()->className(), "QClicableFrame");
    QVERIFY(qobject_cast<QLabel *>(&label));
    QVERIFY(qobject_cast<QFrame *>(&frame));
    for (const QMetaObject *mo : {label.metaObject(), frame.metaObject()}) {
        QCOMPARE(mo->methodCount() - mo->methodOffset(), 1);
        QCOMPARE(mo->method(mo->methodOffset()).methodSignature(), QByteArray("clicked()"));
        QCOMPARE(mo->method(mo->methodOffset()).methodType(), QMetaMethod::Signal);
        QCOMPARE(mo->propertyCount(), mo->propertyOffset());
    }
    QVERIFY(!label.hasMouseTracking());
}

void tst_ClickableWidgets::labelClick_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("moves");
    QTest::addColumn<int>("clicks");
    QTest::newRow("left, still") << Qt::LeftButton << 0 << 1;
    QTest::newRow("right, still") << Qt::RightButton << 0 << 1;
    QTest::newRow("middle, still") << Qt::MiddleButton << 0 << 1;
    QTest::newRow("left, one move") << Qt::LeftButton << 1 << 0;
    QTest::newRow("left, many moves") << Qt::LeftButton << 5 << 0;
    QTest::newRow("right, one move") << Qt::RightButton << 1 << 0;
}

void tst_ClickableWidgets::labelClick()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, moves);
    QFETCH(int, clicks);

    RecordingParent parent;
    QClickableLabel *label = new QClickableLabel(&parent);
    label->setGeometry(0, 0, 40, 20);
    QSignalSpy spy(label, &QClickableLabel::clicked);

    send(label, QEvent::MouseButtonPress, button);
    QCOMPARE(spy.count(), 0);
    for (int i = 0; i < moves; ++i)
        send(label, QEvent::MouseMove, button, QPoint(6 + i, 5));
    send(label, QEvent::MouseButtonRelease, button);
    QCOMPARE(spy.count(), clicks);

    // The flag is cleared by the next press: a still press and release clicks again.
    send(label, QEvent::MouseButtonPress, button);
    send(label, QEvent::MouseButtonRelease, button);
    QCOMPARE(spy.count(), clicks + 1);
}

void tst_ClickableWidgets::labelEventsReachParent()
{
    RecordingParent parent;
    QClickableLabel *label = new QClickableLabel(&parent);
    label->setGeometry(0, 0, 40, 20);
    OrderProbe probe(&parent);
    connect(label, &QClickableLabel::clicked, &probe, &OrderProbe::onClicked);

    send(label, QEvent::MouseButtonPress, Qt::LeftButton);
    send(label, QEvent::MouseMove, Qt::LeftButton, QPoint(30, 9));
    send(label, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(30, 9));
    const QList<QEvent::Type> drag = {QEvent::MouseButtonPress, QEvent::MouseMove,
                                      QEvent::MouseButtonRelease};
    QCOMPARE(parent.received, drag);
    QVERIFY(probe.eventsAtClick.isEmpty());

    // A still click: clicked() comes from inside the label's release handling, and the
    // release still travels on to the parent afterwards.
    send(label, QEvent::MouseButtonPress, Qt::LeftButton);
    send(label, QEvent::MouseButtonRelease, Qt::LeftButton);
    QCOMPARE(parent.received.size(), 5);
    QCOMPARE(probe.eventsAtClick, QList<int>({4}));
}

void tst_ClickableWidgets::labelDoubleClick()
{
    QClickableLabel label;
    label.resize(40, 20);
    QSignalSpy spy(&label, &QClickableLabel::clicked);
    send(&label, QEvent::MouseButtonPress, Qt::LeftButton);
    send(&label, QEvent::MouseButtonRelease, Qt::LeftButton);
    send(&label, QEvent::MouseButtonDblClick, Qt::LeftButton);
    send(&label, QEvent::MouseButtonRelease, Qt::LeftButton);
    QCOMPARE(spy.count(), 2);
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
    QClicableFrame frame;
    frame.resize(60, 40);
    QSignalSpy spy(&frame, &QClicableFrame::clicked);

    send(&frame, QEvent::MouseButtonPress, button);
    QCOMPARE(spy.count(), 1);
    // Moving away and releasing outside changes nothing.
    send(&frame, QEvent::MouseMove, button, QPoint(200, 300));
    send(&frame, QEvent::MouseButtonRelease, button, QPoint(200, 300));
    QCOMPARE(spy.count(), 1);

    QTest::mouseClick(&frame, button);
    QCOMPARE(spy.count(), 2);
}

void tst_ClickableWidgets::frameDoubleClick()
{
    QClicableFrame frame;
    frame.resize(60, 40);
    QSignalSpy spy(&frame, &QClicableFrame::clicked);
    send(&frame, QEvent::MouseButtonPress, Qt::LeftButton);
    send(&frame, QEvent::MouseButtonRelease, Qt::LeftButton);
    send(&frame, QEvent::MouseButtonDblClick, Qt::LeftButton);
    send(&frame, QEvent::MouseButtonRelease, Qt::LeftButton);
    QCOMPARE(spy.count(), 2);
}

void tst_ClickableWidgets::frameTakesThePress()
{
    RecordingParent parent;
    QClicableFrame *frame = new QClicableFrame(&parent);
    frame->setGeometry(0, 0, 60, 40);
    QSignalSpy spy(frame, &QClicableFrame::clicked);
    send(frame, QEvent::MouseButtonPress, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QVERIFY(!parent.received.contains(QEvent::MouseButtonPress));
}

TAVRIN_TEST_MAIN(tst_ClickableWidgets)
#include "tst_clickablewidgets.moc"
