#ifndef QSYSTEMICMPECHO_H
#define QSYSTEMICMPECHO_H

#include "ping/qicmpecho.h"

#include <QtCore/qatomic.h>

// The operating system's ICMP echo: ICMP sockets on Unix, the IP Helper interface on Windows.
class QSystemIcmpEcho : public QIcmpEcho
{
public:
    QSystemIcmpEcho();
    ~QSystemIcmpEcho() override;

    int echo(const QString &hostname) override;
    void abort() override;

private:
    Q_DISABLE_COPY(QSystemIcmpEcho)

    QAtomicInt m_aborted;
    // Unix: a pipe whose read end wakes a waiting echo when abort() writes to it.
    int m_wakeup[2] = {-1, -1};
};

#endif // QSYSTEMICMPECHO_H
