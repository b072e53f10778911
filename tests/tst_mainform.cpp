#include "qclicableframe.h"
#include "qclickablelabel.h"
#include "qvpnbandwidthwidget.h"
#include "qvpnservercombobox.h"
#include "tavrintestenvironment.h"
#include "ui_qmaindialog.h"

#include <QtGui/qevent.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qapplication.h>
#include <QtWidgets/qboxlayout.h>
#include <QtWidgets/qdialog.h>
#include <QtWidgets/qgridlayout.h>
#include <QtWidgets/qstyle.h>

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
    void on_autoStart_checkBox_clicked(bool checked)
    {
        calls << QStringLiteral("autoStart_checkBox %1").arg(checked);
    }
    void on_autoLogin_checkBox_clicked(bool checked)
    {
        calls << QStringLiteral("autoLogin_checkBox %1").arg(checked);
    }
};

struct LayoutShape
{
    int left, top, right, bottom;
};

class tst_MainForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowIsFixed();
    void derivedSizes();
    void objectsAndClasses_data();
    void objectsAndClasses();
    void pagesInOrder();
    void layouts_data();
    void layouts();
    void stretchesAndSpacers();
    void widgetProperties();
    void texts_data();
    void texts();
    void startsOnFirstPages();
    void passwordIsMasked();
    void connectionsByName();
    void dragOnTitleIsNoClick();
    void formImages_data();
    void formImages();
    void renderPages();

private:
    void showDialog();
    QWidget *child(const char *name) const;

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
    ui = nullptr;
    delete dialog;
    dialog = nullptr;
}

void tst_MainForm::showDialog()
{
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    dialog->layout()->activate();
    QCoreApplication::processEvents();
}

QWidget *tst_MainForm::child(const char *name) const
{
    return dialog->findChild<QWidget *>(QLatin1String(name));
}

void tst_MainForm::windowIsFixed()
{
    QCOMPARE(dialog->objectName(), QStringLiteral("QMainDialog"));
    QCOMPARE(dialog->size(), QSize(344, 545));
    QCOMPARE(dialog->minimumSize(), QSize(344, 545));
    QCOMPARE(dialog->maximumSize(), QSize(344, 545));
    showDialog();
    dialog->resize(500, 700);
    QCOMPARE(dialog->size(), QSize(344, 545));
    dialog->resize(100, 100);
    QCOMPARE(dialog->size(), QSize(344, 545));

    // A dialog that already has a name keeps it.
    QDialog named;
    named.setObjectName(QStringLiteral("elsewhere"));
    Ui::QMainDialog other;
    other.setupUi(&named);
    QCOMPARE(named.objectName(), QStringLiteral("elsewhere"));
}

void tst_MainForm::derivedSizes()
{
    showDialog();
    QCOMPARE(ui->titleBackground_widget->geometry(), QRect(0, 0, 344, 48));
    QCOMPARE(ui->stackedWidget->geometry(), QRect(0, 48, 344, 497));
    QCOMPARE(ui->login_page->size(), QSize(344, 497));
    // The login page's contents fit in it.
    QVERIFY(ui->verticalLayout_3->minimumSize().height() <= 497);

    ui->stackedWidget->setCurrentIndex(1);
    QCoreApplication::processEvents();
    ui->connection_page->layout()->activate();
    QCOMPARE(ui->connection_page->size(), QSize(344, 497));
    QCOMPARE(ui->bandwidth_widget->size(), QSize(342, 150));
    QCOMPARE(ui->bandwidth_widget->pos(), QPoint(1, 109));
    QCOMPARE(ui->frame->height(), 109);
    QCOMPARE(ui->connecton_label->height(), 44);
    QCOMPARE(ui->ipaddress_section->height(), 64);
    QCOMPARE(ui->line1->height(), 1);
    QCOMPARE(ui->timeconnected_section->height(), 64);
    QCOMPARE(ui->line2->height(), 1);
    QCOMPARE(ui->encryption_section->geometry(), QRect(1, 433, 342, 64));
    // The graph keeps one sample per six pixels of the width it gets here.
    for (int i = 0; i < 60; ++i)
        ui->bandwidth_widget->addSample(1, 0, 0);
    QCOMPARE(ui->bandwidth_widget->keptSamples().size(), 57);
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
    QWidget *widget = found.first();
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    QVERIFY(widget->parentWidget());
    QCOMPARE(widget->parentWidget()->objectName(), parentName);
}

