#ifndef QCLICABLEFRAME_H
#define QCLICABLEFRAME_H

#include <QtWidgets/qframe.h>

// A frame that reports a click as soon as any mouse button goes down on it, or on Space or
// Enter while it has the keyboard focus (it takes the focus from the keyboard only). It takes
// the press itself; release, move and double click are left to QFrame (a double click arrives
// as a second press and so as a second click).
class QClicableFrame : public QFrame
{
    Q_OBJECT

public:
    explicit QClicableFrame(QWidget *parent = nullptr);

public slots:
    void click() { emit clicked(); }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

#endif // QCLICABLEFRAME_H
