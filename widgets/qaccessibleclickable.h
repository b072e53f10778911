#ifndef QACCESSIBLECLICKABLE_H
#define QACCESSIBLECLICKABLE_H

#include <QtWidgets/qaccessiblewidget.h>

// What assistive technology sees of the clickable label and frame: a button whose press action
// clicks it. Its name is the widget's accessible name, else the label's text.
class QAccessibleClickable : public QAccessibleWidget
{
public:
    explicit QAccessibleClickable(QWidget *widget);

    QString text(QAccessible::Text t) const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &actionName) const override;
};

#endif // QACCESSIBLECLICKABLE_H
