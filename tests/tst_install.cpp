// The installed program: this build packed into a Debian package (cpack), unpacked, checked file
// by file and started against the stand-in, on an Xvfb display with a tray host.

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
                      "share/man/man1/tavrin-client.1.gz"};
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        files.append(QString("share/icons/hicolor/%1x%1/apps/tavrin-client.png").arg(size));
    for (const char *face : {"-Light", "-Regular", "-Medium", "-Bold", "-Black", "Condensed-Bold"})
        files.append(QString("share/tavrin-client/Fonts/Roboto%1.ttf").arg(face));
    const QDir licences(TavrinTestEnvironment::sourceDir() + "/resources/licenses");
    for (const QString &licence :
         licences.entryList(QDir::Files) + QStringList{"copyright", "changelog.gz"})
        files.append("share/doc/tavrin-client/" + licence);
    files.sort();
    return files;
}

// Starts the program from a home folder without Fonts: it must reach the login page, its
// window's class the launcher's StartupWMClass. What went wrong, if anything.
QString startFrom(const QString &program)
{
    ProgramRun run;
    const QString error = run.setUp(true, true);
    QProcess *client = error.isEmpty() ? run.start(program, {}, run.home()) : nullptr;
    const QString window = client ? run.waitForWindow("^Tavrin Client$") : QString();
    if (window.isEmpty() || !run.waitForSimLog("SVC CLIENT session=1 connected"))
        return error + "no login page: "
               + QString::fromLocal8Bit(client ? client->readAllStandardOutput() : "");
    const QByteArray wmClass = run.tool("xprop", {"-id", window, "WM_CLASS"});
    return wmClass.contains("\"tavrin-client\"") ? QString() : QString::fromLatin1(wmClass);
}

} // namespace

class tst_Install : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void debianPackage();

private:
    QByteArray m_output;
};

void tst_Install::initTestCase()
{
    const QString missing = missingTool({"cmake", "cpack", "desktop-file-validate", "appstreamcli",
                                         "dpkg-deb", "dpkg-shlibdeps", "file", "lintian", "Xvfb",
                                         "trayer", "xdotool", "xprop"});
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    QVERIFY2(!TavrinTestEnvironment::simProgram().isEmpty(), "tavrin-sim is not built");
}

// The package holds only the product's files, under /usr, and depends on the fonts its Fonts
// links reach (here as installed on this machine).
void tst_Install::debianPackage()
{
    QTemporaryDir out;
    const QString config = TavrinTestEnvironment::buildDir() + "/CPackConfig.cmake";
    QVERIFY2(runTool("cpack", {"-G", "DEB", "--config", config, "-B", out.path()}, &m_output),
             m_output.constData());
    const QStringList packages = QDir(out.path()).entryList({"tavrin-client_*.deb"});
    QCOMPARE(packages.size(), 1);
    const QString deb = out.filePath(packages.first());
    QVERIFY(runTool("dpkg-deb", {"-f", deb, "Package", "Section", "Depends"}, &m_output));
    const QString fields = QString::fromUtf8(m_output);
    QVERIFY2(fields.startsWith("Package: tavrin-client\nSection: net\nDepends: ")
                     && fields.contains(QRegularExpression("Depends: (.+, )?fonts-roboto-"
                                                           "unhinted(,|\n)"))
                     && fields.contains("libqt5widgets5") && fields.contains("libqt5network5"),
             qPrintable(fields));
    QVERIFY2(runTool("lintian", {"--fail-on", "error,warning", deb}, &m_output), m_output.data());
    QVERIFY(runTool("dpkg-deb", {"-x", deb, out.filePath("root")}, &m_output));
    // Every file in place, the fonts links that reach the system's; the launcher and the
    // metadata pass their validators without a warning; the program starts.
    const QString usr = out.filePath("root/usr");
    QCOMPARE(filesUnder(usr), expectedFiles());
    QVERIFY(QFileInfo(usr + "/bin/tavrin-client").isExecutable());
    QVERIFY(QFile::link("/usr/share/fonts", usr + "/share/fonts"));
    for (const QFileInfo &font :
         QDir(usr + "/share/tavrin-client/Fonts").entryInfoList(QDir::Files | QDir::System))
        QVERIFY2(font.isSymLink() && font.exists(), qPrintable(font.fileName()));
    QVERIFY(runTool("desktop-file-validate", {usr + "/share/applications/tavrin-client.desktop"},
                    &m_output)
            && m_output.isEmpty());
    QVERIFY2(runTool("appstreamcli",
                     {"validate", "--no-net",
                      usr + "/share/metainfo/invalid.tavrin.client.metainfo.xml"},
                     &m_output)
                     && !m_output.contains("W:"),
             m_output.constData());
    VERIFY_SET_UP(startFrom(usr + "/bin/tavrin-client"));
}

TAVRIN_TEST_MAIN(tst_Install)
#include "tst_install.moc"