void tst_MainForm::pagesInOrder()
{
    QCOMPARE(ui->stackedWidget->count(), 2);
    QCOMPARE(ui->stackedWidget->widget(0), ui->login_page);
    QCOMPARE(ui->stackedWidget->widget(1), ui->connection_page);
    QCOMPARE(ui->connect_stackedWidget->count(), 2);
    QCOMPARE(ui->connect_stackedWidget->widget(0), ui->connection_button_page);
    QCOMPARE(ui->connect_stackedWidget->widget(1), ui->connect_combo_page);
    QCOMPARE(ui->timeconnected_section->count(), 2);
    QCOMPARE(ui->timeconnected_section->widget(0), ui->timeconnected_sectionPage1);
    QCOMPARE(ui->timeconnected_section->widget(1), ui->page);

    // The members point at the named objects, and the typed ones cast.
    QVERIFY(qobject_cast<QClickableLabel *>(child("title_label")) == ui->title_label);
    QVERIFY(qobject_cast<QClicableFrame *>(child("connect_frame")) == ui->connect_frame);
    QVERIFY(qobject_cast<QVPNBandwidthWidget *>(child("bandwidth_widget")) == ui->bandwidth_widget);
    QVERIFY(qobject_cast<QVPNServerComboBox *>(child("comboBox")) == ui->comboBox);
    QVERIFY(child("connection_label") == nullptr);
    QVERIFY(child("connecton_label") == ui->connecton_label);

    // Order of the rows on the connection page.
    const QList<QWidget *> rows = {ui->frame,           ui->bandwidth_widget,
                                   ui->connecton_label, ui->ipaddress_section,
                                   ui->line1,           ui->timeconnected_section,
                                   ui->line2,           ui->encryption_section};
    QCOMPARE(ui->verticalLayout_4->count(), rows.size());
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(ui->verticalLayout_4->itemAt(i)->widget(), rows.at(i));
}

void tst_MainForm::layouts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("owner");
    QTest::addColumn<int>("horizontalSpacing");
    QTest::addColumn<int>("verticalSpacing");
    QTest::addColumn<QList<int>>("margins");

    const int d = -1; // the style's default margin
    struct
    {
        const char *name;
        const char *className;
        const char *owner;
        int hSpacing, vSpacing;
        QList<int> margins;
    } rows[] = {
            {"verticalLayout_2", "QVBoxLayout", "QMainDialog", 0, 0, {0, 0, 0, 0}},
            {"gridLayout_5", "QGridLayout", "titleBackground_widget", 3, 6, {6, 6, 6, 6}},
            {"verticalLayout_3", "QVBoxLayout", "login_page", 6, 6, {11, 11, 11, 11}},
            {"verticalLayout", "QVBoxLayout", "credentials_frame", 1, 1, {1, 1, 1, 1}},
            {"horizontalLayout_2", "QHBoxLayout", "username_frame", 0, 0, {11, 11, 11, 11}},
            {"horizontalLayout_3", "QHBoxLayout", "password_frame", 0, 0, {11, 11, 11, 11}},
            {"login_horizontalLayout", "QHBoxLayout", "", 6, 6, {0, 0, 0, 0}},
            {"verticalLayout_4", "QVBoxLayout", "connection_page", 0, 0, {1, 0, 1, 0}},
            {"gridLayout_4", "QGridLayout", "frame", 6, 6, {20, 20, 20, 20}},
            {"verticalLayout_5", "QVBoxLayout", "connection_button_page", 6, 6, {0, 0, 0, 0}},
            {"verticalLayout_6", "QVBoxLayout", "connect_frame", 0, 0, {0, 0, 0, 0}},
            {"verticalLayout_7", "QVBoxLayout", "connect_combo_page", 6, 6, {0, 0, 0, 0}},
            {"gridLayout", "QGridLayout", "ipaddress_section", 6, 6, {d, 5, d, d}},
            {"gridLayout_2", "QGridLayout", "timeconnected_sectionPage1", 6, 6, {d, 5, d, d}},
            {"verticalLayout_8", "QVBoxLayout", "page", 6, 6, {30, d, d, d}},
            {"gridLayout_3", "QGridLayout", "encryption_section", 6, 6, {d, 5, d, d}},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << QString::fromLatin1(row.name)
                                << QString::fromLatin1(row.className)
                                << QString::fromLatin1(row.owner) << row.hSpacing << row.vSpacing
                                << row.margins;
}

