// The program in German: every text the window and its tray menu show is translated, and the
// window's fit their widgets.

#include "app/tavrinfonts.h"
#include "app/tavrintranslations.h"
#include "service/tavrinframe.h"
#include "tavrintestdesktop.h"
#include "tavrintestenvironment.h"
#include "tavrintestplatform.h"

#include <QtTest/QtTest>
#include <QtWidgets/QtWidgets>

class tst_Translations : public QObject
{
    Q_OBJECT

private slots:
    void germanWindow();
};

void tst_Translations::germanWindow()
{
    // An installed program's own fonts, wherever it starts; else the working (build) folder's.
    const QString build = TavrinTestEnvironment::buildDir(), installed = QDir::tempPath();
    QVERIFY(QDir().mkpath(installed + "/Fonts"));
    QCOMPARE(fontsFolderPath(build, installed), installed + "/Fonts");
    QVERIFY(registerFonts(fontsFolderPath(build, build + "/app"), stdout));
    TavrinTestPlatform::chooseLanguage("de");
    QCOMPARE(installTavrinTranslations(qApp), QStringLiteral("de"));
    QCOMPARE(QMessageBox().addButton(QMessageBox::Cancel)->text(), QStringLiteral("Abbrechen"));

    QFile file(TavrinTestEnvironment::sourceDir() + "/resources/translations/tavrin_de.ts");
    const QString ts = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : "";
    QVERIFY(!ts.contains("type=")); // every message translated, none vanished or obsolete
    QStringList german{"%1"};       // the server's name alone, or in the place of %1
    for (const QString &message : QString(ts).replace("&amp;", "&").split("<source>").mid(1)) {
        german << message.section("<translation>", 1).section("</translation>", 0, 0);
        const bool name = german.last() == "Tavrin Client"; // the same in German
        QVERIFY2(name || german.last() != message.section("</source>", 0, 0), qPrintable(message));
    }
    const auto isGerman = [&](QString t) { return german.contains(t.replace("Automatic", "%1")); };

    TavrinTestDesktop desktop;
    QVERIFY(desktop.start() && desktop.openWindow());
    for (quint8 code : {Disconnected, Connecting, Connected, Disconnecting, Disconnected, Timeout}) {
        QVERIFY(desktop.deliver(code == Connected ? buildConnectedFrame("10.8.0.2", 1)
                                                  : buildStatusFrame(code))); // first: login page
        for (QWidget *widget : desktop.window()->findChildren<QWidget *>()) {
            QString text = widget->property("text").toString(); // of labels and buttons
            if (text.isEmpty() || !widget->isVisible() || text[0].isDigit())
                continue; // the address and the time connected
            QVERIFY2(isGerman(text), qPrintable(text));
            int room = widget->contentsRect().width() - 2 * widget->property("margin").toInt();
            if (qobject_cast<QCheckBox *>(widget)) // the box and the gap after it
                room -= widget->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget)
                        + widget->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
            text.remove(widget->inherits("QAbstractButton") ? "&" : ""); // a mnemonic's mark
            QVERIFY2(QFontMetrics(widget->font()).horizontalAdvance(text) <= room, qPrintable(text));
        }
        for (QAction *entry : desktop.tray()->menu()->actions()) // the tray's menu too
            QVERIFY2(entry->text().isEmpty() || isGerman(entry->text()), qPrintable(entry->text()));
        desktop.tray()->statusAction()->trigger();
        QVERIFY(isGerman(desktop.boxes().value(desktop.boxes().size() - 1).text));
    }
}

TAVRIN_TEST_MAIN(tst_Translations)
#include "tst_translations.moc"
