#ifndef QVPNSERVERCOMBOBOX_H
#define QVPNSERVERCOMBOBOX_H

#include "base/vpnserver.h"

#include <QtCore/qlist.h>
#include <QtCore/qvariant.h>
#include <QtWidgets/qcombobox.h>

class QIcmpEcho;
class QPingService;
class QThread;

// The data of one chooser item, stored under Qt::UserRole: "name", "code", "hostname" and,
// once measured, "ping" (milliseconds, -1 for a failed echo). A favourite is an item whose
// Qt::CheckStateRole holds Qt::Checked.
typedef QVariantMap ServerEntry;

// The image of a flag code: ":/imgs/flags/<code>.png" for the codes of the built-in set (two
// capital letters with an image, or "auto"); an empty path for anything else, which draws no
// flag.
QString flagImagePath(const QString &code);

// What a row reads to assistive technology: the server's name, "favourite" when it is one, and
// its latency once measured ("Germany, favourite, 42 ms", "Germany, no answer").
QString serverRowText(const ServerEntry &entry, bool favorite);

// The server chooser: a combo box whose face is a two-part button ("Connect" over the current
// server's name, and a popup button on the right) and whose popup lists every server with its
// favourite star, flag, name and measured latency. Latencies are measured one server after the
// other by a ping service on a worker thread of its own.
//
// From the keyboard, Enter on the face connects, Space or Alt+Down opens the list; in the list
// the arrows, Page Up/Down, Home and End move a cursor, Enter picks its row, Space toggles its
// favourite and Escape closes the list.
class QVPNServerComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit QVPNServerComboBox(QWidget *parent = nullptr);
    // Measures latencies through the given echo instead of the system's; takes ownership.
    explicit QVPNServerComboBox(QIcmpEcho *echo, QWidget *parent = nullptr);
    ~QVPNServerComboBox() override;

    void setCurrentServer(const VPNServer &server);
    VPNServer currentServer() const;

    void setServers(const QList<VPNServer> &servers);
    QList<VPNServer> servers() const;
    // The first row whose server bears the name (exact, case-sensitive), or -1.
    int findServer(const QString &name) const;
    // The server of a row, as its item holds it; three empty strings outside the rows.
    VPNServer serverAt(int row) const;

    // Favourites text: the names of the favourite rows, in row order, joined by ",".
    void setFavoriteServers(const QString &favorites);
    QString favoriteServers() const;

    void showPopup() override;
    // The pause before each echo of the ping cycle (500 ms unless set).
    void setPingInterval(int milliseconds) { m_pingInterval = milliseconds; }

    // The width of the popup button area at the right of the face.
    static constexpr int PopupButtonWidth = 74;

signals:
    void pressed();
    void starToggled();
    void pingHost(const QString &hostname);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void myCurrentIndexChanged(int index);
    void pingResult(const QString &hostname, int latency);
    void pingNextServer();

private:
    void init(QIcmpEcho *echo);
    bool popupKeyPressed(const QKeyEvent *event);
    void setCursorRow(int row);

    VPNServer m_currentServer;
    QThread *m_pingThread = nullptr;
    QPingService *m_pingService = nullptr;
    QList<VPNServer> m_servers;
    int m_pingInterval = 500;
    bool m_echoOut = false; // one echo at a time: a new fill waits for its answer
    bool m_rowPressed = false;
};

#endif // QVPNSERVERCOMBOBOX_H
