#include "qvpnautostart.h"
#include "qvpnclientsettings.h"
#include "tavrincredentials.h"
#include "tavrindeployment.h"
#include "tavrintestenvironment.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qdir.h>
#include <QtCore/qfile.h>
#include <QtCore/qfileinfo.h>
#include <QtCore/qprocess.h>
#include <QtCore/qregularexpression.h>
#include <QtCore/qsettings.h>
#include <QtCore/qstandardpaths.h>
#include <QtTest/qtest.h>

#include <sys/stat.h>

namespace {

QString configHome()
{
    return TavrinTestEnvironment::instance()->configHome();
}

QString storeFile()
{
    return configHome() + QLatin1String("/Tavrin/Tavrin.conf");
}

QString autoStartFolder()
{
    return configHome() + QLatin1String("/autostart");
}

QString autoStartFile()
{
    return autoStartFolder() + QLatin1String("/tavrin-client.desktop");
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// The store read without the class under test.
struct PlainStore : QSettings
{
    PlainStore()
        : QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tavrin"),
                    QStringLiteral("Tavrin"))
    {}
};

// Runs desktop-file-validate on a file; false with its output when it complains.
bool isValidDesktopEntry(const QString &path, QString *output)
{
    QProcess validator;
    validator.setProcessChannelMode(QProcess::MergedChannels);
    validator.start(QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")), {path});
    const bool finished = validator.waitForFinished(120000);
    *output = QString::fromLocal8Bit(validator.readAll());
    return finished && validator.exitStatus() == QProcess::NormalExit && validator.exitCode() == 0
           && !output->contains(QLatin1String("error"));
}

// The permission bits of a file or folder, -1 when it is missing.
int unixMode(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

} // namespace

class tst_Settings : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void firstRunDefaults();
    void textRoundTrip_data();
    void textRoundTrip();
    void storedKeysAndTypes();
    void unreadableCredentialsKeepOutParameters_data();
    void unreadableCredentialsKeepOutParameters();
    void overlongCredentialsWriteNothing_data();
    void overlongCredentialsWriteNothing();
    void storeIsPrivateToTheUser();
    void unwritableStoreKeepsChoicesPending();

    void desktopEntryForProgram_data();
    void desktopEntryForProgram();
    void autoStartOnAndOff();
    void unwritableAutoStartFolderIsHarmless();
};

void tst_Settings::init()
{
    QDir(configHome() + QLatin1String("/Tavrin")).removeRecursively();
    QDir(autoStartFolder()).removeRecursively();
    QFile::remove(autoStartFolder());
}

void tst_Settings::firstRunDefaults()
{
    const VPNServer server = QVPNClientSettings::getConnection();
    QCOMPARE(server.name, QStringLiteral("Automatic"));
    QCOMPARE(server.code, QStringLiteral("auto"));
    QCOMPARE(server.hostname, tavrinAutoHostname());
    QVERIFY(!server.hostname.isEmpty());
    QCOMPARE(QVPNClientSettings::getAutoLogin(), false);
    QVERIFY(QVPNClientSettings::getFavoriteServers().isEmpty());
    QCOMPARE(QVPNClientSettings::isAutoStart(), false);
    // Reading creates no store file.
    QVERIFY(!QFile::exists(storeFile()));
}

void tst_Settings::textRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    // A written empty text is no absent key: the defaults do not come back.
    QTest::newRow("empty") << QString();
    QTest::newRow("non-ASCII") << QStringLiteral("Österreich – Wien 日本,España,Россия 🔑");
    QTest::newRow("characters of the file format")
            << QStringLiteral("a=b; c, \"d\" [e] #f\\g\nh\ti @Variant(x)");
    QTest::newRow("starts with @") << QStringLiteral("@Invalid()");
    QTest::newRow("stray separators and blanks") << " ,Japan,, Germany ,";
    QTest::newRow("NUL inside") << QString(QStringLiteral("us") + QChar(0) + QStringLiteral("er"));
    QTest::newRow("longest credentials") << QString(254, QLatin1Char('u'));
}

