#include "tavrinsignalrecorder.h"

#include <QtTest/qtest.h>

TavrinSignalRecorder::TavrinSignalRecorder(QTavrinServiceConnection *c)
{
    using C = QTavrinServiceConnection;
    const auto add = [this](const QString &line) { lines.append(line); };
    connect(c, &C::credentials, this,
            [add](const QByteArray &text) { add("credentials " + QString::fromLatin1(text)); });
    connect(c, &C::notifyStatusChange, this,
            [add](char state) { add(QStringLiteral("state %1").arg(quint8(state))); });
    connect(c, &C::assignedIP, this,
            [add](const QByteArray &ip) { add("ip " + QString::fromLatin1(ip)); });
    connect(c, &C::startTime, this, [add](uint time) { add(QStringLiteral("start %1").arg(time)); });
    connect(c, &C::updateBandwidth, this, [add](uchar type, uint download, uint upload) {
        add(QStringLiteral("bandwidth %1 %2 %3").arg(type).arg(download).arg(upload));
    });
    connect(c, &C::loginFailed, this, [add] { add(QStringLiteral("login failed")); });
    connect(c, &C::error, this, [add](const QString &text) { add("error " + text); });
}

bool TavrinSignalRecorder::waitFor(const QString &line)
{
    return QTest::qWaitFor([&] { return lines.contains(line); }, 20000);
}
