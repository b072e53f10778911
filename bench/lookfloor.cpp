// The look floor of the start-up benchmark: the least Qt does to show what the client's first
// window shows, written plainly. A frameless dialog of the client's size with a tray icon; the
// fonts of "Fonts" in the working folder registered; the title strip with its background image,
// the logo, two line edits with their placeholders and two styled buttons, in the client's
// fonts. No service, settings, network or menu.

#include <QtCore/qdir.h>
#include <QtGui/qfontdatabase.h>
#include <QtGui/qicon.h>
#include <QtWidgets/qapplication.h>
#include <QtWidgets/qboxlayout.h>
#include <QtWidgets/qdialog.h>
#include <QtWidgets/qlabel.h>
#include <QtWidgets/qlineedit.h>
#include <QtWidgets/qpushbutton.h>
#include <QtWidgets/qsystemtrayicon.h>

static QFont roboto(int pointSize, int weight)
{
    return QFont(QStringLiteral("Roboto"), pointSize, weight);
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Matched by hand: a name filter would load the regular expression library.
    const QDir fonts(QStringLiteral("Fonts"));
    for (const QString &file : fonts.entryList(QDir::Files)) {
        if (file.endsWith(QLatin1String(".ttf"), Qt::CaseInsensitive))
            QFontDatabase::addApplicationFont(fonts.filePath(file));
    }
    QSystemTrayIcon tray{QIcon(QStringLiteral(":/imgs/tray/tray_off.ico"))};
    tray.show();

    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Look Floor"));
    dialog.setFixedSize(344, 545);
    dialog.setWindowFlags(Qt::FramelessWindowHint);
    auto *layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *title = new QWidget;
    title->setFixedHeight(48);
    title->setStyleSheet(QStringLiteral("background-image: url(:/imgs/title-background.png);"
                                        "background-repeat: repeat-x;"));
    layout->addWidget(title);
    auto *logo = new QLabel;
    logo->setPixmap(QPixmap(QStringLiteral(":/imgs/logo-with-text.png")));
    logo->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);
    for (const char *placeholder : {"Username", "Password"}) {
        auto *edit = new QLineEdit;
        edit->setPlaceholderText(QString::fromLatin1(placeholder));
        edit->setFont(roboto(16, 60));
        edit->setStyleSheet(QStringLiteral("background: white; border: 1px solid #dcdcdc;"
                                           "color: #979797"));
        layout->addWidget(edit);
    }
    auto *buttons = new QHBoxLayout;
    for (const char *text : {"Connect", "Settings"}) {
        auto *button = new QPushButton(QString::fromLatin1(text));
        button->setFont(roboto(20, 70));
        button->setStyleSheet(QStringLiteral("background: #009bdd; border: none;"
                                             "border-radius: 5px; color: white"));
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    dialog.show();
    return app.exec();
}
