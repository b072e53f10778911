#ifndef QVPNSERVERCOMBOBOXITEMDELEGATE_H
#define QVPNSERVERCOMBOBOXITEMDELEGATE_H

#include <QtGui/qfont.h>
#include <QtWidgets/qabstractitemdelegate.h>

// Paints the rows of the server chooser's popup (favourite star, flag, name, colour-coded
// latency) and handles clicks on them: a click on the star toggles the favourite and keeps the
// popup open, a click elsewhere makes the row current and closes the popup. Created by the
// chooser with the chooser as parent; reaches the chooser through its parent.
class QVPNServerComboBoxItemDelegate : public QAbstractItemDelegate
{
    Q_OBJECT

public:
    explicit QVPNServerComboBoxItemDelegate(QObject *parent = nullptr);
    ~QVPNServerComboBoxItemDelegate() override;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

    static constexpr int RowWidth = 297;
    static constexpr int RowHeight = 41;
    // The favourite star's click zone, inclusive.
    static constexpr int StarLeft = 24;
    static constexpr int StarRight = 40;

private:
    QFont m_nameFont;
    QFont m_latencyFont;
    QFont m_unitFont;
};

#endif // QVPNSERVERCOMBOBOXITEMDELEGATE_H
