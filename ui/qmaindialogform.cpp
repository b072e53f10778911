#include "ui/qmaindialogform.h"

#include "ui/qconnectionstatelook.h"
#include "ui/qtavrintray.h"

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

void QMainDialogForm::applyMainDialogFonts()
{
    applyFontRow({"Roboto", 16, 60, nullptr}, {username_edit, password_edit});
    applyFontRow({"Roboto", 20, 70, nullptr}, {connect_button, settings_button});
    applyFontRow({"Roboto", 14, 70, nullptr}, {autoStart_checkBox, autoLogin_checkBox});
    applyFontRow({"Roboto", 20, 50, nullptr}, {connect_label});
    applyFontRow({"Roboto", 10, 75, "color: #863d38"}, {connect_country_label});
    applyFontRow({"Roboto Condensed", 14, 100, nullptr}, {connecton_label}, 5.0);
    applyFontRow({"Roboto", 10, 100, "color: #999999"}, {ipaddress_label});
    applyFontRow({"Roboto", 16, 40, "color: #333333"}, {ipaddress_value_label});
    applyFontRow({"Roboto", 10, 100, "color: #999999"}, {time_connected_label});
    applyFontRow({"Roboto", 16, 40, "color: #333333"}, {time_connected_value_label});
    applyFontRow({"Roboto", 10, 100, "color: #999999"}, {encryption_text});
    applyFontRow({"Roboto", 16, 40, "color: #333333"}, {encryption_value_text});
}

void QMainDialogForm::applyMainDialogImages()
{
    const std::initializer_list<std::pair<QLabel *, const char *>>
            images{{logo_image_label, ":/imgs/logo-with-text.png"},
                   {username_label, ":/imgs/login-user.png"},
                   {password_label, ":/imgs/login-lock.png"},
                   {ipaddress_icon, ":/imgs/encryption.png"},
                   {time_connected_icon, ":/imgs/clock.png"},
                   {encryption_icon, ":/imgs/key.png"}};
    for (const auto &image : images)
        image.first->setPixmap(
                tavrinPixmap(QString::fromLatin1(image.second), image.first->devicePixelRatioF()));
}

void QMainDialogForm::setUpMainDialogKeys()
{
    for (QPushButton *button : stackedWidget->window()->findChildren<QPushButton *>())
        button->setAutoDefault(false);
    for (QLineEdit *field : {username_edit, password_edit})
        QObject::connect(field, &QLineEdit::returnPressed, connect_button, &QPushButton::click);
}

void QMainDialogForm::setUpMainDialogAccess()
{
    installWidgetAccessibility();
    const auto name = [](QWidget *widget, const char *text) {
        widget->setAccessibleName(QCoreApplication::translate("QMainDialog", text));
    };
    name(username_edit, QT_TRANSLATE_NOOP("QMainDialog", "Username"));
    name(password_edit, QT_TRANSLATE_NOOP("QMainDialog", "Password"));
    name(username_label, QT_TRANSLATE_NOOP("QMainDialog", "Username"));
    name(password_label, QT_TRANSLATE_NOOP("QMainDialog", "Password"));
    name(minimize_button, QT_TRANSLATE_NOOP("QMainDialog", "Minimise"));
    name(close_button, QT_TRANSLATE_NOOP("QMainDialog", "Hide to tray"));
    name(title_label, QT_TRANSLATE_NOOP("QMainDialog", "Back to the login page"));
    name(bandwidth_widget, QT_TRANSLATE_NOOP("QMainDialog", "Bandwidth"));
    logo_image_label->setAccessibleName(QStringLiteral("Tavrin"));
    // The field icons hand the focus to their fields, and are no Tab stops of their own.
    username_label->setFocusProxy(username_edit);
    password_label->setFocusProxy(password_edit);
    for (QWidget *widget :
         std::initializer_list<QWidget *>{connect_button, settings_button, minimize_button,
                                          close_button, autoStart_checkBox, autoLogin_checkBox})
        widget->setFocusPolicy(Qt::TabFocus);
    title_label->setFocusPolicy(Qt::NoFocus);
    const QList<QWidget *> order{username_edit,   password_edit,      connect_button,
                                 settings_button, title_label,        connect_frame,
                                 comboBox,        autoStart_checkBox, autoLogin_checkBox,
                                 minimize_button, close_button};
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
    new QFocusRing(stackedWidget->window());
}

