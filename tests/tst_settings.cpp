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

// Set in the environment of a copy of this program that writes its own log-on start entry.
static const char childEntryOutput[] = "TAVRIN_TST_SETTINGS_ENTRY_OUTPUT";

static QString configHome()
{
    return TavrinTestEnvironment::instance()->configHome();
}

static QString storeFile()
{
    return configHome() + QLatin1String("/Tavrin/Tavrin.conf");
}

static QString autoStartFolder()
{
    return configHome() + QLatin1String("/autostart");
}

static QString autoStartFile()
{
    return autoStartFolder() + QLatin1String("/tavrin-client.desktop");
}

static void removePath(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        QDir(path).removeRecursively();
    else if (info.exists() || info.isSymLink())
        QFile::remove(path);
}

static QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

static bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(content) == content.size();
}

// The value of a key of the [Desktop Entry] group, as it stands in the file.
static QString desktopEntryValue(const QByteArray &entry, const QString &key)
{
    const QStringList lines = QString::fromUtf8(entry).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1);
    }
    return QString();
}

// Splits an Exec value into its arguments the way a desktop environment reads it: the
// string escapes of the file first, then the quoting of arguments, then "%%" as '%'.
static QStringList execArguments(const QString &value)
{
    QString unescaped;
    for (int i = 0; i < value.size(); ++i) {
        if (value.at(i) != QLatin1Char('\\') || i + 1 == value.size()) {
            unescaped += value.at(i);
            continue;
        }
        const QChar next = value.at(++i);
        if (next == QLatin1Char('n'))
            unescaped += QLatin1Char('\n');
        else if (next == QLatin1Char('t'))
            unescaped += QLatin1Char('\t');
        else if (next == QLatin1Char('r'))
            unescaped += QLatin1Char('\r');
        else if (next == QLatin1Char('s'))
            unescaped += QLatin1Char(' ');
        else
            unescaped += next;
    }

    QStringList arguments;
    QString current;
    bool inQuotes = false;
    bool hasArgument = false;
    for (int i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped.at(i);
        if (inQuotes && c == QLatin1Char('\\') && i + 1 < unescaped.size()) {
            current += unescaped.at(++i);
        } else if (c == QLatin1Char('"')) {
            inQuotes = !inQuotes;
            hasArgument = true;
        } else if (c == QLatin1Char(' ') && !inQuotes) {
            if (hasArgument)
                arguments << current;
            current.clear();
            hasArgument = false;
        } else {
            current += c;
            hasArgument = true;
        }
    }
    if (inQuotes)
        return QStringList(); // an unclosed quote is no valid Exec line
    if (hasArgument)
        arguments << current;
    for (QString &argument : arguments)
        argument.replace(QLatin1String("%%"), QLatin1String("%"));
    return arguments;
}

// Runs desktop-file-validate on a file; returns false with its output when it complains.
static bool validateDesktopEntry(const QString &path, QString *output)
{
    QProcess validator;
    validator.setProcessChannelMode(QProcess::MergedChannels);
    validator.start(QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")), {path});
    if (!validator.waitForFinished(120000)) {
        *output = QStringLiteral("desktop-file-validate did not finish");
        return false;
    }
    *output = QString::fromLocal8Bit(validator.readAll());
    return validator.exitStatus() == QProcess::NormalExit && validator.exitCode() == 0
           && !output->contains(QLatin1String("error"));
}

static bool haveValidator()
{
    return !QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty();
}

// A program path with every character that needs care in an Exec line.
static QString awkwardFolderName()
{
    return QStringLiteral("odd dir \"quoted\" $HOME `tick` back\\slash 100% sure");
}

class tst_Settings : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void firstRunDefaults();
    void connectionRoundTrip_data();
    void connectionRoundTrip();
    void storedTypesAndKeys();
    void writtenWhenTheCallReturns();
    void credentialsRoundTrip_data();
    void credentialsRoundTrip();
    void unreadableCredentialsKeepOutParameters_data();
    void unreadableCredentialsKeepOutParameters();
    void overlongCredentialsWriteNothing_data();
    void overlongCredentialsWriteNothing();
    void autoLoginRoundTrip();
    void favoritesRoundTrip_data();
    void favoritesRoundTrip();
    void storeIsPrivateToTheUser();
    void unwritableStoreIsHarmless();

    void execValueQuoting_data();
    void execValueQuoting();
    void execValueReadsBackAsThePath_data();
    void execValueReadsBackAsThePath();
    void autoStartOnAndOff();
    void autoStartEntryOfAnotherProgram();
    void removingAnAbsentEntryIsHarmless();
    void unwritableAutoStartFolderIsHarmless();
    void desktopEntryIsValid_data();
    void desktopEntryIsValid();
    void autoStartOfProgramWithAwkwardPath();
};

