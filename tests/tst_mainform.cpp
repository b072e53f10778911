#include "qvpnbandwidthwidget.h"
#include "tavrintestenvironment.h"
#include "ui_qmaindialog.h"

#include <QtTest/qtest.h>
#include <QtWidgets/qapplication.h>
#include <QtWidgets/qdialog.h>

// A dialog with the main window's twelve slots that the form connects by name; each records
// its call.
class FormHostDialog : public QDialog
{
    Q_OBJECT

public:
    QStringList calls;

private slots:
    void on_minimize_button_clicked() { calls << QStringLiteral("minimize_button"); }
    void on_close_button_clicked() { calls << QStringLiteral("close_button"); }
    void on_username_label_clicked() { calls << QStringLiteral("username_label"); }
    void on_password_label_clicked() { calls << QStringLiteral("password_label"); }
    void on_connect_button_clicked() { calls << QStringLiteral("connect_button"); }
    void on_settings_button_clicked() { calls << QStringLiteral("settings_button"); }
    void on_connect_frame_clicked() { calls << QStringLiteral("connect_frame"); }
    void on_title_label_clicked() { calls << QStringLiteral("title_label"); }
    void on_comboBox_pressed() { calls << QStringLiteral("comboBox pressed"); }
    void on_comboBox_starToggled() { calls << QStringLiteral("comboBox starToggled"); }
    void on_autoStart_checkBox_clicked(bool on) { calls << QStringLiteral("autoStart %1").arg(on); }
    void on_autoLogin_checkBox_clicked(bool on) { calls << QStringLiteral("autoLogin %1").arg(on); }
};

class tst_MainForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void objectsAndClasses_data();
    void objectsAndClasses();
    void pages();
    void geometry_data();
    void geometry();
    void properties_data();
    void properties();
    void looks();
    void passwordIsMasked();
    void connectionsByName();
    void renderPages();

private:
    void showPage(int page, int connectPage = 0, int infoPage = 0);

    FormHostDialog *dialog = nullptr;
    Ui::QMainDialog *ui = nullptr;
};

void tst_MainForm::init()
{
    dialog = new FormHostDialog;
    ui = new Ui::QMainDialog;
    ui->setupUi(dialog);
}

void tst_MainForm::cleanup()
{
    delete ui;
    delete dialog;
}

void tst_MainForm::showPage(int page, int connectPage, int infoPage)
{
    ui->stackedWidget->setCurrentIndex(page);
    ui->connect_stackedWidget->setCurrentIndex(connectPage);
    ui->timeconnected_section->setCurrentIndex(infoPage);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    ui->stackedWidget->currentWidget()->layout()->activate();
    QCoreApplication::processEvents();
}