void tst_MainForm::layouts()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, owner);
    QFETCH(int, horizontalSpacing);
    QFETCH(int, verticalSpacing);
    QFETCH(QList<int>, margins);

    QLayout *layout = dialog->findChild<QLayout *>(name);
    QVERIFY(layout);
    QCOMPARE(QString::fromLatin1(layout->metaObject()->className()), className);
    if (owner.isEmpty()) {
        // A nested layout: its parent is another layout and it has no widget of its own.
        QVERIFY(qobject_cast<QLayout *>(layout->parent()));
    } else {
        QVERIFY(layout->parentWidget());
        QCOMPARE(layout->parentWidget()->objectName(), owner);
        QCOMPARE(layout->parentWidget()->layout(), layout);
    }
    if (QGridLayout *grid = qobject_cast<QGridLayout *>(layout)) {
        QCOMPARE(grid->horizontalSpacing(), horizontalSpacing);
        QCOMPARE(grid->verticalSpacing(), verticalSpacing);
    } else {
        QCOMPARE(horizontalSpacing, verticalSpacing);
        QCOMPARE(layout->spacing(), horizontalSpacing);
    }
    if (owner.isEmpty())
        return;
    // Margins left as -1 follow the style, which is what the layout reports for them.
    QStyle *style = layout->parentWidget()->style();
    const QList<int> defaults = {style->pixelMetric(QStyle::PM_LayoutLeftMargin),
                                 style->pixelMetric(QStyle::PM_LayoutTopMargin),
                                 style->pixelMetric(QStyle::PM_LayoutRightMargin),
                                 style->pixelMetric(QStyle::PM_LayoutBottomMargin)};
    int actual[4];
    layout->getContentsMargins(&actual[0], &actual[1], &actual[2], &actual[3]);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(actual[i], margins.at(i) < 0 ? defaults.at(i) : margins.at(i));
}

static void compareSpacer(QLayoutItem *item, int height, QSizePolicy::Policy vertical)
{
    QVERIFY(item);
    QSpacerItem *spacer = item->spacerItem();
    QVERIFY(spacer);
    QCOMPARE(spacer->sizeHint(), QSize(20, height));
    QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
    QCOMPARE(spacer->sizePolicy().verticalPolicy(), vertical);
}

