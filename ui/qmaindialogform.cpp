#include "ui/qmaindialogform.h"
#include "ui_qmaindialog.h"

#include "widgets/qfocusring.h"
#include "widgets/tavrinaccessibility.h"
#include "widgets/tavrinimages.h"

namespace {

struct FontRow
{
    const char *family;
    int pointSize;
    int weight; // Qt's raw weight; 100 is passed as it is
    const char *styleSheet;
};

QFont rowFont(const FontRow &row, qreal letterSpacing = 0)
{
    QFont font(QString::fromLatin1(row.family), row.pointSize, row.weight, false);
    font.setStyleStrategy(QFont::PreferAntialias);
    if (letterSpacing != 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    return font;
}

void applyFontRow(const FontRow &row, std::initializer_list<QWidget *> widgets,
                  qreal letterSpacing = 0)
{
    const QFont font = rowFont(row, letterSpacing);
    for (QWidget *widget : widgets) {
        widget->setFont(font);
        if (row.styleSheet)
            widget->setStyleSheet(QString::fromLatin1(row.styleSheet));
    }
}

} // namespace

void applyMainDialogFonts(Ui::QMainDialog *ui)
{
    applyFontRow({"Roboto", 16, 60, nullptr}, {ui->username_edit, ui->password_edit});
    applyFontRow({"Roboto", 20, 70, nullptr}, {ui->connect_button, ui->settings_button});
    applyFontRow({"Roboto", 14, 70, nullptr}, {ui->autoStart_checkBox, ui->autoLogin_checkBox});
    applyFontRow({"Roboto", 20, 50, nullptr}, {ui->connect_label});
    applyFontRow({"Roboto", 10, 75, "color: #863d38"}, {ui->connect_country_label});
    applyFontRow({"Roboto Condensed", 14, 100, nullptr}, {ui->connecton_label}, 5.0);
    applyFontRow({"Roboto", 10, 100, "color: #999999"}, {ui->ipaddress_label});
    applyFontRow({"Roboto", 16, 40, "color: #333333"}, {ui->ipaddress_value_label});
    applyFontRow({"Roboto", 10, 100, "color: #999999"}, {ui->time_connected_label});
    applyFontRow({"Roboto", 16, 40, "color: #333333"}, {ui->time_connected_value_label});
    applyFontRow({"Roboto", 10, 100, "color: #999999"}, {ui->encryption_text});
    applyFontRow({"Roboto", 16, 40, "color: #333333"}, {ui->encryption_value_text});
}

void applyMainDialogImages(Ui::QMainDialog *ui)
{
    const std::initializer_list<std::pair<QLabel *, const char *>>
            images{{ui->logo_image_label, ":/imgs/logo-with-text.png"},
                   {ui->username_label, ":/imgs/login-user.png"},
                   {ui->password_label, ":/imgs/login-lock.png"},
                   {ui->ipaddress_icon, ":/imgs/encryption.png"},
                   {ui->time_connected_icon, ":/imgs/clock.png"},
                   {ui->encryption_icon, ":/imgs/key.png"}};
    for (const auto &image : images)
        image.first->setPixmap(
                tavrinPixmap(QString::fromLatin1(image.second), image.first->devicePixelRatioF()));
}

void setUpMainDialogKeys(Ui::QMainDialog *ui)
{
    for (QPushButton *button : ui->stackedWidget->window()->findChildren<QPushButton *>())
        button->setAutoDefault(false);
    for (QLineEdit *field : {ui->username_edit, ui->password_edit})
        QObject::connect(field, &QLineEdit::returnPressed, ui->connect_button, &QPushButton::click);
}

void setUpMainDialogAccess(Ui::QMainDialog *ui)
{
    installWidgetAccessibility();
    const auto name = [](QWidget *widget, const char *text) {
        widget->setAccessibleName(QCoreApplication::translate("QMainDialog", text));
    };
    name(ui->username_edit, QT_TRANSLATE_NOOP("QMainDialog", "Username"));
    name(ui->password_edit, QT_TRANSLATE_NOOP("QMainDialog", "Password"));
    name(ui->username_label, QT_TRANSLATE_NOOP("QMainDialog", "Username"));
    name(ui->password_label, QT_TRANSLATE_NOOP("QMainDialog", "Password"));
    name(ui->minimize_button, QT_TRANSLATE_NOOP("QMainDialog", "Minimise"));
    name(ui->close_button, QT_TRANSLATE_NOOP("QMainDialog", "Hide to tray"));
    name(ui->title_label, QT_TRANSLATE_NOOP("QMainDialog", "Back to the login page"));
    name(ui->bandwidth_widget, QT_TRANSLATE_NOOP("QMainDialog", "Bandwidth"));
    ui->logo_image_label->setAccessibleName(QStringLiteral("Tavrin"));
    // The field icons hand the focus to their fields, and are no Tab stops of their own.
    ui->username_label->setFocusProxy(ui->username_edit);
    ui->password_label->setFocusProxy(ui->password_edit);
    for (QWidget *widget :
         std::initializer_list<QWidget *>{ui->connect_button, ui->settings_button,
                                          ui->minimize_button, ui->close_button,
                                          ui->autoStart_checkBox, ui->autoLogin_checkBox})
        widget->setFocusPolicy(Qt::TabFocus);
    ui->title_label->setFocusPolicy(Qt::NoFocus);
    const QList<QWidget *> order{ui->username_edit,      ui->password_edit,
                                 ui->connect_button,     ui->settings_button,
                                 ui->title_label,        ui->connect_frame,
                                 ui->comboBox,           ui->autoStart_checkBox,
                                 ui->autoLogin_checkBox, ui->minimize_button,
                                 ui->close_button};
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
    new QFocusRing(ui->stackedWidget->window());
}

void setTitleLinkCursor(Ui::QMainDialog *ui, Qt::CursorShape shape)
{
    ui->title_label->setCursor(shape);
    ui->title_label->setFocusPolicy(shape == Qt::PointingHandCursor ? Qt::TabFocus : Qt::NoFocus);
}

void showTitleLink(Ui::QMainDialog *ui, bool shown)
{
    const qreal scale = ui->title_label->devicePixelRatioF();
    ui->title_label->setPixmap(shown ? tavrinPixmap(QStringLiteral(":/imgs/title-logo.png"), scale)
                                     : QPixmap());
    setTitleLinkCursor(ui, shown ? Qt::PointingHandCursor : Qt::ArrowCursor);
}
