// The log-on start entry on Linux: an XDG autostart desktop entry.

#include "programrun.h"
#include "settings/qvpnautostart.h"
#include "settings/qvpnclientsettings.h"
#include "tavrintestplatform.h"

class tst_AutoStart : public QObject
{
    Q_OBJECT

    const QString m_entry = TavrinTestEnvironment::instance()->configHome()
                            + "/autostart/tavrin-client.desktop";
    QByteArray entry() const
    {
        QFile file(m_entry);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init() { TavrinTestPlatform::clearSettings(); }

    void autoStartEntry_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec"); // the Exec value: quoted, then escaped as a string
        const QString self = QCoreApplication::applicationFilePath();
        QTest::newRow("this program") << self << QString('"' + self + '"');
        QTest::newRow("quote, backtick, dollar, backslash, percent, line end, tab, non-ASCII")
                << QStringLiteral("/a\"b`c$d\\e%f\ng\th/j\u00fcrgen")
                << QStringLiteral("\"/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e%%f\\ng\\th/j\u00fcrgen\"");
    }

    void autoStartEntry()
    {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        const QString other = QFileInfo(m_entry).path() + "/other.desktop";
        QVERIFY(QDir().mkpath(QFileInfo(m_entry).path()) && QFile(other).open(QIODevice::WriteOnly));
        if (program == QCoreApplication::applicationFilePath())
            QVPNClientSettings::setAutoStart(true);
        else
            QVERIFY(writeAutoStartEntry(program));
        QVERIFY(QVPNClientSettings::isAutoStart());
        QVERIFY2(entry().startsWith("[Desktop Entry]\n")
                         && entry().contains("\nExec=" + exec.toUtf8() + " --autostart\n"),
                 entry().constData());
        QByteArray complaints; // not a warning either
        QVERIFY(runTool("desktop-file-validate", {m_entry}, &complaints) && complaints.isEmpty());
        QVPNClientSettings::setAutoStart(false);
        QVERIFY(!QVPNClientSettings::isAutoStart() && !QFile::exists(m_entry));
        QVERIFY(QFile::exists(other)); // other programs' entries stay
    }
};

TAVRIN_TEST_GUILESS_MAIN(tst_AutoStart)
#include "tst_autostart_unix.moc"
