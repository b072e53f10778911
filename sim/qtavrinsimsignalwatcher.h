#ifndef QTAVRINSIMSIGNALWATCHER_H
#define QTAVRINSIMSIGNALWATCHER_H

#include <QtCore/qobject.h>

class QSocketNotifier;

// Turns the requests to end the program (SIGINT and SIGTERM on Unix; Ctrl+C, Ctrl+Break, the
// console's closing and the WM_CLOSE that QProcess::terminate() posts on Windows) into a Qt
// signal on the thread that created the watcher, so that the program can close its sockets and
// remove the local socket file before it ends. Only one watcher may exist at a time.
class QTavrinSimSignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit QTavrinSimSignalWatcher(QObject *parent = nullptr);
    ~QTavrinSimSignalWatcher() override;

signals:
    void terminationRequested(int signalNumber);

private slots:
    void notifier_activated();

private:
    QSocketNotifier *m_notifier = nullptr; // Unix
    QObject *m_filter = nullptr;           // Windows
};

#endif // QTAVRINSIMSIGNALWATCHER_H
