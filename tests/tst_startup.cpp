// Start-up pieces of the client: fonts from the "Fonts" folder and the single instance lock.
// The whole program (fonts from the working folder, a second instance, a stale lock) is run in
// tst_program.

#include "qtsingleapplication.h"
#include "tavrinfonts.h"
#include "tavrintestenvironment.h"

#include <QtCore/qdir.h>
#include <QtCore/qfile.h>
#include <QtCore/qlockfile.h>
#include <QtCore/qtemporarydir.h>
#include <QtGui/qfontdatabase.h>
#include <QtTest/qtest.h>

#include <cstdio>

namespace {

// Real font files from fonts-roboto-unhinted.
const QString roboto = "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf";
const QString condensed = "/usr/share/fonts/truetype/roboto/unhinted/RobotoCondensed-Regular.ttf";

// Collects what the font functions print.
struct CapturedOutput
{
    FILE *file = std::tmpfile();
    ~CapturedOutput() { std::fclose(file); }
    QByteArray text() const
    {
        std::fflush(file);
        std::rewind(file);
        QByteArray data;
        for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
            data.append(char(c));
        return data;
    }
};

} // namespace

class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void registerFonts_data();
    void registerFonts();
    void reportsFontsThatCannotBeRemoved();
    void lockFileName_data();
    void lockFileName();
    void lockFolders_data();
    void lockFolders();

private:
    QScopedPointer<QTemporaryDir> m_dir;
};

void tst_Startup::init()
{
    // Only the lock tests run without the fonts.
    if (!QString(QTest::currentTestFunction()).contains("ock")
        && (!QFile::exists(roboto) || !QFile::exists(condensed)))
        QSKIP("fonts-roboto-unhinted is not installed (scripts/install-deps.sh installs it)");
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    registeredFontIds.clear();
}

void tst_Startup::cleanup()
{
    CapturedOutput out;
    unregisterFonts(out.file);
    m_dir.reset();
}

void tst_Startup::registerFonts_data()
{
    // The Fonts folder's files as name:kind, R Roboto, C Roboto Condensed, J no font; "none"
    // for no folder at all.
    QTest::addColumn<QString>("files");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("families");
    QTest::addColumn<QByteArray>("output");
    const QStringList first = {"Roboto"};
    const QString damaged = "a.ttf:R %1:J c.ttf:C";
    // A case-sensitive order would put B.TTF first; only .ttf files are taken.
    QTest::newRow("case-insensitive order")
            << "B.TTF:C a.ttf:R c.otf:R" << true << QStringList{"Roboto", "Roboto Condensed"}
            << QByteArray();
    QTest::newRow("no Fonts folder") << "none" << true << QStringList() << QByteArray();
    QTest::newRow("empty Fonts folder") << QString() << true << QStringList() << QByteArray();
    QTest::newRow("only other files")
            << "a.otf:R readme.txt:R ttf:R b.ttf.bak:R" << true << QStringList() << QByteArray();
    // It stops at a damaged file: the font before it stays, the one after is never tried.
    QTest::newRow("damaged") << damaged.arg("b.ttf") << false << first
                             << QByteArray("Error registering font b\n");
    QTest::newRow("damaged, base name ends at the first dot")
            << damaged.arg("b.broken.ttf") << false << first
            << QByteArray("Error registering font b\n");
    QTest::newRow("damaged, name printed in Latin-1")
            << damaged.arg("b\u00e9.TTF") << false << first
            << QByteArray("Error registering font b\xe9\n");
}

void tst_Startup::registerFonts()
{
    QFETCH(QString, files);
    QFETCH(bool, ok);
    QFETCH(QStringList, families);
    QFETCH(QByteArray, output);
    const QString folder = m_dir->filePath("Fonts");
    const bool noFolder = files == "none";
    QVERIFY(noFolder || QDir().mkpath(folder));
    for (const QString &file : noFolder ? QStringList() : files.split(' ', Qt::SkipEmptyParts)) {
        const QString target = folder + '/' + file.section(':', 0, 0);
        const QString kind = file.section(':', 1);
        QFile junk(target);
        QVERIFY(kind == "J" ? junk.open(QIODevice::WriteOnly) && junk.write(QByteArray(4096, 'x'))
                            : QFile::copy(kind == "R" ? roboto : condensed, target));
    }
    CapturedOutput out;
    QCOMPARE(::registerFonts(folder, out.file), ok);
    QCOMPARE(out.text(), output);
    QStringList registered;
    for (int id : registeredFontIds)
        registered += QFontDatabase::applicationFontFamilies(id);
    QCOMPARE(registered, families);

    const QList<int> ids = registeredFontIds;
    unregisterFonts(out.file);
    QCOMPARE(out.text(), output);
    QVERIFY(registeredFontIds.isEmpty());
    for (int id : ids)
        QVERIFY(QFontDatabase::applicationFontFamilies(id).isEmpty());
}

void tst_Startup::reportsFontsThatCannotBeRemoved()
{
    const int id = QFontDatabase::addApplicationFont(roboto);
    QVERIFY(id != -1);
    registeredFontIds = {id + 1000, id, id + 1001};
    CapturedOutput out;
    unregisterFonts(out.file);
    QCOMPARE(out.text(), QByteArray("Unable to unregister font.\nUnable to unregister font.\n"));
    QVERIFY(registeredFontIds.isEmpty());
    QVERIFY(QFontDatabase::applicationFontFamilies(id).isEmpty());
}

void tst_Startup::lockFileName_data()
{
    QTest::addColumn<QString>("application");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("expected");
    QTest::newRow("program and uid")
            << "tavrin-client" << QString("1000") << "tavrin-client-1000.lock";
    QTest::newRow("blanks and backslash")
            << "my app" << QString("DOMAIN\\user") << "my_app-DOMAIN_user.lock";
    QTest::newRow("no path separators") << "../x" << QString("a/b") << ".._x-a_b.lock";
}

void tst_Startup::lockFileName()
{
    QFETCH(QString, application);
    QFETCH(QString, user);
    QFETCH(QString, expected);
    QCOMPARE(QtSingleApplication::lockFileName(application, user), expected);
}

void tst_Startup::lockFolders_data()
{
    QTest::addColumn<bool>("held");
    QTest::addColumn<bool>("fallback");
    // A held lock stops the search; a folder that cannot be made is passed over.
    QTest::newRow("held by a live owner") << true << true;
    QTest::newRow("unusable folder, then the next") << false << true;
    QTest::newRow("no usable folder: unguarded") << false << false;
}

void tst_Startup::lockFolders()
{
    QFETCH(bool, held);
    QFETCH(bool, fallback);
    QLockFile owner(m_dir->filePath("app-1.lock"));
    QVERIFY(!held || owner.tryLock(0));
    // A folder below a plain file can never be made, not even by root.
    QFile plain(m_dir->filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    const QString first = held ? m_dir->path() : plain.fileName() + "/locks";
    const QString second = fallback ? m_dir->filePath("fallback") : QString();
    const QtInstanceLock taken = takeInstanceLock({first, second}, "app-1.lock");
    QCOMPARE(taken.heldElsewhere, held);
    QCOMPARE(bool(taken.lock), fallback && !held);
    QCOMPARE(QFile::exists(second + "/app-1.lock"), fallback && !held);
    QCOMPARE(taken.path, held       ? first + "/app-1.lock"
                         : fallback ? second + "/app-1.lock"
                                    : QString());
}

TAVRIN_TEST_MAIN_IMPL(QtSingleApplication, tst_Startup)
#include "tst_startup.moc"
