#include "sim/qtavrinsimprocess.h"

#include <QtCore/qdeadlinetimer.h>

QTavrinSimProcess::QTavrinSimProcess(QObject *parent)
    : QObject(parent)
{
    connect(&m_process, &QProcess::readyReadStandardOutput, this,
            &QTavrinSimProcess::process_readyReadStandardOutput);
    connect(&m_process, &QProcess::readyReadStandardError, this,
            &QTavrinSimProcess::process_readyReadStandardError);
}

QTavrinSimProcess::~QTavrinSimProcess()
{
    stop(5000);
}

bool QTavrinSimProcess::start(const QString &program, const QStringList &arguments, int timeoutMs)
{
    if (program.isEmpty()) {
        m_error = QStringLiteral("tavrin-sim has not been built");
        return false;
    }
    m_process.start(program, QStringList(arguments)
                                     << QStringLiteral("--port") << QStringLiteral("0"));
    if (!m_process.waitForStarted(timeoutMs)) {
        m_error = m_process.errorString();
        return false;
    }
    static const QRegularExpression portLine(QStringLiteral("^PORT (\\d+)$"));
    // Written once both sides listen.
    static const QRegularExpression ready(
            QStringLiteral(" SIM client environment: TAVRIN_API_HOST=(\\S+)$"));
    if (!waitForLine(portLine, timeoutMs) || !waitForLine(ready, timeoutMs)) {
        m_error = QStringLiteral("tavrin-sim did not start: ") + m_errorOutput;
        stop();
        return false;
    }
    m_port = portLine.match(m_lines.first()).captured(1).toInt();
    m_apiHost = ready.match(linesMatching(ready).first()).captured(1);
    return true;
}

bool QTavrinSimProcess::stop(int timeoutMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    m_process.terminate();
    if (!m_process.waitForFinished(timeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(timeoutMs);
        return false;
    }
    process_readyReadStandardOutput();
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

QStringList QTavrinSimProcess::linesMatching(const QRegularExpression &pattern) const
{
    QStringList found;
    for (const QString &line : m_lines) {
        if (pattern.match(line).hasMatch())
            found.append(line);
    }
    return found;
}

int QTavrinSimProcess::countLines(const QRegularExpression &pattern) const
{
    return linesMatching(pattern).size();
}

bool QTavrinSimProcess::waitForLine(const QRegularExpression &pattern, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    forever {
        if (countLines(pattern) > 0)
            return true;
        if (m_process.state() == QProcess::NotRunning || deadline.hasExpired())
            return false;
        if (m_process.waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 200))))
            process_readyReadStandardOutput();
    }
}

void QTavrinSimProcess::process_readyReadStandardOutput()
{
    m_partialLine += m_process.readAllStandardOutput();
    int newline;
    while ((newline = m_partialLine.indexOf('\n')) >= 0) {
        // A Windows program's standard output ends its lines with "\r\n".
        const int end = newline > 0 && m_partialLine.at(newline - 1) == '\r' ? newline - 1
                                                                             : newline;
        const QString line = QString::fromUtf8(m_partialLine.left(end));
        m_partialLine.remove(0, newline + 1);
        m_lines.append(line);
        emit lineRead(line);
    }
}

void QTavrinSimProcess::process_readyReadStandardError()
{
    m_errorOutput += QString::fromLocal8Bit(m_process.readAllStandardError());
}
