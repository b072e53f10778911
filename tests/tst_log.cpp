#include "tavrinlog.h"
#include "tavrintestenvironment.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qdatetime.h>
#include <QtCore/qdir.h>
#include <QtCore/qfile.h>
#include <QtCore/qfileinfo.h>
#include <QtCore/qregularexpression.h>
#include <QtCore/qthread.h>
#include <QtTest/qtest.h>

namespace {

QString homeLogPath()
{
    return QDir::homePath() + QStringLiteral("/tavrin-client.log");
}

QString programLogPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tst_log.log");
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lines of a log, each with its line end.
QList<QByteArray> logLines(const QString &path)
{
    QList<QByteArray> lines = readFile(path).split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines)
        line += '\n';
    return lines;
}

// Matches a whole line; captures the stamp, the level word and the message.
QRegularExpressionMatch matchLine(const QByteArray &line)
{
    static const QRegularExpression
            expression(QStringLiteral(
                               "\\A(\\d{4}\\.\\d{2}\\.\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}) - "
                               "(Information|Debug|Warning|Error|Critical|Unknown): (.*)\r\n\\z"),
                       QRegularExpression::DotMatchesEverythingOption);
    return expression.match(QString::fromUtf8(line));
}

// Every test after the first starts with threshold 0, the home location and no file.
void startFresh()
{
    setLogOptions(0, false);
    QFile::remove(homeLogPath());
}

} // namespace

class tst_Log : public QObject
{
    Q_OBJECT

private slots:
    void initialThresholdIsWarning(); // runs on the logger's initial state
    void lineFormat_data();
    void lineFormat();
    void threshold_data();
    void threshold();
    void bothLocationsAppendInCallOrder();
    void unwritableFolderLosesTheLine_data();
    void unwritableFolderLosesTheLine();
    void linesFromManyThreadsDoNotInterleave();
};

void tst_Log::initialThresholdIsWarning()
{
    QFile::remove(homeLogPath());
    writeLog(QStringLiteral("a debug line"), Debug);
    writeLog(QStringLiteral("an information line"), Information);
    QVERIFY(!QFile::exists(homeLogPath()));
    writeLog(QStringLiteral("a warning line"), Warning);
    const QList<QByteArray> lines = logLines(homeLogPath());
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().endsWith(" - Warning: a warning line\r\n"), lines.first().constData());
}

void tst_Log::lineFormat_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("word");
    QTest::newRow("0") << 0 << "Information";
    QTest::newRow("1") << 1 << "Debug";
    QTest::newRow("2") << 2 << "Warning";
    QTest::newRow("3") << 3 << "Error";
    QTest::newRow("4") << 4 << "Critical";
    QTest::newRow("5") << 5 << "Unknown";
    QTest::newRow("-1") << -1 << "Unknown";
}

void tst_Log::lineFormat()
{
    QFETCH(int, level);
    QFETCH(QString, word);
    const QString message = QStringLiteral("K\u00f6ln \u6771\u4eac \U0001F30D - dashes: colons");
    startFresh();
    setLogOptions(qMin(level, 0), false);
    const QDateTime before = QDateTime::currentDateTime();
    writeLog(message, level);
    const QDateTime after = QDateTime::currentDateTime();

    const QList<QByteArray> lines = logLines(homeLogPath());
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().endsWith(" - " + word.toLatin1() + ": " + message.toUtf8() + "\r\n"),
             lines.first().constData());
    const QRegularExpressionMatch match = matchLine(lines.first());
    QVERIFY2(match.hasMatch(), lines.first().constData());
    QCOMPARE(logLevelWord(level), word + QStringLiteral(": "));
    // The stamp is the local time of the call.
    const QDateTime stamp = QDateTime::fromString(match.captured(1),
                                                  QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz"));
    QVERIFY2(stamp >= before && stamp <= after, qPrintable(match.captured(1)));
}

void tst_Log::threshold_data()
{
    QTest::addColumn<int>("threshold");
    QTest::addColumn<QList<int>>("written");
    QTest::newRow("0 writes all") << 0 << QList<int>{0, 1, 2, 3, 4, 9};
    QTest::newRow("3 writes error and above") << 3 << QList<int>{3, 4, 9};
    QTest::newRow("5 writes unknown levels above it") << 5 << QList<int>{9};
    QTest::newRow("-3 writes negative levels too") << -3 << QList<int>{-2, 0, 1, 2, 3, 4, 9};
    QTest::newRow("100 writes nothing") << 100 << QList<int>{};
}

