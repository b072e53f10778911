#ifndef QTAVRINSIMPROCESS_H
#define QTAVRINSIMPROCESS_H

#include <QtCore/qobject.h>
#include <QtCore/qprocess.h>
#include <QtCore/qregularexpression.h>
#include <QtCore/qstringlist.h>

// Runs tavrin-sim as a child process for tests and demos: starts it on a free port, reads the
// port from its first line, keeps every line it logs, and stops it (SIGTERM, then SIGKILL) when
// asked or when destroyed. The child inherits the environment, TMPDIR included, so its socket
// "Tavrin" lands where a client started from the same environment looks for it.
class QTavrinSimProcess : public QObject
{
    Q_OBJECT

public:
    explicit QTavrinSimProcess(QObject *parent = nullptr);
    ~QTavrinSimProcess() override;

    // Starts the program with the arguments and "--port 0"; returns once the program listens
    // on both sides, or false (with the reason in errorString()) when it did not start or
    // ended within the time limit.
    bool start(const QString &program, const QStringList &arguments = QStringList(),
               int timeoutMs = 20000);
    // Asks the program to end and waits for it; kills it when it does not. Returns whether it
    // ended by itself with exit code 0.
    bool stop(int timeoutMs = 10000);

    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    int port() const { return m_port; }
    // "http://127.0.0.1:<port>" (https when it serves TLS), the value for TAVRIN_API_HOST.
    QString apiHost() const { return m_apiHost; }
    QString errorString() const { return m_error; }
    QProcess *process() { return &m_process; }

    // Every complete line of standard output so far, the port line included.
    QStringList lines() const { return m_lines; }
    QStringList linesMatching(const QRegularExpression &pattern) const;
    int countLines(const QRegularExpression &pattern) const;
    QString errorOutput() const { return m_errorOutput; }

signals:
    void lineRead(const QString &line);

private slots:
    void process_readyReadStandardOutput();
    void process_readyReadStandardError();

private:
    bool waitForLine(const QRegularExpression &pattern, int timeoutMs);

    QProcess m_process;
    QByteArray m_partialLine;
    QStringList m_lines;
    QString m_errorOutput;
    QString m_error;
    int m_port = -1;
    QString m_apiHost;
};

#endif // QTAVRINSIMPROCESS_H
