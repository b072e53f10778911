// Reads arbitrary text as a credential text, and packs arbitrary pairs. Decoding must never
// crash; a pair that packs must read back unchanged.

#include "service/tavrincredentials.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        abort();
}

void roundTrip(const QString &username, const QString &password)
{
    const QByteArray text = encodeUserPass(username, password);
    const int userBytes = username.toUtf8().size();
    const int passBytes = password.toUtf8().size();
    if (userBytes > 255 || passBytes > 255) {
        check(text.isEmpty());
        return;
    }
    check(!text.isEmpty());
    QString user = QStringLiteral("unchanged");
    QString pass = QStringLiteral("unchanged");
    const bool decoded = decodeUserPass(QString::fromLatin1(text), user, pass);
    check(decoded == (userBytes > 0 && passBytes > 0));
    if (decoded)
        check(user == username && pass == password);
    else
        check(user == QLatin1String("unchanged") && pass == QLatin1String("unchanged"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    const QString text = QString::fromUtf8(bytes, int(size));

    QString user = QStringLiteral("unchanged");
    QString pass = QStringLiteral("unchanged");
    if (decodeUserPass(text, user, pass)) {
        // What decodes packs back into a text that decodes to the same pair.
        roundTrip(user, pass);
    } else {
        check(user == QLatin1String("unchanged") && pass == QLatin1String("unchanged"));
    }

    // The input cut in two at its first zero byte, as a user name and a password.
    const int cut = text.indexOf(QChar(0));
    if (cut >= 0)
        roundTrip(text.left(cut), text.mid(cut + 1));
    return 0;
}
