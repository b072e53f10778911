// The installed program: this build installed into a temporary prefix (cmake --install) and
// packed into a Debian package (cpack), each checked file by file and started from a home
// folder without Fonts against the stand-in, on an Xvfb display with a tray host.

#include "programrun.h"

#include <QtCore/qdiriterator.h>

namespace {

const QByteArray damagedFontOutput("Error registering font b\nError while registering fonts.\n");

// Runs a tool to its end: true when it ended with code 0; *output has what it printed.
bool runTool(const char *name, const QStringList &arguments, QByteArray *output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(toolPath(name), arguments);
    const bool ended = process.waitForFinished(3 * ProgramRunLimits::longWait);
    *output = process.readAll();
    return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Every file and link under the folder, relative to it.
QStringList filesUnder(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(folder).relativeFilePath(it.next()));
    files.sort();
    return files;
}

QStringList expectedFiles()
{
    QStringList files{"bin/tavrin-client", "share/applications/tavrin-client.desktop",
                      "share/icons/hicolor/scalable/apps/tavrin-client.svg",
                      "share/metainfo/invalid.tavrin.client.metainfo.xml",
                      "share/doc/tavrin-client/copyright"};
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        files.append(QString("share/icons/hicolor/%1x%1/apps/tavrin-client.png").arg(size));
    for (const char *face : {"-Light", "-Regular", "-Medium", "-Bold", "-Black", "Condensed-Bold"})
        files.append(QString("share/tavrin-client/Fonts/Roboto%1.ttf").arg(face));
    const QDir licences(TavrinTestEnvironment::sourceDir() + "/resources/licenses");
    for (const QString &licence : licences.entryList(QDir::Files))
        files.append("share/doc/tavrin-client/" + licence);
    files.sort();
    return files;
}

bool writeJunkFont(const QString &path)
{
    QFile junk(path);
    return junk.open(QIODevice::WriteOnly) && junk.write(QByteArray(2048, 'Z')) == 2048;
}

// Starts the program from the folder; with a damaged font among those it finds it must end at
// once naming it, else reach the login page. What went wrong, if anything.
QString startFrom(ProgramRun *run, const QString &program, const QString &folder, bool damaged)
{
    QProcess *client = run->start(program, {}, folder);
    if (damaged) {
        const bool ended = waitForExit(client);
        const QByteArray output = client->readAllStandardOutput();
        return ended && client->exitCode() == 2 && output == damagedFontOutput
                       ? QString()
                       : "from " + folder + ": " + QString::fromLatin1(output);
    }
    const QString window = run->waitForWindow("^Tavrin Client$");
    if (window.isEmpty() || !run->waitForSimLog("SVC CLIENT session=\\d+ connected"))
        return "no login page: " + QString::fromLatin1(client->readAllStandardOutput());
    // The launcher's StartupWMClass names the window's class.
    const QByteArray wmClass = run->tool("xprop", {"-id", window, "WM_CLASS"});
    return wmClass.contains("\"tavrin-client\"") ? QString() : QString::fromLatin1(wmClass);
}

} // namespace

class tst_Install : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void installedFiles();
    void installedProgram();
    void debianPackage();

private:
    QTemporaryDir m_prefix{QDir::tempPath() + "/prefix-XXXXXX"};
    QByteArray m_output;
};

void tst_Install::initTestCase()
{
    for (const char *name :
         {"cmake", "cpack", "cp", "desktop-file-validate", "appstreamcli", "dpkg-deb",
          "dpkg-shlibdeps", "file", "Xvfb", "trayer", "xdotool", "xprop"}) {
        if (toolPath(name).isEmpty())
            QSKIP(qPrintable(QString("%1 is not installed (scripts/install-deps.sh installs it)")
                                     .arg(QLatin1String(name))));
    }
    QVERIFY2(!TavrinTestEnvironment::simProgram().isEmpty(), "tavrin-sim is not built");
    QVERIFY2(runTool("cmake",
                     {"--install", TavrinTestEnvironment::buildDir(), "--prefix", m_prefix.path()},
                     &m_output),
             m_output.constData());
}

