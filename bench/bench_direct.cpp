// The window's estimate and bundle jobs (runEstimate, runBundle, with the warm
// packer) against the bundled packer run directly on the same folder with
// the same options, measured in the same run: a first estimate, estimates
// after one small change, and a bundle right after an estimate. Real-sized
// generated trees (2-20 KB a file) and a real tree of this machine; nothing
// passes or fails on time.
#include "BenchSupport.h"
#include "KeptBundle.h"
#include "PackerJobs.h"
#include "PackerOutput.h"
#include "RunSummary.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <fstream>
#include <memory>

using namespace bench;

namespace {

int g_runs = 3;
int g_failures = 0;

struct Tree
{
    QString name;
    fs::path path;
    bool changes = false; // also time estimates after one change, and the bundle
};

// A wrapper whose warm packer has served one tiny estimate: nothing of the
// tree is kept in it yet (in the window its start hides behind the delay
// after the drop).
std::unique_ptr<RepomixWrapper> warmWrapper(const fs::path &scratch)
{
    auto wrapper = std::make_unique<RepomixWrapper>(packer());
    wrapper->startService();
    writeTextFile(scratch / "tiny" / "a.txt", 100, 1);
    JobInput tiny;
    tiny.files = {QUrl::fromLocalFile(QFile::decodeName((scratch / "tiny").c_str()))};
    if (!runEstimate(*wrapper, tiny, {}))
        ++g_failures;
    return wrapper;
}

// Seconds of one estimate of `input`, and its totals; -1 when it failed.
double timedEstimate(RepomixWrapper &wrapper, const JobInput &input, RunSummary *totals = nullptr,
                     KeptBundle *kept = nullptr)
{
    const double start = now();
    const Result<JobResult> result = runEstimate(wrapper, input, {}, kept);
    const double seconds = now() - start;
    if (!result) {
        std::fprintf(out(), "  estimate failed: %s\n", qPrintable(result.error().toString()));
        ++g_failures;
        return -1;
    }
    if (totals)
        *totals = result.value().summary;
    return seconds;
}

double timedBundle(RepomixWrapper &wrapper, const JobInput &input, const QString &destination, KeptBundle *kept,
                   QByteArray *bytes)
{
    const double start = now();
    const Result<JobResult> result = runBundle(wrapper, input, destination, {}, {}, kept);
    const double seconds = now() - start;
    if (!result) {
        std::fprintf(out(), "  bundle failed: %s\n", qPrintable(result.error().toString()));
        ++g_failures;
        return -1;
    }
    bytes->clear();
    for (const QString &file : result.value().outputFiles) {
        QFile part(file);
        if (part.open(QIODevice::ReadOnly))
            *bytes += part.readAll();
        part.remove();
    }
    return seconds;
}

void printRow(const char *what, const std::vector<double> &seconds, double direct, const char *target)
{
    const double m = median(seconds);
    std::fprintf(out(), "  %-44s %8.2f s  %6.2f x  %-8s (", what, m, m / direct, target);
    for (size_t i = 0; i < seconds.size(); ++i)
        std::fprintf(out(), "%s%.2f", i ? " " : "", seconds[i]);
    std::fprintf(out(), ")\n");
}

void expectFiles(const char *what, const RunSummary &totals, qint64 files)
{
    if (totals.totalFiles == files)
        return;
    std::fprintf(out(), "  %s: %lld files packed, %lld expected\n", what, totals.totalFiles, files);
    ++g_failures;
}

// One more line at the end of `file`, so that its size, time and content change.
void touchContent(const fs::path &file, int run)
{
    std::ofstream(file, std::ios::app) << "// edited in run " << run << '\n';
}

void measure(const Tree &tree, const fs::path &scratch)
{
    const TreeSize size = measureTree(tree.path);
    const QString directory = QFile::decodeName(tree.path.c_str());
    const QString directOutput = QFile::decodeName((scratch / "direct.txt").c_str());
    JobInput input;
    input.files = {QUrl::fromLocalFile(directory)};

    // The baseline and the first estimates, alternating; each first estimate
    // on a wrapper of its own, so that it keeps nothing from the one before.
    runPackerDirectly(userArguments(directOutput), directory); // warm-up: the disk cache
    std::vector<double> direct;
    std::vector<double> first;
    qint64 directFiles = 0;
    RunSummary firstTotals;
    for (int run = 0; run < g_runs; ++run) {
        QFile::remove(directOutput);
        const DirectRun baseline = runPackerDirectly(userArguments(directOutput), directory);
        if (baseline.exitCode != 0)
            ++g_failures;
        direct.push_back(baseline.seconds);
        directFiles = parseSummary(baseline.report).totalFiles;
        std::unique_ptr<RepomixWrapper> fresh = warmWrapper(scratch);
        first.push_back(timedEstimate(*fresh, input, &firstTotals));
    }
    QFile::remove(directOutput);
    const double directMedian = median(direct);
    std::fprintf(out(), "\n%s: %lld files, %.0f MB; load %s\n", qPrintable(tree.name), size.files, size.bytes / 1e6,
                 qPrintable(loadAverage()));
    std::fprintf(out(), "  %-44s %8.2f s  %6s    %-8s (", "the packer run directly (baseline)", directMedian, "1.00", "");
    for (size_t i = 0; i < direct.size(); ++i)
        std::fprintf(out(), "%s%.2f", i ? " " : "", direct[i]);
    std::fprintf(out(), ")\n");
    printRow("first estimate", first, directMedian, size.files >= 5000 ? "<= 1.0" : "<= 0.6");
    if (firstTotals.totalFiles != directFiles) {
        std::fprintf(out(), "  the estimate packed %lld files, the direct run %lld\n", firstTotals.totalFiles, directFiles);
        ++g_failures;
    }
    if (!tree.changes)
        return;

    // One wrapper from here on: what it kept of earlier estimates is the point.
    std::unique_ptr<RepomixWrapper> wrapper = warmWrapper(scratch);
    timedEstimate(*wrapper, input);
    std::vector<fs::path> files;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(tree.path)) {
        if (entry.is_regular_file() && entry.path().extension() != ".md")
            files.push_back(entry.path());
        if (files.size() == 64)
            break;
    }
    const auto relative = [&](const fs::path &file) {
        return QFile::decodeName(file.lexically_relative(tree.path).generic_string().c_str());
    };

