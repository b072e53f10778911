// The reference for the start-up benchmark: a bare frameless dialog of the client's size with a
// tray icon, and nothing else.

#include <QtGui/qicon.h>
#include <QtGui/qpixmap.h>
#include <QtWidgets/qapplication.h>
#include <QtWidgets/qdialog.h>
#include <QtWidgets/qsystemtrayicon.h>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QPixmap dot(16, 16);
    dot.fill(Qt::gray);
    QSystemTrayIcon tray{QIcon(dot)};
    tray.show();
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Bare Dialog"));
    dialog.setFixedSize(344, 545);
    dialog.setWindowFlags(Qt::FramelessWindowHint);
    dialog.show();
    return app.exec();
}