void tst_Settings::init()
{
    removePath(storeFile());
    removePath(configHome() + QLatin1String("/Tavrin"));
    removePath(autoStartFolder());
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

    QString username = QStringLiteral("kept user");
    QString password = QStringLiteral("kept password");
    QCOMPARE(QVPNClientSettings::getCredentials(username, password), false);
    QCOMPARE(username, QStringLiteral("kept user"));
    QCOMPARE(password, QStringLiteral("kept password"));

    // Reading creates no store file.
    QVERIFY(!QFile::exists(storeFile()));
}

void tst_Settings::connectionRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("hostname");
    QTest::newRow("plain") << "Germany"
                           << "DE"
                           << "de1.tavrin.invalid";
    QTest::newRow("empty strings") << QString() << QString() << QString();
    QTest::newRow("blank strings") << " "
                                   << "  "
                                   << "\t";
    QTest::newRow("non-ASCII") << QStringLiteral("Österreich – Wien 日本") << QStringLiteral("AT")
                               << QStringLiteral("bücher.example");
    QTest::newRow("characters of the file format")
            << QStringLiteral("a=b; c, \"d\" [e] #f\\g\nh") << QStringLiteral("@Invalid()")
            << QStringLiteral("@ByteArray(x)");
    QTest::newRow("automatic entry") << "Automatic"
                                     << "auto" << tavrinAutoHostname();
}

void tst_Settings::connectionRoundTrip()
{
    QFETCH(QString, name);
    QFETCH(QString, code);
    QFETCH(QString, hostname);

    QVPNClientSettings::setConnection({name, code, hostname});
    const VPNServer read = QVPNClientSettings::getConnection();
    QCOMPARE(read.name, name);
    QCOMPARE(read.code, code);
    QCOMPARE(read.hostname, hostname);
    // A written empty text is no absent key: the defaults do not come back.
    QVERIFY(read.name != QLatin1String("Automatic") || name == QLatin1String("Automatic"));
}

void tst_Settings::storedTypesAndKeys()
{
    QVPNClientSettings::setConnection(
            {QStringLiteral("France"), QStringLiteral("FR"), QStringLiteral("fr.tavrin.invalid")});
    QVPNClientSettings::setCredentials(QStringLiteral("user"), QStringLiteral("secret"));
    QVPNClientSettings::setAutoLogin(true);
    QVPNClientSettings::setFavoriteServers(QStringLiteral("France,Japan"));

    QSettings plain(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tavrin"),
                    QStringLiteral("Tavrin"));
    QCOMPARE(QFileInfo(plain.fileName()).absoluteFilePath(),
             QFileInfo(storeFile()).absoluteFilePath());
    QStringList keys = plain.allKeys();
    keys.sort();
    QCOMPARE(keys, QStringList({"AutoLogin", "Connection Code", "Connection Hostname",
                                "Connection Name", "Creditentials", "FavoriteServers"}));

    const QStringList textKeys = {"Connection Name", "Connection Code", "Connection Hostname",
                                  "Creditentials", "FavoriteServers"};
    for (const QString &key : textKeys)
        QVERIFY2(plain.value(key).userType() == QMetaType::QString, qPrintable(key));
    QCOMPARE(plain.value("Connection Name").toString(), QStringLiteral("France"));
    QCOMPARE(plain.value("Connection Code").toString(), QStringLiteral("FR"));
    QCOMPARE(plain.value("Connection Hostname").toString(), QStringLiteral("fr.tavrin.invalid"));
    QCOMPARE(plain.value("FavoriteServers").toString(), QStringLiteral("France,Japan"));

    // The credential text itself, as the service would receive it.
    const QByteArray text = encodeUserPass(QStringLiteral("user"), QStringLiteral("secret"));
    QVERIFY(!text.isEmpty());
    QCOMPARE(plain.value("Creditentials").toString(), QString::fromLatin1(text));

    // A boolean in the file is the word the file format gives it.
    QCOMPARE(plain.value("AutoLogin").toString(), QStringLiteral("true"));
    QVERIFY(readFile(storeFile()).contains("AutoLogin=true"));
}

