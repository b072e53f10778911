#include "app/tavrintrayhost.h"

#include <QtCore/qelapsedtimer.h>
#include <QtCore/qeventloop.h>
#include <QtCore/qtimer.h>

bool waitForTrayHost(int timeoutMs, int pollMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!isTrayHostPresent()) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return false;
        QEventLoop loop;
        QTimer::singleShot(int(qMin<qint64>(pollMs, left)), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}
