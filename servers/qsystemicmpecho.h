#ifndef QSYSTEMICMPECHO_H
#define QSYSTEMICMPECHO_H

#include "qicmpecho.h"

// The operating system's ICMP echo: ICMP sockets on Unix, the IP Helper interface on Windows.
class QSystemIcmpEcho : public QIcmpEcho
{
public:
    QSystemIcmpEcho();
    ~QSystemIcmpEcho() override;

    int echo(const QString &hostname) override;
};

#endif // QSYSTEMICMPECHO_H
