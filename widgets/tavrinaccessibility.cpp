#include "widgets/tavrinaccessibility.h"

#include "widgets/qaccessibleclickable.h"
#include "widgets/qaccessibleserverchooser.h"
#include "widgets/qvpnservercombobox.h"

#include <QtGui/qevent.h>

// The interfaces made here belong to Qt's accessibility cache, which deletes them.
static QAccessibleInterface *widgetAccessibleFactory(const QString &className, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget)
        return nullptr;
    if (className == QLatin1String("QClickableLabel")
        || className == QLatin1String("QClicableFrame"))
        return new QAccessibleClickable(widget);
    if (auto *chooser = qobject_cast<QVPNServerComboBox *>(widget))
        return new QAccessibleServerChooser(chooser);
    if (className == QLatin1String("QVPNBandwidthWidget"))
        return new QAccessibleWidget(widget, QAccessible::Chart);
    return nullptr;
}

void installWidgetAccessibility()
{
    static bool installed = false;
    if (!installed)
        QAccessible::installFactory(widgetAccessibleFactory);
    installed = true;
}

bool isClickKey(const QKeyEvent *event)
{
    return (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return
            || event->key() == Qt::Key_Enter)
           && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}
