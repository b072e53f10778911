#include "tavrindeployment.h"
#include "tavrintestenvironment.h"

#include <QtCore/qdir.h>
#include <QtCore/qregularexpression.h>
#include <QtTest/qtest.h>

class tst_Deployment : public QObject
{
    Q_OBJECT

private slots:
    void constants();
    void hostsFollowEnvironment_data();
    void hostsFollowEnvironment();
};

void tst_Deployment::constants()
{
    const QString key = QString::fromLatin1(tavrinApiKey);
    QVERIFY2(QRegularExpression(QStringLiteral("\\A[0-9a-f]{32}\\z")).match(key).hasMatch(),
             qPrintable(key));
    QVERIFY(!tavrinAutoHostname().isEmpty());
    // The test environment keeps this program away from the real user's folders.
    TavrinTestEnvironment *env = TavrinTestEnvironment::instance();
    QCOMPARE(QDir::homePath(), env->home());
    QCOMPARE(QDir::tempPath(), env->tempDir());
    QVERIFY(QDir(env->runtimeDir()).exists());
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
    QVERIFY(!builtInApi.isEmpty() && !builtInSite.isEmpty());
    const QString autoHost = tavrinAutoHostname();

    qputenv("TAVRIN_API_HOST", value);
    qputenv("TAVRIN_SITE_HOST", value);
    QCOMPARE(tavrinApiHost(), overrides ? QString::fromLatin1(value) : builtInApi);
    QCOMPARE(tavrinSiteHost(), overrides ? QString::fromLatin1(value) : builtInSite);
    QCOMPARE(tavrinAutoHostname(), autoHost); // a build constant, never from the environment
    qunsetenv("TAVRIN_API_HOST");
    qunsetenv("TAVRIN_SITE_HOST");
}

TAVRIN_TEST_GUILESS_MAIN(tst_Deployment)
#include "tst_deployment.moc"
