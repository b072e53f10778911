#ifndef QPAGESTACK_H
#define QPAGESTACK_H

#include <QtWidgets/qstackedwidget.h>

// A stack of pages whose size hints are those of the page on show, where QStackedWidget's are
// those of its largest page. In a window of fixed size the page on show takes the stack's whole
// area either way; what differs is that a page is measured (its texts laid out in their fonts)
// only once it is shown.
class QPageStack : public QStackedWidget
{
    Q_OBJECT

public:
    explicit QPageStack(QWidget *parent = nullptr);

    // QStackedWidget shows the first page it is given at once and lays it out, even in a window
    // never shown yet; a form that sets its fonts after building its pages would have their
    // texts measured in fonts they never show. Added here to a stack not on screen, a page is
    // laid out when it is first shown. (Hides QStackedWidget::addWidget, which a form calls
    // through this type.)
    int addWidget(QWidget *page);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
};

#endif // QPAGESTACK_H
