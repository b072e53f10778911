#include "widgets/qvpnbandwidthwidget.h"

#include <QtCore/qmath.h>
#include <QtGui/qpainter.h>
#include <QtGui/qpainterpath.h>
#include <QtGui/qpolygon.h>

#include <cmath>

static const quint32 minimumMaximum = 1024;
static const int gridStep = 24;
static const int sampleStep = 6;

QString formatBandwidth(quint64 value)
{
    // The thresholds compare value * 10 with 100, 100,000 and 100,000,000; they are written
    // on value itself so that no value can overflow the multiplication.
    const double tenfold = double(value) * 10.0;
    if (value > 10000000)
        return QString::number(tenfold / 1000000000.0, 'f', 2) + QLatin1String("Gbit");
    if (value > 10000)
        return QString::number(tenfold / 1000000.0, 'f', 2) + QLatin1String("Mbit");
    if (value > 10)
        return QString::number(tenfold / 1000.0, 'f', 2) + QLatin1String("Kbit");
    return QString::number(tenfold, 'f', 2) + QLatin1String("bits");
}

quint64 bandwidthScaleTop(quint32 maximum)
{
    static const struct
    {
        quint32 above;
        quint64 top;
    } steps[] = {
            {500000000, Q_UINT64_C(10000000000)},
            {200000000, 500000000},
            {100000000, 200000000},
            {50000000, 100000000},
            {20000000, 50000000},
            {10000000, 20000000},
            {5000000, 10000000},
            {2000000, 5000000},
            {1000000, 2000000},
            {500000, 1000000},
            {200000, 500000},
            {100000, 200000},
    };
    for (const auto &step : steps) {
        if (maximum > step.above)
            return step.top;
    }
    return 100000;
}

int bandwidthLevel(quint64 value, int height, quint64 top)
{
    const double level = double(height) - double(value) * double(height) / double(top);
    return int(level);
}

int bandwidthSampleLimit(int width)
{
    return int(std::ceil(width / double(sampleStep)));
}

QVPNBandwidthWidget::QVPNBandwidthWidget(QWidget *parent)
    : QWidget(parent)
    , maximum(minimumMaximum)
    , backgroundColor(247, 247, 250, 255)
    , gridPen(QColor(226, 226, 226, 255))
    , blueUploadPen(QColor(66, 175, 226, 255), 3)
    , blueDownloadPen(QColor(133, 201, 225, 255), 3)
    , redUploadPen(QColor(239, 86, 75, 255), 3)
    , redDownloadPen(QColor(235, 128, 122, 255), 3)
    , textPen(QColor(128, 128, 128, 255), 3)
{
    // The graph covers itself whole: the window beneath it is not painted for its repaints.
    setAttribute(Qt::WA_OpaquePaintEvent);
    repaintTimer.setSingleShot(true);
    repaintTimer.setInterval(33);
    connect(&repaintTimer, &QTimer::timeout, this, QOverload<>::of(&QWidget::update));
}

void QVPNBandwidthWidget::addSample(quint8 type, quint32 download, quint32 upload)
{
    samples.prepend(BandwidthSample{type, download, upload});
    const int limit = bandwidthSampleLimit(width());
    while (samples.size() > limit)
        samples.removeLast();

    // Recomputed from the kept samples, so the scale shrinks again once large samples have
    // scrolled out.
    maximum = minimumMaximum;
    for (const BandwidthSample &sample : qAsConst(samples)) {
        if (sample.download > maximum)
            maximum = sample.download;
        if (sample.upload > maximum)
            maximum = sample.upload;
    }
    setAccessibleDescription(
            tr("Download %1, upload %2")
                    .arg(formatBandwidth(download >> 1), formatBandwidth(upload >> 1)));
    if (!repaintTimer.isActive())
        repaintTimer.start();
}

quint64 QVPNBandwidthWidget::scaleTop() const
{
    return bandwidthScaleTop(maximum);
}