void tst_MainForm::stretchesAndSpacers()
{
    QCOMPARE(ui->gridLayout_5->columnStretch(0), 1);
    QCOMPARE(ui->gridLayout_5->columnStretch(1), 0);
    int row, column, rowSpan, columnSpan;
    const struct
    {
        QWidget *widget;
        int row, column, rowSpan, columnSpan;
    } titleCells[] = {{ui->minimize_button, 0, 1, 1, 1},
                      {ui->close_button, 0, 2, 1, 1},
                      {ui->title_label, 0, 0, 2, 1}};
    for (const auto &cell : titleCells) {
        const int index = ui->gridLayout_5->indexOf(cell.widget);
        QVERIFY(index >= 0);
        ui->gridLayout_5->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        QCOMPARE(QList<int>({row, column, rowSpan, columnSpan}),
                 QList<int>({cell.row, cell.column, cell.rowSpan, cell.columnSpan}));
    }
    // The spacer of the title strip sits below the two buttons.
    ui->gridLayout_5->getItemPosition(2, &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(QList<int>({row, column, rowSpan, columnSpan}), QList<int>({1, 1, 1, 2}));
    compareSpacer(ui->gridLayout_5->itemAt(2), 40, QSizePolicy::Expanding);

    // Login page: spacers around the logo and the fields; the 24 pixel spacer stretches.
    QCOMPARE(ui->verticalLayout_3->count(), 7);
    compareSpacer(ui->verticalLayout_3->itemAt(0), 34, QSizePolicy::Fixed);
    QCOMPARE(ui->verticalLayout_3->itemAt(1)->widget(), ui->logo_image_label);
    compareSpacer(ui->verticalLayout_3->itemAt(2), 38, QSizePolicy::Fixed);
    QCOMPARE(ui->verticalLayout_3->itemAt(3)->widget(), ui->credentials_frame);
    compareSpacer(ui->verticalLayout_3->itemAt(4), 24, QSizePolicy::Fixed);
    QCOMPARE(ui->verticalLayout_3->itemAt(5)->layout(), ui->login_horizontalLayout);
    compareSpacer(ui->verticalLayout_3->itemAt(6), 40, QSizePolicy::Expanding);
    for (int i = 0; i < 7; ++i)
        QCOMPARE(ui->verticalLayout_3->stretch(i), i == 4 ? 1 : 0);
    QCOMPARE(ui->login_horizontalLayout->itemAt(0)->widget(), ui->connect_button);
    QCOMPARE(ui->login_horizontalLayout->itemAt(1)->widget(), ui->settings_button);

    for (QHBoxLayout *field : {ui->horizontalLayout_2, ui->horizontalLayout_3}) {
        QCOMPARE(field->count(), 2);
        QCOMPARE(field->stretch(0), 1);
        QCOMPARE(field->stretch(1), 0);
    }
    QCOMPARE(ui->horizontalLayout_2->itemAt(0)->widget(), ui->username_edit);
    QCOMPARE(ui->horizontalLayout_3->itemAt(1)->widget(), ui->password_label);

    QCOMPARE(ui->verticalLayout_6->count(), 4);
    compareSpacer(ui->verticalLayout_6->itemAt(0), 40, QSizePolicy::Expanding);
    QCOMPARE(ui->verticalLayout_6->itemAt(1)->widget(), ui->connect_label);
    QCOMPARE(ui->verticalLayout_6->itemAt(2)->widget(), ui->connect_country_label);
    compareSpacer(ui->verticalLayout_6->itemAt(3), 40, QSizePolicy::Expanding);

    for (int i = 0; i < ui->verticalLayout_4->count(); ++i)
        QCOMPARE(ui->verticalLayout_4->stretch(i), i == 1 ? 1 : 0);

    for (QGridLayout *grid : {ui->gridLayout, ui->gridLayout_2, ui->gridLayout_3}) {
        QCOMPARE(grid->rowStretch(0), 0);
        QCOMPARE(grid->rowStretch(1), 1);
        QCOMPARE(grid->columnStretch(0), 0);
        QCOMPARE(grid->columnStretch(1), 1);
        grid->getItemPosition(0, &row, &column, &rowSpan, &columnSpan);
        QCOMPARE(QList<int>({row, column, rowSpan, columnSpan}), QList<int>({0, 0, 2, 1}));
        grid->getItemPosition(2, &row, &column, &rowSpan, &columnSpan);
        QCOMPARE(QList<int>({row, column, rowSpan, columnSpan}), QList<int>({1, 1, 1, 1}));
    }
}

static void compareFixedHeight(QWidget *widget, int height)
{
    QCOMPARE(widget->minimumSize(), QSize(0, height));
    QCOMPARE(widget->maximumSize(), QSize(QWIDGETSIZE_MAX, height));
}

void tst_MainForm::widgetProperties()
{
    compareFixedHeight(ui->titleBackground_widget, 48);
    QCOMPARE(ui->titleBackground_widget->styleSheet(),
             QStringLiteral("background-image: url(:/imgs/title-background.png);"
                            "background-repeat:repeat-x;"));
    for (QPushButton *button : {ui->minimize_button, ui->close_button}) {
        QCOMPARE(button->styleSheet(), QStringLiteral("border: none; background: none"));
        QVERIFY(button->isFlat());
        QVERIFY(button->text().isEmpty());
    }
    QCOMPARE(ui->title_label->styleSheet(), QStringLiteral("background:none"));
    QVERIFY(ui->title_label->text().isEmpty());

    QCOMPARE(ui->logo_image_label->alignment(), Qt::AlignCenter);
    QCOMPARE(ui->credentials_frame->frameShape(), QFrame::NoFrame);
    const QString fieldFrame = QStringLiteral(
            "background: white; border-style:solid; border-color:#dcdcdc; border-width: 1px");
    for (QFrame *frame : {ui->username_frame, ui->password_frame}) {
        compareFixedHeight(frame, 62);
        QCOMPARE(frame->styleSheet(), fieldFrame);
        QCOMPARE(frame->frameShape(), QFrame::StyledPanel);
        QCOMPARE(frame->frameShadow(), QFrame::Raised);
    }
    QCOMPARE(ui->username_edit->styleSheet(),
             QStringLiteral("background: white; border: none;color: #979797"));
    QCOMPARE(ui->password_edit->styleSheet(),
             QStringLiteral("background: white; border: none; color: #979797"));
    for (QLineEdit *edit : {ui->username_edit, ui->password_edit}) {
        QCOMPARE(edit->sizePolicy(), QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding));
    }
    for (QLabel *label : {ui->username_label, ui->password_label}) {
        QVERIFY(label->isEnabled());
        QCOMPARE(label->minimumSize(), QSize(24, 24));
        QCOMPARE(label->maximumSize(), QSize(24, 24));
        QCOMPARE(label->cursor().shape(), Qt::IBeamCursor);
        QCOMPARE(label->styleSheet(), QStringLiteral("border: none"));
        QVERIFY(label->hasScaledContents());
    }
    QCOMPARE(ui->connect_button->styleSheet(),
             QStringLiteral("Background: #009bdd; Border: none; border-radius: 5px; color: white"));
    QCOMPARE(ui->settings_button->styleSheet(),
             QStringLiteral("Background: #6d6e71; Border: none; border-radius: 5px; color: white"));
    for (QPushButton *button : {ui->connect_button, ui->settings_button}) {
        compareFixedHeight(button, 64);
        QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(button->parentWidget(), ui->login_page);
    }

    compareFixedHeight(ui->frame, 109);
    QCOMPARE(ui->frame->styleSheet(), QStringLiteral("border: none"));
    QCOMPARE(ui->frame->frameShape(), QFrame::StyledPanel);
    QCOMPARE(ui->connect_stackedWidget->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(ui->connect_frame->minimumSize(), QSize(0, 70));
    QCOMPARE(ui->connect_frame->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(ui->connect_frame->styleSheet(), QStringLiteral("background: lightblue"));
    QCOMPARE(ui->connect_frame->frameShape(), QFrame::StyledPanel);
    QCOMPARE(ui->connect_frame->frameShadow(), QFrame::Raised);
    QCOMPARE(ui->connect_label->font().pointSize(), 18);
    QVERIFY(ui->connect_label->font().bold());
    QCOMPARE(ui->connect_label->styleSheet(), QStringLiteral("color: white"));
    QCOMPARE(ui->connect_country_label->font().pointSize(), 14);
    QVERIFY(ui->connect_country_label->font().bold());
    QCOMPARE(ui->connect_country_label->styleSheet(), QStringLiteral("color: darkblue"));
    QCOMPARE(ui->comboBox->sizePolicy(),
             QSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding));

    compareFixedHeight(ui->connecton_label, 44);
    QCOMPARE(ui->connecton_label->font().pointSize(), 18);
    QVERIFY(ui->connecton_label->font().bold());
    QCOMPARE(ui->connecton_label->styleSheet(),
             QStringLiteral("background: lightgray; color: white"));
    for (QLabel *label : {ui->connect_label, ui->connect_country_label, ui->connecton_label,
                          ui->ipaddress_icon, ui->time_connected_icon, ui->encryption_icon})
        QCOMPARE(label->alignment(), Qt::AlignCenter);
    for (QWidget *row : {static_cast<QWidget *>(ui->ipaddress_section),
                         static_cast<QWidget *>(ui->timeconnected_section),
                         static_cast<QWidget *>(ui->encryption_section)})
        compareFixedHeight(row, 64);
    QVERIFY(ui->timeconnected_section->styleSheet().isEmpty());
    for (QLabel *icon : {ui->ipaddress_icon, ui->time_connected_icon, ui->encryption_icon}) {
        QCOMPARE(icon->minimumSize(), QSize(60, 0));
        QVERIFY(!icon->hasScaledContents());
    }
    for (QFrame *line : {ui->line1, ui->line2}) {
        compareFixedHeight(line, 1);
        QCOMPARE(line->styleSheet(), QStringLiteral("color: #dddddd"));
        QCOMPARE(line->frameShape(), QFrame::HLine);
        QCOMPARE(line->frameShadow(), QFrame::Plain);
        QVERIFY(!line->autoFillBackground());
    }
    for (QCheckBox *box : {ui->autoStart_checkBox, ui->autoLogin_checkBox})
        QCOMPARE(box->styleSheet(),
                 QStringLiteral("font: Roboto Bold; font-size: 12; color: #999999"));
}

void tst_MainForm::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QString>("text");
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
            {"ipaddress_icon", "text", ""},
            {"ipaddress_label", "text", "Tavrin ADDRESS"},
            {"ipaddress_value_label", "text", "Detecting..."},
            {"time_connected_icon", "text", ""},
            {"time_connected_label", "text", "TIME CONNECTED"},
            {"time_connected_value_label", "text", ""},
            {"autoStart_checkBox", "text", "Auto &Start"},
            {"autoLogin_checkBox", "text", "Auto &Login"},
            {"encryption_icon", "text", ""},
            {"encryption_text", "text", "VPN PROTOCOL & ENCRYPTION"},
            {"encryption_value_text", "text", "OpenVPN - 256 bit"},
            {"title_label", "text", ""},
            {"username_edit", "text", ""},
            {"password_edit", "text", ""},
    };
    for (const auto &row : rows)
        QTest::addRow("%s %s", row[0], row[1])
                << QString::fromLatin1(row[0]) << QByteArray(row[1]) << QString::fromLatin1(row[2]);
}

