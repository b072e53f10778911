#ifndef QCLICKABLELABEL_H
#define QCLICKABLELABEL_H

#include <QtWidgets/qlabel.h>

// A label that reports a click: a press and a release with no mouse move in between, or Space
// or Enter while it has the keyboard focus (it takes the focus from the keyboard only). Every
// mouse event still goes through QLabel's own handling first, so whatever the label does not
// take travels on to its parent (the main window drags itself with them).
class QClickableLabel : public QLabel
{
    Q_OBJECT

public:
    explicit QClickableLabel(QWidget *parent = nullptr);

public slots:
    void click() { emit clicked(); }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool moved;
};

#endif // QCLICKABLELABEL_H
