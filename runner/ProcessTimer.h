#ifndef QUILLMARK_RUNNER_PROCESSTIMER_H
#define QUILLMARK_RUNNER_PROCESSTIMER_H

#include <QTimer>

#include <atomic>

/// Counts whole seconds for a runner's time limits. Ticks arrive on the UI thread; the reader thread
/// reads the counters, resets the silence counter and stops counting, so all of them are atomic.
class TProcessTimer : public QTimer
{
    Q_OBJECT

public:
    explicit TProcessTimer(QObject* owner = nullptr);

    /// Seconds since StartCounting.
    std::atomic<int> TimeAfterBeginning{0};
    /// Seconds since the last complete output line.
    std::atomic<int> TimeAfterLastOutput{0};

    /// UI thread only: both counters to 0, ticking every 1000 ms.
    void StartCounting();
    /// Any thread.
    void ResetLastOutput() { TimeAfterLastOutput.store(0); }
    /// Any thread: no further tick counts; the counters keep their values.
    void StopCounting() { FCounting.store(false); }

    bool isCounting() const { return FCounting.load(); }

private:
    void Tick();

    std::atomic<bool> FCounting{false};
};

#endif // QUILLMARK_RUNNER_PROCESSTIMER_H
