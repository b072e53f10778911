#include "widgets/qvpnservercombobox.h"

#include "ping/qicmpecho.h"
#include "ping/qpingservice.h"
#include "widgets/qvpnservercomboboxitemdelegate.h"
#include "widgets/tavrinimages.h"

#include <QtCore/qfile.h>
#include <QtCore/qthread.h>
#include <QtCore/qtimer.h>
#include <QtGui/qevent.h>
#include <QtGui/qpainter.h>
#include <QtGui/qstandarditemmodel.h>
#include <QtWidgets/qabstractitemview.h>

static const char ChooserStyleSheet[]
        = "QScrollBar:vertical {border: 1px solid #55b7e5; background: white; width: 5px; margin: "
          "0px 0px 0px 0px} QScrollBar::handle:vertical {border: none; background: #55b7e5} "
          "QScrollBar::up-arrow:vertical, QScrollBar::down-arrow:vertical {background: red; "
          "height: 50px} QScrollBar::add-line, QScrollBar::sub-line {height: 0px; background: "
          "white}"
          // Styles that drop the popup over the face (Fusion) would otherwise show every row, as
          // far as the screen reaches, instead of six.
          " QComboBox {combobox-popup: 0}";

static QString nameKey()
{
    return QStringLiteral("name");
}

static QString codeKey()
{
    return QStringLiteral("code");
}

static QString hostnameKey()
{
    return QStringLiteral("hostname");
}

static QString pingKey()
{
    return QStringLiteral("ping");
}

QString flagImagePath(const QString &code)
{
    const bool wellFormed = code == QLatin1String("auto")
                            || (code.size() == 2 && code.at(0).isUpper() && code.at(1).isUpper()
                                && code.at(0).unicode() < 128 && code.at(1).unicode() < 128);
    const QString path = QLatin1String(":/imgs/flags/") + code + QLatin1String(".png");
    return wellFormed && QFile::exists(path) ? path : QString();
}

QString serverRowText(const ServerEntry &entry, bool favorite)
{
    QStringList parts{entry.value(nameKey()).toString()};
    if (favorite)
        parts += QVPNServerComboBox::tr("favourite");
    if (entry.contains(pingKey())) {
        const int latency = entry.value(pingKey()).toInt();
        parts += latency > 0 ? QStringLiteral("%1 ms").arg(latency)
                             : QVPNServerComboBox::tr("no answer");
    }
    return parts.join(QLatin1String(", "));
}

namespace {

// The rows' model: each row reads its server's name as its text, and what serverRowText()
// makes of it to assistive technology, always from the row's current data.
class QVPNServerModel : public QStandardItemModel
{
public:
    using QStandardItemModel::QStandardItemModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::AccessibleTextRole)
            return QStandardItemModel::data(index, role);
        return serverRowText(QStandardItemModel::data(index, Qt::UserRole).toMap(),
                             QStandardItemModel::data(index, Qt::CheckStateRole).toInt()
                                     == Qt::Checked);
    }
};

} // namespace

QVPNServerComboBox::QVPNServerComboBox(QWidget *parent)
    : QComboBox(parent)
{
    init(nullptr);
}

QVPNServerComboBox::QVPNServerComboBox(QIcmpEcho *echo, QWidget *parent)
    : QComboBox(parent)
{
    init(echo);
}

void QVPNServerComboBox::init(QIcmpEcho *echo)
{
    setMaxVisibleItems(6);
    setStyleSheet(QLatin1String(ChooserStyleSheet));

    m_pingThread = new QThread(this);
    m_pingService = echo ? new QPingService(echo) : new QPingService;
    m_pingService->moveToThread(m_pingThread);

    connect(this, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &QVPNServerComboBox::myCurrentIndexChanged);
    connect(this, &QVPNServerComboBox::pingHost, m_pingService, &QPingService::pingHost);
    connect(m_pingService, &QPingService::pingResult, this, &QVPNServerComboBox::pingResult);

    m_pingThread->start();
    setItemDelegate(new QVPNServerComboBoxItemDelegate(this));
    view()->viewport()->installEventFilter(this);
    view()->installEventFilter(this);
    setFocusPolicy(Qt::TabFocus);
}

QVPNServerComboBox::~QVPNServerComboBox()
{
    // An echo may block the ping thread for up to a second, name resolution even longer: make
    // the echo give up, let no late result reach us, and give the thread 100 ms to end.
    m_pingService->abort();
    disconnect(m_pingService, nullptr, this, nullptr);
    disconnect(this, nullptr, m_pingService, nullptr);
    // The service is deleted on its own thread as that thread ends, and the thread object
    // after it has ended: immediately below, or later if it cannot stop in time.
    connect(m_pingThread, &QThread::finished, m_pingService, &QObject::deleteLater);
    connect(m_pingThread, &QThread::finished, m_pingThread, &QObject::deleteLater);
    m_pingThread->exit(0);
    if (m_pingThread->wait(100)) {
        delete m_pingThread;
    } else {
        // Still blocked where it cannot be interrupted. Terminating the thread would unwind it
        // through its event loop and corrupt it; it is left to end on its own instead.
        m_pingThread->setParent(nullptr);
    }
    m_pingService = nullptr;
    m_pingThread = nullptr;
}