void tst_MainForm::texts()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, property);
    QFETCH(QString, text);
    QObject *object = name == dialog->objectName() ? dialog : child(qPrintable(name));
    QVERIFY(object);
    const QVariant value = object->property(property.constData());
    QVERIFY(value.isValid());
    QCOMPARE(value.toString(), text);
}

void tst_MainForm::startsOnFirstPages()
{
    QCOMPARE(ui->stackedWidget->currentIndex(), 0);
    QCOMPARE(ui->stackedWidget->currentWidget(), ui->login_page);
    QCOMPARE(ui->connect_stackedWidget->currentWidget(), ui->connection_button_page);
    QCOMPARE(ui->timeconnected_section->currentWidget(), ui->timeconnected_sectionPage1);
    showDialog();
    QVERIFY(ui->login_page->isVisible());
    QVERIFY(!ui->connection_page->isVisible());
}

void tst_MainForm::passwordIsMasked()
{
    QCOMPARE(ui->password_edit->echoMode(), QLineEdit::Password);
    QCOMPARE(ui->username_edit->echoMode(), QLineEdit::Normal);
    showDialog();
    QTest::keyClicks(ui->password_edit, QStringLiteral("secret"));
    QCOMPARE(ui->password_edit->text(), QStringLiteral("secret"));
    QVERIFY(!ui->password_edit->displayText().contains(QLatin1String("secret")));
    QCOMPARE(ui->password_edit->displayText().size(), 6);
}

