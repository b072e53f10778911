// Start-up pieces: the fonts of a "Fonts" folder and the single-instance lock.

#include "app/qtsingleapplication.h"
#include "app/tavrinfonts.h"
#include "tavrintestenvironment.h"

#include <QtGui/QtGui>
#include <QtTest/QtTest>

class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    void registerFonts()
    {
        const QString fonts = "/usr/share/fonts/truetype/roboto/unhinted/"; // fonts-roboto-unhinted
        // In name order ignoring case: a.ttf, then the damaged B.old.TTF stops it before c.ttf.
        QTemporaryDir dir;
        QVERIFY(QFile::copy(fonts + "RobotoTTF/Roboto-Regular.ttf", dir.filePath("a.ttf")));
        QVERIFY(QFile(dir.filePath("B.old.TTF")).open(QIODevice::WriteOnly));
        QVERIFY(QFile::copy(fonts + "RobotoCondensed-Regular.ttf", dir.filePath("c.ttf")));
        QByteArray messages;
        QVERIFY(!::registerFonts(dir.path(), &messages));
        QCOMPARE(messages, QByteArray("Error registering font B\n"));
        const QList<int> ids = registeredFontIds;
        QStringList families;
        for (int id : ids)
            families += QFontDatabase::applicationFontFamilies(id);
        unregisterFonts();
        for (int id : ids) // none are left
            families += QFontDatabase::applicationFontFamilies(id);
        QCOMPARE(families, QStringList{"Roboto"});
    }

    // The working folder's own Fonts comes first, then the installed one: beside the program
    // (Windows), or in the data folder of the program's prefix.
    void fontsFolder()
    {
        QTemporaryDir dir;
        const QString working = dir.filePath("work"), bin = dir.filePath("usr/bin");
        QVERIFY(QDir().mkpath(working) && QDir().mkpath(bin));
        QCOMPARE(fontsFolderPath(working, bin), QStringLiteral("Fonts")); // none at all
        QVERIFY(QDir().mkpath(dir.filePath("usr/share/tavrin-client/Fonts")));
        QCOMPARE(fontsFolderPath(working, bin), dir.filePath("usr/share/tavrin-client/Fonts"));
        QVERIFY(QDir().mkpath(bin + "/Fonts"));
        QCOMPARE(fontsFolderPath(working, bin), bin + "/Fonts");
        QVERIFY(QDir().mkpath(working + "/Fonts"));
        QCOMPARE(fontsFolderPath(working, bin), QStringLiteral("Fonts"));
    }

    void instanceLock()
    {
        QTemporaryDir dir;
        const QString name = QtSingleApplication::lockFileName("tavrin-client", "1000");
        const QString path = dir.filePath(name);
        // An owner that died leaves its lock behind, naming a process that is gone (no process
        // ever has the largest id).
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("2147483647\n") == 11);
        file.close(); // a file still open cannot be removed on Windows
        // Taken over, after folders that cannot hold a lock: below a file, read-only.
        const QtInstanceLock taken = takeInstanceLock({path + "/x", "/proc", dir.path()}, name);
        QVERIFY(!taken.heldElsewhere && taken.lock && taken.path == path);
    }
};

TAVRIN_TEST_MAIN_IMPL(QtSingleApplication, tst_Startup)
#include "tst_startup.moc"
