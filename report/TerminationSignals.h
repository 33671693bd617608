#ifndef QUILLMARK_REPORT_TERMINATIONSIGNALS_H
#define QUILLMARK_REPORT_TERMINATIONSIGNALS_H

#include <QObject>

class QSocketNotifier;

/// Turns SIGINT and SIGTERM into a Qt signal on the UI thread's event loop, through a signalfd. The
/// signals must be blocked in every thread for that, so block() comes first in main, before any thread
/// exists: threads started later (the runner's readers) inherit the mask, and the runner unblocks them for
/// its children.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    /// Blocks the signals in the calling thread; call before any other thread is started.
    static void block();
    /// Ends the program by the signal, as if it had never been caught.
    [[noreturn]] static void raiseDefault(int signal);

    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received(int signal);

private:
    void readSignals();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
};

#endif // QUILLMARK_REPORT_TERMINATIONSIGNALS_H
