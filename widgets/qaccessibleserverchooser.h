#ifndef QACCESSIBLESERVERCHOOSER_H
#define QACCESSIBLESERVERCHOOSER_H

#include <QtWidgets/qaccessiblewidget.h>

class QVPNServerComboBox;

// What assistive technology sees of the server chooser: a combo box named after what its face
// shows ("Connect, Germany"), valued by the chosen server, whose press action connects and whose
// menu action opens the list; the list of servers is its one child.
class QAccessibleServerChooser : public QAccessibleWidget
{
public:
    explicit QAccessibleServerChooser(QVPNServerComboBox *chooser);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

private:
    QVPNServerComboBox *chooser() const;
};

#endif // QACCESSIBLESERVERCHOOSER_H