void tst_Log::threshold()
{
    QFETCH(int, threshold);
    QFETCH(QList<int>, written);
    startFresh();
    setLogOptions(threshold, false);
    for (int level : {-2, 0, 1, 2, 3, 4, 9})
        writeLog(QStringLiteral("level %1").arg(level), level);

    QList<int> levels;
    for (const QByteArray &line : logLines(homeLogPath()))
        levels.append(matchLine(line).captured(3).mid(6).toInt());
    QCOMPARE(levels, written);
    QCOMPARE(QFile::exists(homeLogPath()), !written.isEmpty());
}

void tst_Log::bothLocationsAppendInCallOrder()
{
    startFresh();
    QFile::remove(programLogPath());
    {
        QFile file(homeLogPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("earlier content without line end");
    }
    setLogOptions(0, true);
    writeLog(QStringLiteral("beside the program"), Information);
    setLogOptions(0, false);
    writeLog(QStringLiteral("first"), Warning);
    writeLog(QStringLiteral("second"), Information);

    const QList<QByteArray> beside = logLines(programLogPath());
    QFile::remove(programLogPath());
    QCOMPARE(beside.size(), 1);
    QCOMPARE(matchLine(beside.first()).captured(3), QStringLiteral("beside the program"));
    const QList<QByteArray> home = logLines(homeLogPath());
    QCOMPARE(home.size(), 2);
    QVERIFY2(home.at(0).startsWith("earlier content without line end")
                     && home.at(0).endsWith(" - Warning: first\r\n"),
             home.at(0).constData());
    QCOMPARE(matchLine(home.at(1)).captured(3), QStringLiteral("second"));
}

void tst_Log::unwritableFolderLosesTheLine_data()
{
    QTest::addColumn<QString>("home");
    const QString root = TavrinTestEnvironment::instance()->root();
    QTest::newRow("missing folder") << root + QStringLiteral("/no/such/folder");
    QTest::newRow("read-only file system") << QStringLiteral("/proc");
    QTest::newRow("a folder in place of the file") << root + QStringLiteral("/blocked");
}

void tst_Log::unwritableFolderLosesTheLine()
{
    QFETCH(QString, home);
    startFresh();
    const QByteArray realHome = qgetenv("HOME");
    QDir().mkpath(TavrinTestEnvironment::instance()->root()
                  + QStringLiteral("/blocked/tavrin-client.log"));
    qputenv("HOME", home.toLocal8Bit());
    setLogOptions(0, false);
    writeLog(QStringLiteral("lost"), Critical);
    qputenv("HOME", realHome);
    setLogOptions(0, false);
    QVERIFY(!QFileInfo(home + QStringLiteral("/tavrin-client.log")).isFile());

    // The logger carries on once the folder is writable again.
    writeLog(QStringLiteral("kept"), Critical);
    QVERIFY(readFile(homeLogPath()).endsWith(" - Critical: kept\r\n"));
}

void tst_Log::linesFromManyThreadsDoNotInterleave()
{
    startFresh();
    const int writers = 4;
    const int count = 150;
    QList<QThread *> threads;
    for (int id = 0; id < writers; ++id) {
        threads << QThread::create([id] {
            for (int i = 0; i < count; ++i)
                writeLog(QStringLiteral("writer %1 line %2 %3").arg(id).arg(i).arg(QString(40, 'z')),
                         Warning);
        });
        threads.last()->setParent(this);
        threads.last()->start();
    }
    for (QThread *thread : threads)
        QVERIFY(thread->wait(120000));
    qDeleteAll(threads);

    const QList<QByteArray> lines = logLines(homeLogPath());
    QCOMPARE(lines.size(), writers * count);
    QVector<int> nextLine(writers, 0);
    for (const QByteArray &line : lines) {
        const QStringList words = matchLine(line).captured(3).split(QLatin1Char(' '));
        QVERIFY2(words.size() == 5, line.constData());
        const int id = words.at(1).toInt();
        QVERIFY(id >= 0 && id < writers);
        QCOMPARE(words.at(3).toInt(), nextLine[id]++); // each writer's lines in its call order
    }
}

TAVRIN_TEST_GUILESS_MAIN(tst_Log)
#include "tst_log.moc"
