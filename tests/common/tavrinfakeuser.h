#ifndef TAVRINFAKEUSER_H
#define TAVRINFAKEUSER_H

#include <QtCore/qlist.h>
#include <QtCore/qobject.h>
#include <QtCore/qrect.h>
#include <QtCore/qstring.h>
#include <QtCore/qtimer.h>
#include <QtWidgets/qmessagebox.h>

// Plays the person in front of the screen for modal message boxes: while watching, every modal
// message box that opens is recorded and dismissed with its OK button (or its default action).
// It looks from a timer, which also runs inside the box's own event loop.
class TavrinFakeUser : public QObject
{
    Q_OBJECT

public:
    struct Box
    {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        bool hasParent;
        QRect geometry;
    };

    explicit TavrinFakeUser(QObject *parent = nullptr);

    void startWatching();
    void stopWatching();

    QList<Box> boxes() const { return m_boxes; }
    int boxCount() const { return m_boxes.size(); }

private:
    void lookForBox();

    QTimer m_timer;
    QList<Box> m_boxes;
};

#endif // TAVRINFAKEUSER_H
