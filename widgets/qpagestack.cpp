#include "widgets/qpagestack.h"

#include <QtWidgets/qlayout.h>

QPageStack::QPageStack(QWidget *parent)
    : QStackedWidget(parent)
{
    // The stack's hints change with its page.
    connect(this, &QStackedWidget::currentChanged, this, &QWidget::updateGeometry);
}

int QPageStack::addWidget(QWidget *page)
{
    QLayout *layout = page->layout();
    if (!layout || !layout->isEnabled() || isVisible())
        return QStackedWidget::addWidget(page);
    // A disabled layout is not activated; the first show of the page activates it.
    layout->setEnabled(false);
    const int index = QStackedWidget::addWidget(page);
    layout->setEnabled(true);
    return index;
}

static QSize withFrame(const QWidget *stack, const QSize &size)
{
    const QMargins frame = stack->contentsMargins();
    return size + QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
}

// As the stacked layout measures a page: an ignored direction counts as nothing.
QSize QPageStack::sizeHint() const
{
    const QWidget *page = currentWidget();
    if (!page)
        return QStackedWidget::sizeHint();
    ensurePolished();
    QSize hint = page->sizeHint();
    if (page->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored)
        hint.setWidth(0);
    if (page->sizePolicy().verticalPolicy() == QSizePolicy::Ignored)
        hint.setHeight(0);
    return withFrame(this, hint);
}

// The smallest size the layouts give the page on show, as they would give it outside the stack.
QSize QPageStack::minimumSizeHint() const
{
    QWidget *page = currentWidget();
    if (!page)
        return QStackedWidget::minimumSizeHint();
    ensurePolished();
    return withFrame(this, QWidgetItem(page).minimumSize());
}
