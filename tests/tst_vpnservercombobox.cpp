#include "qicmpecho.h"
#include "qvpnservercombobox.h"
#include "tavrintestenvironment.h"

#include <QtCore/qatomic.h>
#include <QtCore/qmutex.h>
#include <QtCore/qthread.h>
#include <QtGui/qstandarditemmodel.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qabstractitemview.h>
#include <QtWidgets/qapplication.h>

typedef QList<VPNServer> ServerList;

// What the chooser's echo was asked, shared with the test; the echo itself belongs to the
// chooser's ping service and dies with it.
struct EchoLog
{
    QMutex mutex;
    QStringList asked;
    QHash<QString, int> latencies;
    QAtomicInt block{0};
    QAtomicInt entered{0};
    QAtomicInt returned{0};
    QAtomicInt abortable{1};
    QAtomicInt aborted{0};
    QAtomicInt destroyed{0};

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
        int latency;
        {
            QMutexLocker locker(&m_log->mutex);
            m_log->asked.append(hostname);
            latency = m_log->latencies.value(hostname, -1);
        }
        m_log->entered.ref();
        // Stands for an echo that never comes back (a blocked resolver or a silent host).
        while (m_log->block.loadAcquire())
            QThread::msleep(20);
        m_log->returned.ref();
        return latency;
    }

private:
    EchoLog *m_log;
};

static ServerList sampleServers()
{
    return ServerList() << VPNServer{"Automatic", "auto", "auto.example.test"}
                        << VPNServer{"Germany", "DE", "de.example.test"}
                        << VPNServer{"Germany 2", "DE", "de.example.test"}
                        << VPNServer{"France", "FR", "fr.example.test"}
                        << VPNServer{"Japan", "JP", "jp.example.test"};
}

static ServerEntry entryAt(const QVPNServerComboBox &chooser, int row)
{
    return chooser.itemData(row, Qt::UserRole).toMap();
}

static bool allMeasured(const QVPNServerComboBox &chooser)
{
    for (int row = 0; row < chooser.count(); ++row) {
        if (!entryAt(chooser, row).contains(QStringLiteral("ping")))
            return false;
    }
    return true;
}

class tst_VPNServerComboBox : public QObject
{
    Q_OBJECT

private slots:
    void construction();
    void fillReplacesCurrentServer();
    void fillKeepsOneRowPerEntry();
    void emptyFillKeepsCurrentServer();
    void currentIndexFollowsList();
    void favorites_data();
    void favorites();
    void favoritesTextFollowsRows();
    void pingCycle();
    void emptyHostIsNeverSent();
    void press_data();
    void press();
    void destructionWhileEchoBlocks_data();
    void destructionWhileEchoBlocks();
};

void tst_VPNServerComboBox::construction()
{
    EchoLog log;
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    QCOMPARE(chooser.maxVisibleItems(), 6);
    QVERIFY(chooser.styleSheet().startsWith(QStringLiteral("QScrollBar:vertical {border: 1px")));
    QCOMPARE(chooser.count(), 0);
    QCOMPARE(chooser.currentServer(), VPNServer());
    QVERIFY(chooser.itemDelegate()->inherits("QVPNServerComboBoxItemDelegate"));
    QCOMPARE(chooser.itemDelegate()->parent(), &chooser);
    QVPNServerComboBox plain;
    QCOMPARE(plain.count(), 0);
}

void tst_VPNServerComboBox::fillReplacesCurrentServer()
{
    EchoLog log;
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    const VPNServer chosen{"France", "FR", "fr.example.test"};
    chooser.setCurrentServer(chosen);
    QCOMPARE(chooser.currentServer(), chosen);

    chooser.setServers(sampleServers());
    QCOMPARE(chooser.count(), 5);
    QCOMPARE(chooser.currentIndex(), 0);
    QCOMPARE(chooser.currentServer(), sampleServers().first());
    QCOMPARE(chooser.servers().size(), 5);
    for (int row = 0; row < 5; ++row) {
        const VPNServer server = sampleServers().at(row);
        const ServerEntry entry = entryAt(chooser, row);
        QCOMPARE(entry.value("name").toString(), server.name);
        QCOMPARE(entry.value("code").toString(), server.code);
        QCOMPARE(entry.value("hostname").toString(), server.hostname);
        QVERIFY(!entry.contains("ping"));
        const QModelIndex index = chooser.model()->index(row, 0);
        QCOMPARE(chooser.model()->flags(index), Qt::ItemFlags(Qt::ItemIsUserCheckable));
        QVERIFY(!index.data(Qt::CheckStateRole).isValid());
    }
}

