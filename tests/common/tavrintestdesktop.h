#ifndef TAVRINTESTDESKTOP_H
#define TAVRINTESTDESKTOP_H

#include "sim/qtavrinsim.h"
#include "tavrintestenvironment.h"
#include "ui/qmaindialog.h"

#include <QtCore/qpointer.h>
#include <QtCore/qtemporaryfile.h>
#include <QtGui/qevent.h>
#include <QtWidgets/qmessagebox.h>

#include <memory>

// Everything around a main window in an in-process test: the stand-in service and web API
// (tavrin-sim's own classes, on the test's TMPDIR and a free loopback port), a user who closes
// every message box with OK, and the window itself.
class TavrinTestDesktop : public QObject
{
    Q_OBJECT

public:
    struct Box
    {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QRect geometry;
    };

    // The stand-in runs with tavrin-sim's options, given as on its command line; its timings
    // are short unless the arguments set them. The user starts watching for boxes at once.
    explicit TavrinTestDesktop(const QStringList &simArguments = {});
    ~TavrinTestDesktop() override;

    // Serves this text as the server list instead of the stand-in's built-in one.
    void setServerList(const QByteArray &json);
    // Starts the stand-in; without a service nothing listens on the socket "Tavrin".
    bool start(bool withService = true);
    // Builds the window as start-up does (frameless), shows it when asked and waits until the
    // service has seen the client. Null when that fails.
    QMainDialog *openWindow(bool show = true);
    QMainDialog *window() const { return m_window.get(); }
    template<class T>
    T *widget(const char *name) const
    {
        return m_window ? m_window->findChild<T *>(QLatin1String(name)) : nullptr;
    }
    QTavrinTray *tray() const { return m_window ? m_window->findChild<QTavrinTray *>() : nullptr; }
    static void resetSettings();
    // Ends a timer's wait at once, as its expiry would.
    static void expire(QTimer *timer)
    {
        QTimerEvent event(timer->timerId());
        QCoreApplication::sendEvent(timer, &event);
    }

    // The service side: bytes to the window as they are; the same followed by a barrier that
    // returns once the window has handled them; the request frames the service received.
    void send(const QByteArray &bytes);
    bool deliver(const QByteArray &bytes);
    QList<QByteArray> received() const;
    QList<int> receivedTypes() const;
    bool waitForReceived(int count) const;
    // The stand-in's log lines (without time stamps) since the last clear.
    QStringList log() const;
    bool waitForLog(const QString &pattern, int count = 1) const;
    void clearLog();
    QTavrinSim *sim() { return m_sim.get(); }

    // The message boxes the user saw, in order; while held, they stay open.
    QList<Box> boxes() const { return m_boxes; }
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

#endif // TAVRINTESTDESKTOP_H