// Every text item of the store gives back exactly what was written.
void tst_Settings::textRoundTrip()
{
    QFETCH(QString, text);
    const VPNServer server = {text, text + QLatin1Char('c'), text + QLatin1Char('h')};
    QVPNClientSettings::setConnection(server);
    QVPNClientSettings::setFavoriteServers(QStringLiteral("something else"));
    QVPNClientSettings::setFavoriteServers(text);
    const QString username = text + QLatin1Char('u');
    const QString password = text + QLatin1Char('p');
    QVPNClientSettings::setCredentials(username, password);

    const VPNServer read = QVPNClientSettings::getConnection();
    QCOMPARE(read.name, server.name);
    QCOMPARE(read.code, server.code);
    QCOMPARE(read.hostname, server.hostname);
    QCOMPARE(QVPNClientSettings::getFavoriteServers(), text);
    QString readUser = QStringLiteral("before");
    QString readPassword = QStringLiteral("before");
    QVERIFY(QVPNClientSettings::getCredentials(readUser, readPassword));
    QCOMPARE(readUser, username);
    QCOMPARE(readPassword, password);
    // The store holds the credential text, never the password in the clear.
    QCOMPARE(PlainStore().value("Creditentials").toString(),
             QString::fromLatin1(encodeUserPass(username, password)));
    QVERIFY(!readFile(storeFile()).contains(password.toUtf8()));
}

void tst_Settings::storedKeysAndTypes()
{
    QVPNClientSettings::setConnection(
            {QStringLiteral("France"), QStringLiteral("FR"), QStringLiteral("fr.tavrin.invalid")});
    QVPNClientSettings::setCredentials(QStringLiteral("user"), QStringLiteral("secret"));
    QVPNClientSettings::setFavoriteServers(QStringLiteral("France,Japan"));
    QVPNClientSettings::setAutoLogin(true);
    QCOMPARE(QVPNClientSettings::getAutoLogin(), true);
    // On disk when the call returns, the word the file format gives a boolean.
    QVERIFY(readFile(storeFile()).contains("AutoLogin=true"));

    PlainStore plain;
    QCOMPARE(QFileInfo(plain.fileName()).absoluteFilePath(),
             QFileInfo(storeFile()).absoluteFilePath());
    QStringList keys = plain.allKeys();
    keys.sort();
    QCOMPARE(keys, QStringList({"AutoLogin", "Connection Code", "Connection Hostname",
                                "Connection Name", "Creditentials", "FavoriteServers"}));
    const QList<QPair<QString, QString>> texts
            = {{"Connection Name", "France"},
               {"Connection Code", "FR"},
               {"Connection Hostname", "fr.tavrin.invalid"},
               {"FavoriteServers", "France,Japan"},
               {"Creditentials", QString::fromLatin1(encodeUserPass("user", "secret"))}};
    for (const auto &text : texts) {
        QVERIFY2(plain.value(text.first).userType() == QMetaType::QString, qPrintable(text.first));
        QCOMPARE(plain.value(text.first).toString(), text.second);
    }

    QVPNClientSettings::setAutoLogin(false);
    QCOMPARE(QVPNClientSettings::getAutoLogin(), false);
    // Writing one item keeps the others.
    const QByteArray file = readFile(storeFile());
    QVERIFY2(file.contains("AutoLogin=false") && file.contains("FavoriteServers=\"France,Japan\""),
             file.constData());
}

void tst_Settings::unreadableCredentialsKeepOutParameters_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::newRow("absent") << QVariant();
    QTest::newRow("no Base64 at all") << QVariant(QStringLiteral("!!!***"));
    QTest::newRow("number") << QVariant(12345);
}

void tst_Settings::unreadableCredentialsKeepOutParameters()
{
    QFETCH(QVariant, stored);
    if (stored.isValid())
        PlainStore().setValue("Creditentials", stored);
    QString username = QStringLiteral("untouched user");
    QString password = QStringLiteral("untouched password");
    QVERIFY(!QVPNClientSettings::getCredentials(username, password));
    QCOMPARE(username, QStringLiteral("untouched user"));
    QCOMPARE(password, QStringLiteral("untouched password"));
}