void tst_Settings::writtenWhenTheCallReturns()
{
    QVPNClientSettings::setAutoLogin(true);
    QVERIFY(readFile(storeFile()).contains("AutoLogin=true"));
    QVPNClientSettings::setAutoLogin(false);
    QVERIFY(readFile(storeFile()).contains("AutoLogin=false"));

    QVPNClientSettings::setFavoriteServers(QStringLiteral("Sweden"));
    const QByteArray file = readFile(storeFile());
    QVERIFY2(file.contains("FavoriteServers=Sweden"), file.constData());
    // Writing one item keeps the others.
    QVERIFY(file.contains("AutoLogin=false"));
}

void tst_Settings::credentialsRoundTrip_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::newRow("ASCII") << "alice@example.com"
                           << "correct horse battery staple";
    QTest::newRow("non-ASCII") << QStringLiteral("Jürgen Ström") << QStringLiteral("пароль-密码-🔑");
    QTest::newRow("single bytes") << "a"
                                  << "b";
    QTest::newRow("longest pair") << QString(255, QLatin1Char('u'))
                                  << QString(QString(127, QChar(0x00e9)) + QLatin1Char('x'));
    QTest::newRow("NUL inside") << QString(QStringLiteral("us") + QChar(0) + QStringLiteral("er"))
                                << QString(QString(QChar(0)) + QStringLiteral("pw"));
    QTest::newRow("characters of the file format") << "a=b;c,\"d\"\\"
                                                   << "@Variant(x) #y\nz";
}

void tst_Settings::credentialsRoundTrip()
{
    QFETCH(QString, username);
    QFETCH(QString, password);

    QVPNClientSettings::setCredentials(username, password);
    QString readUser = QStringLiteral("before");
    QString readPassword = QStringLiteral("before");
    QVERIFY(QVPNClientSettings::getCredentials(readUser, readPassword));
    QCOMPARE(readUser, username);
    QCOMPARE(readPassword, password);

    // The store holds the credential text, never the password in the clear.
    QSettings plain(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tavrin"),
                    QStringLiteral("Tavrin"));
    QCOMPARE(plain.value("Creditentials").toString(),
             QString::fromLatin1(encodeUserPass(username, password)));
    QVERIFY(!readFile(storeFile()).contains(password.toUtf8()));
}

void tst_Settings::unreadableCredentialsKeepOutParameters_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::newRow("absent") << QVariant();
    QTest::newRow("empty") << QVariant(QString());
    QTest::newRow("no Base64 at all") << QVariant(QStringLiteral("!!!***"));
    QTest::newRow("cut short") << QVariant(QString::fromLatin1(
            encodeUserPass(QStringLiteral("someone"), QStringLiteral("password")).left(8)));
    QTest::newRow("empty user name")
            << QVariant(QString::fromLatin1(encodeUserPass(QString(), QStringLiteral("password"))));
    QTest::newRow("empty password")
            << QVariant(QString::fromLatin1(encodeUserPass(QStringLiteral("someone"), QString())));
    QTest::newRow("number") << QVariant(12345);
}

void tst_Settings::unreadableCredentialsKeepOutParameters()
{
    QFETCH(QVariant, stored);
    if (stored.isValid()) {
        QSettings plain(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tavrin"),
                        QStringLiteral("Tavrin"));
        plain.setValue("Creditentials", stored);
    }
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
    QTest::newRow("both far too long")
            << QString(1000, QLatin1Char('u')) << QString(1000, QLatin1Char('p'));
}

void tst_Settings::overlongCredentialsWriteNothing()
{
    QFETCH(QString, username);
    QFETCH(QString, password);

    // Nothing stored yet: nothing gets stored.
    QVPNClientSettings::setCredentials(username, password);
    {
        QSettings plain(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tavrin"),
                        QStringLiteral("Tavrin"));
        QVERIFY(!plain.contains("Creditentials"));
    }

    // A stored pair survives.
    QVPNClientSettings::setCredentials(QStringLiteral("stored"), QStringLiteral("pair"));
    const QByteArray before = readFile(storeFile());
    QVPNClientSettings::setCredentials(username, password);
    QCOMPARE(readFile(storeFile()), before);
    QString readUser, readPassword;
    QVERIFY(QVPNClientSettings::getCredentials(readUser, readPassword));
    QCOMPARE(readUser, QStringLiteral("stored"));
    QCOMPARE(readPassword, QStringLiteral("pair"));
}

