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
    void windowIsFixed();
    void objects_data();
    void objects();
    void pages();
    void texts_data();
    void texts();
    void images();
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

void tst_MainForm::objects_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QRect>("geometry");
    // The tree in order; the geometry, where given, is where the layouts put the widget.
    const struct
    {
        const char *name, *className, *parentName;
        QRect geometry;
    } rows[] = {
            {"titleBackground_widget", "QWidget", "QMainDialog", {0, 0, 344, 48}},
            {"minimize_button", "QPushButton", "titleBackground_widget"},
            {"close_button", "QPushButton", "titleBackground_widget"},
            {"title_label", "QClickableLabel", "titleBackground_widget"},
            {"stackedWidget", "QStackedWidget", "QMainDialog", {0, 48, 344, 497}},
            {"login_page", "QWidget", "stackedWidget", {0, 0, 344, 497}},
            {"logo_image_label", "QLabel", "login_page", {11, 45, 322, 90}},
            {"credentials_frame", "QFrame", "login_page", {11, 179, 322, 127}},
            {"username_frame", "QFrame", "credentials_frame", {1, 1, 320, 62}},
            {"username_edit", "QLineEdit", "username_frame"},
            {"username_label", "QClickableLabel", "username_frame", {284, 19, 24, 24}},
            {"password_frame", "QFrame", "credentials_frame", {1, 64, 320, 62}},
            {"password_edit", "QLineEdit", "password_frame"},
            {"password_label", "QClickableLabel", "password_frame"},
            {"connect_button", "QPushButton", "login_page", {11, 336, 158, 64}},
            {"settings_button", "QPushButton", "login_page", {175, 336, 158, 64}},
            {"connection_page", "QWidget", "stackedWidget", {0, 0, 344, 497}},
            {"frame", "QFrame", "connection_page", {1, 0, 342, 109}},
            {"connect_stackedWidget", "QStackedWidget", "frame"},
            {"connection_button_page", "QWidget", "connect_stackedWidget"},
            {"connect_frame", "QClicableFrame", "connection_button_page"},
            {"connect_label", "QLabel", "connect_frame"},
            {"connect_country_label", "QLabel", "connect_frame"},
            {"connect_combo_page", "QWidget", "connect_stackedWidget"},
            {"comboBox", "QVPNServerComboBox", "connect_combo_page"},
            {"bandwidth_widget", "QVPNBandwidthWidget", "connection_page", {1, 109, 342, 150}},
            {"connecton_label", "QLabel", "connection_page", {1, 259, 342, 44}},
            {"ipaddress_section", "QWidget", "connection_page", {1, 303, 342, 64}},
            {"ipaddress_icon", "QLabel", "ipaddress_section"},
            {"ipaddress_label", "QLabel", "ipaddress_section"},
            {"ipaddress_value_label", "QLabel", "ipaddress_section"},
            {"line1", "QFrame", "connection_page", {1, 367, 342, 1}},
            {"timeconnected_section", "QStackedWidget", "connection_page", {1, 368, 342, 64}},
            {"timeconnected_sectionPage1", "QWidget", "timeconnected_section"},
            {"time_connected_icon", "QLabel", "timeconnected_sectionPage1"},
            {"time_connected_label", "QLabel", "timeconnected_sectionPage1"},
            {"time_connected_value_label", "QLabel", "timeconnected_sectionPage1"},
            {"page", "QWidget", "timeconnected_section"},
            {"autoStart_checkBox", "QCheckBox", "page"},
            {"autoLogin_checkBox", "QCheckBox", "page"},
            {"line2", "QFrame", "connection_page", {1, 432, 342, 1}},
            {"encryption_section", "QWidget", "connection_page", {1, 433, 342, 64}},
            {"encryption_icon", "QLabel", "encryption_section"},
            {"encryption_text", "QLabel", "encryption_section"},
            {"encryption_value_text", "QLabel", "encryption_section"},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << QString::fromLatin1(row.name)
                                << QString::fromLatin1(row.className)
                                << QString::fromLatin1(row.parentName) << row.geometry;
}

void tst_MainForm::objects()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, parentName);
    QFETCH(QRect, geometry);
    const QList<QWidget *> found = dialog->findChildren<QWidget *>(name);
    QCOMPARE(found.size(), 1);
    QWidget *widget = found.first();
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    QVERIFY(widget->parentWidget());
    QCOMPARE(widget->parentWidget()->objectName(), parentName);
    if (geometry.isNull())
        return;
    const bool connectionPage = widget == ui->connection_page
                                || ui->connection_page->isAncestorOf(widget);
    showPage(connectionPage ? 1 : 0);
    QCOMPARE(widget->geometry(), geometry);
}

void tst_MainForm::windowIsFixed()
{
    showPage(0);
    for (const QSize &size : {QSize(500, 700), QSize(100, 100)}) {
        dialog->resize(size);
        QCOMPARE(dialog->size(), QSize(344, 545));
    }
}

void tst_MainForm::pages()
{
    // The pages in order, each stack on its first page after set-up; the rows of the pages
    // are in order as their geometries show.
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
}

void tst_MainForm::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QString>("value");
    const char *const rows[][3] = {
            {"QMainDialog", "windowTitle", "Tavrin Client"},
            {"minimize_button", "toolTip", "Minimize"},
            {"close_button", "toolTip", "Close"},
            {"username_edit", "placeholderText", "Username"},
            {"password_edit", "placeholderText", "Password"},
            {"connect_button", "text", "Connect"},
            {"settings_button", "text", "Settings"},
            {"connect_label", "text", "Disconnected"},
            {"connect_country_label", "text", ""},
            {"connecton_label", "text", "DISCONNECTED"},
            {"ipaddress_label", "text", "Tavrin ADDRESS"},
            {"ipaddress_value_label", "text", "Detecting..."},
            {"time_connected_label", "text", "TIME CONNECTED"},
            {"time_connected_value_label", "text", ""},
            {"autoStart_checkBox", "text", "Auto &Start"},
            {"autoLogin_checkBox", "text", "Auto &Login"},
            {"encryption_text", "text", "VPN PROTOCOL & ENCRYPTION"},
            {"encryption_value_text", "text", "OpenVPN - 256 bit"},
    };
    for (const auto &row : rows)
        QTest::addRow("%s %s", row[0], row[1])
                << QString::fromLatin1(row[0]) << QByteArray(row[1]) << QString::fromLatin1(row[2]);
}

void tst_MainForm::texts()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, property);
    QFETCH(QString, value);
    QObject *object = name == dialog->objectName() ? dialog : dialog->findChild<QWidget *>(name);
    QVERIFY(object);
    QVERIFY(object->property(property.constData()).isValid());
    QCOMPARE(object->property(property.constData()).toString(), value);
}

void tst_MainForm::images()
{
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