void tst_MainForm::objectsAndClasses_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");
    const char *const rows[][3] = {
            {"titleBackground_widget", "QWidget", "QMainDialog"},
            {"minimize_button", "QPushButton", "titleBackground_widget"},
            {"close_button", "QPushButton", "titleBackground_widget"},
            {"title_label", "QClickableLabel", "titleBackground_widget"},
            {"stackedWidget", "QStackedWidget", "QMainDialog"},
            {"login_page", "QWidget", "stackedWidget"},
            {"logo_image_label", "QLabel", "login_page"},
            {"credentials_frame", "QFrame", "login_page"},
            {"username_frame", "QFrame", "credentials_frame"},
            {"username_edit", "QLineEdit", "username_frame"},
            {"username_label", "QClickableLabel", "username_frame"},
            {"password_frame", "QFrame", "credentials_frame"},
            {"password_edit", "QLineEdit", "password_frame"},
            {"password_label", "QClickableLabel", "password_frame"},
            {"connect_button", "QPushButton", "login_page"},
            {"settings_button", "QPushButton", "login_page"},
            {"connection_page", "QWidget", "stackedWidget"},
            {"frame", "QFrame", "connection_page"},
            {"connect_stackedWidget", "QStackedWidget", "frame"},
            {"connection_button_page", "QWidget", "connect_stackedWidget"},
            {"connect_frame", "QClicableFrame", "connection_button_page"},
            {"connect_label", "QLabel", "connect_frame"},
            {"connect_country_label", "QLabel", "connect_frame"},
            {"connect_combo_page", "QWidget", "connect_stackedWidget"},
            {"comboBox", "QVPNServerComboBox", "connect_combo_page"},
            {"bandwidth_widget", "QVPNBandwidthWidget", "connection_page"},
            {"connecton_label", "QLabel", "connection_page"},
            {"ipaddress_section", "QWidget", "connection_page"},
            {"ipaddress_icon", "QLabel", "ipaddress_section"},
            {"ipaddress_label", "QLabel", "ipaddress_section"},
            {"ipaddress_value_label", "QLabel", "ipaddress_section"},
            {"line1", "QFrame", "connection_page"},
            {"timeconnected_section", "QStackedWidget", "connection_page"},
            {"timeconnected_sectionPage1", "QWidget", "timeconnected_section"},
            {"time_connected_icon", "QLabel", "timeconnected_sectionPage1"},
            {"time_connected_label", "QLabel", "timeconnected_sectionPage1"},
            {"time_connected_value_label", "QLabel", "timeconnected_sectionPage1"},
            {"page", "QWidget", "timeconnected_section"},
            {"autoStart_checkBox", "QCheckBox", "page"},
            {"autoLogin_checkBox", "QCheckBox", "page"},
            {"line2", "QFrame", "connection_page"},
            {"encryption_section", "QWidget", "connection_page"},
            {"encryption_icon", "QLabel", "encryption_section"},
            {"encryption_text", "QLabel", "encryption_section"},
            {"encryption_value_text", "QLabel", "encryption_section"},
    };
    for (const auto &row : rows)
        QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1])
                              << QString::fromLatin1(row[2]);
}

void tst_MainForm::objectsAndClasses()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, parentName);
    const QList<QWidget *> found = dialog->findChildren<QWidget *>(name);
    QCOMPARE(found.size(), 1);
    QCOMPARE(QString::fromLatin1(found.first()->metaObject()->className()), className);
    QVERIFY(found.first()->parentWidget());
    QCOMPARE(found.first()->parentWidget()->objectName(), parentName);
}

void tst_MainForm::pages()
{
    // The pages in order, each stack on its first page after set-up.
    const QList<QPair<QStackedWidget *, QList<QWidget *>>> stacks
            = {{ui->stackedWidget, {ui->login_page, ui->connection_page}},
               {ui->connect_stackedWidget, {ui->connection_button_page, ui->connect_combo_page}},
               {ui->timeconnected_section, {ui->timeconnected_sectionPage1, ui->page}}};
    for (const auto &stack : stacks) {
        QCOMPARE(stack.first->count(), stack.second.size());
        for (int i = 0; i < stack.second.size(); ++i)
            QCOMPARE(stack.first->widget(i), stack.second.at(i));
        QCOMPARE(stack.first->currentIndex(), 0);
    }
    // The rows of the connection page, top to bottom.
    const QList<QWidget *> rows = {ui->frame,           ui->bandwidth_widget,
                                   ui->connecton_label, ui->ipaddress_section,
                                   ui->line1,           ui->timeconnected_section,
                                   ui->line2,           ui->encryption_section};
    QCOMPARE(ui->verticalLayout_4->count(), rows.size());
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(ui->verticalLayout_4->itemAt(i)->widget(), rows.at(i));
}

