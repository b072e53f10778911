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

#include <memory>
#include <vector>

namespace {

QString homeLogPath()
{
    return QDir::homePath() + QStringLiteral("/tst_log.log");
}

QString programLogPath()
{
    const QFileInfo program(QCoreApplication::applicationFilePath());
    return program.absolutePath() + QStringLiteral("/tst_log.log");
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lines of a log, each with its line end.
QList<QByteArray> logLines(const QString &path)
{
    QList<QByteArray> lines;
    const QByteArray content = readFile(path);
    int start = 0;
    for (int end = content.indexOf('\n'); end >= 0; end = content.indexOf('\n', start)) {
        lines.append(content.mid(start, end + 1 - start));
        start = end + 1;
    }
    if (start < content.size())
        lines.append(content.mid(start));
    return lines;
}

const QRegularExpression &lineExpression()
{
    static const QRegularExpression
            expression(QStringLiteral(
                               "\\A(\\d{4}\\.\\d{2}\\.\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}) - "
                               "(Information|Debug|Warning|Error|Critical|Unknown): (.*)\r\n\\z"),
                       QRegularExpression::DotMatchesEverythingOption);
    return expression;
}

class LogWriter : public QThread
{
public:
    LogWriter(int id, int count)
        : m_id(id)
        , m_count(count)
    {}

protected:
    void run() override
    {
        for (int i = 0; i < m_count; ++i)
            writeLog(QStringLiteral("writer %1 line %2 %3").arg(m_id).arg(i).arg(QString(40, 'z')),
                     Warning);
    }

private:
    int m_id;
    int m_count;
};

} // namespace

class tst_Log : public QObject
{
    Q_OBJECT

private slots:
    // The first two run on the logger's initial state.
    void initialThresholdSkipsDebug();
    void initialThresholdWritesWarning();

    void levelWords_data();
    void levelWords();
    void lineFormat();
    void threshold_data();
    void threshold();
    void appendsInCallOrder();
    void writesUtf8();
    void besideProgramThenHome();
    void unwritableFolderLosesTheLine_data();
    void unwritableFolderLosesTheLine();
    void linesFromManyThreadsDoNotInterleave();
    void cleanupTestCase();
};

void tst_Log::initialThresholdSkipsDebug()
{
    QFile::remove(homeLogPath());
    writeLog(QStringLiteral("a debug line"), Debug);
    writeLog(QStringLiteral("an information line"), Information);
    QVERIFY(!QFile::exists(homeLogPath()));
}

void tst_Log::initialThresholdWritesWarning()
{
    writeLog(QStringLiteral("a warning line"), Warning);
    const QList<QByteArray> lines = logLines(homeLogPath());
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().endsWith(" - Warning: a warning line\r\n"), lines.first().constData());
}

// Every test after the first two starts with threshold 0, the home location and no file.
static void startFresh()
{
    setLogOptions(0, false);
    QFile::remove(homeLogPath());
}

void tst_Log::levelWords_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("word");
    QTest::newRow("0") << 0 << "Information: ";
    QTest::newRow("1") << 1 << "Debug: ";
    QTest::newRow("2") << 2 << "Warning: ";
    QTest::newRow("3") << 3 << "Error: ";
    QTest::newRow("4") << 4 << "Critical: ";
    QTest::newRow("5") << 5 << "Unknown: ";
    QTest::newRow("9") << 9 << "Unknown: ";
    QTest::newRow("-1") << -1 << "Unknown: ";
}

void tst_Log::levelWords()
{
    startFresh();
    QFETCH(int, level);
    QFETCH(QString, word);
    setLogOptions(qMin(level, 0), false);
    writeLog(QStringLiteral("message"), level);
    const QList<QByteArray> lines = logLines(homeLogPath());
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lineExpression().match(QString::fromUtf8(lines.first())).hasMatch(),
             lines.first().constData());
    QCOMPARE(lines.first().mid(23), " - " + word.toLatin1() + "message\r\n");
    QCOMPARE(logLevelWord(level), word);
}

