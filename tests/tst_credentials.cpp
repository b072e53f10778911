#include "tavrincredentials.h"
#include "tavrinlog.h"
#include "tavrintestenvironment.h"

#include <QtCore/qdir.h>
#include <QtCore/qfile.h>
#include <QtTest/qtest.h>

namespace {

// The scrambled bytes of the pair "user", "pass", cut or extended, as a credential text.
QString alteredText(int keep, const QByteArray &extra = QByteArray())
{
    const QByteArray bytes = QByteArray::fromBase64(encodeUserPass("user", "pass"));
    return QString::fromLatin1(QByteArray(bytes.left(keep) + extra).toBase64());
}

QByteArray lastLogLine()
{
    QFile file(QDir::homePath() + QStringLiteral("/tavrin-client.log"));
    const QList<QByteArray> lines = file.open(QIODevice::ReadOnly) ? file.readAll().split('\n')
                                                                   : QList<QByteArray>();
    return lines.size() >= 2 ? lines.at(lines.size() - 2) + '\n' : QByteArray();
}

} // namespace

class tst_Credentials : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void knownTextAndLimits();
    void failures_data();
    void failures();
};

void tst_Credentials::roundTrip_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::newRow("one byte each") << "a"
                                   << "b";
    QTest::newRow("non-ascii") << QStringLiteral("J\u00fcrgen.\u041f\u0435\u0442\u0440\u043e\u0432")
                               << QStringLiteral("\u5bc6\u7801\U0001F511\u00e9");
    QTest::newRow("255 bytes each")
            << QString(255, QLatin1Char('u')) << QString(255, QLatin1Char('p'));
    QTest::newRow("255 bytes of two-byte letters")
            << QString(127, QChar(0x00e9)) + QLatin1Char('x') << QString(85, QChar(0x20ac));
    QTest::newRow("zero bytes and byte order marks")
            << QStringLiteral("a\u0000b\ufeff") << QStringLiteral("\u0000");
    QTest::newRow("blanks and symbols") << " user@example.test "
                                        << "= + / ==";
}

void tst_Credentials::roundTrip()
{
    QFETCH(QString, username);
    QFETCH(QString, password);
    const QByteArray text = encodeUserPass(username, password);
    QCOMPARE(QByteArray::fromBase64(text).toBase64(), text); // plain Base64, padded
    QString user = "before";
    QString pass = "before";
    QVERIFY(decodeUserPass(QString::fromLatin1(text), user, pass));
    QCOMPARE(user, username);
    QCOMPARE(pass, password);
}

void tst_Credentials::knownTextAndLimits()
{
    // 01 'a' 01 'b' scrambles to A3 22 A3 2E.
    QCOMPARE(encodeUserPass("a", "b"), QByteArray("oyKjLg=="));
    // A part over 255 UTF-8 bytes cannot be expressed.
    QVERIFY(encodeUserPass(QString(256, QLatin1Char('u')), "p").isEmpty());
    QVERIFY(encodeUserPass("u", QString(128, QChar(0x00e9))).isEmpty());
    // Characters outside the Base64 alphabet are skipped.
    QString user;
    QString pass;
    QVERIFY(decodeUserPass("o\r\nyK!j Lg==", user, pass));
    QCOMPARE(user + QLatin1Char('|') + pass, QStringLiteral("a|b"));
}

void tst_Credentials::failures_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("reason");
    // The pair "user", "pass" is 10 bytes: 04 user 04 pass.
    QTest::newRow("empty text") << QString() << QByteArray("tmp.length()");
    QTest::newRow("only characters outside the alphabet")
            << "!!**  ##" << QByteArray("tmp.length()");
    QTest::newRow("empty user name")
            << QString::fromLatin1(encodeUserPass(QString(), "pass")) << QByteArray("usize == 0");
    QTest::newRow("empty password")
            << QString::fromLatin1(encodeUserPass("user", QString())) << QByteArray("psize == 0");
    QTest::newRow("ends inside the user name")
            << alteredText(3) << QByteArray("usernameBA.length() != usize");
    QTest::newRow("ends after the user name") << alteredText(5) << QByteArray("psize == 0");
    QTest::newRow("ends inside the password")
            << alteredText(8) << QByteArray("passwordBA.length() != psize");
    QTest::newRow("bytes after the password")
            << alteredText(10, "x") << QByteArray("tmp.length() > 0");
}

void tst_Credentials::failures()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, reason);
    setLogOptions(0, false);
    QString user = QStringLiteral("kept user");
    QString pass = QStringLiteral("kept password");
    QVERIFY(!decodeUserPass(text, user, pass));
    QCOMPARE(user, QStringLiteral("kept user"));
    QCOMPARE(pass, QStringLiteral("kept password"));
    // Every failure goes to the log at level 1.
    const QByteArray line = lastLogLine();
    QVERIFY2(line.endsWith(" - Debug: decodeUserPass - " + reason + "\r\n"), line.constData());
}

TAVRIN_TEST_GUILESS_MAIN(tst_Credentials)
#include "tst_credentials.moc"
