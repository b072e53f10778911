#include "qicmpecho.h"
#include "qvpnservercombobox.h"
#include "tavrintestenvironment.h"

#include <QtCore/qatomic.h>
#include <QtCore/qmutex.h>
#include <QtCore/qthread.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qabstractitemview.h>
#include <QtWidgets/qapplication.h>

typedef QList<VPNServer> ServerList;

// What the chooser's echo was asked, shared with the test; the echo itself belongs to the
// chooser's ping service and dies with it. While block is set the echo does not come back.
struct EchoLog
{
    QMutex mutex;
    QStringList asked;
    QHash<QString, int> latencies;
    QAtomicInt block{0}, abortable{1}, entered{0}, returned{0}, aborted{0}, destroyed{0};

    QStringList hosts()
    {
        QMutexLocker locker(&mutex);
        return asked;
    }
};

class LoggingEcho : public QIcmpEcho
{
public:
    explicit LoggingEcho(EchoLog *log)
        : m_log(log)
    {}
    ~LoggingEcho() override { m_log->destroyed.ref(); }
    void abort() override
    {
        m_log->aborted.ref();
        if (m_log->abortable.loadAcquire())
            m_log->block.storeRelease(0);
    }
    int echo(const QString &hostname) override
    {
        m_log->mutex.lock();
        m_log->asked.append(hostname);
        const int latency = m_log->latencies.value(hostname, -1);
        m_log->mutex.unlock();
        m_log->entered.ref();
        while (m_log->block.loadAcquire())
            QThread::msleep(20);
        m_log->returned.ref();
        return latency;
    }

private:
    EchoLog *m_log;
};

static const ServerList Sample{{"Automatic", "auto", "auto.example.test"},
                               {"Germany", "DE", "de.example.test"},
                               {"Germany 2", "DE", "de.example.test"},
                               {"France", "FR", "fr.example.test"},
                               {"Japan", "JP", "jp.example.test"}};

static ServerEntry entryAt(const QVPNServerComboBox &chooser, int row)
{
    return chooser.itemData(row, Qt::UserRole).toMap();
}

// The stored latencies, row by row; null where a row has not been measured yet.
static QVariantList pings(const QVPNServerComboBox &chooser)
{
    QVariantList result;
    for (int row = 0; row < chooser.count(); ++row)
        result << entryAt(chooser, row).value(QStringLiteral("ping"));
    return result;
}

class tst_VPNServerComboBox : public QObject
{
    Q_OBJECT

private slots:
    void fillAndCurrentServer();
    void favorites_data();
    void favorites();
    void pingCycle();
    void press_data();
    void press();
    void destructionWhileEchoBlocks_data();
    void destructionWhileEchoBlocks();
};

void tst_VPNServerComboBox::fillAndCurrentServer()
{
    EchoLog log;
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    QCOMPARE(chooser.maxVisibleItems(), 6);
    QCOMPARE(chooser.itemDelegate()->parent(), &chooser);
    const VPNServer chosen{"France", "FR", "fr.example.test"};
    chooser.setCurrentServer(chosen);
    QCOMPARE(chooser.currentServer(), chosen);

    // A fill makes its first row current and gives exactly one row per entry.
    chooser.setServers(Sample);
    QCOMPARE(chooser.model()->rowCount(), 5);
    QCOMPARE(chooser.currentServer(), Sample.first());
    QCOMPARE(chooser.servers(), Sample);
    for (int row = 0; row < 5; ++row) {
        const ServerEntry entry = entryAt(chooser, row);
        QCOMPARE(VPNServer({entry.value("name").toString(), entry.value("code").toString(),
                            entry.value("hostname").toString()}),
                 Sample.at(row));
        QVERIFY(!entry.contains("ping"));
        const QModelIndex index = chooser.model()->index(row, 0);
        QCOMPARE(chooser.model()->flags(index), Qt::ItemFlags(Qt::ItemIsUserCheckable));
    }
    chooser.setServers(Sample.mid(3, 2));
    QCOMPARE(chooser.model()->rowCount(), 2);
    QCOMPARE(chooser.servers(), Sample.mid(3, 2));

    // The current server follows the list, but neither -1 nor an empty fill forget it.
    chooser.setCurrentIndex(1);
    QCOMPARE(chooser.currentServer(), Sample.at(4));
    chooser.setCurrentIndex(-1);
    chooser.setServers(ServerList());
    QCOMPARE(chooser.model()->rowCount(), 0);
    QCOMPARE(chooser.currentServer(), Sample.at(4));
}

void tst_VPNServerComboBox::favorites_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("favorites");
    QTest::newRow("row order, not the text's")
            << QStringList{"Japan,France"} << "France,Japan,France";
    QTest::newRow("marks are only ever added")
            << QStringList{"Japan", "Automatic"} << "Automatic,Japan";
    QTest::newRow("letter case differs") << QStringList{"france,JAPAN"} << QString();
    QTest::newRow("spaces are part of the name") << QStringList{"France, Japan"} << "France,France";
    QTest::newRow("empty parts") << QStringList{",Germany 2,,"} << "Germany 2";
    QTest::newRow("empty and unknown") << QStringList{"", "Atlantis"} << QString();
}

