#include "widgets/qaccessibleclickable.h"

#include <QtWidgets/qlabel.h>

QAccessibleClickable::QAccessibleClickable(QWidget *widget)
    : QAccessibleWidget(widget, QAccessible::Button)
{}

QString QAccessibleClickable::text(QAccessible::Text t) const
{
    QString text = QAccessibleWidget::text(t);
    if (t == QAccessible::Name && text.isEmpty()) {
        if (const auto *label = qobject_cast<const QLabel *>(widget()))
            text = label->text();
    }
    return text;
}

QStringList QAccessibleClickable::actionNames() const
{
    return QAccessibleWidget::actionNames() << pressAction();
}

void QAccessibleClickable::doAction(const QString &actionName)
{
    if (actionName == pressAction())
        QMetaObject::invokeMethod(widget(), "click", Qt::QueuedConnection);
    else
        QAccessibleWidget::doAction(actionName);
}

QStringList QAccessibleClickable::keyBindingsForAction(const QString &actionName) const
{
    if (actionName == pressAction())
        return {QStringLiteral("Space")};
    return QAccessibleWidget::keyBindingsForAction(actionName);
}