void tst_MainForm::connectionsByName()
{
    showDialog();
    QStringList expected;
    auto check = [&](const QString &call) {
        expected << call;
        QCOMPARE(dialog->calls, expected);
    };

    // Login page.
    QTest::mouseClick(ui->minimize_button, Qt::LeftButton);
    check(QStringLiteral("minimize_button"));
    QTest::mouseClick(ui->close_button, Qt::LeftButton);
    check(QStringLiteral("close_button"));
    QTest::mouseClick(ui->title_label, Qt::LeftButton);
    check(QStringLiteral("title_label"));
    QTest::mouseClick(ui->username_label, Qt::LeftButton);
    check(QStringLiteral("username_label"));
    QTest::mouseClick(ui->password_label, Qt::LeftButton);
    check(QStringLiteral("password_label"));
    QTest::mouseClick(ui->connect_button, Qt::LeftButton);
    check(QStringLiteral("connect_button"));
    QTest::mouseClick(ui->settings_button, Qt::LeftButton);
    check(QStringLiteral("settings_button"));

    // Connection page, each sub-page in turn.
    ui->stackedWidget->setCurrentIndex(1);
    QCoreApplication::processEvents();
    QTest::mousePress(ui->connect_frame, Qt::LeftButton);
    check(QStringLiteral("connect_frame"));
    QTest::mouseRelease(ui->connect_frame, Qt::LeftButton);
    QCOMPARE(dialog->calls, expected);

    ui->connect_stackedWidget->setCurrentIndex(1);
    QCoreApplication::processEvents();
    QVERIFY(QMetaObject::invokeMethod(ui->comboBox, "pressed"));
    check(QStringLiteral("comboBox pressed"));
    emit ui->comboBox->starToggled();
    check(QStringLiteral("comboBox starToggled"));

    ui->timeconnected_section->setCurrentIndex(1);
    QCoreApplication::processEvents();
    const QPoint indicator(8, ui->autoStart_checkBox->height() / 2);
    QTest::mouseClick(ui->autoStart_checkBox, Qt::LeftButton, Qt::NoModifier, indicator);
    check(QStringLiteral("autoStart_checkBox 1"));
    QTest::mouseClick(ui->autoLogin_checkBox, Qt::LeftButton, Qt::NoModifier, indicator);
    check(QStringLiteral("autoLogin_checkBox 1"));
    QTest::mouseClick(ui->autoStart_checkBox, Qt::LeftButton, Qt::NoModifier, indicator);
    check(QStringLiteral("autoStart_checkBox 0"));
    // Checking from code does not count as a click.
    ui->autoLogin_checkBox->setChecked(false);
    QCOMPARE(dialog->calls, expected);
    QCOMPARE(expected.size(), 13);
}

