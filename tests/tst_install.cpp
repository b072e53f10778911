// The installed program: this build installed into a prefix of the build folder (cmake
// --install) and packed into a Debian package (cpack), side by side, each checked file by file
// and started from a home folder without Fonts against the stand-in, on an Xvfb display with a
// tray host.

#include "programrun.h"

#include <QtCore/qdiriterator.h>

namespace {

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

// Starts the program from the home folder of a run of its own, which has no Fonts: it must reach
// the login page, and then ends. What went wrong, if anything.
QString startFrom(const QString &program)
{
    ProgramRun run;
    const QString error = run.setUp(true, true);
    if (!error.isEmpty())
        return error;
    QProcess *client = run.start(program, {}, run.home());
    const QString window = run.waitForWindow("^Tavrin Client$");
    if (window.isEmpty() || !run.waitForSimLog("SVC CLIENT session=1 connected"))
        return "no login page: " + QString::fromLatin1(client->readAllStandardOutput());
    // The launcher's StartupWMClass names the window's class.
    const QByteArray wmClass = run.tool("xprop", {"-id", window, "WM_CLASS"});
    // Ctrl+Q ends it.
    const bool ended = run.xdotool({"windowfocus", window}) && run.key("ctrl+q")
                       && waitForExit(client) && client->exitCode() == 0;
    return wmClass.contains("\"tavrin-client\"") && ended ? QString()
                                                          : QString::fromLatin1(wmClass);
}

const QString prefix = TavrinTestEnvironment::buildDir() + "/test-install";

} // namespace

class tst_Install : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void installedFiles();
    void debianPackage();

private:
    QByteArray m_output;
};

void tst_Install::initTestCase()
{
    const QString missing = missingTool({"cmake", "cpack", "desktop-file-validate", "appstreamcli",
                                         "dpkg-deb", "dpkg-shlibdeps", "file", "Xvfb", "trayer",
                                         "xdotool", "xprop"});
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    QVERIFY2(!TavrinTestEnvironment::simProgram().isEmpty(), "tavrin-sim is not built");
}

void tst_Install::installedFiles()
{
    QVERIFY(QDir(prefix).removeRecursively());
    QVERIFY2(runTool("cmake", {"--install", TavrinTestEnvironment::buildDir(), "--prefix", prefix},
                     &m_output),
             m_output.constData());
    QCOMPARE(filesUnder(prefix), expectedFiles());
    QVERIFY(QFileInfo(prefix + "/bin/tavrin-client").isExecutable());
    // The fonts are links to the system's files, which exist.
    const QDir fonts(prefix + "/share/tavrin-client/Fonts");
    for (const QFileInfo &font : fonts.entryInfoList(QDir::Files | QDir::System))
        QVERIFY2(font.isSymLink() && font.exists(), qPrintable(font.fileName()));
    // Not a warning either.
    QVERIFY(runTool("desktop-file-validate", {prefix + "/share/applications/tavrin-client.desktop"},
                    &m_output));
    QCOMPARE(m_output, QByteArray());
    QVERIFY2(runTool("appstreamcli",
                     {"validate", "--no-net",
                      prefix + "/share/metainfo/invalid.tavrin.client.metainfo.xml"},
                     &m_output)
                     && !m_output.contains("W:"),
             m_output.constData());
    VERIFY_SET_UP(startFrom(prefix + "/bin/tavrin-client"));
}

// The package holds only the product's files, under /usr. Its program, as the installed one,
// reads its own Fonts, whose links reach the fonts of the dependency (here as installed on this
// machine).
void tst_Install::debianPackage()
{
    QTemporaryDir out;
    QProcess cpack;
    cpack.setProcessChannelMode(QProcess::MergedChannels);
    cpack.start(toolPath("cpack"),
                {"-G", "DEB", "--config", TavrinTestEnvironment::buildDir() + "/CPackConfig.cmake",
                 "-B", out.path()});
    QVERIFY2(cpack.waitForFinished(3 * LongPatience) && cpack.exitCode() == 0,
             cpack.readAll().constData());
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
    QTemporaryDir root;
    QVERIFY(runTool("dpkg-deb", {"-x", package, root.path()}, &m_output));
    QCOMPARE(filesUnder(root.filePath("usr")), expectedFiles());
    QVERIFY(QFile::link("/usr/share/fonts", root.filePath("usr/share/fonts")));
    for (const QFileInfo &font : QDir(root.filePath("usr/share/tavrin-client/Fonts"))
                                         .entryInfoList(QDir::Files | QDir::System))
        QVERIFY2(font.exists(), qPrintable(font.fileName()));
    VERIFY_SET_UP(startFrom(root.filePath("usr/bin/tavrin-client")));
}

TAVRIN_TEST_MAIN(tst_Install)
#include "tst_install.moc"