void tst_Install::installedFiles()
{
    QCOMPARE(filesUnder(m_prefix.path()), expectedFiles());
    QVERIFY(QFileInfo(m_prefix.filePath("bin/tavrin-client")).isExecutable());
    // The fonts are links to the system's files, which exist.
    const QDir fonts(m_prefix.filePath("share/tavrin-client/Fonts"));
    for (const QFileInfo &font : fonts.entryInfoList(QDir::Files | QDir::System))
        QVERIFY2(font.isSymLink() && font.exists(), qPrintable(font.fileName()));

    // Not a warning either.
    QVERIFY(runTool("desktop-file-validate",
                    {m_prefix.filePath("share/applications/tavrin-client.desktop")}, &m_output));
    QCOMPARE(m_output, QByteArray());
    QVERIFY2(runTool("appstreamcli",
                     {"validate", "--no-net",
                      m_prefix.filePath("share/metainfo/invalid.tavrin.client.metainfo.xml")},
                     &m_output)
                     && !m_output.contains("W:"),
             m_output.constData());
}

void tst_Install::installedProgram()
{
    ProgramRun run;
    const QString error = run.setUp(true, true);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    // A copy of the installed tree with a file that is no font among its fonts; the installed
    // tree started from a folder whose own Fonts has such a file, looked up first; then as is.
    QTemporaryDir copy;
    QTemporaryDir working;
    QVERIFY(runTool("cp", {"-a", m_prefix.path() + "/.", copy.path()}, &m_output)
            && writeJunkFont(copy.filePath("share/tavrin-client/Fonts/b.ttf"))
            && QDir(working.path()).mkdir("Fonts")
            && writeJunkFont(working.filePath("Fonts/b.ttf")));
    const QString program = m_prefix.filePath("bin/tavrin-client");
    QString failure = startFrom(&run, copy.filePath("bin/tavrin-client"), run.home(), true);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    failure = startFrom(&run, program, working.path(), true);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    failure = startFrom(&run, program, run.home(), false);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void tst_Install::debianPackage()
{
    QTemporaryDir out;
    QVERIFY2(runTool("cpack",
                     {"-G", "DEB", "--config",
                      TavrinTestEnvironment::buildDir() + "/CPackConfig.cmake", "-B", out.path()},
                     &m_output),
             m_output.constData());
    const QStringList packages = QDir(out.path()).entryList({"tavrin-client_*.deb"});
    QCOMPARE(packages.size(), 1);
    const QString package = out.filePath(packages.first());
    QVERIFY(runTool("dpkg-deb", {"-f", package, "Package", "Section", "Depends"}, &m_output));
    const QString fields = QString::fromUtf8(m_output);
    QVERIFY2(fields.startsWith("Package: tavrin-client\nSection: net\nDepends: ")
                     && fields.contains(QRegularExpression("Depends: (.+, )?fonts-roboto-unhinted"
                                                           "(,|\n)"))
                     && fields.contains("libqt5widgets5") && fields.contains("libqt5network5"),
             qPrintable(fields));

    // Only the product's files, under /usr.
    QTemporaryDir root;
    QVERIFY(runTool("dpkg-deb", {"-x", package, root.path()}, &m_output));
    QCOMPARE(filesUnder(root.filePath("usr")), expectedFiles());
    // The packaged program reads the package's Fonts, whose links reach the fonts of the
    // dependency (here as installed on this machine).
    ProgramRun run;
    const QString error = run.setUp(true, true);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QString fonts = root.filePath("usr/share/tavrin-client/Fonts");
    const QString program = root.filePath("usr/bin/tavrin-client");
    QVERIFY(QFile::link("/usr/share/fonts", root.filePath("usr/share/fonts")));
    for (const QFileInfo &font : QDir(fonts).entryInfoList(QDir::Files | QDir::System))
        QVERIFY2(font.exists(), qPrintable(font.fileName()));
    const QString failure = startFrom(&run, program, run.home(), false);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

TAVRIN_TEST_MAIN(tst_Install)
#include "tst_install.moc"