void tst_VPNServerComboBox::fillKeepsOneRowPerEntry()
{
    EchoLog log;
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    chooser.setServers(sampleServers());
    const ServerList two = sampleServers().mid(3, 2);
    chooser.setServers(two);
    QCOMPARE(chooser.count(), 2);
    QCOMPARE(chooser.model()->rowCount(), 2);
    QCOMPARE(entryAt(chooser, 1).value("name").toString(), QStringLiteral("Japan"));
    QCOMPARE(chooser.currentServer(), two.first());
}

void tst_VPNServerComboBox::emptyFillKeepsCurrentServer()
{
    EchoLog log;
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    chooser.setServers(sampleServers());
    chooser.setCurrentIndex(3);
    QCOMPARE(chooser.currentServer().name, QStringLiteral("France"));
    chooser.setServers(ServerList());
    QCOMPARE(chooser.count(), 0);
    QCOMPARE(chooser.model()->rowCount(), 0);
    QCOMPARE(chooser.currentServer().name, QStringLiteral("France"));
}

void tst_VPNServerComboBox::currentIndexFollowsList()
{
    EchoLog log;
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    chooser.setServers(sampleServers());
    chooser.setCurrentIndex(4);
    QCOMPARE(chooser.currentServer(), sampleServers().at(4));
    chooser.setCurrentIndex(-1);
    QCOMPARE(chooser.currentServer(), sampleServers().at(4));
    const VPNServer fromSettings{"Automatic", "auto", "auto.example.test"};
    chooser.setCurrentServer(fromSettings);
    QCOMPARE(chooser.currentServer(), fromSettings);
}

void tst_VPNServerComboBox::favorites_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("checkedRows");
    QTest::newRow("two names") << QStringLiteral("France,Japan") << (QList<int>() << 3 << 4);
    QTest::newRow("order of the text does not matter")
            << QStringLiteral("Japan,Automatic") << (QList<int>() << 0 << 4);
    QTest::newRow("letter case differs") << QStringLiteral("france,JAPAN") << QList<int>();
    QTest::newRow("spaces are part of the name")
            << QStringLiteral("France, Japan") << (QList<int>() << 3);
    QTest::newRow("empty") << QString() << QList<int>();
    QTest::newRow("empty parts") << QStringLiteral(",Germany 2,,") << (QList<int>() << 2);
    QTest::newRow("unknown name") << QStringLiteral("Atlantis") << QList<int>();
}

void tst_VPNServerComboBox::favorites()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, checkedRows);
    EchoLog log;
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    chooser.setServers(sampleServers());
    chooser.setFavoriteServers(text);
    for (int row = 0; row < chooser.count(); ++row) {
        const bool checked = chooser.itemData(row, Qt::CheckStateRole).toInt() == Qt::Checked;
        QCOMPARE(checked, checkedRows.contains(row));
    }
}

void tst_VPNServerComboBox::favoritesTextFollowsRows()
{
    EchoLog log;
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    ServerList servers = sampleServers();
    servers.append(VPNServer{"France", "FR", "fr2.example.test"}); // a second row of that name
    chooser.setServers(servers);
    QCOMPARE(chooser.favoriteServers(), QString());
    chooser.setFavoriteServers(QStringLiteral("Japan,France"));
    QCOMPARE(chooser.itemData(5, Qt::CheckStateRole).toInt(), int(Qt::Checked));
    // Row order, not the order of the text.
    QCOMPARE(chooser.favoriteServers(), QStringLiteral("France,Japan,France"));
    // Marks are only ever added; a new fill starts without any.
    chooser.setFavoriteServers(QStringLiteral("Automatic"));
    QCOMPARE(chooser.favoriteServers(), QStringLiteral("Automatic,France,Japan,France"));
    chooser.setServers(servers);
    QCOMPARE(chooser.favoriteServers(), QString());
}

