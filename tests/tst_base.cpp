// The base and settings layers: the log file, the web hosts that the environment may override
// and the settings store, inside the test's own home folders or HKEY_CURRENT_USER. Every
// function starts from the same state, whatever ran before it and however it ended.

#include "base/tavrindeployment.h"
#include "base/tavrinlog.h"
#include "service/tavrincredentials.h"
#include "settings/qvpnclientsettings.h"
#include "tavrintestenvironment.h"
#include "tavrintestplatform.h"

#include <QtTest/QtTest>

class tst_Base : public QObject
{
    Q_OBJECT

    const QByteArray m_home = qgetenv(TavrinTestEnvironment::homeVariable());
    const QByteArray m_zone = qgetenv("TZ");
    static inline qint64 s_now = 0;

    static QString beside() { return QCoreApplication::applicationDirPath() + "/tst_base.log"; }
    static QStringList hosts() { return {tavrinApiBase().toString(), tavrinSiteBase().toString()}; }

private slots:
    // Before anything sets the options: the logger as the program starts it, which writes from
    // Warning up, in the home folder.
    void initTestCase()
    {
        writeLog(QStringLiteral("hidden"), Debug);
        writeLog(QStringLiteral("shown"), Warning);
        QCOMPARE(TavrinTestEnvironment::logEntries(), QStringList{"Warning: shown"});
    }
    void init() { cleanup(); }
    void cleanup()
    {
        qputenv(TavrinTestEnvironment::homeVariable(), m_home);
        m_zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", m_zone);
        qunsetenv("TAVRIN_API_HOST");
        qunsetenv("TAVRIN_SITE_HOST");
        setLogClock(nullptr);
        setLogOptions(Debug, false);
        QFile::remove(TavrinTestEnvironment::instance()->home() + "/tavrin-client.log");
        QFile::remove(beside());
        TavrinTestPlatform::clearSettings();
    }