void tst_Log::lineFormat()
{
    startFresh();
    const QDateTime before = QDateTime::currentDateTime();
    writeLog(QStringLiteral("format check - with dashes: and colons"), Error);
    const QDateTime after = QDateTime::currentDateTime();

    const QList<QByteArray> lines = logLines(homeLogPath());
    QCOMPARE(lines.size(), 1);
    const QRegularExpressionMatch match = lineExpression().match(QString::fromUtf8(lines.first()));
    QVERIFY2(match.hasMatch(), lines.first().constData());
    QCOMPARE(match.captured(2), QStringLiteral("Error"));
    QCOMPARE(match.captured(3), QStringLiteral("format check - with dashes: and colons"));
    // The stamp is the local time of the call.
    const QDateTime stamp = QDateTime::fromString(match.captured(1),
                                                  QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz"));
    QVERIFY(stamp.isValid());
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
    startFresh();
    QFETCH(int, threshold);
    QFETCH(QList<int>, written);
    setLogOptions(threshold, false);
    for (int level : {-2, 0, 1, 2, 3, 4, 9})
        writeLog(QStringLiteral("level %1").arg(level), level);

    QList<int> levels;
    for (const QByteArray &line : logLines(homeLogPath())) {
        const QRegularExpressionMatch match = lineExpression().match(QString::fromUtf8(line));
        QVERIFY2(match.hasMatch(), line.constData());
        levels.append(match.captured(3).mid(6).toInt());
    }
    QCOMPARE(levels, written);
    QCOMPARE(QFile::exists(homeLogPath()), !written.isEmpty());
}

void tst_Log::appendsInCallOrder()
{
    startFresh();
    {
        QFile file(homeLogPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("earlier content without line end");
    }
    writeLog(QStringLiteral("first"), Warning);
    writeLog(QStringLiteral("second"), Information);
    const QByteArray content = readFile(homeLogPath());
    QVERIFY(content.startsWith("earlier content without line end"));
    const QList<QByteArray> lines = content.mid(32).split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines.at(0).endsWith(" - Warning: first\r"), lines.at(0).constData());
    QVERIFY2(lines.at(1).endsWith(" - Information: second\r"), lines.at(1).constData());
    QVERIFY(lines.at(2).isEmpty());
    QCOMPARE(content.count("\r\n"), 2);
    QCOMPARE(content.count('\n'), 2);
}

void tst_Log::writesUtf8()
{
    startFresh();
    const QString message = QStringLiteral("K\u00f6ln \u041c\u043e\u0441\u043a\u0432\u0430 "
                                           "\u6771\u4eac \U0001F30D");
    writeLog(message, Critical);
    const QByteArray content = readFile(homeLogPath());
    QVERIFY(content.endsWith(" - Critical: " + message.toUtf8() + "\r\n"));
    QVERIFY(content.contains("\xc3\xb6")); // o with diaeresis in UTF-8
}

void tst_Log::besideProgramThenHome()
{
    startFresh();
    QFile::remove(programLogPath());
    setLogOptions(0, true);
    writeLog(QStringLiteral("beside the program"), Information);
    setLogOptions(0, false);
    writeLog(QStringLiteral("in the home folder"), Information);

    const QList<QByteArray> beside = logLines(programLogPath());
    QFile::remove(programLogPath());
    QCOMPARE(beside.size(), 1);
    QVERIFY2(beside.first().endsWith(" - Information: beside the program\r\n"),
             beside.first().constData());
    const QList<QByteArray> home = logLines(homeLogPath());
    QCOMPARE(home.size(), 1);
    QVERIFY2(home.first().endsWith(" - Information: in the home folder\r\n"),
             home.first().constData());
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
    startFresh();
    QFETCH(QString, home);
    const QByteArray realHome = qgetenv("HOME");
    QDir().mkpath(TavrinTestEnvironment::instance()->root()
                  + QStringLiteral("/blocked/tst_log.log"));
    qputenv("HOME", home.toLocal8Bit());
    setLogOptions(0, false);
    writeLog(QStringLiteral("lost"), Critical);
    const QFileInfo target(home + QStringLiteral("/tst_log.log"));
    qputenv("HOME", realHome);
    setLogOptions(0, false);
    QVERIFY(!target.isFile());

    // The logger carries on once the folder is writable again.
    writeLog(QStringLiteral("kept"), Critical);
    QVERIFY(readFile(homeLogPath()).endsWith(" - Critical: kept\r\n"));
}

void tst_Log::linesFromManyThreadsDoNotInterleave()
{
    startFresh();
    const int writers = 4;
    const int count = 150;
    std::vector<std::unique_ptr<LogWriter>> threads;
    for (int id = 0; id < writers; ++id)
        threads.push_back(std::make_unique<LogWriter>(id, count));
    for (const auto &thread : threads)
        thread->start();
    for (const auto &thread : threads)
        QVERIFY(thread->wait(120000));

    const QList<QByteArray> lines = logLines(homeLogPath());
    QCOMPARE(lines.size(), writers * count);
    QVector<int> nextLine(writers, 0);
    for (const QByteArray &line : lines) {
        const QRegularExpressionMatch match = lineExpression().match(QString::fromUtf8(line));
        QVERIFY2(match.hasMatch(), line.constData());
        const QStringList words = match.captured(3).split(QLatin1Char(' '));
        QCOMPARE(words.size(), 5);
        const int id = words.at(1).toInt();
        QVERIFY(id >= 0 && id < writers);
        // Each writer's lines come in its own call order.
        QCOMPARE(words.at(3).toInt(), nextLine[id]++);
    }
}

void tst_Log::cleanupTestCase()
{
    QFile::remove(programLogPath());
}

TAVRIN_TEST_GUILESS_MAIN(tst_Log)
#include "tst_log.moc"