void tst_MainForm::geometry_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("dialog") << 0 << "QMainDialog" << QRect(0, 0, 344, 545);
    QTest::newRow("title") << 0 << "titleBackground_widget" << QRect(0, 0, 344, 48);
    QTest::newRow("stack") << 0 << "stackedWidget" << QRect(0, 48, 344, 497);
    QTest::newRow("login page") << 0 << "login_page" << QRect(0, 0, 344, 497);
    QTest::newRow("logo") << 0 << "logo_image_label" << QRect(11, 45, 322, 90);
    QTest::newRow("credentials") << 0 << "credentials_frame" << QRect(11, 179, 322, 127);
    QTest::newRow("username") << 0 << "username_frame" << QRect(1, 1, 320, 62);
    QTest::newRow("password") << 0 << "password_frame" << QRect(1, 64, 320, 62);
    QTest::newRow("user icon") << 0 << "username_label" << QRect(284, 19, 24, 24);
    QTest::newRow("connect") << 0 << "connect_button" << QRect(11, 336, 158, 64);
    QTest::newRow("settings") << 0 << "settings_button" << QRect(175, 336, 158, 64);
    QTest::newRow("connection page") << 1 << "connection_page" << QRect(0, 0, 344, 497);
    QTest::newRow("frame") << 1 << "frame" << QRect(1, 0, 342, 109);
    QTest::newRow("graph") << 1 << "bandwidth_widget" << QRect(1, 109, 342, 150);
    QTest::newRow("state") << 1 << "connecton_label" << QRect(1, 259, 342, 44);
    QTest::newRow("address") << 1 << "ipaddress_section" << QRect(1, 303, 342, 64);
    QTest::newRow("line1") << 1 << "line1" << QRect(1, 367, 342, 1);
    QTest::newRow("time") << 1 << "timeconnected_section" << QRect(1, 368, 342, 64);
    QTest::newRow("line2") << 1 << "line2" << QRect(1, 432, 342, 1);
    QTest::newRow("encryption") << 1 << "encryption_section" << QRect(1, 433, 342, 64);
}

void tst_MainForm::geometry()
{
    QFETCH(int, page);
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    showPage(page);
    // The window has a fixed size; the layouts place every row at the pixel.
    dialog->resize(500, 700);
    dialog->resize(100, 100);
    QWidget *widget = name == dialog->objectName() ? dialog : dialog->findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget == dialog ? widget->rect() : widget->geometry(), rect);
}

void tst_MainForm::properties_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QString>("value");
    const char *const rows[][3] = {
            {"QMainDialog", "windowTitle", "Tavrin Client"},
            {"minimize_button", "toolTip", "Minimize"},
            {"close_button", "toolTip", "Close"},
            {"title_label", "text", ""},
            {"username_edit", "placeholderText", "Username"},
            {"password_edit", "placeholderText", "Password"},
            {"username_edit", "text", ""},
            {"password_edit", "text", ""},
            {"connect_button", "text", "Connect"},
            {"settings_button", "text", "Settings"},
            {"connect_label", "text", "Disconnected"},
            {"connect_country_label", "text", ""},
            {"connecton_label", "text", "DISCONNECTED"},
            {"ipaddress_icon", "text", ""},
            {"ipaddress_label", "text", "Tavrin ADDRESS"},
            {"ipaddress_value_label", "text", "Detecting..."},
            {"time_connected_label", "text", "TIME CONNECTED"},
            {"time_connected_value_label", "text", ""},
            {"autoStart_checkBox", "text", "Auto &Start"},
            {"autoLogin_checkBox", "text", "Auto &Login"},
            {"encryption_text", "text", "VPN PROTOCOL & ENCRYPTION"},
            {"encryption_value_text", "text", "OpenVPN - 256 bit"},
            {"titleBackground_widget", "styleSheet",
             "background-image: url(:/imgs/title-background.png);background-repeat:repeat-x;"},
            {"minimize_button", "styleSheet", "border: none; background: none"},
            {"close_button", "styleSheet", "border: none; background: none"},
            {"title_label", "styleSheet", "background:none"},
            {"username_frame", "styleSheet",
             "background: white; border-style:solid; border-color:#dcdcdc; border-width: 1px"},
            {"password_frame", "styleSheet",
             "background: white; border-style:solid; border-color:#dcdcdc; border-width: 1px"},
            {"username_edit", "styleSheet", "background: white; border: none;color: #979797"},
            {"password_edit", "styleSheet", "background: white; border: none; color: #979797"},
            {"username_label", "styleSheet", "border: none"},
            {"password_label", "styleSheet", "border: none"},
            {"connect_button", "styleSheet",
             "Background: #009bdd; Border: none; border-radius: 5px; color: white"},
            {"settings_button", "styleSheet",
             "Background: #6d6e71; Border: none; border-radius: 5px; color: white"},
            {"frame", "styleSheet", "border: none"},
            {"connect_frame", "styleSheet", "background: lightblue"},
            {"connect_label", "styleSheet", "color: white"},
            {"connect_country_label", "styleSheet", "color: darkblue"},
            {"connecton_label", "styleSheet", "background: lightgray; color: white"},
            {"timeconnected_section", "styleSheet", ""},
            {"line1", "styleSheet", "color: #dddddd"},
            {"line2", "styleSheet", "color: #dddddd"},
            {"autoStart_checkBox", "styleSheet", "font: Roboto Bold; font-size: 12; color: #999999"},
            {"autoLogin_checkBox", "styleSheet", "font: Roboto Bold; font-size: 12; color: #999999"},
    };
    for (const auto &row : rows)
        QTest::addRow("%s %s", row[0], row[1])
                << QString::fromLatin1(row[0]) << QByteArray(row[1]) << QString::fromLatin1(row[2]);
}

