#include "tavrincredentials.h"
#include "tavrinlog.h"
#include "tavrintestenvironment.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qdir.h>
#include <QtCore/qfile.h>
#include <QtTest/qtest.h>

namespace {

// Packs a raw sequence the way the credential text does: rotate left by two, XOR 0xA7, Base64.
QString scrambledText(const QByteArray &sequence)
{
    QByteArray bytes = sequence;
    for (char &byte : bytes) {
        const quint8 value = quint8(byte);
        byte = char(quint8((value << 2) | (value >> 6)) ^ 0xA7);
    }
    return QString::fromLatin1(bytes.toBase64());
}

QByteArray sequence(const QByteArray &user, const QByteArray &pass)
{
    return char(user.size()) + user + char(pass.size()) + pass;
}

QString logFilePath()
{
    return QDir::homePath() + QLatin1Char('/') + QCoreApplication::applicationName()
           + QLatin1String(".log");
}

QByteArray lastLogLine()
{
    QFile file(logFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QList<QByteArray> lines = file.readAll().split('\n');
    return lines.size() >= 2 ? lines.at(lines.size() - 2) + '\n' : QByteArray();
}

} // namespace

class tst_Credentials : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTrip_data();
    void roundTrip();
    void knownText();
    void sameTextEveryTime();
    void refusesOverlongParts_data();
    void refusesOverlongParts();
    void failures_data();
    void failures();
    void skipsCharactersOutsideTheAlphabet();
};

void tst_Credentials::initTestCase()
{
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("tst_credentials"));
    setLogOptions(0, false);
}

void tst_Credentials::roundTrip_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::newRow("ascii") << "alice"
                           << "s3cret!";
    QTest::newRow("one byte each") << "a"
                                   << "b";
    QTest::newRow("non-ascii") << QStringLiteral("J\u00fcrgen.\u041f\u0435\u0442\u0440\u043e\u0432")
                               << QStringLiteral("\u5bc6\u7801\U0001F511\u00e9");
    QTest::newRow("255 bytes each")
            << QString(255, QLatin1Char('u')) << QString(255, QLatin1Char('p'));
    QTest::newRow("255 bytes of two-byte letters")
            << QString(127, QChar(0x00e9)) + QLatin1Char('x') << QString(85, QChar(0x20ac));
    QTest::newRow("zero bytes inside") << QStringLiteral("a\u0000b") << QStringLiteral("\u0000");
    QTest::newRow("byte order marks") << QStringLiteral("\ufeffbob") << QStringLiteral("\ufeff");
    QTest::newRow("blanks and symbols") << " user@example.test "
                                        << "= + / ==";
}

void tst_Credentials::roundTrip()
{
    QFETCH(QString, username);
    QFETCH(QString, password);
    const QByteArray text = encodeUserPass(username, password);
    QVERIFY(!text.isEmpty());
    QVERIFY(QByteArray::fromBase64(text).toBase64() == text); // plain Base64, padded
    QString user = "before";
    QString pass = "before";
    QVERIFY(decodeUserPass(QString::fromLatin1(text), user, pass));
    QCOMPARE(user, username);
    QCOMPARE(pass, password);
}

void tst_Credentials::knownText()
{
    // 01 'a' 01 'b' scrambles to A3 22 A3 2E.
    QCOMPARE(encodeUserPass("a", "b"), QByteArray("oyKjLg=="));
    QString user;
    QString pass;
    QVERIFY(decodeUserPass("oyKjLg==", user, pass));
    QCOMPARE(user, QStringLiteral("a"));
    QCOMPARE(pass, QStringLiteral("b"));
}

void tst_Credentials::sameTextEveryTime()
{
    const QByteArray first = encodeUserPass("bob", QStringLiteral("p\u00e4ss"));
    for (int i = 0; i < 5; ++i)
        QCOMPARE(encodeUserPass("bob", QStringLiteral("p\u00e4ss")), first);
    QVERIFY(encodeUserPass("bob", "pass") != first);
}

void tst_Credentials::refusesOverlongParts_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::newRow("user name of 256 bytes") << QString(256, QLatin1Char('u')) << "p";
    QTest::newRow("password of 256 bytes") << "u" << QString(256, QLatin1Char('p'));
    QTest::newRow("128 two-byte letters") << QString(128, QChar(0x00e9)) << "p";
    QTest::newRow("both far too long")
            << QString(4000, QLatin1Char('u')) << QString(4000, QLatin1Char('p'));
}

void tst_Credentials::refusesOverlongParts()
{
    QFETCH(QString, username);
    QFETCH(QString, password);
    QVERIFY(encodeUserPass(username, password).isEmpty());
}

void tst_Credentials::failures_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty text") << QString() << "tmp.length()";
    QTest::newRow("only characters outside the alphabet") << "!!**  ##"
                                                          << "tmp.length()";
    QTest::newRow("empty user name")
            << QString::fromLatin1(encodeUserPass(QString(), "pass")) << "usize == 0";
    QTest::newRow("empty password")
            << QString::fromLatin1(encodeUserPass("user", QString())) << "psize == 0";
    QTest::newRow("both empty") << QString::fromLatin1(encodeUserPass(QString(), QString()))
                                << "usize == 0";
    QTest::newRow("ends inside the user name")
            << scrambledText(sequence("user", "pass").left(3)) << "usernameBA.length() != usize";
    QTest::newRow("ends after the user name")
            << scrambledText(sequence("user", "pass").left(5)) << "psize == 0";
    QTest::newRow("ends inside the password")
            << scrambledText(sequence("user", "pass").left(8)) << "passwordBA.length() != psize";
    QTest::newRow("bytes after the password")
            << scrambledText(sequence("user", "pass") + "x") << "tmp.length() > 0";
}

void tst_Credentials::failures()
{
    QFETCH(QString, text);
    QFETCH(QString, reason);
    QString user = QStringLiteral("kept user");
    QString pass = QStringLiteral("kept password");
    QVERIFY(!decodeUserPass(text, user, pass));
    QCOMPARE(user, QStringLiteral("kept user"));
    QCOMPARE(pass, QStringLiteral("kept password"));

    const QByteArray line = lastLogLine();
    const QByteArray expectedEnd = " - Debug: decodeUserPass - " + reason.toLatin1() + "\r\n";
    QVERIFY2(line.endsWith(expectedEnd), line.constData());
}

void tst_Credentials::skipsCharactersOutsideTheAlphabet()
{
    const QByteArray text = encodeUserPass("carol", "hunter2");
    QString noisy;
    for (const char c : text)
        noisy += QLatin1Char(c) + QStringLiteral("\r\n!");
    QString user;
    QString pass;
    QVERIFY(decodeUserPass(noisy, user, pass));
    QCOMPARE(user, QStringLiteral("carol"));
    QCOMPARE(pass, QStringLiteral("hunter2"));
}

TAVRIN_TEST_GUILESS_MAIN(tst_Credentials)
#include "tst_credentials.moc"
