// Measures the runner's two steps against plain tools doing the same work:
//
//   stageFiles   against  `cp -a` of the same item into the same file system
//   runRepomix   against  the same packer command started directly
//
// on three trees: a generated project with dependency folders, the same
// project without them, and the Qt headers as a real source tree. Every
// figure is the median of several warm runs (one warm-up first); the ratios
// compare figures taken in this run. Nothing here asserts on time.

#include "BenchSupport.h"

#include "RepomixWrapper.h"
#include "RunSummary.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace bench;

namespace {

constexpr int kRuns = 5;

struct Case
{
    const char *name;
    fs::path item;      // what the user drops
    double stageTarget; // stageFiles / cp -a
};

struct Row
{
    TreeSize input;
    TreeSize staged;
    double stageSeconds = 0;
    double copySeconds = 0;
    double wrapperSeconds = 0;
    double directSeconds = 0;
    bool sameTotals = true;
    bool allRunsOk = true;
    RunSummary totals;
    double memoryBefore = 0;
    double stagingPeak = 0;
    double wrapperPeak = 0;
    double directPeak = 0;
};

double mib(qint64 bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

Row measure(RepomixWrapper &wrapper, const Case &input, const fs::path &scratch)
{
    Row row;
    row.input = measureTree(input.item);
    row.memoryBefore = currentMemoryMiB();
    const QList<QUrl> items{QUrl::fromLocalFile(QFile::decodeName(input.item.c_str()))};

    // --- stageFiles against cp -a -------------------------------------------
    std::vector<double> stageTimes;
    std::vector<double> copyTimes;
    resetPeakMemory();
    for (int run = -1; run < kRuns; ++run) { // run -1 warms the cache
        double stageSeconds = 0;
        double copySeconds = 0;
        const auto stage = [&] {
            const double start = now();
            const Result<QUrl> staged = wrapper.stageFiles(items);
            stageSeconds = now() - start;
            if (!staged) {
                std::fprintf(out(), "  stageFiles failed: %s\n", qPrintable(staged.error().toString()));
                row.allRunsOk = false;
                return;
            }
            const fs::path stagedPath = fs::path(QFile::encodeName(staged.value().toLocalFile()).toStdString());
            row.staged = measureTree(stagedPath);
            fs::remove_all(stagedPath);
        };
        const auto copy = [&] {
            const fs::path copyParent = scratch / ("cp-" + std::to_string(run + 1));
            fs::create_directories(copyParent);
            copySeconds = copyWithCp(input.item, copyParent / input.item.filename());
            fs::remove_all(copyParent);
            if (copySeconds < 0)
                row.allRunsOk = false;
        };
        // Alternate which goes first, as below for the packer runs.
        if (run % 2 == 0) {
            stage();
            copy();
        } else {
            copy();
            stage();
        }
        if (run >= 0) {
            stageTimes.push_back(stageSeconds);
            copyTimes.push_back(copySeconds);
        }
    }
    row.stagingPeak = peakMemoryMiB();
    row.stageSeconds = median(stageTimes);
    row.copySeconds = median(copyTimes);

    // --- runRepomix against a direct run, on one staged copy ---------------
    const Result<QUrl> staged = wrapper.stageFiles(items);
    if (!staged) {
        row.allRunsOk = false;
        return row;
    }
    const QString stagedDirectory = staged.value().toLocalFile();
    const QString output = QDir(RepomixWrapper::privateDirectory().value()).filePath(QStringLiteral("bench-staging-output.txt"));
    const QStringList arguments = packerArguments(output);

    std::vector<double> wrapperTimes;
    std::vector<double> directTimes;
    for (int run = -1; run < kRuns; ++run) { // run -1 warms the runtime and the cache
        // Alternate which goes first, so that neither always runs on the
        // other's warm-up.
        Result<QString> report = QString();
        double wrapperSeconds = 0;
        DirectRun direct;
        const auto throughWrapper = [&] {
            resetPeakMemory();
            const double start = now();
            report = wrapper.runRepomix(arguments, staged.value());
            wrapperSeconds = now() - start;
            row.wrapperPeak = std::max(row.wrapperPeak, peakMemoryMiB());
        };
        const auto directly = [&] {
            resetPeakMemory();
            direct = runPackerDirectly(arguments, stagedDirectory);
            row.directPeak = std::max(row.directPeak, peakMemoryMiB());
        };
        if (run % 2 == 0) {
            throughWrapper();
            directly();
        } else {
            directly();
            throughWrapper();
        }

        if (!report || direct.exitCode != 0) {
            std::fprintf(out(), "  packer run failed: %s (direct exit code %d)\n",
                         report ? "runRepomix ok" : qPrintable(report.error().toString()), direct.exitCode);
            row.allRunsOk = false;
            continue;
        }
        row.totals = parseSummary(report.value());
        if (!(row.totals == parseSummary(direct.report)))
            row.sameTotals = false;
        if (run >= 0) {
            wrapperTimes.push_back(wrapperSeconds);
            directTimes.push_back(direct.seconds);
        }
    }
    QFile::remove(output);
    wrapper.discardDirectory(staged.value());
    row.wrapperSeconds = median(wrapperTimes);
    row.directSeconds = median(directTimes);
    return row;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);

    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/lumbrel-bench-staging-XXXXXX"));
    const fs::path base = fs::path(QFile::encodeName(work.path()).toStdString());
    const QString logFile = QDir::temp().filePath(QStringLiteral("lumbrel-bench-staging.log"));
    captureLog(logFile); // the runner's log lines go there

    std::fprintf(out(), "bench_staging: runtime %s\n               script  %s\n", qPrintable(packer().runtime),
                 qPrintable(packer().script));
    std::fprintf(out(), "Generating the input trees in %s ...\n", base.c_str());
    makeProject(base / "with-deps" / "project", true);
    makeProject(base / "no-deps" / "project", false);

    std::vector<Case> cases{
        {"generated, with dependency folders", base / "with-deps" / "project", 0.2},
        {"generated, without dependency folders", base / "no-deps" / "project", 1.2},
    };
    const fs::path qtHeaders = "/usr/include/x86_64-linux-gnu/qt6";
    if (fs::is_directory(qtHeaders))
        cases.push_back({"Qt 6 headers (real source tree)", qtHeaders, 1.2});

    RepomixWrapper wrapper(packer());
    std::vector<Row> rows;
    for (const Case &input : cases) {
        std::fprintf(out(), "Measuring: %s ...\n", input.name);
        rows.push_back(measure(wrapper, input, base / "scratch"));
    }

    std::fprintf(out(), "\nInput trees (regular files) and what stageFiles keeps of them\n");
    std::fprintf(out(), "  %-40s %8s %9s   %12s %9s\n", "tree", "files", "MiB", "staged files", "MiB");
    for (size_t i = 0; i < cases.size(); ++i)
        std::fprintf(out(), "  %-40s %8lld %9.1f   %12lld %9.1f\n", cases[i].name, rows[i].input.files,
                     mib(rows[i].input.bytes), rows[i].staged.files, mib(rows[i].staged.bytes));

    std::fprintf(out(), "\nStaging: stageFiles against cp -a of the same item (median of %d warm runs, seconds)\n", kRuns);
    std::fprintf(out(), "  %-40s %11s %9s %8s %8s\n", "tree", "stageFiles", "cp -a", "ratio", "target");
    for (size_t i = 0; i < cases.size(); ++i)
        std::fprintf(out(), "  %-40s %11.3f %9.3f %8.3f %8s\n", cases[i].name, rows[i].stageSeconds,
                     rows[i].copySeconds, rows[i].stageSeconds / rows[i].copySeconds,
                     cases[i].stageTarget < 1 ? "<= 0.20" : "<= 1.20");

    std::fprintf(out(), "\nPacking the staged tree: runRepomix against the same command run directly (median of %d warm runs, seconds)\n", kRuns);
    std::fprintf(out(), "  %-40s %11s %9s %8s %8s   %s\n", "tree", "runRepomix", "direct", "ratio", "target", "totals (files / chars / tokens)");
    for (size_t i = 0; i < cases.size(); ++i)
        std::fprintf(out(), "  %-40s %11.3f %9.3f %8.3f %8s   %lld / %lld / %lld%s\n", cases[i].name,
                     rows[i].wrapperSeconds, rows[i].directSeconds, rows[i].wrapperSeconds / rows[i].directSeconds,
                     "<= 1.05", rows[i].totals.totalFiles, rows[i].totals.totalChars, rows[i].totals.estimatedTokens,
                     rows[i].sameTotals ? ", same in both" : ", DIFFERENT from the direct run");

    std::fprintf(out(), "\nPeak memory of this process (VmHWM, MiB; the packer's processes are not included)\n");
    std::fprintf(out(), "  %-40s %9s %14s %14s %14s\n", "tree", "before", "stageFiles", "runRepomix", "direct run");
    for (size_t i = 0; i < cases.size(); ++i)
        std::fprintf(out(), "  %-40s %9.1f %14.1f %14.1f %14.1f\n", cases[i].name, rows[i].memoryBefore,
                     rows[i].stagingPeak, rows[i].wrapperPeak, rows[i].directPeak);

    bool ok = true;
    for (const Row &row : rows)
        ok = ok && row.allRunsOk && row.sameTotals;
    std::fprintf(out(), "\n%s\nThe runner's log lines: %s\n", ok ? "All runs succeeded." : "SOME RUNS FAILED (see above).",
                 qPrintable(logFile));
    return ok ? 0 : 1;
}
