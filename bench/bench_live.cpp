// The live estimate as the window gets it: from updateEstimates() until the
// totals are published, through ContentView, with the warm packer against the
// packer's command line (the fallback), on generated trees of 1, 200, 1,000
// and 10,000 files. Ratios come from the same run; nothing passes or fails
// on time.
#include "BenchSupport.h"
#include "ContentView.h"

#include <QDir>
#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

using namespace bench;

namespace {
constexpr int kRuns = 5;

// Times one estimate of `view`'s selection; -1 when it failed or took too long.
double timedEstimate(ContentView &view)
{
    EstimatesManager *estimates = view.estimatesManager();
    bool published = false;
    const auto connection = QObject::connect(estimates, &EstimatesManager::isEstimatingChanged, [&] {
        if (!estimates->isEstimating())
            published = true;
    });
    const double start = now();
    view.updateEstimates();
    const bool ok = runEventsUntil([&] { return published; }, 900) && estimates->errorMessage().isEmpty();
    QObject::disconnect(connection);
    return ok ? now() - start : -1;
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/lumbrel-bench-live-XXXXXX"));
    const QString logFile = QDir::temp().filePath(QStringLiteral("lumbrel-bench-live.log"));
    captureLog(logFile);
    const fs::path base = fs::path(QFile::encodeName(work.path()).toStdString());

    QSettings store(work.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    BundleOptions options(&store);
    ContentView warm(&options, packer());
    ContentView cold(&options, packer());
    warm.repomix().startService();

    std::fprintf(out(), "bench_live: load average at start %s\n", qPrintable(loadAverage()));
    std::fprintf(out(), "%8s  %12s  %12s  %7s  %s\n", "files", "warm (s)", "command (s)", "ratio", "target");
    int failures = 0;
    for (const auto &[files, target] : std::vector<std::pair<int, const char *>>{
             {1, "<= 0.15"}, {200, "<= 0.25"}, {1000, "-"}, {10000, "<= 0.85"}}) {
        const fs::path tree = base / ("tree-" + std::to_string(files));
        makeSourceTree(tree, files);
        const QUrl url = QUrl::fromLocalFile(QFile::decodeName(tree.c_str()));
        for (ContentView *view : {&warm, &cold}) {
            view->clearAll();
            view->addFile(url);
            timedEstimate(*view); // warm-up: caches, the service's pools
        }
        std::vector<double> warmTimes;
        std::vector<double> coldTimes;
        for (int run = 0; run < kRuns; ++run) { // alternating, each run starting with the other
            for (int turn = 0; turn < 2; ++turn) {
                const bool useWarm = (run + turn) % 2 == 0;
                const double seconds = timedEstimate(useWarm ? warm : cold);
                if (seconds < 0)
                    ++failures;
                (useWarm ? warmTimes : coldTimes).push_back(seconds);
            }
        }
        if (warm.totalFiles() != cold.totalFiles() || warm.estimatedTokens() != cold.estimatedTokens()) {
            std::fprintf(out(), "totals differ for %d files: %lld/%lld files, %lld/%lld tokens\n", files,
                         warm.totalFiles(), cold.totalFiles(), warm.estimatedTokens(), cold.estimatedTokens());
            ++failures;
        }
        const double w = median(warmTimes);
        const double c = median(coldTimes);
        std::fprintf(out(), "%8d  %12.3f  %12.3f  %7.2f  %s\n", files, w, c, w / c, target);
    }
    std::fprintf(out(), "bench_live: load average at end %s; log in %s\n", qPrintable(loadAverage()), qPrintable(logFile));
    return failures == 0 ? 0 : 1;
}
