// The window's responsiveness while it reads a large folder: the real main window (offscreen unless told otherwise)
// reads the folder given as the only argument, typed into the folder box and entered with Enter, while a 10 ms timer
// on the UI thread records the gaps between its ticks, from just before the Enter until the queue's last check has
// ended. Prints the gaps' largest value and 99th percentile and the queue's total time. Before that, the same timer
// runs for a few seconds with the window idle: the gaps the machine itself causes (other processes on the cores).

#include "catalog/CatalogEngine.h"
#include "window/Main.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int IdleMilliseconds = 5000;

struct GapFigures
{
    double Largest = 0;
    double Percentile99 = 0;
    double Median = 0;
};

GapFigures figures(std::vector<double> gaps)
{
    if (gaps.empty())
        return {};
    std::sort(gaps.begin(), gaps.end());
    return {gaps.back(), gaps[std::min(gaps.size() - 1, static_cast<std::size_t>(0.99 * gaps.size()))],
            gaps[gaps.size() / 2]};
}

} // namespace

int main(int argc, char** argv)
{
    const bool subfolders = argc == 3 && qstrcmp(argv[1], "--subfolders") == 0;
    if (argc != 2 && !subfolders) {
        std::fprintf(stderr, "usage: window_bench [--subfolders] <folder of PO files>\n");
        return 2;
    }
    // The settings of a run stay out of the user's; with --subfolders they ask for every PO file below the folder.
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    if (subfolders) {
        QDir().mkpath(configHome.filePath(QStringLiteral("Velloran/Quillmark")));
        QFile settings(configHome.filePath(QStringLiteral("Velloran/Quillmark/settings.json")));
        if (!settings.open(QIODevice::WriteOnly) || settings.write("{\"Subfolders\": 1}\n") < 0)
            return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[argc - 1]);
    TFrmMain window({QStringLiteral("quillmark")});
    window.show();
    QApplication::processEvents();

    QElapsedTimer clock;
    std::vector<double> gaps;
    /// When each gap ended, in ms since the Enter.
    std::vector<double> gapEnds;
    qint64 lastTick = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        gaps.push_back(static_cast<double>(now - lastTick) / 1e6);
        gapEnds.push_back(static_cast<double>(now) / 1e6);
        lastTick = now;
    });

    double totalMs = 0;
    QObject::connect(&window.Engine(), &CatalogEngine::queueFinished, [&] {
        totalMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        QCoreApplication::exit(0);
    });
    // Idle first, then the read.
    std::vector<double> idleGaps;
    QTimer::singleShot(0, [&] {
        clock.start();
        ticker.start();
    });
    QTimer::singleShot(IdleMilliseconds, [&] {
        ticker.stop();
        idleGaps.swap(gaps);
        gapEnds.clear();
        lastTick = 0;
        window.EdtDir->setEditText(folder);
        window.EdtDir->setFocus();
        clock.start();
        ticker.start();
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QCoreApplication::sendEvent(window.EdtDir, &enter);
    });
    QApplication::exec();
    // The gap that is still open when the queue ends counts too.
    gaps.push_back(static_cast<double>(clock.nsecsElapsed() - lastTick) / 1e6);
    gapEnds.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);

    const int rows = window.Engine().Rows().count();
    int checked = 0;
    for (const CatalogRow& row : window.Engine().Rows().rows())
        checked += row.Texts[CatalogRow::TextStatus].isEmpty() ? 0 : 1;
    const GapFigures idle = figures(idleGaps);
    const GapFigures reading = figures(gaps);
    std::printf("rows: %d, checked: %d, checks at once: %d\n", rows, checked, window.Engine().Jobs);
    std::printf("queue total: %.0f ms (%.2f ms a file)\n", totalMs, rows ? totalMs / rows : 0.0);
    std::printf("idle window, %zu ticks: gap largest %.1f ms, 99th percentile %.1f ms, median %.1f ms\n",
                idleGaps.size(), idle.Largest, idle.Percentile99, idle.Median);
    std::printf("reading, %zu ticks: gap largest %.1f ms, 99th percentile %.1f ms, median %.1f ms\n", gaps.size(),
                reading.Largest, reading.Percentile99, reading.Median);
    const auto worst = std::max_element(gaps.begin(), gaps.end()) - gaps.begin();
    std::printf("largest gap ended %.0f ms after the Enter (tick %td); gaps over 50 ms: %td\n", gapEnds[worst], worst,
                std::count_if(gaps.begin(), gaps.end(), [](double gap) { return gap > 50.0; }));
    std::printf("goal (no gap over 100 ms): %s\n", reading.Largest <= 100.0 ? "met" : "NOT met");
    return rows == checked && rows > 0 ? 0 : 1;
}
