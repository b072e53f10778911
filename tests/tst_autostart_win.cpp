// The log-on start entry on Windows: the value "Tavrin Client" of the user's Run key.

#include "settings/qvpnclientsettings.h"
#include "tavrintestenvironment.h"
#include "tavrintestplatform.h"

#include <QtTest/QtTest>

namespace {
const QString runKey = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Run");
}

class tst_AutoStart : public QObject
{
    Q_OBJECT

private slots:
    void init() { TavrinTestPlatform::clearSettings(); }

    // The program's own path, quoted, and the log-on option, beside the entries of other
    // programs, which stay.
    void runEntry()
    {
        QSettings run("HKEY_CURRENT_USER\\" + runKey, QSettings::NativeFormat);
        run.setValue("Other", "C:\\other.exe");
        run.sync();
        // An entry for every user of the machine is not this user's choice.
        QSettings machine("HKEY_LOCAL_MACHINE\\" + runKey, QSettings::NativeFormat);
        machine.setValue("Tavrin Client", "\"C:\\Program Files\\Tavrin Client\\a.exe\"");
        machine.sync();
        const auto removeMachineEntry = qScopeGuard([&] { machine.remove("Tavrin Client"); });
        QVERIFY(!QVPNClientSettings::isAutoStart());
        QVPNClientSettings::setAutoStart(true);
        QVERIFY(QVPNClientSettings::isAutoStart());
        const QString program = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
        QVERIFY(program.contains('\\') && !program.contains('/'));
        QCOMPARE(TavrinTestPlatform::registryValues(runKey),
                 QStringList(
                         {"Other=C:\\other.exe", "Tavrin Client=\"" + program + "\" --autostart"}));
        QVPNClientSettings::setAutoStart(false);
        QVERIFY(!QVPNClientSettings::isAutoStart());
        QCOMPARE(TavrinTestPlatform::registryValues(runKey), QStringList{"Other=C:\\other.exe"});
    }
};

TAVRIN_TEST_GUILESS_MAIN(tst_AutoStart)
#include "tst_autostart_win.moc"