void QVPNServerComboBox::setCurrentServer(const VPNServer &server)
{
    m_currentServer = server;
    setToolTip(server.name);
    setAccessibleName(tr("Connect, %1").arg(server.name));
    update();
}

VPNServer QVPNServerComboBox::currentServer() const
{
    return m_currentServer;
}

void QVPNServerComboBox::setServers(const QList<VPNServer> &servers)
{
    m_servers = servers;
    clear(); // all rows at once: removing them one by one would take quadratic time

    // Exactly one row per entry. The items are neither enabled nor selectable, so the popup's
    // own click handling leaves them alone; the item delegate selects and toggles stars.
    auto *model = new QVPNServerModel(0, 1, this);
    for (int row = 0; row < m_servers.size(); ++row) {
        const VPNServer &server = m_servers.at(row);
        ServerEntry entry;
        entry.insert(nameKey(), server.name);
        entry.insert(codeKey(), server.code);
        entry.insert(hostnameKey(), server.hostname);
        auto *item = new QStandardItem(server.name);
        item->setData(entry, Qt::UserRole);
        item->setData(server.name, Qt::ToolTipRole);
        item->setFlags(Qt::ItemIsUserCheckable);
        model->setItem(row, 0, item);
    }
    setModel(model);

    if (!m_servers.isEmpty())
        setCurrentIndex(0);
    QTimer::singleShot(m_pingInterval, this, &QVPNServerComboBox::pingNextServer);
    update();
}

QList<VPNServer> QVPNServerComboBox::servers() const
{
    return m_servers;
}

int QVPNServerComboBox::findServer(const QString &name) const
{
    for (int row = 0; row < count(); ++row) {
        if (itemData(row, Qt::UserRole).toMap().value(nameKey()).toString() == name)
            return row;
    }
    return -1;
}

VPNServer QVPNServerComboBox::serverAt(int row) const
{
    if (row < 0 || row >= count())
        return VPNServer();
    const ServerEntry entry = itemData(row, Qt::UserRole).toMap();
    return VPNServer{entry.value(nameKey()).toString(), entry.value(codeKey()).toString(),
                     entry.value(hostnameKey()).toString()};
}

void QVPNServerComboBox::setFavoriteServers(const QString &favorites)
{
    // An empty part names no server: an empty text marks nothing, not the rows without a name.
    const QStringList names = favorites.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &name : names) {
        for (int row = 0; row < count(); ++row) {
            if (itemData(row, Qt::UserRole).toMap().value(nameKey()).toString() == name)
                setItemData(row, int(Qt::Checked), Qt::CheckStateRole);
        }
    }
}

QString QVPNServerComboBox::favoriteServers() const
{
    QStringList names;
    for (int row = 0; row < count(); ++row) {
        if (itemData(row, Qt::CheckStateRole).toInt() == Qt::Checked)
            names.append(itemData(row, Qt::UserRole).toMap().value(nameKey()).toString());
    }
    return names.join(QLatin1Char(','));
}

void QVPNServerComboBox::mousePressEvent(QMouseEvent *event)
{
    const int x = qRound(event->localPos().x());
    if (x < width() - PopupButtonWidth) {
        emit pressed();
        return;
    }
    // The combo box's own press handling opens the popup so that the release of this same
    // click does not close it again; it only reacts to the left button.
    if (event->button() == Qt::LeftButton)
        QComboBox::mousePressEvent(event);
    if (!view()->isVisible())
        showPopup();
}

void QVPNServerComboBox::showPopup()
{
    m_rowPressed = false;
    QComboBox::showPopup();
    setCursorRow(currentIndex());
}

void QVPNServerComboBox::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier)
        emit pressed();
    else
        QComboBox::keyPressEvent(event);
}

// The rows are not enabled (the delegate handles their clicks), so the view would not move its
// current index onto them: the selection model is told directly. The delegate marks that row.
void QVPNServerComboBox::setCursorRow(int row)
{
    const QModelIndex index = model()->index(row, modelColumn(), rootModelIndex());
    view()->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    if (index.isValid())
        view()->scrollTo(index);
    view()->viewport()->update();
}

bool QVPNServerComboBox::popupKeyPressed(const QKeyEvent *event)
{
    const QModelIndex cursor = view()->currentIndex();
    int row = cursor.isValid() ? cursor.row() : currentIndex();
    switch (event->key()) {
    case Qt::Key_Up:
        row -= 1;
        break;
    case Qt::Key_Down:
        if (event->modifiers() & Qt::AltModifier)
            return false; // closes the list, as in any combo box
        row += 1;
        break;
    case Qt::Key_PageUp:
        row -= maxVisibleItems();
        break;
    case Qt::Key_PageDown:
        row += maxVisibleItems();
        break;
    case Qt::Key_Home:
        row = 0;
        break;
    case Qt::Key_End:
        row = count() - 1;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (row >= 0 && row < count()) {
            setCurrentIndex(row);
            hidePopup();
        }
        return true;
    case Qt::Key_Space:
        if (row >= 0 && row < count()) {
            const bool favorite = itemData(row, Qt::CheckStateRole).toInt() == Qt::Checked;
            setItemData(row, int(favorite ? Qt::Unchecked : Qt::Checked), Qt::CheckStateRole);
            view()->viewport()->update();
            emit starToggled();
        }
        return true;
    default:
        return false;
    }
    if (count() > 0)
        setCursorRow(qBound(0, row, count() - 1));
    return true;
}

