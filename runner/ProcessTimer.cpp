#include "runner/ProcessTimer.h"

TProcessTimer::TProcessTimer(QObject* owner)
    : QTimer(owner)
{
    // A coarse timer may drift by 5% a tick, and the limits count whole seconds.
    setTimerType(Qt::PreciseTimer);
    connect(this, &QTimer::timeout, this, &TProcessTimer::Tick);
}

void TProcessTimer::StartCounting()
{
    TimeAfterBeginning.store(0);
    TimeAfterLastOutput.store(0);
    FCounting.store(true);
    start(1000);
}

void TProcessTimer::Tick()
{
    // The reader thread cannot stop a timer of the UI thread, so it only marks the counting as over and
    // the timer stops itself here.
    if (!FCounting.load()) {
        stop();
        return;
    }
    TimeAfterBeginning.fetch_add(1);
    TimeAfterLastOutput.fetch_add(1);
}