void tst_VPNServerComboBox::pingCycle()
{
    EchoLog log;
    log.latencies = {{"auto.example.test", 12}, {"de.example.test", 250}, {"jp.example.test", 480}};
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    QSignalSpy requests(&chooser, &QVPNServerComboBox::pingHost);
    chooser.setServers(sampleServers());
    QVERIFY(requests.isEmpty()); // the first step waits for its timer

    QTRY_VERIFY_WITH_TIMEOUT(allMeasured(chooser), 60000);
    QCOMPARE(entryAt(chooser, 0).value("ping").toInt(), 12);
    QCOMPARE(entryAt(chooser, 1).value("ping").toInt(), 250);
    QCOMPARE(entryAt(chooser, 2).value("ping").toInt(), 250);
    QCOMPARE(entryAt(chooser, 3).value("ping").toInt(), -1); // failed, stored as -1
    QCOMPARE(entryAt(chooser, 4).value("ping").toInt(), 480);
    // One echo per host, in row order: the shared host once, the failed one never again.
    const QStringList expected{"auto.example.test", "de.example.test", "fr.example.test",
                               "jp.example.test"};
    QCOMPARE(log.hosts(), expected);
    QCOMPARE(requests.count(), 4);

    // The cycle has ended: a further step finds nothing to measure.
    QMetaObject::invokeMethod(&chooser, "pingNextServer");
    QCOMPARE(requests.count(), 4);

    // A result for no row changes nothing but keeps the cycle going; a new fill measures anew.
    QMetaObject::invokeMethod(&chooser, "pingResult", Q_ARG(QString, "elsewhere.example.test"),
                              Q_ARG(int, 5));
    QCOMPARE(entryAt(chooser, 3).value("ping").toInt(), -1);
    chooser.setServers(sampleServers().mid(4));
    QVERIFY(!entryAt(chooser, 0).contains("ping"));
    QTRY_VERIFY_WITH_TIMEOUT(allMeasured(chooser), 60000);
    QCOMPARE(entryAt(chooser, 0).value("ping").toInt(), 480);
    QCOMPARE(log.hosts().count(QStringLiteral("jp.example.test")), 2);
}

void tst_VPNServerComboBox::emptyHostIsNeverSent()
{
    EchoLog log;
    log.latencies = {{"de.example.test", 30}};
    QVPNServerComboBox chooser(new LoggingEcho(&log));
    chooser.setServers(ServerList());
    chooser.setServers(ServerList() << VPNServer{"No host", "XX", QString()}
                                    << VPNServer{"Germany", "DE", "de.example.test"}
                                    << VPNServer{"No host either", "YY", QString()});
    QTRY_VERIFY_WITH_TIMEOUT(allMeasured(chooser), 60000);
    QCOMPARE(entryAt(chooser, 0).value("ping").toInt(), -1);
    QCOMPARE(entryAt(chooser, 1).value("ping").toInt(), 30);
    QCOMPARE(entryAt(chooser, 2).value("ping").toInt(), -1);
    // Both cycles (the empty fill's and this one's) have run their steps by now.
    QCOMPARE(log.hosts(), QStringList() << "de.example.test");
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
    chooser->setServers(sampleServers());
    window.resize(320, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy pressed(chooser, &QVPNServerComboBox::pressed);

    QTest::mousePress(chooser, Qt::LeftButton, Qt::NoModifier,
                      QPoint(chooser->width() - fromRight, 30));
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
    QSignalSpy requests(chooser, &QVPNServerComboBox::pingHost);
    chooser->setServers(sampleServers());
    QTRY_COMPARE_WITH_TIMEOUT(log.entered.loadAcquire(), 1, 60000);
    QCOMPARE(requests.count(), 1);

    // Deleting the chooser never waits for the echo to come back.
    delete chooser;
    QCOMPARE(log.aborted.loadAcquire(), 1);
    if (!abortable)
        QCOMPARE(log.returned.loadAcquire(), 0);
    // Either way the service and its thread are released once the echo has ended.
    log.block.storeRelease(0);
    QTRY_COMPARE_WITH_TIMEOUT(log.destroyed.loadAcquire(), 1, 60000);
    QCOMPARE(log.returned.loadAcquire(), 1);
    QCOMPARE(log.hosts(), QStringList() << "auto.example.test");
}

TAVRIN_TEST_MAIN(tst_VPNServerComboBox)
#include "tst_vpnservercombobox.moc"
