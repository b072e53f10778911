#include "widgets/qvpnservercombobox.h"

#include "widgets/qvpnservercomboboxitemdelegate.h"
#include "widgets/qvpnservermodel.h"
#include "widgets/tavrinimages.h"

#include <QtCore/qfile.h>
#include <QtGui/qevent.h>
#include <QtGui/qpainter.h>
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

// The face: a wide "Connect" part rounded on the left, a line, and the popup button rounded on
// the right with its image; "Connect" over the current server's name left of the line.
static constexpr int CornerWidth = 20;
static constexpr int CornerRadius = 7;
static constexpr int ButtonImageInset = 66; // from the right edge
static constexpr int ButtonImageTop = 5;
static constexpr int ConnectTop = 10;
static constexpr int ConnectBottom = 37;
static constexpr int ConnectPointSize = 20;
static constexpr int NameTop = 28;
static constexpr int NameBottom = 67;
static constexpr int NamePointSize = 10;

QString flagImagePath(const QString &code)
{
    const bool wellFormed = code == QLatin1String("auto")
                            || (code.size() == 2 && code.at(0).isUpper() && code.at(1).isUpper()
                                && code.at(0).unicode() < 128 && code.at(1).unicode() < 128);
    const QString path = QLatin1String(":/imgs/flags/") + code + QLatin1String(".png");
    return wellFormed && QFile::exists(path) ? path : QString();
}

QVPNServerComboBox::QVPNServerComboBox(QWidget *parent)
    : QComboBox(parent)
    , m_model(new QVPNServerModel(this))
{
    setMaxVisibleItems(VisibleRows);
    setStyleSheet(QLatin1String(ChooserStyleSheet));
    setModel(m_model);
    connect(this, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &QVPNServerComboBox::myCurrentIndexChanged);
    setItemDelegate(new QVPNServerComboBoxItemDelegate(this));
    view()->viewport()->installEventFilter(this);
    view()->installEventFilter(this);
    setFocusPolicy(Qt::TabFocus);
}

QVPNServerComboBox::~QVPNServerComboBox() = default;

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
    m_model->setServers(servers);
    if (!servers.isEmpty())
        setCurrentIndex(0);
    update();
}

QList<VPNServer> QVPNServerComboBox::servers() const
{
    return m_model->servers();
}

int QVPNServerComboBox::findServer(const QString &name) const
{
    return m_model->findServer(name);
}

VPNServer QVPNServerComboBox::serverAt(int row) const
{
    return m_model->serverAt(row);
}

void QVPNServerComboBox::setFavoriteServers(const QString &favorites)
{
    m_model->setFavoriteServers(favorites);
}

QString QVPNServerComboBox::favoriteServers() const
{
    return m_model->favoriteServers();
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
            m_model->setFavorite(row, !m_model->isFavorite(row));
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
    const int lineX = w - PopupButtonWidth - 1;
    const QColor dark(66, 176, 227);
    const QColor light(84, 183, 229);
    QPainter painter(this);

    // The wide "Connect" part, rounded on the left.
    painter.setPen(Qt::NoPen);
    painter.setBrush(dark);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.drawRoundedRect(QRectF(0, 0, CornerWidth, h), CornerRadius, CornerRadius);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(QPoint(CornerWidth / 2, 0), QPoint(lineX - 1, h - 1)), dark);

    painter.setPen(QColor(43, 134, 175));
    painter.drawLine(lineX, 0, lineX, h);

    // The popup button, rounded on the right.
    painter.setPen(Qt::NoPen);
    painter.setBrush(light);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.drawRoundedRect(QRectF(w - CornerWidth, 0, CornerWidth, h), CornerRadius, CornerRadius);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(QPoint(lineX + 1, 0), QPoint(w - CornerWidth / 2 - 1, h - 1)), light);
    painter.drawPixmap(QPoint(w - ButtonImageInset, ButtonImageTop),
                       tavrinPixmap(QStringLiteral(":/imgs/choose-server-combo-button.png"),
                                    devicePixelRatioF()));

    QFont connectFont(QStringLiteral("Roboto"), ConnectPointSize, QFont::Normal);
    connectFont.setStyleStrategy(QFont::PreferAntialias);
    painter.setPen(Qt::white);
    painter.setFont(connectFont);
    painter.drawText(QRect(QPoint(0, ConnectTop), QPoint(lineX - 1, ConnectBottom)),
                     Qt::AlignCenter, tr("Connect"));

    QFont nameFont(QStringLiteral("Roboto"), NamePointSize, QFont::Bold);
    nameFont.setStyleStrategy(QFont::PreferAntialias);
    painter.setPen(QColor(1, 67, 97));
    painter.setFont(nameFont);
    // A long name ends in "..." within the face; the tool tip holds it whole.
    const QRect nameArea(QPoint(0, NameTop), QPoint(lineX - 1, NameBottom));
    painter.drawText(nameArea, Qt::AlignCenter,
                     painter.fontMetrics().elidedText(m_currentServer.name, Qt::ElideRight,
                                                      nameArea.width()));
}

void QVPNServerComboBox::myCurrentIndexChanged(int index)
{
    if (index < 0 || index >= m_model->rowCount())
        return;
    setCurrentServer(m_model->serverAt(index));
}
