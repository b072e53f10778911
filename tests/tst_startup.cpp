#include "qtsingleapplication.h"
#include "tavrinfonts.h"
#include "tavrintestenvironment.h"

#include <QtCore/qdir.h>
#include <QtCore/qfile.h>
#include <QtCore/qlockfile.h>
#include <QtCore/qprocess.h>
#include <QtCore/qtemporarydir.h>
#include <QtGui/qfontdatabase.h>
#include <QtTest/qtest.h>

#include <cstdio>

static const char robotoFolder[] = "/usr/share/fonts/truetype/roboto/unhinted";

static QString robotoRegular()
{
    return QString::fromLatin1(robotoFolder) + QStringLiteral("/RobotoTTF/Roboto-Regular.ttf");
}

static QString robotoCondensed()
{
    return QString::fromLatin1(robotoFolder) + QStringLiteral("/RobotoCondensed-Regular.ttf");
}

// The font tests copy real font files from fonts-roboto-unhinted.
#define SKIP_WITHOUT_ROBOTO() \
    do { \
        if (!QFile::exists(robotoRegular()) || !QFile::exists(robotoCondensed())) \
            QSKIP("fonts-roboto-unhinted is not installed (scripts/install-deps.sh installs it)"); \
    } while (false)

// Collects what the font functions print.
class CapturedOutput
{
public:
    CapturedOutput()
        : m_file(std::tmpfile())
    {}
    ~CapturedOutput()
    {
        if (m_file)
            std::fclose(m_file);
    }
    FILE *file() const { return m_file; }
    QByteArray text() const
    {
        std::fflush(m_file);
        std::rewind(m_file);
        QByteArray data;
        char buffer[256];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof(buffer), m_file)) > 0)
            data.append(buffer, int(n));
        return data;
    }

private:
    FILE *m_file;
};

class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void registersTtfFilesInCaseInsensitiveOrder();
    void nothingToRegister_data();
    void nothingToRegister();
    void stopsAtDamagedFile_data();
    void stopsAtDamagedFile();
    void usesFontsFolderOfWorkingFolder();
    void reportsFontsThatCannotBeRemoved();

    void lockFileName_data();
    void lockFileName();
    void applicationHoldsItsLock();
    void lockHeldByLiveOwnerIsNotTaken();
    void staleLockIsTakenOver();
    void unusableFolderFallsBackToNext();
    void noUsableFolderRunsUnguarded();

private:
    QString fontsFolder(const QList<QPair<QString, QString>> &files);
    static QString unusableFolder(const QTemporaryDir &dir);

    QScopedPointer<QTemporaryDir> m_dir;
};

void tst_Startup::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    registeredFontIds.clear();
}

void tst_Startup::cleanup()
{
    CapturedOutput out;
    unregisterFonts(out.file());
    m_dir.reset();
}

// Makes <temp>/Fonts with the given (name, source) files; an empty source makes a junk file.
QString tst_Startup::fontsFolder(const QList<QPair<QString, QString>> &files)
{
    const QString folder = m_dir->filePath(QStringLiteral("Fonts"));
    QDir().mkpath(folder);
    for (const auto &file : files) {
        const QString target = folder + QLatin1Char('/') + file.first;
        if (file.second.isEmpty()) {
            QFile junk(target);
            if (junk.open(QIODevice::WriteOnly))
                junk.write(QByteArray(4096, 'x'));
        } else {
            QFile::copy(file.second, target);
        }
        if (!QFile::exists(target))
            qWarning("could not make %s", qPrintable(target));
    }
    return folder;
}

QString tst_Startup::unusableFolder(const QTemporaryDir &dir)
{
    // A folder below a plain file can never be made, not even by root.
    QFile plain(dir.filePath(QStringLiteral("plain")));
    if (plain.open(QIODevice::WriteOnly))
        plain.write("x");
    return plain.fileName() + QStringLiteral("/locks");
}