void tst_VPNServerComboBox::favorites()
{
    QFETCH(QStringList, texts);
    EchoLog log;
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    const ServerList servers = Sample + ServerList{{"France", "FR", "fr2.example.test"}};
    chooser.setServers(servers);
    for (const QString &text : texts)
        chooser.setFavoriteServers(text);
    QTEST(chooser.favoriteServers(), "favorites");
    QStringList checked;
    for (int row = 0; row < chooser.count(); ++row) {
        if (chooser.itemData(row, Qt::CheckStateRole).toInt() == Qt::Checked)
            checked << entryAt(chooser, row).value("name").toString();
    }
    QTEST(checked.join(','), "favorites");
    chooser.setServers(servers); // a new fill starts without any
    QCOMPARE(chooser.favoriteServers(), QString());
}

void tst_VPNServerComboBox::pingCycle()
{
    EchoLog log;
    log.latencies = {{"auto.example.test", 12}, {"de.example.test", 250}, {"jp.example.test", 480}};
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    QSignalSpy requests(&chooser, &QVPNServerComboBox::pingHost);
    chooser.setServers(ServerList{{"No host", "XX", QString()}} + Sample);
    QVERIFY(requests.isEmpty()); // the first step waits for its timer

    // One echo per host in row order: the shared host once, the failed one (-1) never again,
    // and never an empty name.
    const QVariantList expected{-1, 12, 250, 250, -1, 480};
    QTRY_COMPARE_WITH_TIMEOUT(pings(chooser), expected, 60000);
    const QStringList hosts{"auto.example.test", "de.example.test", "fr.example.test",
                            "jp.example.test"};
    QCOMPARE(log.hosts(), hosts);
    QCOMPARE(requests.count(), 4);
    QMetaObject::invokeMethod(&chooser, "pingNextServer"); // the cycle has ended
    QCOMPARE(requests.count(), 4);

    // A result for no row changes nothing; a new fill measures anew.
    QMetaObject::invokeMethod(&chooser, "pingResult", Q_ARG(QString, "elsewhere.example.test"),
                              Q_ARG(int, 5));
    QCOMPARE(pings(chooser), expected);
    chooser.setServers(Sample.mid(4));
    QCOMPARE(pings(chooser), QVariantList{QVariant()});
    QTRY_COMPARE_WITH_TIMEOUT(pings(chooser), QVariantList{480}, 60000);
    // Only that host again (the steps still pending may each have sent it once).
    const QStringList again = log.hosts().mid(4);
    QVERIFY(!again.isEmpty() && again.count("jp.example.test") == again.size());
}

void tst_VPNServerComboBox::press_data()
{
    QTest::addColumn<int>("fromRight");
    QTest::addColumn<bool>("emitsPressed");
    QTest::newRow("left part") << 250 << true;
    QTest::newRow("width - 75") << 75 << true;
    QTest::newRow("width - 74") << 74 << false;
    QTest::newRow("right edge") << 1 << false;
}

void tst_VPNServerComboBox::press()
{
    QFETCH(int, fromRight);
    QFETCH(bool, emitsPressed);
    EchoLog log;
    QWidget window;
    auto *chooser = new QVPNServerComboBox(new LoggingEcho(&log), &window);
    chooser->setGeometry(10, 10, 297, 62);
    chooser->setServers(Sample);
    window.resize(320, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy pressed(chooser, &QVPNServerComboBox::pressed);
    QTest::mousePress(chooser, Qt::LeftButton, {}, QPoint(chooser->width() - fromRight, 30));
    QCOMPARE(pressed.count(), emitsPressed ? 1 : 0);
    QCOMPARE(chooser->view()->isVisible(), !emitsPressed);
    chooser->hidePopup();
}

void tst_VPNServerComboBox::destructionWhileEchoBlocks_data()
{
    QTest::addColumn<bool>("abortable");
    QTest::newRow("echo gives up when asked") << true;
    QTest::newRow("echo cannot be interrupted") << false;
}

void tst_VPNServerComboBox::destructionWhileEchoBlocks()
{
    QFETCH(bool, abortable);
    EchoLog log;
    log.block.storeRelease(1);
    log.abortable.storeRelease(abortable ? 1 : 0);
    auto *chooser = new QVPNServerComboBox(new LoggingEcho(&log));
    chooser->setServers(Sample);
    QTRY_COMPARE_WITH_TIMEOUT(log.entered.loadAcquire(), 1, 60000);

    delete chooser; // never waits for the echo to come back
    QCOMPARE(log.aborted.loadAcquire(), 1);
    if (!abortable)
        QCOMPARE(log.returned.loadAcquire(), 0);
    // Either way the service and its thread are released once the echo has ended.
    log.block.storeRelease(0);
    QTRY_COMPARE_WITH_TIMEOUT(log.destroyed.loadAcquire(), 1, 60000);
    QCOMPARE(log.hosts(), QStringList{"auto.example.test"});
}

TAVRIN_TEST_MAIN(tst_VPNServerComboBox)
#include "tst_vpnservercombobox.moc"
