// The settings store, inside the test's own XDG_CONFIG_HOME or HKEY_CURRENT_USER.

#include "base/tavrindeployment.h"
#include "service/tavrincredentials.h"
#include "settings/qvpnclientsettings.h"
#include "tavrintestenvironment.h"
#include "tavrintestplatform.h"

#include <QtCore/qdir.h>
#include <QtTest/qtest.h>

class tst_Settings : public QObject
{
    Q_OBJECT

private slots:
    void init() { TavrinTestPlatform::clearSettings(); }

    // On disk when each call returns, under the keys that earlier versions wrote, for the user
    // alone: the credentials as their credential text, never the password itself.
    void store()
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

TAVRIN_TEST_GUILESS_MAIN(tst_Settings)
#include "tst_settings.moc"