    std::vector<double> changed;
    std::vector<double> unticked;
    std::vector<double> pattern;
    for (int run = 0; run < g_runs; ++run) {
        touchContent(files[static_cast<size_t>(run)], run);
        RunSummary totals;
        changed.push_back(timedEstimate(*wrapper, input, &totals));
        expectFiles("one file changed", totals, firstTotals.totalFiles);

        JobInput without = input;
        without.ticks[input.files.first()].unticked = {relative(files[static_cast<size_t>(16 + run)])};
        unticked.push_back(timedEstimate(*wrapper, without, &totals));
        expectFiles("one file unticked", totals, firstTotals.totalFiles - 1);

        // Another name each run: the pattern is new to what was kept.
        JobInput ignoring = input;
        ignoring.ignorePatterns = QStringLiteral("**/") + QString::fromStdString(files[static_cast<size_t>(32 + run)].filename().string());
        pattern.push_back(timedEstimate(*wrapper, ignoring, &totals));
        expectFiles("an ignore pattern added", totals, firstTotals.totalFiles - 1);
        timedEstimate(*wrapper, input); // back to the whole tree for the next change
    }
    printRow("estimate after one file changed", changed, directMedian, "<= 0.15");
    printRow("estimate after one file unticked", unticked, directMedian, "<= 0.15");
    printRow("estimate after one ignore pattern added", pattern, directMedian, "<= 0.15");