    // The time stamp in local time, five and a half hours ahead of UTC here.
    void thresholdAndLineFormat()
    {
        qputenv("TZ", "XYZ-5:30");
        setLogClock([] { return s_now; });
        const QString message = QStringLiteral("K\u00f6ln \U0001F30D - Error: x");
        setLogOptions(Warning, false);
        s_now = Q_INT64_C(1709602689010);
        writeLog(message, Warning);
        setLogOptions(Critical, false);
        writeLog(QStringLiteral("hidden"), Error);
        s_now = Q_INT64_C(1735669799999);
        writeLog(QStringLiteral("shown"), Critical);
        QFile file(TavrinTestEnvironment::instance()->home() + "/tavrin-client.log");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()),
                 "2024.03.05 07:08:09.010 - Warning: " + message
                         + "\r\n2024.12.31 23:59:59.999 - Critical: shown\r\n");
    }

    void locations()
    {
        setLogOptions(Debug, true);
        writeLog(QStringLiteral("beside"), Error);
        QCOMPARE(TavrinTestEnvironment::logEntries(beside()), QStringList{"Error: beside"});
        // A folder that cannot take the file loses the line, and nothing else.
        const QString root = TavrinTestEnvironment::instance()->root();
        QVERIFY(QDir().mkpath(root + "/blocked/tavrin-client.log"));
        for (const QString &folder : QStringList{root + "/missing", "/proc", root + "/blocked"}) {
            qputenv(TavrinTestEnvironment::homeVariable(), folder.toLocal8Bit());
            setLogOptions(Debug, false);
            writeLog(QStringLiteral("lost"), Critical);
            QVERIFY2(!QFileInfo(folder + "/tavrin-client.log").isFile(), qPrintable(folder));
        }
        qputenv(TavrinTestEnvironment::homeVariable(), m_home);
        setLogOptions(Debug, false);
        writeLog(QStringLiteral("home"), Warning);
        writeLog(QStringLiteral("home again"), Debug);
        QCOMPARE(TavrinTestEnvironment::logEntries(),
                 (QStringList{"Warning: home", "Debug: home again"}));
    }

    void linesFromManyThreadsDoNotInterleave()
    {
        QThreadPool pool;
        pool.setMaxThreadCount(4);
        for (int id = 0; id < 4; ++id) {
            pool.start([id] {
                for (int i = 0; i < 100; ++i)
                    writeLog(QStringLiteral("%1 %2 %3").arg(id).arg(i).arg(QString(60, 'z')), Error);
            });
        }
        QVERIFY(pool.waitForDone(Patience));
        const QStringList lines = TavrinTestEnvironment::logEntries();
        QCOMPARE(lines.size(), 400);
        QCOMPARE(lines.filter(QRegularExpression("\\AError: \\d \\d+ z{60}\\z")), lines);
    }

    void webBase_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("scheme"); // the built-in one
        QTest::addColumn<QString>("base");   // none: refused
        for (const char *row :
             {"127.0.0.1:8377 https https://127.0.0.1:8377", "site.test http http://site.test",
              "http://127.0.0.1:8377 https http://127.0.0.1:8377",
              "HTTPS://Site.Test http https://site.test", "[::1]:8443 https https://[::1]:8443",
              "ftp://127.0.0.1 https", "http:// http", "http://127.0.0.1:8377/ https",
              "user:secret@site.test https", "site.test?x=1 https", "site.test:0 https",
              "site.test:http https"}) {
            const QStringList columns = QString(row).split(' ');
            QTest::newRow(row) << columns.at(0) << columns.at(1) << columns.value(2);
        }
    }
    void webBase()
    {
        QFETCH(QString, text);
        QFETCH(QString, scheme);
        QTEST(tavrinWebBase(text, scheme).toString(), "base");
    }

    void hostsFollowEnvironment()
    {
        const QStringList builtIn = hosts();
        qputenv("TAVRIN_API_HOST", "  ");
        QCOMPARE(hosts(), builtIn);
        qputenv("TAVRIN_API_HOST", " http://127.0.0.1:8080\n");
        QCOMPARE(tavrinApiBase().toString(), "http://127.0.0.1:8080");
        // What is not a web host is not guessed at: the built-in one stays, the log tells.
        qputenv("TAVRIN_API_HOST", "ftp://127.0.0.1:8080");
        qputenv("TAVRIN_SITE_HOST", "site.test/x");
        QCOMPARE(hosts(), builtIn);
        for (const char *line : {"TAVRIN_API_HOST=\"ftp://127.0.0.1:8080\" is not an http or",
                                 "TAVRIN_SITE_HOST=\"site.test/x\" is not an http or"})
            QVERIFY2(TavrinTestEnvironment::logText().contains(line), line);
    }

    // On disk when each call returns, under the keys that earlier versions wrote, for the user
    // alone: the credentials as their credential text, never the password itself.
    void settingsStore()
    {
        QVERIFY(!QVPNClientSettings::getAutoLogin() && !QVPNClientSettings::isAutoStart());
        QCOMPARE(TavrinTestPlatform::storedSettings(), QStringList()); // reading creates nothing
        const VPNServer france{"France", "FR", "fr.tavrin.invalid"};
        const QString password = QStringLiteral("s\u00e9cret");
        QVPNClientSettings::setConnection(france);
        QVPNClientSettings::setCredentials("user", password);
        QVPNClientSettings::setFavoriteServers("France,Japan");
        QVPNClientSettings::setAutoLogin(true);
        QCOMPARE(TavrinTestPlatform::storeAccessProblem(), QString());
        QCOMPARE(TavrinTestPlatform::storedSettings(),
                 QStringList(
                         {"AutoLogin=true", "Connection Code=FR",
                          "Connection Hostname=fr.tavrin.invalid", "Connection Name=France",
                          "Creditentials=" + QString::fromLatin1(encodeUserPass("user", password)),
                          "FavoriteServers=France,Japan"}));
        // A pair too long for the credential text keeps the stored one; one write keeps the rest,
        // and closes a store left open to others again.
        QVERIFY(TavrinTestPlatform::openStoreToOthers());
        QVPNClientSettings::setCredentials(QString(256, 'u'), "p");
        QVPNClientSettings::setAutoLogin(false);
        QCOMPARE(TavrinTestPlatform::storeAccessProblem(), QString());
        QStringList credentials{"", ""};
        QVERIFY(QVPNClientSettings::getCredentials(credentials[0], credentials[1]));
        QCOMPARE(credentials, QStringList({"user", password}));
        QCOMPARE(QVPNClientSettings::getConnection(), france);
        QCOMPARE(QVPNClientSettings::getFavoriteServers(), QStringLiteral("France,Japan"));
        QVERIFY(!QVPNClientSettings::getAutoLogin());
    }
};

TAVRIN_TEST_GUILESS_MAIN(tst_Base)
#include "tst_base.moc"
