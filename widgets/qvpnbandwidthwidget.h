#ifndef QVPNBANDWIDTHWIDGET_H
#define QVPNBANDWIDTHWIDGET_H

#include <QtCore/qlist.h>
#include <QtCore/qstring.h>
#include <QtCore/qtimer.h>
#include <QtGui/qcolor.h>
#include <QtGui/qimage.h>
#include <QtGui/qpen.h>
#include <QtWidgets/qwidget.h>

// One bandwidth sample as the service reports it. A type of 1 is drawn in the blue palette,
// every other type in the red one.
struct BandwidthSample
{
    quint8 type;
    quint32 download;
    quint32 upload;
};

// The text for a bandwidth value with its unit: two decimals, a point as separator whatever
// the locale, and the unit straight after the number ("0.11Kbit", "100.00Gbit"). A unit is
// used from a tenth of it upwards.
QString formatBandwidth(quint64 value);

// The value that the top edge of the graph stands for when the largest kept value is maximum.
quint64 bandwidthScaleTop(quint32 maximum);

// The y coordinate of the top of a bar for value in a graph of the given height whose top edge
// stands for top: the height for 0, 0 for top itself.
int bandwidthLevel(quint64 value, int height, quint64 top);

// How many samples a graph of the given width keeps: one per six pixels, rounded up.
int bandwidthSampleLimit(int width);

// A live graph of the traffic through the tunnel: a grid, a pair of bars (download and upload)
// per sample with the newest at the right edge, the newest values at the top right and three
// scale labels at the left. Everything is drawn by hand with fixed colours.
class QVPNBandwidthWidget : public QWidget
{
    Q_OBJECT

public:
    explicit QVPNBandwidthWidget(QWidget *parent = nullptr);

    // Adds a sample. The graph's accessible description then reads the newest rates, as the
    // legend shows them. However fast samples come, the graph is painted at most about 30
    // times a second.
    void addSample(quint8 type, quint32 download, quint32 upload);
    quint64 scaleTop() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void paintBackground(QPainter &painter) const; // and its grid
    const QImage &background();
    void paintBars(QPainter &painter) const;
    void paintLegend(QPainter &painter) const;

    QTimer repaintTimer;
    QImage backgroundImage; // the background and its grid, at the widget's size
    QList<BandwidthSample> samples;
    quint32 maximum;
    QColor backgroundColor;
    QPen gridPen;
    QPen blueUploadPen;
    QPen blueDownloadPen;
    QPen redUploadPen;
    QPen redDownloadPen;
    QPen textPen;
};

#endif // QVPNBANDWIDTHWIDGET_H
