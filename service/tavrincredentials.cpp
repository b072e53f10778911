#include "service/tavrincredentials.h"

#include "base/tavrinlog.h"
#include "service/tavrinframe.h"

namespace {

const quint8 ScrambleByte = 0xA7;

quint8 scramble(quint8 byte)
{
    return quint8((byte << 2) | (byte >> 6)) ^ ScrambleByte;
}

quint8 unscramble(quint8 byte)
{
    byte ^= ScrambleByte;
    return quint8((byte >> 2) | (byte << 6));
}

bool failDecode(const char *reason)
{
    writeLog(QString::fromLatin1(reason).arg(QLatin1String("decodeUserPass")), Debug);
    return false;
}

// Takes up to count bytes from data at *offset, moving *offset past them.
QByteArray takeBytes(const QByteArray &data, int *offset, int count)
{
    const QByteArray part = data.mid(*offset, count);
    *offset += part.size();
    return part;
}

// Every byte counts, zero bytes included, and a leading byte order mark is part of the text:
// QString::fromUtf8() would drop it, so it reads the bytes behind one ASCII character.
QString fromUtf8Exactly(const QByteArray &bytes)
{
    const QByteArray prefixed = '.' + bytes;
    return QString::fromUtf8(prefixed.constData(), prefixed.size()).mid(1);
}

} // namespace

QByteArray encodeUserPass(const QString &username, const QString &password)
{
    // Empty only when a part is longer than its one-byte length can say.
    QByteArray packed = packLengthPrefixedPair(username.toUtf8(), password.toUtf8());
    if (packed.isEmpty())
        return QByteArray();
    for (char &byte : packed)
        byte = char(scramble(quint8(byte)));
    return packed.toBase64();
}

bool decodeUserPass(const QString &text, QString &username, QString &password)
{
    QByteArray tmp = QByteArray::fromBase64(text.toUtf8());
    if (tmp.isEmpty())
        return failDecode("%1 - tmp.length()");
    for (char &byte : tmp)
        byte = char(unscramble(quint8(byte)));

    int offset = 0;
    const int usize = quint8(tmp.at(offset++));
    if (usize == 0)
        return failDecode("%1 - usize == 0");
    const QByteArray usernameBA = takeBytes(tmp, &offset, usize);
    if (usernameBA.size() != usize)
        return failDecode("%1 - usernameBA.length() != usize");

    const int psize = offset < tmp.size() ? quint8(tmp.at(offset++)) : 0;
    if (psize == 0)
        return failDecode("%1 - psize == 0");
    const QByteArray passwordBA = takeBytes(tmp, &offset, psize);
    if (passwordBA.size() != psize)
        return failDecode("%1 - passwordBA.length() != psize");

    if (offset < tmp.size())
        return failDecode("%1 - tmp.length() > 0");

    username = fromUtf8Exactly(usernameBA);
    password = fromUtf8Exactly(passwordBA);
    return true;
}

bool decodeCredentialsReply(const QByteArray &reply, QString &username, QString &password)
{
    const int end = reply.indexOf('\0');
    return decodeUserPass(QString::fromUtf8(end < 0 ? reply : reply.left(end)), username, password);
}
