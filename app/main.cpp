#include "qmaindialog.h"
#include "qtsingleapplication.h"
#include "tavrinfonts.h"
#include "tavrinstartup.h"

#include <QtWidgets/qsystemtrayicon.h>

#include <cstdio>

static int printAndReturn(const char *line, int code)
{
    fputs(line, stdout);
    fflush(stdout);
    return code;
}

int main(int argc, char *argv[])
{
    startSocketLibrary();
    QtSingleApplication app(argc, argv, true);
    if (app.isRunning())
        return 0;
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return printAndReturn("Systray is not supported by this operating system.\n", 1);
    if (!registerFonts())
        return printAndReturn("Error while registering fonts.\n", 2);

    int result = 3;
    {
        QMainDialog window;
        window.setWindowFlags(Qt::FramelessWindowHint);
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
