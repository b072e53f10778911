#ifndef TAVRINCREDENTIALS_H
#define TAVRINCREDENTIALS_H

#include <QtCore/qbytearray.h>
#include <QtCore/qstring.h>

// The credential text: a user name and a password packed into one short Base64 text. It only
// keeps the credentials from being readable at a glance; it is not encryption.
//
// Before scrambling the bytes are: user name length, user name (UTF-8), password length,
// password (UTF-8). Every byte is rotated left by two bits and XORed with 0xA7.

// Returns the credential text as ASCII bytes, or an empty array when the user name or the
// password is longer than 255 bytes in UTF-8, which the one-byte lengths cannot hold.
QByteArray encodeUserPass(const QString &username, const QString &password);

// Reads a credential text. Returns true and fills username and password when the text holds a
// well-formed pair (both parts 1 to 255 bytes); otherwise returns false, leaves both untouched
// and writes the reason to the log at Debug level.
bool decodeUserPass(const QString &text, QString &username, QString &password);
// The same from the service's credentials reply, whose text ends at a zero byte if it has one.
bool decodeCredentialsReply(const QByteArray &reply, QString &username, QString &password);

#endif // TAVRINCREDENTIALS_H
