// The log-on start entry on Linux: an XDG autostart desktop entry.

#include "programrun.h"
#include "settings/qvpnautostart.h"
#include "settings/qvpnclientsettings.h"
#include "tavrintestplatform.h"

class tst_AutoStart : public QObject
{
    Q_OBJECT

    static QString config(const char *path)
    {
        return TavrinTestEnvironment::instance()->configHome() + QLatin1String(path);
    }
    static QByteArray read(const QString &path)
    {
        QFile file(path);
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
        QTest::newRow("quote, backtick, dollar, backslash") << "/a\"b`c$d\\e"
                                                            << "\"/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e\"";
        QTest::newRow("percent, line end, tab") << "/a%b%f\nc\td"
                                                << "\"/a%%b%%f\\nc\\td\"";
        QTest::newRow("non-ASCII") << QStringLiteral("/home/j\u00fcrgen/\u7a0b\u5e8f")
                                   << QStringLiteral("\"/home/j\u00fcrgen/\u7a0b\u5e8f\"");
    }

    void autoStartEntry()
    {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        const QString entry = config("/autostart/tavrin-client.desktop");
        const QString other = config("/autostart/other.desktop");
        QVERIFY(QDir().mkpath(config("/autostart")) && QFile(other).open(QIODevice::WriteOnly));
        if (program == QCoreApplication::applicationFilePath())
            QVPNClientSettings::setAutoStart(true);
        else
            QVERIFY(writeAutoStartEntry(program));
        QVERIFY(QVPNClientSettings::isAutoStart());
        const QByteArray content = read(entry);
        QVERIFY2(content.startsWith("[Desktop Entry]\n")
                         && content.contains("\nExec=" + exec.toUtf8() + " --autostart\n"),
                 content.constData());
        QByteArray complaints; // not a warning either
        QVERIFY(runTool("desktop-file-validate", {entry}, &complaints));
        QCOMPARE(complaints, QByteArray());
        QVPNClientSettings::setAutoStart(false);
        QVERIFY(!QVPNClientSettings::isAutoStart() && !QFile::exists(entry));
        QVERIFY(QFile::exists(other)); // other programs' entries stay
    }

    // Desktops' start-up tools turn an entry off in place; the box then shows off, and turning
    // it on again writes a working entry.
    void autoStartEntryTurnedOff_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("hidden") << QByteArray("Hidden=true\n") << false;
        QTest::newRow("turned off") << QByteArray("X-GNOME-Autostart-enabled = false\n") << false;
        QTest::newRow("turned on") << QByteArray("X-GNOME-Autostart-enabled=true\n") << true;
        QTest::newRow("not hidden") << QByteArray("Hidden=false\n") << true;
        QTest::newRow("in another group")
                << QByteArray("[Desktop Action quit]\nName=Quit\nHidden=true\n") << true;
    }

    void autoStartEntryTurnedOff()
    {
        QFETCH(QByteArray, lines);
        QFETCH(bool, enabled);
        const QString entry = config("/autostart/tavrin-client.desktop");
        QVPNClientSettings::setAutoStart(true);
        QFile file(entry);
        QVERIFY(file.open(QIODevice::Append) && file.write(lines) == lines.size());
        file.close();
        QCOMPARE(QVPNClientSettings::isAutoStart(), enabled);
        QVPNClientSettings::setAutoStart(true);
        QVERIFY(QVPNClientSettings::isAutoStart());
        QVERIFY(!read(entry).contains("Hidden") && !read(entry).contains("X-GNOME"));
    }
};

TAVRIN_TEST_GUILESS_MAIN(tst_AutoStart)
#include "tst_autostart_unix.moc"
