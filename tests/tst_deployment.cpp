#include "tavrindeployment.h"
#include "tavrintestenvironment.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qdir.h>
#include <QtTest/qtest.h>

class tst_Deployment : public QObject
{
    Q_OBJECT

private slots:
    void apiKeyIsLowerHex();
    void hostsFollowEnvironment_data();
    void hostsFollowEnvironment();
    void tempAndHomeAreIsolated();
};

void tst_Deployment::apiKeyIsLowerHex()
{
    const QString key = QString::fromLatin1(tavrinApiKey);
    QCOMPARE(key.size(), 32);
    for (const QChar c : key)
        QVERIFY2((c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                         || (c >= QLatin1Char('a') && c <= QLatin1Char('f')),
                 qPrintable(key));
}

void tst_Deployment::hostsFollowEnvironment_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("overrides");
    QTest::newRow("host and port") << QByteArray("127.0.0.1:8080") << true;
    QTest::newRow("plain host") << QByteArray("api.example.test") << true;
    QTest::newRow("empty keeps the built-in host") << QByteArray("") << false;
    QTest::newRow("blank keeps the built-in host") << QByteArray("   ") << false;
}

void tst_Deployment::hostsFollowEnvironment()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, overrides);
    qunsetenv("TAVRIN_API_HOST");
    qunsetenv("TAVRIN_SITE_HOST");
    const QString builtInApi = tavrinApiHost();
    const QString builtInSite = tavrinSiteHost();
    QVERIFY(!builtInApi.isEmpty());
    QVERIFY(!builtInSite.isEmpty());

    qputenv("TAVRIN_API_HOST", value);
    qputenv("TAVRIN_SITE_HOST", value);
    QCOMPARE(tavrinApiHost(), overrides ? QString::fromLatin1(value) : builtInApi);
    QCOMPARE(tavrinSiteHost(), overrides ? QString::fromLatin1(value) : builtInSite);
    // The automatic-selection host is a build constant, never taken from the environment.
    QVERIFY(!tavrinAutoHostname().isEmpty());
    qunsetenv("TAVRIN_API_HOST");
    qunsetenv("TAVRIN_SITE_HOST");
}

void tst_Deployment::tempAndHomeAreIsolated()
{
    TavrinTestEnvironment *env = TavrinTestEnvironment::instance();
    QVERIFY(env);
    QCOMPARE(QDir::homePath(), env->home());
    QCOMPARE(QDir::tempPath(), env->tempDir());
    QVERIFY(QDir(env->runtimeDir()).exists());
}

TAVRIN_TEST_GUILESS_MAIN(tst_Deployment)
#include "tst_deployment.moc"