void tst_Settings::autoLoginRoundTrip()
{
    QVPNClientSettings::setAutoLogin(true);
    QCOMPARE(QVPNClientSettings::getAutoLogin(), true);
    QVPNClientSettings::setAutoLogin(false);
    QCOMPARE(QVPNClientSettings::getAutoLogin(), false);
    QVPNClientSettings::setAutoLogin(true);
    QCOMPARE(QVPNClientSettings::getAutoLogin(), true);
}

void tst_Settings::favoritesRoundTrip_data()
{
    QTest::addColumn<QString>("favorites");
    QTest::newRow("empty") << QString();
    QTest::newRow("one") << "Japan";
    QTest::newRow("several") << "Japan,United States,Germany";
    QTest::newRow("non-ASCII") << QStringLiteral("Österreich,España,日本,Россия");
    QTest::newRow("stray separators and blanks") << " ,Japan,, Germany ,";
    QTest::newRow("characters of the file format")
            << QStringLiteral("a=b;c \"d\" \\e [f] #g\nh\ti @Invalid()");
    QTest::newRow("starts with @") << "@Japan";
}

void tst_Settings::favoritesRoundTrip()
{
    QFETCH(QString, favorites);

    QVPNClientSettings::setFavoriteServers(QStringLiteral("something else"));
    QVPNClientSettings::setFavoriteServers(favorites);
    const QString read = QVPNClientSettings::getFavoriteServers();
    QCOMPARE(read, favorites);
    QCOMPARE(read.toUtf8(), favorites.toUtf8());
}