void tst_Startup::registersTtfFilesInCaseInsensitiveOrder()
{
    SKIP_WITHOUT_ROBOTO();
    // A case-sensitive order would put B.TTF first.
    const QString folder = fontsFolder({{QStringLiteral("B.TTF"), robotoCondensed()},
                                        {QStringLiteral("a.ttf"), robotoRegular()},
                                        {QStringLiteral("c.otf"), robotoRegular()}});
    CapturedOutput out;
    QVERIFY(registerFonts(folder, out.file()));
    QCOMPARE(out.text(), QByteArray());
    QCOMPARE(registeredFontIds.size(), 2);
    const QList<int> ids = registeredFontIds;
    QCOMPARE(QFontDatabase::applicationFontFamilies(ids.at(0)), QStringList{"Roboto"});
    QCOMPARE(QFontDatabase::applicationFontFamilies(ids.at(1)), QStringList{"Roboto Condensed"});

    unregisterFonts(out.file());
    QCOMPARE(out.text(), QByteArray());
    QVERIFY(registeredFontIds.isEmpty());
    for (int id : ids)
        QVERIFY(QFontDatabase::applicationFontFamilies(id).isEmpty());
}

void tst_Startup::nothingToRegister_data()
{
    QTest::addColumn<bool>("makeFolder");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("no Fonts folder") << false << QStringList();
    QTest::newRow("empty Fonts folder") << true << QStringList();
    QTest::newRow("only other files")
            << true << QStringList{"a.otf", "readme.txt", "ttf", "b.ttf.bak"};
}

void tst_Startup::nothingToRegister()
{
    SKIP_WITHOUT_ROBOTO();
    QFETCH(bool, makeFolder);
    QFETCH(QStringList, files);
    QString folder = m_dir->filePath(QStringLiteral("Fonts"));
    if (makeFolder) {
        QList<QPair<QString, QString>> list;
        for (const QString &name : files)
            list.append({name, robotoRegular()});
        folder = fontsFolder(list);
    }
    CapturedOutput out;
    QVERIFY(registerFonts(folder, out.file()));
    QVERIFY(registeredFontIds.isEmpty());
    QCOMPARE(out.text(), QByteArray());
}

void tst_Startup::stopsAtDamagedFile_data()
{
    QTest::addColumn<QString>("damagedName");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("plain name") << QStringLiteral("b.ttf")
                                << QByteArray("Error registering font b\n");
    QTest::newRow("base name ends at the first dot")
            << QStringLiteral("b.broken.ttf") << QByteArray("Error registering font b\n");
    QTest::newRow("name printed in Latin-1")
            << QStringLiteral("b\u00e9.TTF") << QByteArray("Error registering font b\xe9\n");
}

void tst_Startup::stopsAtDamagedFile()
{
    SKIP_WITHOUT_ROBOTO();
    QFETCH(QString, damagedName);
    QFETCH(QByteArray, expected);
    const QString folder = fontsFolder({{QStringLiteral("a.ttf"), robotoRegular()},
                                        {damagedName, QString()},
                                        {QStringLiteral("c.ttf"), robotoCondensed()}});
    CapturedOutput out;
    QVERIFY(!registerFonts(folder, out.file()));
    QCOMPARE(out.text(), expected);
    // The font before the damaged one stays registered; the one after is never tried.
    QCOMPARE(registeredFontIds.size(), 1);
    QCOMPARE(QFontDatabase::applicationFontFamilies(registeredFontIds.first()),
             QStringList{"Roboto"});
}

void tst_Startup::usesFontsFolderOfWorkingFolder()
{
    SKIP_WITHOUT_ROBOTO();
    fontsFolder({{QStringLiteral("a.ttf"), robotoCondensed()}});
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    const bool registered = registerFonts();
    QDir::setCurrent(previous);
    QVERIFY(registered);
    QCOMPARE(registeredFontIds.size(), 1);
    QCOMPARE(QFontDatabase::applicationFontFamilies(registeredFontIds.first()),
             QStringList{"Roboto Condensed"});
}

void tst_Startup::reportsFontsThatCannotBeRemoved()
{
    SKIP_WITHOUT_ROBOTO();
    const int id = QFontDatabase::addApplicationFont(robotoRegular());
    QVERIFY(id != -1);
    const int unknownId = id + 1000;
    registeredFontIds = {unknownId, id, unknownId + 1};
    CapturedOutput out;
    unregisterFonts(out.file());
    QCOMPARE(out.text(), QByteArray("Unable to unregister font.\nUnable to unregister font.\n"));
    QVERIFY(registeredFontIds.isEmpty());
    QVERIFY(QFontDatabase::applicationFontFamilies(id).isEmpty());
}

void tst_Startup::lockFileName_data()
{
    QTest::addColumn<QString>("application");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("expected");
    QTest::newRow("program and uid") << "tavrin-client"
                                     << "1000"
                                     << "tavrin-client-1000.lock";
    QTest::newRow("blanks and backslash") << "my app"
                                          << "DOMAIN\\user"
                                          << "my_app-DOMAIN_user.lock";
    QTest::newRow("no path separators") << "../x"
                                        << "a/b"
                                        << ".._x-a_b.lock";
}

