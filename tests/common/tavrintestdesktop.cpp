#include "tavrintestdesktop.h"

#include "service/tavrinframe.h"
#include "settings/qvpnclientsettings.h"
#include "sim/qtavrinsimsession.h"
#include "sim/tavrinsimlog.h"
#include "widgets/qvpnbandwidthwidget.h"

static QMutex logMutex;
static QStringList logLines;

TavrinTestDesktop::TavrinTestDesktop(const QStringList &simArguments)
    : m_simArguments(simArguments)
{
    connect(&m_user, &QTimer::timeout, this, &TavrinTestDesktop::closeBox);
    m_user.start(20);
    logLines.clear(); // no sink is set yet: no lock needed
    setSimLogSink([](const QString &line) {
        QMutexLocker locker(&logMutex);
        logLines.append(line);
    });
}

TavrinTestDesktop::~TavrinTestDesktop()
{
    m_window.reset();
    m_sim.reset();
    setSimLogSink(nullptr);
}

void TavrinTestDesktop::resetSettings()
{
    QVPNClientSettings().clear();
    QVPNClientSettings::setAutoStart(false);
}

void TavrinTestDesktop::setServerList(const QByteArray &json)
{
    if (m_serverList.open() && m_serverList.write(json) == json.size() && m_serverList.flush())
        m_simArguments << QStringLiteral("--list-file") << m_serverList.fileName();
}

bool TavrinTestDesktop::start(bool withService)
{
    const QString fast = "sim --connect-delay 0 --disconnect-delay 0 --retry-delay 0 --port 0";
    QTavrinSimOptions options;
    QString errorText;
    if (!parseSimOptions(fast.split(' ') + m_simArguments, &options, &errorText))
        return false;
    if (!withService)
        options.socketName = QStringLiteral("Nobody listens for Tavrin here");
    m_sim.reset(new QTavrinSim(options));
    if (!m_sim->start(&errorText))
        qWarning("the stand-in did not start: %s", qPrintable(errorText));
    qputenv("TAVRIN_API_HOST", m_sim->apiHost().toLatin1());
    return m_sim->port() > 0;
}

QMainDialog *TavrinTestDesktop::openWindow(bool show)
{
    m_window.reset(new QMainDialog);
    m_window->setWindowFlags(Qt::FramelessWindowHint);
    if (!m_window->isServiceAvailable())
        return m_window.get();
    if (show)
        m_window->show();
    return waitUntil([this] { return m_sim->session(); }) ? m_window.get() : nullptr;
}

void TavrinTestDesktop::send(const QByteArray &bytes)
{
    if (QTavrinSimSession *session = m_sim->session())
        session->send(bytes);
}

// The barrier: a sample of type 0 whose value the graph's description shows once handled.
bool TavrinTestDesktop::deliver(const QByteArray &bytes)
{
    auto *graph = widget<QVPNBandwidthWidget>("bandwidth_widget");
    const quint32 marker = 20 * ++m_barrier;
    send(bytes + buildBandwidthFrame(0, marker, 0));
    const QString shown = formatBandwidth(marker >> 1);
    return graph && waitUntil([&] { return graph->accessibleDescription().contains(shown); });
}

QList<QByteArray> TavrinTestDesktop::received() const
{
    QList<QByteArray> frames; // "SVC RECV session=1 type=2 len=3 <hex>"
    for (const QString &line : log().filter(QRegularExpression("^SVC RECV session=")))
        frames.append(QByteArray::fromHex(line.section(' ', 5).toLatin1()));
    return frames;
}

bool TavrinTestDesktop::waitForReceived(int count) const
{
    return waitUntil([&] { return received().size() >= count; });
}

QStringList TavrinTestDesktop::log() const
{
    QMutexLocker locker(&logMutex);
    return logLines;
}

bool TavrinTestDesktop::waitForLog(const QString &pattern, int count) const
{
    const QRegularExpression expression(pattern);
    return waitUntil([&] { return log().filter(expression).size() >= count; });
}

// The user, from a timer, which also runs in the box's own event loop.
void TavrinTestDesktop::closeBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    if (box != m_seen)
        m_boxes.append(Box{box->windowTitle(), box->text(), box->icon()});
    m_seen = box;
    if (m_holdBoxes)
        return;
    if (QAbstractButton *ok = box->button(QMessageBox::Ok))
        ok->click();
    else
        box->reject();
}
