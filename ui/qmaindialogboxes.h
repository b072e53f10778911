#ifndef QMAINDIALOGBOXES_H
#define QMAINDIALOGBOXES_H

#include <QtCore/qglobal.h>

QT_BEGIN_NAMESPACE
class QString;
class QWidget;
QT_END_NAMESPACE

// The main window's message boxes: modal, on the window, one OK button and no default button.
// Their texts are translated in the window's context.

// "Can't connect to Tavrin service.": the window is never shown then, so it is first placed in
// the middle of its screen, where the box, centred on it, is seen.
void showServiceUnreachableBox(QWidget *window);
// A request the service connection refused: its parts too long, or the link down.
void showRefusedRequestBox(QWidget *window, bool linkOpen);
void showLoginFailedBox(QWidget *window);
// The service closed the link: modal, without parent (the window may be hidden), in the service
// link's translation context.
void showServiceClosedBox();
// The state of the connection, for a state code and the server connected to.
void showStatusBox(QWidget *window, quint8 state, const QString &serverName);

#endif // QMAINDIALOGBOXES_H
