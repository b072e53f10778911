#include "sim/qtavrinsimsignalwatcher.h"

// On Windows Ctrl+C ends a console program the default way; there is no socket file to
// remove, so there is nothing to watch.

QTavrinSimSignalWatcher::QTavrinSimSignalWatcher(QObject *parent)
    : QObject(parent)
{}

QTavrinSimSignalWatcher::~QTavrinSimSignalWatcher() = default;

void QTavrinSimSignalWatcher::notifier_activated() {}
