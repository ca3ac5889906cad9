// Measures what many chosen files cost against the same files chosen as one
// folder, for 1,000, 10,000 and 50,000 files:
//
//   adding    the drop of N paths to the window's list (FileSelection, merged
//             off the UI thread) against the drop of their folder; the longest
//             gap between the ticks of a 5 ms timer on the UI thread meanwhile;
//             and the plain list scan that adding replaced (up to 10,000)
//   estimate  the window's estimate job (stage, run the packer, read the
//             totals) on the N paths against the same job on the folder
//
// Every figure is one run (the estimates of 50,000 files take minutes);
// the ratios compare figures taken in this run. Nothing here asserts on time.

#include "BenchSupport.h"

#include "FileSelection.h"
#include "PackerJobs.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace bench;

namespace {

struct Adding
{
    double seconds = 0;
    double longestGap = 0; // on the UI thread, seconds
};

// Drops `urls` on a fresh selection the way the window does and waits until
// they are in, with a 5 ms timer ticking on this thread meanwhile.
Adding drop(const QList<QUrl> &urls, qsizetype expected)
{
    FileSelection selection;
    Adding result;
    double lastTick = now();
    QTimer ticks;
    ticks.setInterval(5);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const double at = now();
        result.longestGap = std::max(result.longestGap, at - lastTick);
        lastTick = at;
    });
    ticks.start();
    bool done = false;
    const double start = now();
    lastTick = start;
    selection.addDropped(urls, [&](bool) { done = true; });
    runEventsUntil([&] { return done; }, 600);
    result.seconds = now() - start;
    result.longestGap = std::max(result.longestGap, now() - lastTick);
    if (selection.files()->count() != expected)
        std::fprintf(out(), "  the list holds %d entries, not %lld\n", selection.files()->count(), static_cast<long long>(expected));
    return result;
}

// The scan adding made before: every new entry compared with every listed one.
double plainScan(const QList<QUrl> &urls)
{
    const double start = now();
    QList<QUrl> list;
    for (const QUrl &url : urls) {
        bool held = false;
        for (const QUrl &listed : std::as_const(list))
            held = held || FileListModel::contains(listed, url);
        if (!held)
            list << url;
    }
    return now() - start;
}

struct Estimate
{
    double seconds = 0;
    qint64 files = 0;
    bool ok = false;
};

Estimate estimate(RepomixWrapper &wrapper, const QList<QUrl> &items)
{
    Estimate result;
    const double start = now();
    const Result<JobResult> run = runEstimate(wrapper, JobInput{items, OptionValues(), QString(), QString(), {}}, {});
    result.seconds = now() - start;
    result.ok = run.ok();
    if (run)
        result.files = run.value().summary.totalFiles;
    else
        std::fprintf(out(), "  estimate failed: %s\n", qPrintable(run.error().description));
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/lumbrel-bench-selection-XXXXXX"));
    const fs::path base = fs::path(QFile::encodeName(work.path()).toStdString());
    const QString logFile = QDir::temp().filePath(QStringLiteral("lumbrel-bench-selection.log"));
    captureLog(logFile);
    std::fprintf(out(), "bench_selection: load average at start %s\n", qPrintable(loadAverage()));

    RepomixWrapper wrapper(packer());
    bool ok = true;
    std::fprintf(out(), "\n  %7s | %10s %10s %9s %12s | %10s %10s %7s | %s\n", "files", "add paths", "add folder",
                 "UI gap", "plain scan", "est. paths", "est. folder", "ratio", "load average");
    for (const int count : {1000, 10000, 50000}) {
        const fs::path tree = base / ("tree-" + std::to_string(count));
        makeSourceTree(tree, count);
        QList<QUrl> paths;
        for (const fs::directory_entry &entry : fs::recursive_directory_iterator(tree)) {
            if (entry.is_regular_file())
                paths << QUrl::fromLocalFile(QFile::decodeName(entry.path().c_str()));
        }
        std::sort(paths.begin(), paths.end());
        const QList<QUrl> folder{QUrl::fromLocalFile(QFile::decodeName(tree.c_str()))};

        const Adding addPaths = drop(paths, paths.size());
        const Adding addFolder = drop(folder, 1);
        const double scan = count <= 10000 ? plainScan(paths) : -1;
        const Estimate byPaths = estimate(wrapper, paths);
        const Estimate byFolder = estimate(wrapper, folder);
        ok = ok && byPaths.ok && byFolder.ok && byPaths.files == count && byFolder.files == count;
        const double totalPaths = addPaths.seconds + byPaths.seconds;
        const double totalFolder = addFolder.seconds + byFolder.seconds;
        std::fprintf(out(), "  %7d | %8.1fms %8.1fms %7.1fms %10s | %9.1fs %9.1fs %7.2f | %s\n", count,
                     addPaths.seconds * 1000, addFolder.seconds * 1000, addPaths.longestGap * 1000,
                     scan < 0 ? "-" : qPrintable(QStringLiteral("%1ms").arg(scan * 1000, 0, 'f', 1)),
                     byPaths.seconds, byFolder.seconds, totalPaths / totalFolder, qPrintable(loadAverage()));
        fs::remove_all(tree);
    }
    std::fprintf(out(), "\nratio: (adding + estimate) of the paths / the same of the folder.\n"
                        "UI gap: the longest pause of the UI thread's 5 ms timer while the paths were added.\n"
                        "plain scan: the list scan that adding made before, on the same paths.\n"
                        "%s\nThe runner's log lines: %s\n",
                 ok ? "All runs succeeded with every file packed." : "SOME RUNS FAILED (see above).", qPrintable(logFile));
    return ok ? 0 : 1;
}
