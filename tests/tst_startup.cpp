// Start-up pieces: the fonts of a "Fonts" folder and the single-instance lock.

#include "app/qtsingleapplication.h"
#include "app/tavrinfonts.h"
#include "tavrintestenvironment.h"

#include <QtCore/qlockfile.h>
#include <QtCore/qtemporarydir.h>
#include <QtGui/qfontdatabase.h>
#include <QtTest/qtest.h>

#include <cstdio>

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
        FILE *out = std::tmpfile();
        QVERIFY(!::registerFonts(dir.path(), out));
        const QList<int> ids = registeredFontIds;
        QStringList families;
        for (int id : ids)
            families += QFontDatabase::applicationFontFamilies(id);
        unregisterFonts(out);
        for (int id : ids) // none are left
            families += QFontDatabase::applicationFontFamilies(id);
        QCOMPARE(families, QStringList{"Roboto"});
        char text[256];
        std::rewind(out);
        const size_t size = std::fread(text, 1, sizeof(text), out);
        std::fclose(out);
        QCOMPARE(QByteArray(text, int(size)), QByteArray("Error registering font B\n"));
    }

    void instanceLock()
    {
        QTemporaryDir dir;
        const QString name = QtSingleApplication::lockFileName("tavrin-client", "1000");
        const QString path = dir.filePath(name);
        QLockFile owner(path); // a live owner: this very process
        QVERIFY(owner.tryLock(0));
        const QtInstanceLock held = takeInstanceLock({dir.path()}, name);
        QVERIFY(held.heldElsewhere && !held.lock && held.path == path);
        // An owner that died leaves its lock behind, naming a process that is gone (no process
        // ever has the largest id).
        owner.unlock();
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("2147483647\n") == 11 && file.flush());
        // Taken over, after folders that cannot hold a lock: below a file, read-only.
        const QtInstanceLock taken = takeInstanceLock({path + "/x", "/proc", dir.path()}, name);
        QVERIFY(!taken.heldElsewhere && taken.lock && taken.path == path);
    }
};

TAVRIN_TEST_MAIN_IMPL(QtSingleApplication, tst_Startup)
#include "tst_startup.moc"
