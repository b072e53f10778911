#include "widgets/qvpnservercomboboxitemdelegate.h"

#include "widgets/qvpnservercombobox.h"
#include "widgets/tavrinimages.h"

#include <QtGui/qevent.h>
#include <QtGui/qimage.h>
#include <QtGui/qpainter.h>
#include <QtWidgets/qabstractitemview.h>
#include <QtWidgets/qscrollbar.h>

static QFont rowFont(int pointSize, int weight)
{
    QFont font(QStringLiteral("Roboto"), pointSize, weight);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// The pen and the upper text of a measured latency: gray "---" for a failure (or 0), then
// green, amber and red bands.
static void latencyLook(int latency, QColor *pen, QString *text)
{
    if (latency <= 0) {
        *pen = QColor(Qt::gray);
        *text = QStringLiteral("---");
        return;
    }
    if (latency < 200)
        *pen = QColor(75, 206, 126);
    else if (latency < 400)
        *pen = QColor(253, 186, 61);
    else
        *pen = QColor(252, 84, 53);
    *text = QString::number(latency);
}

QVPNServerComboBoxItemDelegate::QVPNServerComboBoxItemDelegate(QObject *parent)
    : QAbstractItemDelegate(parent)
    , m_nameFont(rowFont(14, 35))
    ,
    // The heaviest weight Qt's 0..99 scale allows.
    m_latencyFont(rowFont(12, 99))
    , m_unitFont(rowFont(14, 35))
{}

QVPNServerComboBoxItemDelegate::~QVPNServerComboBoxItemDelegate() = default;

void QVPNServerComboBoxItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                           const QModelIndex &index) const
{
    Q_UNUSED(option);
    const auto *chooser = qobject_cast<const QVPNServerComboBox *>(parent());
    // The list scrolls by whole rows: the scroll bar's value is the first visible row.
    const int firstVisible = chooser ? chooser->view()->verticalScrollBar()->value() : 0;
    const int r = index.row() - firstVisible;
    const int y = RowHeight * r;
    const ServerEntry entry = index.data(Qt::UserRole).toMap();

    painter->save();
    // Nothing of a row is drawn outside it, whatever its name or flag.
    painter->setClipRect(QRect(0, y, RowWidth, RowHeight + 1));
    if (chooser && chooser->currentIndex() == index.row())
        painter->fillRect(QRect(QPoint(0, y + 1), QPoint(RowWidth - 1, y + RowHeight)),
                          QColor(112, 141, 198));
    else
        painter->fillRect(QRect(QPoint(0, y), QPoint(RowWidth - 1, y + RowHeight - 1)), Qt::white);

    // The keyboard's cursor, once it has left the current row.
    if (chooser && chooser->view()->currentIndex() == index
        && chooser->currentIndex() != index.row()) {
        painter->setPen(QPen(QColor(66, 176, 227), 2));
        painter->drawRect(QRectF(1, y + 2, RowWidth - 3, RowHeight - 3));
    }

    const bool favorite = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    const qreal ratio = painter->device()->devicePixelRatioF();
    painter->drawPixmap(QPoint(24, y + 10),
                        tavrinPixmap(favorite ? QStringLiteral(":/imgs/star-lit.png")
                                              : QStringLiteral(":/imgs/star.png"),
                                     ratio));

    const QString flagPath = flagImagePath(entry.value(QStringLiteral("code")).toString());
    if (!flagPath.isEmpty()) {
        const QPixmap flag = tavrinPixmap(flagPath, ratio);
        const int height = qRound(flag.height() / flag.devicePixelRatioF());
        painter->drawPixmap(QPoint(56, y + 21 - height / 2), flag);
    }

    painter->setPen(Qt::black);
    painter->setFont(m_nameFont);
    // A long name ends in "..." before the latency column.
    painter->drawText(QPoint(93, y + 26),
                      QFontMetrics(m_nameFont)
                              .elidedText(entry.value(QStringLiteral("name")).toString(),
                                          Qt::ElideRight, 256 - 4 - 93));

    if (r > 0) {
        painter->setPen(QColor(202, 202, 202));
        painter->drawLine(10, y, 287, y);
    }

    if (entry.contains(QStringLiteral("ping"))) {
        QColor pen;
        QString text;
        latencyLook(entry.value(QStringLiteral("ping")).toInt(), &pen, &text);
        painter->setPen(pen);
        painter->setFont(m_latencyFont);
        painter->drawText(QPoint(256, y + 18), text);
        painter->setFont(m_unitFont);
        painter->drawText(QPoint(256, y + 34), QStringLiteral("ms"));
    }
    painter->setPen(Qt::black);
    painter->restore();
}

QSize QVPNServerComboBoxItemDelegate::sizeHint(const QStyleOptionViewItem &option,
                                               const QModelIndex &index) const
{
    Q_UNUSED(option);
    Q_UNUSED(index);
    return QSize(RowWidth, RowHeight);
}

bool QVPNServerComboBoxItemDelegate::editorEvent(QEvent *event, QAbstractItemModel *model,
                                                 const QStyleOptionViewItem &option,
                                                 const QModelIndex &index)
{
    Q_UNUSED(option);
    if (event->type() != QEvent::MouseButtonRelease || !model || !index.isValid())
        return false;
    auto *chooser = qobject_cast<QVPNServerComboBox *>(parent());
    const int x = qRound(static_cast<QMouseEvent *>(event)->localPos().x());

    if (x >= StarLeft && x <= StarRight) {
        const bool favorite = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        model->setData(index, int(favorite ? Qt::Unchecked : Qt::Checked), Qt::CheckStateRole);
        if (chooser)
            emit chooser->starToggled();
        // Accepted: the popup stays open, so several stars can be toggled in a row.
        event->accept();
        return true;
    }

    if (chooser)
        chooser->setCurrentIndex(index.row());
    // Not accepted: the release travels on to the popup window, which closes.
    event->ignore();
    return true;
}
