#include "ping/qicmpecho.h"

#include <QtCore/qbytearray.h>

QIcmpEcho::~QIcmpEcho() = default;

void QIcmpEcho::abort() {}

QByteArray QIcmpEcho::payload()
{
    return QByteArrayLiteral("abcdefghijklmnopqest");
}