void tst_Settings::overlongCredentialsWriteNothing_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::newRow("user name of 256 bytes") << QString(256, QLatin1Char('u')) << "password";
    QTest::newRow("password of 256 UTF-8 bytes") << "user" << QString(128, QChar(0x00fc));
}

void tst_Settings::overlongCredentialsWriteNothing()
{
    QFETCH(QString, username);
    QFETCH(QString, password);
    QVPNClientSettings::setCredentials(username, password);
    QVERIFY(!PlainStore().contains("Creditentials"));

    // A stored pair survives.
    QVPNClientSettings::setCredentials(QStringLiteral("stored"), QStringLiteral("pair"));
    const QByteArray before = readFile(storeFile());
    QVPNClientSettings::setCredentials(username, password);
    QCOMPARE(readFile(storeFile()), before);
    QString readUser, readPassword;
    QVERIFY(QVPNClientSettings::getCredentials(readUser, readPassword));
    QCOMPARE(readUser + QLatin1Char(' ') + readPassword, QStringLiteral("stored pair"));
}

void tst_Settings::storeIsPrivateToTheUser()
{
    // A fresh store: a folder and a file that only the user can open.
    QVPNClientSettings::setCredentials(QStringLiteral("user"), QStringLiteral("secret"));
    QCOMPARE(unixMode(storeFile()), 0600);
    QCOMPARE(unixMode(QFileInfo(storeFile()).absolutePath()), 0700);

    // A store left readable by others is closed on the next write, contents kept.
    QVERIFY(QFile::setPermissions(storeFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                       | QFileDevice::ReadOther));
    QCOMPARE(unixMode(storeFile()), 0604);
    QVPNClientSettings::setAutoLogin(true);
    QCOMPARE(unixMode(storeFile()), 0600);
    QVPNClientSettings::setFavoriteServers(QStringLiteral("Japan"));
    QCOMPARE(unixMode(storeFile()), 0600);
    QString username, password;
    QVERIFY(QVPNClientSettings::getCredentials(username, password));
    QCOMPARE(username, QStringLiteral("user"));
}

void tst_Settings::unwritableStoreKeepsChoicesPending()
{
    // A folder stands in the way of the store's file: writes fail with a warning only.
    QVERIFY(QDir().mkpath(storeFile()));
    const QRegularExpression warning(QStringLiteral("^QVPNClientSettings: could not write"));
    QTest::ignoreMessage(QtWarningMsg, warning);
    QVPNClientSettings::setAutoLogin(true);
    QTest::ignoreMessage(QtWarningMsg, warning);
    QVPNClientSettings::setConnection(
            {QStringLiteral("Norway"), QStringLiteral("NO"), QStringLiteral("no.tavrin.invalid")});
    QVERIFY(QDir(storeFile()).isEmpty());

    // The choices stay pending, and the first write that succeeds takes them all to the store.
    QCOMPARE(QVPNClientSettings::getAutoLogin(), true);
    QVERIFY(QDir(storeFile()).removeRecursively());
    QVPNClientSettings::setFavoriteServers(QStringLiteral("Japan"));
    const QByteArray after = readFile(storeFile());
    QVERIFY2(after.contains("AutoLogin=true") && after.contains("no.tavrin.invalid")
                     && after.contains("FavoriteServers=Japan"),
             after.constData());
}