void tst_Startup::lockFileName()
{
    QFETCH(QString, application);
    QFETCH(QString, user);
    QFETCH(QString, expected);
    QCOMPARE(QtSingleApplication::lockFileName(application, user), expected);
}

void tst_Startup::applicationHoldsItsLock()
{
    auto *app = qobject_cast<QtSingleApplication *>(qApp);
    QVERIFY(app);
    QVERIFY(!app->isRunning());
    const QString expected
            = TavrinTestEnvironment::instance()->runtimeDir() + QLatin1Char('/')
              + QtSingleApplication::lockFileName(QCoreApplication::applicationName(),
                                                  QtSingleApplication::currentUserKey());
    QCOMPARE(app->lockFilePath(), expected);
    QVERIFY(QtSingleApplication::lockFileName(QStringLiteral("x"),
                                              QtSingleApplication::currentUserKey())
                    .startsWith(QStringLiteral("x-")));

    // Another instance finds the lock held.
    const QtInstanceLock second = takeInstanceLock(QtSingleApplication::lockFolders(),
                                                   QFileInfo(expected).fileName());
    QVERIFY(second.heldElsewhere);
    QVERIFY(!second.lock);
    QCOMPARE(second.path, expected);
}

void tst_Startup::lockHeldByLiveOwnerIsNotTaken()
{
    const QString path = m_dir->filePath(QStringLiteral("app-1.lock"));
    QLockFile owner(path);
    QVERIFY(owner.tryLock(0));
    const QString other = m_dir->filePath(QStringLiteral("other"));
    const QtInstanceLock taken = takeInstanceLock({m_dir->path(), other}, "app-1.lock");
    QVERIFY(taken.heldElsewhere);
    QVERIFY(!taken.lock);
    QCOMPARE(taken.path, path);
    // A held lock stops the search: the next folder is not used.
    QVERIFY(!QFile::exists(other + QStringLiteral("/app-1.lock")));
}

void tst_Startup::staleLockIsTakenOver()
{
    // A process that has ended.
    QProcess child;
    child.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    QVERIFY(child.waitForStarted(30000));
    const qint64 deadPid = child.processId();
    child.kill();
    QVERIFY(child.waitForFinished(30000));

    // A lock file as that process would have left it: a real one with its owner changed.
    const QString path = m_dir->filePath(QStringLiteral("app-1.lock"));
    QByteArray content;
    {
        const QString realPath = m_dir->filePath(QStringLiteral("real.lock"));
        QLockFile real(realPath);
        QVERIFY(real.tryLock(0));
        QFile file(realPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        content = file.readAll();
    }
    const int lineEnd = content.indexOf('\n');
    QVERIFY(lineEnd > 0);
    content.replace(0, lineEnd, QByteArray::number(deadPid));
    QFile stale(path);
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write(content);
    stale.close();

    const QtInstanceLock taken = takeInstanceLock({m_dir->path()}, "app-1.lock");
    QVERIFY(!taken.heldElsewhere);
    QVERIFY(taken.lock);
    QCOMPARE(taken.path, path);
    qint64 pid = 0;
    QString host, application;
    QVERIFY(taken.lock->getLockInfo(&pid, &host, &application));
    QCOMPARE(pid, QCoreApplication::applicationPid());
}

void tst_Startup::unusableFolderFallsBackToNext()
{
    const QString fallback = m_dir->filePath(QStringLiteral("fallback"));
    const QtInstanceLock taken = takeInstanceLock({unusableFolder(*m_dir), fallback}, "app-1.lock");
    QVERIFY(taken.lock);
    QVERIFY(!taken.heldElsewhere);
    QCOMPARE(taken.path, fallback + QStringLiteral("/app-1.lock"));
    QVERIFY(QFile::exists(taken.path));
}

void tst_Startup::noUsableFolderRunsUnguarded()
{
    const QtInstanceLock taken = takeInstanceLock({unusableFolder(*m_dir), QString()}, "app.lock");
    QVERIFY(!taken.lock);
    QVERIFY(!taken.heldElsewhere);
    QVERIFY(taken.path.isEmpty());
}

TAVRIN_TEST_MAIN_IMPL(QtSingleApplication, tst_Startup)
#include "tst_startup.moc"