void tst_MainForm::dragOnTitleIsNoClick()
{
    showDialog();
    QTest::mousePress(ui->title_label, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(40, 12),
                     ui->title_label->mapToGlobal(QPoint(40, 12)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(ui->title_label, &move);
    QTest::mouseRelease(ui->title_label, Qt::LeftButton, Qt::NoModifier, QPoint(40, 12));
    QVERIFY(dialog->calls.isEmpty());
    QTest::mouseClick(ui->title_label, Qt::LeftButton);
    QCOMPARE(dialog->calls, QStringList(QStringLiteral("title_label")));
}

void tst_MainForm::formImages_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("title background") << ":/imgs/title-background.png" << QSize(344, 48);
    QTest::newRow("minimize") << ":/imgs/window-minimize.png" << QSize(12, 12);
    QTest::newRow("hide") << ":/imgs/window-hide.png" << QSize(12, 12);
    QTest::newRow("logo") << ":/imgs/logo-with-text.png" << QSize(300, 90);
    QTest::newRow("user") << ":/imgs/login-user.png" << QSize(24, 24);
    QTest::newRow("lock") << ":/imgs/login-lock.png" << QSize(24, 24);
    QTest::newRow("encryption") << ":/imgs/encryption.png" << QSize(24, 24);
    QTest::newRow("clock") << ":/imgs/clock.png" << QSize(24, 24);
    QTest::newRow("key") << ":/imgs/key.png" << QSize(24, 24);
}

void tst_MainForm::formImages()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QPixmap pixmap(path);
    QVERIFY2(!pixmap.isNull(), qPrintable(path));
    QCOMPARE(pixmap.size(), size);

    // The form's widgets carry the same images.
    const struct
    {
        QLabel *label;
        const char *path;
    } labels[] = {{ui->logo_image_label, ":/imgs/logo-with-text.png"},
                  {ui->username_label, ":/imgs/login-user.png"},
                  {ui->password_label, ":/imgs/login-lock.png"},
                  {ui->ipaddress_icon, ":/imgs/encryption.png"},
                  {ui->time_connected_icon, ":/imgs/clock.png"},
                  {ui->encryption_icon, ":/imgs/key.png"}};
    for (const auto &entry : labels) {
        if (path != QLatin1String(entry.path))
            continue;
        const QPixmap shown = entry.label->pixmap(Qt::ReturnByValue);
        QCOMPARE(shown.size(), size);
        QCOMPARE(shown.toImage(), pixmap.toImage());
    }
    if (path.endsWith(QLatin1String("window-minimize.png")))
        QCOMPARE(ui->minimize_button->icon().availableSizes(), QList<QSize>({size}));
    if (path.endsWith(QLatin1String("window-hide.png")))
        QCOMPARE(ui->close_button->icon().availableSizes(), QList<QSize>({size}));
}

