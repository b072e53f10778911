#include "ui/qmaindialogfonts.h"
#include "ui_qmaindialog.h"

namespace {

struct FontRow
{
    const char *family;
    int pointSize;
    int weight; // Qt's raw weight; 100 is passed as it is
    const char *styleSheet;
};

void applyFontRow(const FontRow &row, std::initializer_list<QWidget *> widgets,
                  qreal letterSpacing = 0)
{
    QFont font(QString::fromLatin1(row.family), row.pointSize, row.weight, false);
    font.setStyleStrategy(QFont::PreferAntialias);
    if (letterSpacing != 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
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
