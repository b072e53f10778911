#include "app/qtsingleapplication.h"
#include "app/tavrinapplicationicon.h"
#include "app/tavrinfontconfiguration.h"
#include "app/tavrinfonts.h"
#include "app/tavrinstartup.h"
#include "app/tavrintranslations.h"
#include "app/tavrintrayhost.h"
#include "base/tavrindeployment.h"
#include "service/qtavrinserviceconnection.h"
#include "ui/qmaindialog.h"

#include <QtCore/qdir.h>
#include <QtWidgets/qsystemtrayicon.h>

#include <cstdio>

static int printAndReturn(const char *line, int code)
{
    fputs(line, stdout);
    fflush(stdout);
    return code;
}

static const int serviceWaitAtLogOnMs = 30000;

// Started from the log-on entry, the panel may not be up yet: its tray is waited for.
static bool trayAvailable(bool atLogOn)
{
    const int trayWaitAtLogOnMs = 30000;
    if (atLogOn)
        waitForTrayHost(trayWaitAtLogOnMs);
    return QSystemTrayIcon::isSystemTrayAvailable();
}

int main(int argc, char *argv[])
{
    setUpMemoryAllocator();
    startSocketLibrary();
    // The fonts are the slowest part of start-up: the system's configuration of them is read
    // from the start, their registration begins as soon as the application object is there.
    TavrinFontConfiguration fontConfiguration;
    setTavrinApplicationIdentity();
    // Sharp at any scale: the window grows with the screen's scale as it is (1.25 and 1.5 are
    // the common ones on laptops, not rounded to a whole number), images come double-size.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
            Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QGuiApplication::setDesktopFileName(QStringLiteral("tavrin-client"));
    QtSingleApplication app(argc, argv);
    if (app.isRunning())
        return 0;
    TavrinFontRegistration fonts(fontsFolderPath(QDir::currentPath(),
                                                 QCoreApplication::applicationDirPath()),
                                 &fontConfiguration);
    TavrinApplicationIcon icon;
    // Before the first text is shown: the no-tray notification, the window, its boxes.
    installTavrinTranslations(&app);
    setTrayDisplayName();
    // The window hides to the tray and message boxes may be the only windows on screen: the
    // program ends when the window is closed through Exit, not when the last window closes.
    app.setQuitOnLastWindowClosed(false);
    // At log-on the desktop's tray and the VPN service may both still be starting.
    const bool atLogOn = app.arguments().contains(QLatin1String(tavrinLogOnOption));
    if (atLogOn)
        QTavrinServiceConnection::setStartPatience(serviceWaitAtLogOnMs);
    if (!trayAvailable(atLogOn)) {
        notifyNoTrayHost();
        return printAndReturn("Systray is not supported by this operating system.\n", 1);
    }
    if (!fonts.finish())
        return printAndReturn("Error while registering fonts.\n", 2);

    // Before the window and its boxes.
    app.setWindowIcon(icon.icon());
    int result = 3;
    {
        QMainDialog window;
        window.setWindowFlags(Qt::FramelessWindowHint);
        QObject::connect(&window, &QDialog::finished, &app, &QCoreApplication::quit);
        if (window.isServiceAvailable()) {
            if (window.isInitialized())
                window.show();
            result = app.exec();
        }
        // The fonts go before the window that uses them.
        unregisterFonts();
    }
    return result;
}
