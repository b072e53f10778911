// The base layer: the log file and the web hosts that the environment may override.

#include "base/tavrindeployment.h"
#include "base/tavrinlog.h"
#include "tavrintestenvironment.h"

#include <QtTest/QtTest>

class tst_Base : public QObject
{
    Q_OBJECT

    static QString homeLog()
    {
        return TavrinTestEnvironment::instance()->home() + QStringLiteral("/tavrin-client.log");
    }
    static QString content()
    {
        QFile file(homeLog());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
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
    void init()
    {
        QFile::remove(homeLog());
        setLogOptions(Debug, false);
    }

    void thresholdAndLineFormat()
    {
        const QString message = QStringLiteral("K\u00f6ln \U0001F30D - Error: x");
        setLogOptions(Warning, false);
        const QDateTime before = QDateTime::currentDateTime();
        writeLog(message, Warning);
        const QDateTime after = QDateTime::currentDateTime();
        setLogOptions(Critical, false);
        writeLog(QStringLiteral("hidden"), Error);
        writeLog(QStringLiteral("shown"), Critical);
        const QString line = "(\\d{4}\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}) - %1\r\n";
        const QRegularExpressionMatch match
                = QRegularExpression("\\A"
                                     + line.arg("Warning: " + QRegularExpression::escape(message))
                                     + line.arg("Critical: shown") + "\\z")
                          .match(content());
        QVERIFY2(match.hasMatch(), qPrintable(content()));
        const QDateTime time = QDateTime::fromString(match.captured(1), "yyyy.MM.dd hh:mm:ss.zzz");
        QVERIFY2(before <= time && time <= after, qPrintable(match.captured(1)));
    }

    void locations()
    {
        const QString beside = QCoreApplication::applicationDirPath() + "/tst_base.log";
        const QString root = TavrinTestEnvironment::instance()->root();
        const QByteArray home = qgetenv(TavrinTestEnvironment::homeVariable());
        setLogOptions(Debug, true);
        writeLog(QStringLiteral("beside"), Error);
        const QStringList besideEntries = TavrinTestEnvironment::logEntries(beside);
        QFile::remove(beside);
        QCOMPARE(besideEntries, QStringList{"Error: beside"});
        // A folder that cannot take the file loses the line, and nothing else.
        QVERIFY(QDir().mkpath(root + "/blocked/tavrin-client.log"));
        for (const QString &folder : QStringList{root + "/missing", "/proc", root + "/blocked"}) {
            qputenv(TavrinTestEnvironment::homeVariable(), folder.toLocal8Bit());
            setLogOptions(Debug, false);
            writeLog(QStringLiteral("lost"), Critical);
            QVERIFY2(!QFileInfo(folder + "/tavrin-client.log").isFile(), qPrintable(folder));
        }
        qputenv(TavrinTestEnvironment::homeVariable(), home);
        setLogOptions(Debug, false);
        writeLog(QStringLiteral("home"), Warning);
        writeLog(QStringLiteral("home again"), Debug);
        QCOMPARE(TavrinTestEnvironment::logEntries(),
                 (QStringList{"Warning: home", "Debug: home again"}));
    }

    void linesFromManyThreadsDoNotInterleave()
    {
        QList<QThread *> threads;
        for (int id = 0; id < 4; ++id) {
            threads << QThread::create([id] {
                for (int i = 0; i < 100; ++i)
                    writeLog(QStringLiteral("%1 %2 %3").arg(id).arg(i).arg(QString(60, 'z')), Error);
            });
            threads.last()->start();
        }
        for (QThread *thread : threads)
            QVERIFY(thread->wait(Patience));
        qDeleteAll(threads);
        const QStringList lines = TavrinTestEnvironment::logEntries();
        QCOMPARE(lines.size(), 400);
        QCOMPARE(lines.filter(QRegularExpression("\\AError: \\d \\d+ z{60}\\z")), lines);
    }

    void webBase_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("scheme"); // the built-in one
        QTest::addColumn<QString>("base");   // empty: refused
        const char *const rows[][3] = {
                {"127.0.0.1:8377", "https", "https://127.0.0.1:8377"},
                {"site.test", "http", "http://site.test"},
                {"http://127.0.0.1:8377", "https", "http://127.0.0.1:8377"},
                {"HTTPS://Site.Test", "http", "https://site.test"},
                {"[::1]:8443", "https", "https://[::1]:8443"},
                {"ftp://127.0.0.1", "https", ""},
                {"http://", "http", ""},
                {"http://127.0.0.1:8377/", "https", ""},
                {"user:secret@site.test", "https", ""},
                {"site.test?x=1", "https", ""},
                {"site.test:0", "https", ""},
                {"site.test:http", "https", ""},
        };
        for (const auto &row : rows)
            QTest::newRow(row[0]) << row[0] << row[1] << row[2];
    }
    void webBase()
    {
        QFETCH(QString, text);
        QFETCH(QString, scheme);
        QTEST(tavrinWebBase(text, scheme).toString(), "base");
    }

    void hostsFollowEnvironment()
    {
        qunsetenv("TAVRIN_API_HOST");
        qunsetenv("TAVRIN_SITE_HOST");
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
        qunsetenv("TAVRIN_API_HOST");
        qunsetenv("TAVRIN_SITE_HOST");
    }
};

TAVRIN_TEST_GUILESS_MAIN(tst_Base)
#include "tst_base.moc"