void QVPNBandwidthWidget::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    // At a scale of 125 % or 150 % the graph may sit between screen pixels, where a copied
    // picture would not fall exactly where the grid drawn in place falls: it is drawn in place.
    const qreal ratio = devicePixelRatioF();
    if (ratio == qFloor(ratio)) {
        painter.setCompositionMode(QPainter::CompositionMode_Source); // the graph is opaque
        painter.drawImage(0, 0, background());
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    } else {
        paintBackground(painter);
    }
    paintBars(painter);
    if (samples.isEmpty())
        return;
    painter.setRenderHint(QPainter::Antialiasing, true);
    paintLegend(painter);
}

// Drawn once per size and scale rather than at every repaint, a second apart while connected,
// in the format window surfaces have, so that it is copied rather than blended.
const QImage &QVPNBandwidthWidget::background()
{
    const qreal ratio = devicePixelRatioF();
    if (backgroundImage.size() != size() * ratio || backgroundImage.devicePixelRatio() != ratio) {
        backgroundImage = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
        backgroundImage.setDevicePixelRatio(ratio);
        QPainter painter(&backgroundImage);
        paintBackground(painter);
    }
    return backgroundImage;
}

void QVPNBandwidthWidget::paintBackground(QPainter &painter) const
{
    const int w = width();
    const int h = height();
    painter.fillRect(QRect(0, 0, w, h), backgroundColor);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(gridPen);
    for (int x = 0; x < w; x += gridStep)
        painter.drawLine(x, 0, x, h - 1);
    for (int y = 0; y < h; y += gridStep)
        painter.drawLine(0, y, w - 1, y);
}

void QVPNBandwidthWidget::paintBars(QPainter &painter) const
{
    const int h = height();
    const quint64 top = scaleTop();
    int x = width() - 2;
    // Older samples step to the left; those beyond the left edge are simply clipped.
    for (const BandwidthSample &sample : samples) {
        const bool blue = sample.type == 1;
        painter.setPen(blue ? blueDownloadPen : redDownloadPen);
        painter.drawLine(x - 3, bandwidthLevel(sample.download, h, top), x - 3, h);
        painter.setPen(blue ? blueUploadPen : redUploadPen);
        painter.drawLine(x, bandwidthLevel(sample.upload, h, top), x, h);
        x -= sampleStep;
    }
}

// One rate of the legend: its arrow filled in the colour of its bars, then its text.
static void paintLegendEntry(QPainter &painter, const QPolygon &arrow, const QColor &color,
                             const QPen &textPen, const QPoint &textAt, const QString &text)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(arrow));
    path.closeSubpath();
    painter.fillPath(path, color);
    painter.setPen(textPen);
    painter.drawText(textAt, text);
}

void QVPNBandwidthWidget::paintLegend(QPainter &painter) const
{
    const int r = width() - 1;
    const int h = height();
    const BandwidthSample &newest = samples.constFirst();
    const bool blue = newest.type == 1;

    const QPolygon upArrow({QPoint(r - 179, 10), QPoint(r - 173, 16), QPoint(r - 176, 16),
                            QPoint(r - 176, 24), QPoint(r - 182, 24), QPoint(r - 182, 16),
                            QPoint(r - 185, 16)});
    paintLegendEntry(painter, upArrow, (blue ? blueUploadPen : redUploadPen).color(), textPen,
                     QPoint(r - 170, 21), formatBandwidth(newest.upload >> 1));

    const QPolygon downArrow({QPoint(r - 89, 24), QPoint(r - 83, 16), QPoint(r - 86, 16),
                              QPoint(r - 86, 10), QPoint(r - 92, 10), QPoint(r - 92, 16),
                              QPoint(r - 95, 16)});
    paintLegendEntry(painter, downArrow, (blue ? blueDownloadPen : redDownloadPen).color(), textPen,
                     QPoint(r - 80, 21), formatBandwidth(newest.download >> 1));

    const quint64 top = scaleTop();
    painter.drawText(QPoint(5, 21), formatBandwidth(top));
    painter.drawText(QPoint(5, h / 2 + 10), formatBandwidth(top >> 1));
    painter.drawText(QPoint(5, h - 1 - 9), formatBandwidth(0));
}
