#include "tavrinfakeuser.h"

#include <QtWidgets/qabstractbutton.h>
#include <QtWidgets/qapplication.h>

TavrinFakeUser::TavrinFakeUser(QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, &TavrinFakeUser::lookForBox);
}

void TavrinFakeUser::startWatching()
{
    m_timer.start();
}

void TavrinFakeUser::stopWatching()
{
    m_timer.stop();
}

void TavrinFakeUser::lookForBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    m_boxes.append(Box{box->windowTitle(), box->text(), box->icon(), box->parentWidget() != nullptr,
                       box->frameGeometry()});
    if (QAbstractButton *ok = box->button(QMessageBox::Ok))
        ok->click();
    else
        box->reject();
}