void tst_Settings::storeIsPrivateToTheUser()
{
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const QFileDevice::Permissions unixBits = ownerOnly | QFileDevice::ExeOwner
                                              | QFileDevice::ReadGroup | QFileDevice::WriteGroup
                                              | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                              | QFileDevice::WriteOther | QFileDevice::ExeOther;

    // A fresh store: a folder and a file that only the user can open.
    QVPNClientSettings::setCredentials(QStringLiteral("user"), QStringLiteral("secret"));
    QCOMPARE(QFileInfo(storeFile()).permissions() & unixBits, ownerOnly);
    QCOMPARE(QFileInfo(QFileInfo(storeFile()).absolutePath()).permissions() & unixBits,
             ownerOnly | QFileDevice::ExeOwner);

    // A store left readable by others is closed on the next write, contents kept.
    QVERIFY(QFile::setPermissions(storeFile(),
                                  ownerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    QVPNClientSettings::setAutoLogin(true);
    QCOMPARE(QFileInfo(storeFile()).permissions() & unixBits, ownerOnly);
    QString username, password;
    QVERIFY(QVPNClientSettings::getCredentials(username, password));
    QCOMPARE(username, QStringLiteral("user"));
    QCOMPARE(QVPNClientSettings::getAutoLogin(), true);

    // Later writes keep it closed.
    QVPNClientSettings::setFavoriteServers(QStringLiteral("Japan"));
    QCOMPARE(QFileInfo(storeFile()).permissions() & unixBits, ownerOnly);
}

void tst_Settings::unwritableStoreIsHarmless()
{
    // The store's file cannot be written while a folder stands in its way; writes fail with a
    // warning and nothing else.
    QVERIFY(QDir().mkpath(storeFile()));
    const QRegularExpression warning(QStringLiteral("^QVPNClientSettings: could not write"));
    QTest::ignoreMessage(QtWarningMsg, warning);
    QVPNClientSettings::setAutoLogin(true);
    QTest::ignoreMessage(QtWarningMsg, warning);
    QVPNClientSettings::setConnection(
            {QStringLiteral("Norway"), QStringLiteral("NO"), QStringLiteral("no.tavrin.invalid")});
    QVERIFY(QFileInfo(storeFile()).isDir());
    QVERIFY(QDir(storeFile()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());

    // For the rest of the run the choices stay pending, and the first write that succeeds
    // takes them all to the store.
    QCOMPARE(QVPNClientSettings::getAutoLogin(), true);
    QVERIFY(QDir(storeFile()).removeRecursively());
    QVPNClientSettings::setFavoriteServers(QStringLiteral("Japan"));
    const QByteArray after = readFile(storeFile());
    QVERIFY2(after.contains("AutoLogin=true"), after.constData());
    QVERIFY2(after.contains("no.tavrin.invalid"), after.constData());
    QVERIFY2(after.contains("FavoriteServers=Japan"), after.constData());
}

void tst_Settings::execValueQuoting_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain") << "/usr/bin/tavrin-client"
                           << "\"/usr/bin/tavrin-client\"";
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
    QTest::newRow("newline and tab") << "/a\nb\tc"
                                     << "\"/a\\nb\\tc\"";
    QTest::newRow("single quote and others") << "/it's (a) <b> ~c | d & e ; f * g ? h # i"
                                             << "\"/it's (a) <b> ~c | d & e ; f * g ? h # i\"";
    QTest::newRow("non-ASCII") << QStringLiteral("/home/jürgen/程序/tavrin-client")
                               << QStringLiteral("\"/home/jürgen/程序/tavrin-client\"");
}

void tst_Settings::execValueQuoting()
{
    QFETCH(QString, program);
    QFETCH(QString, exec);
    QCOMPARE(desktopEntryExecValue(program), exec);
}

void tst_Settings::execValueReadsBackAsThePath_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("plain") << "/usr/bin/tavrin-client";
    QTest::newRow("awkward folder") << QString("/tmp/" + awkwardFolderName() + "/tavrin-client");
    QTest::newRow("escapes in a row") << "/\\\\\"\"$$``%%\\n\\t";
    QTest::newRow("control characters") << "/a\nb\rc\td";
    QTest::newRow("trailing backslash") << "/tmp/x\\";
}

void tst_Settings::execValueReadsBackAsThePath()
{
    QFETCH(QString, program);
    const QStringList arguments = execArguments(desktopEntryExecValue(program));
    QCOMPARE(arguments, QStringList(program));
}

void tst_Settings::autoStartOnAndOff()
{
    QVERIFY(!QFileInfo::exists(autoStartFolder()));
    QCOMPARE(QVPNClientSettings::isAutoStart(), false);

    QVPNClientSettings::setAutoStart(true);
    QCOMPARE(QVPNClientSettings::isAutoStart(), true);
    QVERIFY(QFileInfo(autoStartFile()).isFile());

    const QByteArray entry = readFile(autoStartFile());
    QVERIFY2(entry.startsWith("[Desktop Entry]\n"), entry.constData());
    QCOMPARE(desktopEntryValue(entry, QStringLiteral("Type")), QStringLiteral("Application"));
    QCOMPARE(desktopEntryValue(entry, QStringLiteral("Name")), QStringLiteral("Tavrin Client"));
    const QString program = QCoreApplication::applicationFilePath();
    QVERIFY(QFileInfo(program).isAbsolute());
    QCOMPARE(execArguments(desktopEntryValue(entry, QStringLiteral("Exec"))), QStringList(program));

    // Switching it on again leaves one entry with the same content.
    QVPNClientSettings::setAutoStart(true);
    QCOMPARE(readFile(autoStartFile()), entry);
    QCOMPARE(QDir(autoStartFolder()).entryList(QDir::Files | QDir::Hidden),
             QStringList(QStringLiteral("tavrin-client.desktop")));

    QVPNClientSettings::setAutoStart(false);
    QCOMPARE(QVPNClientSettings::isAutoStart(), false);
    QVERIFY(!QFileInfo::exists(autoStartFile()));
}

void tst_Settings::autoStartEntryOfAnotherProgram()
{
    const QByteArray foreign = "[Desktop Entry]\nType=Application\nName=Tavrin Client\n"
                               "Exec=/opt/other-copy/tavrin-client --minimized\n";
    QVERIFY(writeFile(autoStartFile(), foreign));
    QCOMPARE(QVPNClientSettings::isAutoStart(), true);

    // Even an entry this program cannot read counts: only its presence matters.
    QVERIFY(writeFile(autoStartFile(), QByteArray("not a desktop entry")));
    QCOMPARE(QVPNClientSettings::isAutoStart(), true);

    QVPNClientSettings::setAutoStart(true);
    const QByteArray entry = readFile(autoStartFile());
    QCOMPARE(entry, autoStartDesktopEntry(QCoreApplication::applicationFilePath()));
    QCOMPARE(execArguments(desktopEntryValue(entry, QStringLiteral("Exec"))),
             QStringList(QCoreApplication::applicationFilePath()));
}

void tst_Settings::removingAnAbsentEntryIsHarmless()
{
    QVPNClientSettings::setAutoStart(false);
    QCOMPARE(QVPNClientSettings::isAutoStart(), false);

    // Other programs' entries stay where they are.
    const QString other = autoStartFolder() + QLatin1String("/other.desktop");
    QVERIFY(writeFile(other, QByteArray("[Desktop Entry]\nType=Application\nName=Other\n")));
    QVPNClientSettings::setAutoStart(false);
    QCOMPARE(QVPNClientSettings::isAutoStart(), false);
    QVERIFY(QFileInfo(other).isFile());

    QVPNClientSettings::setAutoStart(true);
    QVPNClientSettings::setAutoStart(false);
    QVPNClientSettings::setAutoStart(false);
    QCOMPARE(QVPNClientSettings::isAutoStart(), false);
    QVERIFY(QFileInfo(other).isFile());
}

void tst_Settings::unwritableAutoStartFolderIsHarmless()
{
    // A plain file where the autostart folder should be.
    QVERIFY(writeFile(autoStartFolder(), QByteArray("in the way")));
    QVPNClientSettings::setAutoStart(true);
    QCOMPARE(QVPNClientSettings::isAutoStart(), false);
    QVPNClientSettings::setAutoStart(false);
    QCOMPARE(readFile(autoStartFolder()), QByteArray("in the way"));
    removePath(autoStartFolder());

    // A folder where the entry should be is no entry, and is left alone.
    QVERIFY(QDir().mkpath(autoStartFile()));
    QCOMPARE(QVPNClientSettings::isAutoStart(), false);
    QVPNClientSettings::setAutoStart(true);
    QVPNClientSettings::setAutoStart(false);
    QVERIFY(QFileInfo(autoStartFile()).isDir());
}

void tst_Settings::desktopEntryIsValid_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("this program") << QCoreApplication::applicationFilePath();
    QTest::newRow("awkward folder") << QString("/tmp/" + awkwardFolderName() + "/tavrin-client");
    QTest::newRow("non-ASCII") << QStringLiteral("/home/jürgen/Programme/tavrin-client");
    QTest::newRow("newline") << "/tmp/two\nlines/tavrin-client";
}

