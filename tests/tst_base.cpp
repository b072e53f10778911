// The base and settings layers: the log file and the settings store, inside the test's own home
// folders or HKEY_CURRENT_USER. Every function starts from the same state.

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

private slots:
    void init()
    {
        qputenv(TavrinTestEnvironment::homeVariable(), m_home);
        m_zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", m_zone);
        setLogClock(nullptr);
        QFile::remove(TavrinTestEnvironment::instance()->home() + "/tavrin-client.log");
        TavrinTestPlatform::clearSettings();
    }

    // The logger as the program starts it, before anything sets the options: from Warning up, in
    // the home folder, the time stamp in local time (five and a half hours ahead of UTC here).
    void logFile()
    {
        qputenv("TZ", "XYZ-5:30");
        setLogClock([] { return Q_INT64_C(1709602689010); });
        const QString message = QStringLiteral("K\u00f6ln \U0001F30D - Error: x");
        writeLog(QStringLiteral("hidden"), Debug);
        writeLog(message, Warning);
        QFile file(TavrinTestEnvironment::instance()->home() + "/tavrin-client.log");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()),
                 "2024.03.05 07:08:09.010 - Warning: " + message + "\r\n");
        // A home folder that cannot take the file loses the line, and nothing else.
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
        writeLog(QStringLiteral("home"), Debug);
        QCOMPARE(TavrinTestEnvironment::logEntries().mid(1), QStringList{"Debug: home"});
    }

    // A web host from the environment: host, host:port or either behind http:// or https://;
    // anything else is refused (an empty address), and the built-in host then serves.
    void webBase()
    {
        for (const char *row :
             {"127.0.0.1:8377 https https://127.0.0.1:8377", "site.test http http://site.test",
              "http://127.0.0.1:8377 https http://127.0.0.1:8377",
              "HTTPS://Site.Test http https://site.test", "[::1]:8443 https https://[::1]:8443",
              "ftp://127.0.0.1 https", "http:// http", "http://127.0.0.1:8377/ https",
              "user:secret@site.test https", "site.test?x=1 https", "site.test:0 https",
              "site.test:http https"}) {
            const QStringList columns = QString(row).split(' ');
            QCOMPARE(tavrinWebBase(columns.at(0), columns.at(1)).toString(), columns.value(2));
        }
    }

    // A first run's: no options, the automatic server. On disk when each call returns, under the
    // keys earlier versions wrote, for the user alone; the credentials as credential text only.
    void settingsStore()
    {
        QVERIFY(!QVPNClientSettings::getAutoLogin() && !QVPNClientSettings::isAutoStart());
        QCOMPARE(QVPNClientSettings::getConnection(),
                 VPNServer({"Automatic", "auto", tavrinAutoHostname()}));
        QCOMPARE(TavrinTestPlatform::storedSettings(), QStringList()); // reading creates nothing
        const VPNServer france{"France", "FR", "fr.tavrin.invalid"};
        const QString password = QStringLiteral("s\u00e9cret");
        QVPNClientSettings::setConnection(france);
        QVPNClientSettings::setCredentials("user", password);
        QVPNClientSettings::setFavoriteServers("France,Japan");
        QVPNClientSettings::setAutoLogin(true);
        QCOMPARE(TavrinTestPlatform::storeAccessProblem(), QString());
        QString stored = QString("AutoLogin=true|Connection Code=FR|Connection Hostname=fr.tavrin."
                                 "invalid|Connection Name=France|Creditentials=%1|FavoriteServers="
                                 "France,Japan")
                                 .arg(QString::fromLatin1(encodeUserPass("user", password)));
        QCOMPARE(TavrinTestPlatform::storedSettings(), stored.split('|'));
        // A pair too long for the credential text keeps the stored one; one write keeps the rest,
        // and closes a store left open to others again.
        QVERIFY(TavrinTestPlatform::openStoreToOthers());
        QVPNClientSettings::setCredentials(QString(256, 'u'), "p");
        QVPNClientSettings::setAutoLogin(false);
        QCOMPARE(TavrinTestPlatform::storeAccessProblem(), QString());
        QCOMPARE(TavrinTestPlatform::storedSettings(), stored.replace("=true", "=false").split('|'));
    }
};

TAVRIN_TEST_GUILESS_MAIN(tst_Base)
#include "tst_base.moc"
