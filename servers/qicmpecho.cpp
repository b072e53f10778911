#include "qicmpecho.h"

#include <QtCore/qbytearray.h>

QIcmpEcho::~QIcmpEcho() = default;

QByteArray QIcmpEcho::payload()
{
    return QByteArrayLiteral("abcdefghijklmnopqest");
}