void tst_Settings::desktopEntryIsValid()
{
    QFETCH(QString, program);
    if (!haveValidator())
        QSKIP("desktop-file-validate is not installed (package desktop-file-utils)");

    const QString path = TavrinTestEnvironment::instance()->tempDir()
                         + QLatin1String("/candidate.desktop");
    QVERIFY(writeFile(path, autoStartDesktopEntry(program)));
    QString output;
    QVERIFY2(validateDesktopEntry(path, &output), qPrintable(output));

    // The entry this program writes for itself passes too.
    QVPNClientSettings::setAutoStart(true);
    QVERIFY2(validateDesktopEntry(autoStartFile(), &output), qPrintable(output));
}

// A copy of this test program in a folder with every awkward character writes its own entry,
// through the real setAutoStart, and hands it back through a file.
void tst_Settings::autoStartOfProgramWithAwkwardPath()
{
    const QString output = qEnvironmentVariable(childEntryOutput);
    if (!output.isEmpty()) {
        QVPNClientSettings::setAutoStart(true);
        QVERIFY(QVPNClientSettings::isAutoStart());
        QVERIFY(QFile::copy(autoStartFile(), output));
        return;
    }

    const QString folder = TavrinTestEnvironment::instance()->tempDir() + QLatin1Char('/')
                           + awkwardFolderName();
    QVERIFY(QDir().mkpath(folder));
    const QString copy = folder + QLatin1String("/tavrin-client");
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    const QString entryCopy = TavrinTestEnvironment::instance()->tempDir()
                              + QLatin1String("/child.desktop");

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(childEntryOutput), entryCopy);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(copy, {QStringLiteral("autoStartOfProgramWithAwkwardPath")});
    QVERIFY2(child.waitForFinished(240000), "the copied program did not finish");
    const QByteArray childOutput = child.readAll();
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             childOutput.constData());

    const QByteArray entry = readFile(entryCopy);
    QVERIFY2(!entry.isEmpty(), childOutput.constData());
    QCOMPARE(execArguments(desktopEntryValue(entry, QStringLiteral("Exec"))),
             QStringList(QFileInfo(copy).canonicalFilePath()));
    // Nothing leaked into this process's own autostart folder.
    QVERIFY(!QFileInfo::exists(autoStartFile()));

    if (!haveValidator())
        QSKIP("desktop-file-validate is not installed (package desktop-file-utils)");
    QString validation;
    QVERIFY2(validateDesktopEntry(entryCopy, &validation), qPrintable(validation));
}

TAVRIN_TEST_GUILESS_MAIN(tst_Settings)
#include "tst_settings.moc"