    // A bundle right after an estimate of the same selection, against a
    // bundle that runs the packer (the same warm wrapper, nothing reused but
    // what the warm packer keeps per file), alternating; the files must be
    // old enough for their identities to count.
    runEventsFor(2.5);
    KeptBundle kept;
    std::vector<double> reused;
    std::vector<double> normal;
    bool identical = true;
    const QString destination = QFile::decodeName((scratch / "bundle.txt").c_str());
    for (int run = 0; run < g_runs; ++run) {
        timedEstimate(*wrapper, input, nullptr, &kept);
        QByteArray afterEstimate;
        QByteArray ofItsOwn;
        reused.push_back(timedBundle(*wrapper, input, destination, &kept, &afterEstimate));
        normal.push_back(timedBundle(*wrapper, input, destination, nullptr, &ofItsOwn));
        identical = identical && !afterEstimate.isEmpty() && afterEstimate == ofItsOwn;
    }
    const double normalMedian = median(normal);
    printRow("bundle that runs the packer (warm)", normal, directMedian, "");
    printRow("bundle right after an estimate", reused, directMedian, "");
    std::fprintf(out(), "  %-44s %8.2f x  (target <= 0.1), bytes %s\n", "  ... against the bundle that runs the packer",
                 median(reused) / normalMedian, identical ? "identical" : "DIFFER");
    if (!identical)
        ++g_failures;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--runs")); at > 0 && at + 1 < args.size())
        g_runs = std::max(1, args.at(at + 1).toInt());
    const bool quick = args.contains(QStringLiteral("--quick")); // the 1,000-file tree only, all of it
    int only = 0; // --files N: one generated tree of N files, all of it
    if (const qsizetype at = args.indexOf(QStringLiteral("--files")); at > 0 && at + 1 < args.size())
        only = args.at(at + 1).toInt();

    // Helpers of bench_app.sh: a generated tree, and the baseline on a folder.
    if (args.size() == 4 && args.at(1) == QStringLiteral("--make-tree")) {
        makeRealSizedTree(fs::path(QFile::encodeName(args.at(2)).toStdString()), args.at(3).toInt());
        return 0;
    }
    if (args.size() >= 3 && args.at(1) == QStringLiteral("--direct")) {
        const QString ignore = args.size() == 5 && args.at(3) == QStringLiteral("--ignore") ? args.at(4) : QString();
        QTemporaryDir scratch;
        const DirectRun run = runPackerDirectly(userArguments(scratch.filePath(QStringLiteral("out.txt")), ignore),
                                                QDir(args.at(2)).absolutePath());
        std::printf("%.2f %lld\n", run.seconds, parseSummary(run.report).totalFiles);
        return run.exitCode == 0 ? 0 : 1;
    }

    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/lumbrel-bench-direct-XXXXXX"));
    const QString logFile = QDir::temp().filePath(QStringLiteral("lumbrel-bench-direct.log"));
    captureLog(logFile);
    const fs::path base = fs::path(QFile::encodeName(work.path()).toStdString());

    std::vector<Tree> trees;
    const std::vector<int> sizes = only > 0 ? std::vector<int>{only} : quick ? std::vector<int>{1000} : std::vector<int>{1000, 10000};
    for (const int files : sizes) {
        const fs::path path = base / ("generated-" + std::to_string(files));
        makeRealSizedTree(path, files);
        trees.push_back({QStringLiteral("generated, %1 files of 2-20 KB").arg(files), path, files == 10000 || quick || only});
    }
    if (!quick && only == 0) {
        for (const char *real : {"/usr/include/x86_64-linux-gnu/qt6"}) {
            if (fs::is_directory(real))
                trees.push_back({QString::fromUtf8(real), real, false});
        }
    }

    std::fprintf(out(), "bench_direct: medians of %d runs; load average at start %s\n", g_runs,
                 qPrintable(loadAverage()));
    std::fprintf(out(), "  %-44s %10s  %6s    %-8s %s\n", "", "median", "ratio", "target", "(each run, s)");
    for (const Tree &tree : trees)
        measure(tree, base / "scratch");
    std::fprintf(out(), "\nbench_direct: load average at end %s; log in %s\n", qPrintable(loadAverage()),
                 qPrintable(logFile));
    return g_failures == 0 ? 0 : 1;
}
