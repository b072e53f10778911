#pragma once

#include "sim/qtavrinsim.h"
#include "tavrintestenvironment.h"
#include "ui/qmaindialog.h"

#include <QtWidgets/QtWidgets>

#include <memory>

// A main window with tavrin-sim's classes as its peers, and a user who answers boxes with OK.
class TavrinTestDesktop : public QObject
{
    Q_OBJECT

public:
    struct Box
    {
        QString title, text;
        QMessageBox::Icon icon;
    };

    explicit TavrinTestDesktop(const QStringList &simArguments = {});
    ~TavrinTestDesktop() override;

    void setServerList(const QByteArray &json); // in place of the built-in list
    bool start(bool withService = true);
    QMainDialog *openWindow(bool show = true);
    QMainDialog *window() const { return m_window.get(); }
    template<class T>
    T *widget(const char *name) const
    {
        return m_window ? m_window->findChild<T *>(QLatin1String(name)) : nullptr;
    }
    QTavrinTray *tray() const { return m_window ? m_window->findChild<QTavrinTray *>() : nullptr; }
    static void resetSettings();
    static void expire(QTimer *timer) // as its expiry would
    {
        QTimerEvent event(timer->timerId());
        QCoreApplication::sendEvent(timer, &event);
    }

    void send(const QByteArray &bytes);
    bool deliver(const QByteArray &bytes); // and waits until the window has handled them
    QList<QByteArray> received() const;    // the request frames, from the log
    bool waitForReceived(int count) const;
    QStringList log() const; // without time stamps
    bool waitForLog(const QString &pattern, int count = 1) const;

    QList<Box> boxes() const { return m_boxes; } // in order; held boxes stay open
    void holdBoxes(bool hold) { m_holdBoxes = hold; }

private:
    void closeBox();
    QStringList m_simArguments;
    QTemporaryFile m_serverList;
    std::unique_ptr<QTavrinSim> m_sim;
    std::unique_ptr<QMainDialog> m_window;
    QTimer m_user;
    QPointer<QMessageBox> m_seen;
    bool m_holdBoxes = false;
    QList<Box> m_boxes;
    quint32 m_barrier = 0;
};
