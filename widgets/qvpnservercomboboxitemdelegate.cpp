#include "widgets/qvpnservercomboboxitemdelegate.h"

#include "widgets/qvpnservercombobox.h"
#include "widgets/qvpnservermodel.h"
#include "widgets/tavrinimages.h"

#include <QtGui/qevent.h>
#include <QtGui/qimage.h>
#include <QtGui/qpainter.h>
#include <QtWidgets/qabstractitemview.h>

// The places in a row, from its top left corner; texts by their baselines.
static constexpr int StarTop = 10;
static constexpr int FlagLeft = 56;
static constexpr int FlagMiddle = 21;
static constexpr int NameLeft = 93;
static constexpr int NameBaseline = 26;
static constexpr int LatencyLeft = 256;
static constexpr int NameRight = LatencyLeft - 4;
static constexpr int LatencyBaseline = 18;
static constexpr int UnitBaseline = 34;
static constexpr int SeparatorInset = 10;
static constexpr int CursorPenWidth = 2;
static constexpr int TextPointSize = 14;
static constexpr int LatencyPointSize = 12;
// Between QFont::Light and QFont::Normal.
static constexpr int TextWeight = 35;
// The heaviest weight Qt's 0..99 scale allows.
static constexpr int LatencyWeight = 99;
// The upper ends of the green and amber latency bands.
static constexpr int FastBelow = 200;
static constexpr int FairBelow = 400;

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
    if (latency < FastBelow)
        *pen = QColor(75, 206, 126);
    else if (latency < FairBelow)
        *pen = QColor(253, 186, 61);
    else
        *pen = QColor(252, 84, 53);
    *text = QString::number(latency);
}

QVPNServerComboBoxItemDelegate::QVPNServerComboBoxItemDelegate(QObject *parent)
    : QAbstractItemDelegate(parent)
    , m_nameFont(rowFont(TextPointSize, TextWeight))
    , m_latencyFont(rowFont(LatencyPointSize, LatencyWeight))
    , m_unitFont(rowFont(TextPointSize, TextWeight))
{}

QVPNServerComboBoxItemDelegate::~QVPNServerComboBoxItemDelegate() = default;

void QVPNServerComboBoxItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                           const QModelIndex &index) const
{
    const auto *chooser = qobject_cast<const QVPNServerComboBox *>(parent());
    const bool current = chooser && chooser->currentIndex() == index.row();
    painter->save();
    painter->translate(option.rect.topLeft());
    // Nothing of a row is drawn outside it, whatever its name or flag.
    painter->setClipRect(QRect(0, 0, RowWidth, RowHeight + 1));
    if (current)
        painter->fillRect(QRect(0, 1, RowWidth, RowHeight), QColor(112, 141, 198));
    else
        painter->fillRect(QRect(0, 0, RowWidth, RowHeight), Qt::white);

    // The keyboard's cursor, once it has left the current row.
    if (chooser && chooser->view()->currentIndex() == index && !current) {
        painter->setPen(QPen(QColor(66, 176, 227), CursorPenWidth));
        painter->drawRect(QRectF(1, 2, RowWidth - 3, RowHeight - 3));
    }

    const bool favorite = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    const qreal ratio = painter->device()->devicePixelRatioF();
    painter->drawPixmap(QPoint(StarLeft, StarTop),
                        tavrinPixmap(favorite ? QStringLiteral(":/imgs/star-lit.png")
                                              : QStringLiteral(":/imgs/star.png"),
                                     ratio));

    const QString flagPath = flagImagePath(index.data(QVPNServerModel::CodeRole).toString());
    if (!flagPath.isEmpty()) {
        const QPixmap flag = tavrinPixmap(flagPath, ratio);
        const int height = qRound(flag.height() / flag.devicePixelRatioF());
        painter->drawPixmap(QPoint(FlagLeft, FlagMiddle - height / 2), flag);
    }

    painter->setPen(Qt::black);
    painter->setFont(m_nameFont);
    // A long name ends in "..." before the latency column.
    painter->drawText(QPoint(NameLeft, NameBaseline),
                      QFontMetrics(m_nameFont)
                              .elidedText(index.data(QVPNServerModel::NameRole).toString(),
                                          Qt::ElideRight, NameRight - NameLeft));

    // A line between rows, one of the screen's pixels high whatever its scale, on the first of
    // the row's own (where a row starts within a pixel, a line drawn there would be cut away with
    // what lies above the row): none over the first row shown.
    if (option.rect.top() > 0)
        painter->fillRect(QRectF(SeparatorInset, 0, RowWidth - 2 * SeparatorInset + 1, 1 / ratio),
                          QColor(202, 202, 202));

    const QVariant latency = index.data(QVPNServerModel::LatencyRole);
    if (latency.isValid()) {
        QColor pen;
        QString text;
        latencyLook(latency.toInt(), &pen, &text);
        painter->setPen(pen);
        painter->setFont(m_latencyFont);
        painter->drawText(QPoint(LatencyLeft, LatencyBaseline), text);
        painter->setFont(m_unitFont);
        painter->drawText(QPoint(LatencyLeft, UnitBaseline), QStringLiteral("ms"));
    }
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