// A press on the face that opened the popup may be released on a row, as in any combo box:
// that row is picked. Rows the popup saw a press on are left to the item delegate.
bool QVPNServerComboBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view() && event->type() == QEvent::KeyPress)
        return popupKeyPressed(static_cast<QKeyEvent *>(event));
    if (watched != view()->viewport())
        return QComboBox::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress) {
        m_rowPressed = true;
    } else if (event->type() == QEvent::MouseButtonRelease && !m_rowPressed) {
        const auto *release = static_cast<QMouseEvent *>(event);
        const QModelIndex index = view()->indexAt(release->pos());
        if (index.isValid()) {
            setCurrentIndex(index.row());
            hidePopup();
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

void QVPNServerComboBox::mouseReleaseEvent(QMouseEvent *event)
{
    Q_UNUSED(event);
}

void QVPNServerComboBox::mouseMoveEvent(QMouseEvent *event)
{
    Q_UNUSED(event);
}

void QVPNServerComboBox::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    const int w = width();
    const int h = height();
    const QColor dark(66, 176, 227);
    const QColor light(84, 183, 229);
    QPainter painter(this);

    // The wide "Connect" part, rounded on the left.
    painter.setPen(Qt::NoPen);
    painter.setBrush(dark);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.drawRoundedRect(QRectF(0, 0, 20, h), 7, 7);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(QPoint(10, 0), QPoint(w - 66, h - 1)), dark);

    painter.setPen(QColor(43, 134, 175));
    painter.drawLine(w - 75, 0, w - 75, h);

    // The popup button, rounded on the right.
    painter.setPen(Qt::NoPen);
    painter.setBrush(light);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.drawRoundedRect(QRectF(w - 20, 0, 20, h), 7, 7);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(QPoint(w - 74, 0), QPoint(w - 11, h - 1)), light);
    painter.drawPixmap(QPoint(w - 66, 5),
                       tavrinPixmap(QStringLiteral(":/imgs/choose-server-combo-button.png"),
                                    devicePixelRatioF()));

    QFont connectFont(QStringLiteral("Roboto"), 20, 50);
    connectFont.setStyleStrategy(QFont::PreferAntialias);
    painter.setPen(Qt::white);
    painter.setFont(connectFont);
    painter.drawText(QRect(QPoint(0, 10), QPoint(w - 76, 37)), Qt::AlignCenter, tr("Connect"));

    QFont nameFont(QStringLiteral("Roboto"), 10, 75);
    nameFont.setStyleStrategy(QFont::PreferAntialias);
    painter.setPen(QColor(1, 67, 97));
    painter.setFont(nameFont);
    // A long name ends in "..." within the face; the tool tip holds it whole.
    const QRect nameArea(QPoint(0, 28), QPoint(w - 76, 67));
    painter.drawText(nameArea, Qt::AlignCenter,
                     painter.fontMetrics().elidedText(m_currentServer.name, Qt::ElideRight,
                                                      nameArea.width()));
}

void QVPNServerComboBox::myCurrentIndexChanged(int index)
{
    if (index < 0 || index >= m_servers.size())
        return;
    setCurrentServer(m_servers.at(index));
}

void QVPNServerComboBox::pingResult(const QString &hostname, int latency)
{
    m_echoOut = false;
    for (int row = 0; row < count(); ++row) {
        ServerEntry entry = itemData(row, Qt::UserRole).toMap();
        if (entry.value(hostnameKey()).toString() != hostname)
            continue;
        entry.insert(pingKey(), latency);
        setItemData(row, entry, Qt::UserRole);
    }
    QTimer::singleShot(m_pingInterval, this, &QVPNServerComboBox::pingNextServer);
    update();
}

void QVPNServerComboBox::pingNextServer()
{
    // Its answer goes on with the cycle: a step due meanwhile (a new fill's) starts no other.
    if (m_echoOut)
        return;
    for (int row = 0; row < count(); ++row) {
        const ServerEntry entry = itemData(row, Qt::UserRole).toMap();
        if (entry.contains(pingKey()))
            continue;
        const QString hostname = entry.value(hostnameKey()).toString();
        // An entry without a host cannot be measured: it counts as a failed echo at once.
        if (hostname.isEmpty()) {
            pingResult(hostname, -1);
        } else {
            m_echoOut = true;
            emit pingHost(hostname);
        }
        return;
    }
}
