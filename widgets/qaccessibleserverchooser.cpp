#include "widgets/qaccessibleserverchooser.h"

#include "widgets/qvpnservercombobox.h"

#include <QtCore/qtimer.h>
#include <QtWidgets/qabstractitemview.h>

QAccessibleServerChooser::QAccessibleServerChooser(QVPNServerComboBox *chooser)
    : QAccessibleWidget(chooser, QAccessible::ComboBox)
{}

QVPNServerComboBox *QAccessibleServerChooser::chooser() const
{
    return static_cast<QVPNServerComboBox *>(widget());
}

QString QAccessibleServerChooser::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return chooser()->currentServer().name;
    return QAccessibleWidget::text(t);
}

QAccessible::State QAccessibleServerChooser::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.expandable = true;
    state.expanded = chooser()->view()->isVisible();
    return state;
}

int QAccessibleServerChooser::childCount() const
{
    return 1;
}

QAccessibleInterface *QAccessibleServerChooser::child(int index) const
{
    return index == 0 ? QAccessible::queryAccessibleInterface(chooser()->view()) : nullptr;
}

int QAccessibleServerChooser::indexOfChild(const QAccessibleInterface *child) const
{
    return child && child->object() == chooser()->view() ? 0 : -1;
}

QStringList QAccessibleServerChooser::actionNames() const
{
    return {pressAction(), showMenuAction()};
}

void QAccessibleServerChooser::doAction(const QString &actionName)
{
    // Later: an action arrives from the accessibility bus and must not run inside its call.
    QVPNServerComboBox *target = chooser();
    if (actionName == pressAction())
        QTimer::singleShot(0, target, [target] { emit target->pressed(); });
    else if (actionName == showMenuAction())
        QTimer::singleShot(0, target, [target] { target->showPopup(); });
}