void tst_MainForm::renderPages()
{
    showDialog();
    ui->bandwidth_widget->resize(342, 150);
    for (int i = 0; i < 70; ++i)
        ui->bandwidth_widget->addSample(1, quint32(300000 + (i * 37) % 11 * 60000),
                                        quint32(40000 + (i * 53) % 7 * 9000));
    ui->connect_country_label->setText(QStringLiteral("Automatic"));
    const QString dir = TavrinTestEnvironment::artifactDir();
    const struct
    {
        const char *file;
        int page, connectPage, infoPage;
    } shots[] = {{"form-login.png", 0, 0, 0},
                 {"form-connection-frame.png", 1, 0, 0},
                 {"form-connection-chooser.png", 1, 1, 0},
                 {"form-connection-options.png", 1, 1, 1}};
    for (const auto &shot : shots) {
        ui->stackedWidget->setCurrentIndex(shot.page);
        ui->connect_stackedWidget->setCurrentIndex(shot.connectPage);
        ui->timeconnected_section->setCurrentIndex(shot.infoPage);
        QCoreApplication::processEvents();
        const QImage image = dialog->grab().toImage();
        QCOMPARE(image.size() / image.devicePixelRatio(), QSize(344, 545));
        const QString path = dir + QLatin1Char('/') + QLatin1String(shot.file);
        QVERIFY2(image.save(path), qPrintable(path));
    }
}

TAVRIN_TEST_MAIN(tst_MainForm)
#include "tst_mainform.moc"