void tst_MainForm::properties()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, property);
    QFETCH(QString, value);
    QObject *object = name == dialog->objectName() ? dialog : dialog->findChild<QWidget *>(name);
    QVERIFY(object);
    QVERIFY(object->property(property.constData()).isValid());
    QCOMPARE(object->property(property.constData()).toString(), value);
}

void tst_MainForm::looks()
{
    for (QWidget *widget : QList<QWidget *>({ui->connect_button, ui->settings_button,
                                             ui->connect_stackedWidget, ui->connect_frame}))
        QCOMPARE(widget->cursor().shape(), Qt::PointingHandCursor);
    for (QLabel *label : {ui->username_label, ui->password_label}) {
        QCOMPARE(label->cursor().shape(), Qt::IBeamCursor);
        QVERIFY(label->hasScaledContents());
    }
    const QList<QPair<QLabel *, int>> bold = {{ui->connect_label, 18},
                                              {ui->connect_country_label, 14},
                                              {ui->connecton_label, 18}};
    for (const auto &label : bold) {
        QCOMPARE(label.first->font().pointSize(), label.second);
        QVERIFY(label.first->font().bold());
        QCOMPARE(label.first->alignment(), Qt::AlignCenter);
    }
    for (QLabel *icon : {ui->ipaddress_icon, ui->time_connected_icon, ui->encryption_icon}) {
        QCOMPARE(icon->alignment(), Qt::AlignCenter);
        QCOMPARE(icon->minimumWidth(), 60);
    }
    QCOMPARE(ui->line1->frameShape(), QFrame::HLine);
    QCOMPARE(ui->line2->frameShape(), QFrame::HLine);

    // The images the form shows are the resources, at their own sizes.
    const QList<QPair<QLabel *, QString>> images
            = {{ui->logo_image_label, ":/imgs/logo-with-text.png"},
               {ui->username_label, ":/imgs/login-user.png"},
               {ui->password_label, ":/imgs/login-lock.png"},
               {ui->ipaddress_icon, ":/imgs/encryption.png"},
               {ui->time_connected_icon, ":/imgs/clock.png"},
               {ui->encryption_icon, ":/imgs/key.png"}};
    for (const auto &image : images) {
        const QPixmap expected(image.second);
        QVERIFY2(!expected.isNull(), qPrintable(image.second));
        QCOMPARE(image.first->pixmap(Qt::ReturnByValue).toImage(), expected.toImage());
    }
    QCOMPARE(ui->minimize_button->icon().availableSizes(), QList<QSize>({QSize(12, 12)}));
    QCOMPARE(ui->close_button->icon().availableSizes(), QList<QSize>({QSize(12, 12)}));
}