void QMainDialogForm::setTitleLinkCursor(Qt::CursorShape shape)
{
    title_label->setCursor(shape);
    title_label->setFocusPolicy(shape == Qt::PointingHandCursor ? Qt::TabFocus : Qt::NoFocus);
}

void QMainDialogForm::showTitleLink(bool shown)
{
    const qreal scale = title_label->devicePixelRatioF();
    title_label->setPixmap(shown ? tavrinPixmap(QStringLiteral(":/imgs/title-logo.png"), scale)
                                 : QPixmap());
    setTitleLinkCursor(shown ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

// Each element is set only when it changes: setting a style sheet polishes the widget anew, and
// a service may send the same state many times over.
void QMainDialogForm::showConnectionStateLook(const QConnectionStateLook &look,
                                              const QString &serverName)
{
    const auto text = [](const char *source) {
        return QCoreApplication::translate("QMainDialog", source);
    };
    const auto setStyle = [](QWidget *widget, const char *sheet) {
        if (sheet && widget->styleSheet() != QLatin1String(sheet))
            widget->setStyleSheet(QString::fromLatin1(sheet));
    };
    const auto setImage = [](QLabel *label, const char *path) {
        if (!path)
            return;
        const QPixmap image = tavrinPixmap(QString::fromLatin1(path), label->devicePixelRatioF());
        if (label->pixmap(Qt::ReturnByValue).cacheKey() != image.cacheKey())
            label->setPixmap(image);
    };
    setImage(title_label, look.titlePixmap);
    if (look.page >= 0)
        stackedWidget->setCurrentIndex(look.page);
    connect_stackedWidget->setCurrentIndex(look.connectPage);
    setStyle(connect_frame, look.connectFrameStyle);
    if (look.connectText)
        connect_label->setText(text(look.connectText));
    if (look.showServerName) {
        // A long name ends in "..." within the button; the tool tip holds it whole.
        const QFontMetrics metrics(connect_country_label->font());
        connect_country_label->setText(metrics.elidedText(serverName, Qt::ElideRight, 280));
        connect_country_label->setToolTip(serverName);
    }
    setStyle(connect_country_label, look.serverNameStyle);
    connecton_label->setText(text(look.stateText));
    setStyle(connecton_label, look.stateStyle);
    setImage(ipaddress_icon, look.addressIcon);
    if (look.addressLabel)
        ipaddress_label->setText(text(look.addressLabel));
    if (look.addressValue)
        ipaddress_value_label->setText(text(look.addressValue));
    setImage(time_connected_icon, look.clockIcon);
    if (look.timeConnected)
        time_connected_value_label->setText(*look.timeConnected ? text(look.timeConnected)
                                                                : QString());
    setImage(encryption_icon, look.encryptionIcon);
    timeconnected_section->setCurrentIndex(look.timeSectionPage);
}

void QMainDialogForm::describeConnectionState(const QString &status, const QString &serverName)
{
    const auto setName = [](QWidget *widget, const QString &name) {
        if (widget->accessibleName() != name)
            widget->setAccessibleName(name); // announced to assistive technology
    };
    const auto setDescription = [](QWidget *widget, const QString &description) {
        if (widget->accessibleDescription() != description)
            widget->setAccessibleDescription(description);
    };
    // The strip is a word in capitals; it reads the sentence of the status box instead.
    setName(connecton_label, status);
    setName(connect_frame, QStringLiteral("%1 - %2").arg(connect_label->text(), serverName));
    setDescription(ipaddress_value_label, ipaddress_label->text());
    setDescription(time_connected_value_label, time_connected_label->text());
    setDescription(encryption_value_text, encryption_text->text());
}

void QMainDialogForm::showConnectionState(QTavrinTray *tray, quint8 code, const QString &serverName)
{
    const QConnectionStateLook look = connectionStateLook(code);
    showConnectionStateLook(look, serverName);
    const auto withServer = [&serverName](const char *source) {
        const QString text = QCoreApplication::translate("QMainDialog", source);
        return text.contains(QLatin1String("%1")) ? text.arg(serverName) : text;
    };
    describeConnectionState(withServer(connectionStatusText(code)), serverName);
    tray->showState(look, withServer(connectionTrayToolTip(code)));
    if (look.titleCursor >= 0)
        setTitleLinkCursor(Qt::CursorShape(look.titleCursor));
}
