#ifndef QFOCUSRING_H
#define QFOCUSRING_H

#include <QtCore/qpointer.h>
#include <QtWidgets/qwidget.h>

// Shows where the keyboard focus is once the keyboard is used to move it: an outline around the
// focused widget of the window, drawn above the window's other children. A mouse press in the
// window hides it again, so that the window used with the mouse looks as it always did.
class QFocusRing : public QWidget
{
    Q_OBJECT

public:
    explicit QFocusRing(QWidget *window);

    // The widget the outline is drawn around, or null while none is shown.
    QWidget *target() const { return isVisible() ? m_target.data() : nullptr; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void follow();

    QPointer<QWidget> m_target;
    bool m_keyboard = false;
};

#endif // QFOCUSRING_H