void tst_MainForm::passwordIsMasked()
{
    showPage(0);
    QCOMPARE(ui->username_edit->echoMode(), QLineEdit::Normal);
    QTest::keyClicks(ui->password_edit, QStringLiteral("secret"));
    QCOMPARE(ui->password_edit->text(), QStringLiteral("secret"));
    QCOMPARE(ui->password_edit->echoMode(), QLineEdit::Password);
    QCOMPARE(ui->password_edit->displayText().size(), 6);
    QVERIFY(!ui->password_edit->displayText().contains(QLatin1String("secret")));
}

void tst_MainForm::connectionsByName()
{
    showPage(0);
    QStringList expected;
    const auto click = [&](QWidget *widget, const char *call, const QPoint &pos = QPoint()) {
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
        expected << QLatin1String(call);
        QCOMPARE(dialog->calls, expected);
    };
    click(ui->minimize_button, "minimize_button");
    click(ui->close_button, "close_button");
    click(ui->title_label, "title_label");
    click(ui->username_label, "username_label");
    click(ui->password_label, "password_label");
    click(ui->connect_button, "connect_button");
    click(ui->settings_button, "settings_button");

    // The connection page, each sub-page in turn; the frame reacts to the press.
    showPage(1);
    QTest::mousePress(ui->connect_frame, Qt::LeftButton);
    QCOMPARE(dialog->calls.last(), QStringLiteral("connect_frame"));
    QTest::mouseRelease(ui->connect_frame, Qt::LeftButton);
    showPage(1, 1);
    QVERIFY(QMetaObject::invokeMethod(ui->comboBox, "pressed"));
    emit ui->comboBox->starToggled();
    expected << QStringLiteral("connect_frame") << QStringLiteral("comboBox pressed")
             << QStringLiteral("comboBox starToggled");
    QCOMPARE(dialog->calls, expected);

    showPage(1, 1, 1);
    const QPoint indicator(8, ui->autoStart_checkBox->height() / 2);
    click(ui->autoStart_checkBox, "autoStart 1", indicator);
    click(ui->autoLogin_checkBox, "autoLogin 1", indicator);
    click(ui->autoStart_checkBox, "autoStart 0", indicator);
    // Checking from code does not count as a click.
    ui->autoLogin_checkBox->setChecked(false);
    QCOMPARE(dialog->calls.size(), 13);
}

void tst_MainForm::renderPages()
{
    // The graph keeps one sample per six pixels of the width it gets in the form.
    showPage(1);
    for (int i = 0; i < 70; ++i)
        ui->bandwidth_widget->addSample(1, quint32(300000 + (i * 37) % 11 * 60000),
                                        quint32(40000 + (i * 53) % 7 * 9000));
    QCOMPARE(ui->bandwidth_widget->keptSamples().size(), 57);
    ui->connect_country_label->setText(QStringLiteral("Automatic"));
    const struct
    {
        const char *file;
        int page, connectPage, infoPage;
    } shots[] = {{"form-login.png", 0, 0, 0},
                 {"form-connection-frame.png", 1, 0, 0},
                 {"form-connection-chooser.png", 1, 1, 0},
                 {"form-connection-options.png", 1, 1, 1}};
    for (const auto &shot : shots) {
        showPage(shot.page, shot.connectPage, shot.infoPage);
        const QImage image = dialog->grab().toImage();
        QCOMPARE(image.size() / image.devicePixelRatio(), QSize(344, 545));
        const QString path = TavrinTestEnvironment::artifactDir() + '/' + shot.file;
        QVERIFY2(image.save(path), qPrintable(path));
    }
}

TAVRIN_TEST_MAIN(tst_MainForm)
#include "tst_mainform.moc"
