// Where the program looks for its fonts.

#include "app/tavrinfonts.h"
#include "tavrintestenvironment.h"

#include <QtCore/QtCore>
#include <QtTest/QtTest>

class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    // The working folder's own Fonts comes first, then the installed one: beside the program
    // (Windows), or in the data folder of the program's prefix.
    void fontsFolder()
    {
        QTemporaryDir dir;
        const QString working = dir.filePath("work"), bin = dir.filePath("usr/bin");
        QVERIFY(QDir().mkpath(working) && QDir().mkpath(bin));
        QCOMPARE(fontsFolderPath(working, bin), QStringLiteral("Fonts")); // none at all
        for (const QString &made : QStringList{dir.filePath("usr/share/tavrin-client/Fonts"),
                                               bin + "/Fonts", working + "/Fonts"}) {
            QVERIFY(QDir().mkpath(made));
            QCOMPARE(fontsFolderPath(working, bin), made.startsWith(working) ? "Fonts" : made);
        }
    }
};

TAVRIN_TEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
