#ifndef QVPNSERVERCOMBOBOX_H
#define QVPNSERVERCOMBOBOX_H

#include "base/vpnserver.h"

#include <QtCore/qlist.h>
#include <QtWidgets/qcombobox.h>

class QVPNServerModel;

// The image of a flag code: ":/imgs/flags/<code>.png" for the codes of the built-in set (two
// capital letters with an image, or "auto"); an empty path for anything else, which draws no
// flag.
QString flagImagePath(const QString &code);

// The server chooser: a combo box whose face is a two-part button ("Connect" over the current
// server's name, and a popup button on the right) and whose popup lists every server with its
// favourite star, flag, name and measured latency. Its rows are those of its server model,
// which the chooser makes and keeps for its life; whoever measures latencies sets them there.
//
// From the keyboard, Enter on the face connects, Space or Alt+Down opens the list; in the list
// the arrows, Page Up/Down, Home and End move a cursor, Enter picks its row, Space toggles its
// favourite and Escape closes the list.
class QVPNServerComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit QVPNServerComboBox(QWidget *parent = nullptr);
    ~QVPNServerComboBox() override;

    QVPNServerModel *serverModel() const { return m_model; }

    void setCurrentServer(const VPNServer &server);
    VPNServer currentServer() const;

    // A new list for the model; its first row becomes current.
    void setServers(const QList<VPNServer> &servers);
    QList<VPNServer> servers() const;
    // As the model's.
    int findServer(const QString &name) const;
    VPNServer serverAt(int row) const;
    void setFavoriteServers(const QString &favorites);
    QString favoriteServers() const;

    void showPopup() override;

    // The width of the popup button area at the right of the face.
    static constexpr int PopupButtonWidth = 74;
    // The rows the popup shows at once.
    static constexpr int VisibleRows = 6;

signals:
    void pressed();
    void starToggled();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void myCurrentIndexChanged(int index);

private:
    bool popupKeyPressed(const QKeyEvent *event);
    void setCursorRow(int row);

    VPNServer m_currentServer;
    QVPNServerModel *m_model;
    bool m_rowPressed = false;
};

#endif // QVPNSERVERCOMBOBOX_H