void tst_Settings::desktopEntryForProgram_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec");
    QTest::newRow("space") << "/opt/Tavrin Client/tavrin-client"
                           << "\"/opt/Tavrin Client/tavrin-client\"";
    QTest::newRow("double quote") << "/a\"b"
                                  << "\"/a\\\\\"b\"";
    QTest::newRow("backtick") << "/a`b"
                              << "\"/a\\\\`b\"";
    QTest::newRow("dollar") << "/a$b"
                            << "\"/a\\\\$b\"";
    QTest::newRow("backslash") << "/a\\b"
                               << "\"/a\\\\\\\\b\"";
    QTest::newRow("percent") << "/a%b%%c%f"
                             << "\"/a%%b%%%%c%%f\"";
    QTest::newRow("newline, tab, return") << "/a\nb\tc\rd"
                                          << "\"/a\\nb\\tc\\rd\"";
    QTest::newRow("single quote and others") << "/it's (a) <b> ~c | d & e ; f * g ? h # i"
                                             << "\"/it's (a) <b> ~c | d & e ; f * g ? h # i\"";
    QTest::newRow("non-ASCII") << QStringLiteral("/home/jürgen/程序/tavrin-client")
                               << QStringLiteral("\"/home/jürgen/程序/tavrin-client\"");
}

void tst_Settings::desktopEntryForProgram()
{
    QFETCH(QString, program);
    QFETCH(QString, exec);
    QCOMPARE(desktopEntryExecValue(program), exec);

    if (QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty())
        QSKIP("desktop-file-validate is not installed (package desktop-file-utils)");
    const QString path = TavrinTestEnvironment::instance()->tempDir()
                         + QLatin1String("/candidate.desktop");
    QVERIFY(writeFile(path, autoStartDesktopEntry(program)));
    QString output;
    QVERIFY2(isValidDesktopEntry(path, &output), qPrintable(output));
}

void tst_Settings::autoStartOnAndOff()
{
    const QString program = QCoreApplication::applicationFilePath();
    const QString other = autoStartFolder() + QLatin1String("/other.desktop");
    QVERIFY(writeFile(other, "[Desktop Entry]\nType=Application\nName=Other\nExec=other\n"));
    QCOMPARE(QVPNClientSettings::isAutoStart(), false);

    QVPNClientSettings::setAutoStart(true);
    QCOMPARE(QVPNClientSettings::isAutoStart(), true);
    const QByteArray entry = readFile(autoStartFile());
    QCOMPARE(entry, autoStartDesktopEntry(program));
    QVERIFY2(entry.startsWith("[Desktop Entry]\n") && entry.contains("\nType=Application\n")
                     && entry.contains("\nName=Tavrin Client\n")
                     && entry.contains("\nExec=" + desktopEntryExecValue(program).toUtf8() + '\n'),
             entry.constData());

    QVPNClientSettings::setAutoStart(false);
    QCOMPARE(QVPNClientSettings::isAutoStart(), false);
    QVERIFY(!QFileInfo::exists(autoStartFile()));
    QVPNClientSettings::setAutoStart(false);
    // Other programs' entries stay where they are.
    QCOMPARE(QDir(autoStartFolder()).entryList(QDir::Files), QStringList("other.desktop"));

    // Any entry of that name counts, even one this program cannot read; switching on
    // replaces it with this program's own.
    QVERIFY(writeFile(autoStartFile(), "not a desktop entry"));
    QCOMPARE(QVPNClientSettings::isAutoStart(), true);
    QVPNClientSettings::setAutoStart(true);
    QCOMPARE(readFile(autoStartFile()), entry);
}

void tst_Settings::unwritableAutoStartFolderIsHarmless()
{
    // A plain file where the autostart folder should be.
    QVERIFY(writeFile(autoStartFolder(), "in the way"));
    QVPNClientSettings::setAutoStart(true);
    QCOMPARE(QVPNClientSettings::isAutoStart(), false);
    QVPNClientSettings::setAutoStart(false);
    QCOMPARE(readFile(autoStartFolder()), QByteArray("in the way"));
    QVERIFY(QFile::remove(autoStartFolder()));

    // A folder where the entry should be is no entry, and is left alone.
    QVERIFY(QDir().mkpath(autoStartFile()));
    QCOMPARE(QVPNClientSettings::isAutoStart(), false);
    QVPNClientSettings::setAutoStart(true);
    QVPNClientSettings::setAutoStart(false);
    QVERIFY(QFileInfo(autoStartFile()).isDir());
}

TAVRIN_TEST_GUILESS_MAIN(tst_Settings)
#include "tst_settings.moc"
