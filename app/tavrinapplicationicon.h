#ifndef TAVRINAPPLICATIONICON_H
#define TAVRINAPPLICATIONICON_H

#include <QtCore/qlist.h>
#include <QtGui/qicon.h>
#include <QtGui/qimage.h>

#include <thread>

// The program's own icon (window, task bar, window switcher), in the sizes those show it, up to
// 128 pixels (a 64-pixel switcher at twice the scale). Its images are read on a thread of their
// own, started with the object, while start-up goes on; icon() waits for them and makes the
// icon, on the application's thread.
class TavrinApplicationIcon
{
public:
    TavrinApplicationIcon();
    ~TavrinApplicationIcon();

    QIcon icon();

private:
    QList<QImage> m_images;
    // Last: the thread starts once the list it fills is made.
    std::thread m_thread;
};

#endif // TAVRINAPPLICATIONICON_H
