// Measures the runner's two steps against plain tools doing the same work:
//
//   stage (hard links)  against  `cp -a` and `cp -al` of the same item into
//   stage (copies)               the same file system
//   pack()          against  the same packer command started directly
//
// on three trees: a generated project with dependency folders, the same
// project without them, and the Qt headers as a real source tree. Every
// figure is the median of several warm runs (one warm-up first); the ratios
// compare figures taken in this run. Nothing here asserts on time.

#include "BenchSupport.h"
#include "PrivateArea.h"

#include "RepomixWrapper.h"
#include "RunSummary.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdio>

using namespace bench;

namespace {

constexpr int kRuns = 5;

struct Case
{
    const char *name;
    fs::path item; // what the user drops
};

// The four ways of putting the tree into the temporary folder.
enum Method { Links, Copies, CpA, CpAl, MethodCount };
const char *const methodNames[MethodCount] = {"stage (links)", "stage (copies)", "cp -a", "cp -al"};

struct Row
{
    TreeSize input;
    TreeSize staged;
    std::array<double, MethodCount> seconds{};
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

    // --- staging against cp -a and cp -al ------------------------------------
    std::array<std::vector<double>, MethodCount> times;
    resetPeakMemory();
    for (int run = -1; run < kRuns; ++run) { // run -1 warms the cache
        std::array<double, MethodCount> seconds{};
        const auto measureMethod = [&](int method) {
            if (method == Links || method == Copies) {
                wrapper.setLinkFiles(method == Links);
                const double start = now();
                const Result<Staging> staged = wrapper.stage({items});
                seconds[method] = now() - start;
                if (!staged) {
                    std::fprintf(out(), "  staging failed: %s\n", qPrintable(staged.error().toString()));
                    row.allRunsOk = false;
                    return;
                }
                const fs::path stagedPath = fs::path(QFile::encodeName(staged.value().directory.toLocalFile()).toStdString());
                row.staged = measureTree(stagedPath);
                fs::remove_all(stagedPath);
            } else {
                const fs::path copyParent = scratch / ("cp-" + std::to_string(run + 1));
                fs::create_directories(copyParent);
                seconds[method] = copyWithCp(input.item, copyParent / input.item.filename(), method == CpAl);
                fs::remove_all(copyParent);
                if (seconds[method] < 0)
                    row.allRunsOk = false;
            }
        };
        // Each run starts with another method, so that none always runs on
        // another's warm-up.
        for (int k = 0; k < MethodCount; ++k)
            measureMethod((k + run + 1) % MethodCount);
        if (run >= 0) {
            for (int method = 0; method < MethodCount; ++method)
                times[method].push_back(seconds[method]);
        }
    }
    wrapper.setLinkFiles(true);
    row.stagingPeak = peakMemoryMiB();
    for (int method = 0; method < MethodCount; ++method)
        row.seconds[method] = median(times[method]);

    // --- pack() against a direct run, on one staged copy ---------------
    const Result<Staging> staging = wrapper.stage({items});
    if (!staging) {
        row.allRunsOk = false;
        return row;
    }
    const Result<QUrl> staged = staging.value().directory;
    const QString stagedDirectory = staged.value().toLocalFile();
    const QString output = PrivateArea::scratchFile(QStringLiteral(".txt")).value();
    const QStringList arguments = defaultJobArguments(output);
    // The direct run gets what the runner adds for a staging with the rules applied.
    const QStringList directArguments = staging.value().defaultRulesApplied
        ? arguments + QStringList{QStringLiteral("--no-default-patterns")}
        : arguments;

    std::vector<double> wrapperTimes;
    std::vector<double> directTimes;
    for (int run = -1; run < kRuns; ++run) { // run -1 warms the runtime and the cache
        // Alternate which goes first, so that neither always runs on the
        // other's warm-up.
        Result<PackResult> report = PackResult();
        double wrapperSeconds = 0;
        DirectRun direct;
        const auto throughWrapper = [&] {
            resetPeakMemory();
            QFile::remove(output); // each run writes a new file
            const double start = now();
            PackRequest request;
            request.output = output;
            request.directory = stagedDirectory;
            request.defaultRulesApplied = staging.value().defaultRulesApplied;
            report = wrapper.pack(request);
            wrapperSeconds = now() - start;
            row.wrapperPeak = std::max(row.wrapperPeak, peakMemoryMiB());
        };
        const auto directly = [&] {
            resetPeakMemory();
            QFile::remove(output);
            direct = runPackerDirectly(directArguments, stagedDirectory);
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
                         report ? "pack() ok" : qPrintable(report.error().toString()), direct.exitCode);
            row.allRunsOk = false;
            continue;
        }
        row.totals = report.value().totals;
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
        {"generated, with dependency folders", base / "with-deps" / "project"},
        {"generated, without dependency folders", base / "no-deps" / "project"},
    };
    const fs::path qtHeaders = "/usr/include/x86_64-linux-gnu/qt6";
    if (fs::is_directory(qtHeaders))
        cases.push_back({"Qt 6 headers (real source tree)", qtHeaders});

    RepomixWrapper wrapper(packer());
    std::vector<Row> rows;
    for (const Case &input : cases) {
        std::fprintf(out(), "Measuring: %s ...\n", input.name);
        rows.push_back(measure(wrapper, input, base / "scratch"));
    }

    std::fprintf(out(), "\nInput trees (regular files) and what staging keeps of them\n");
    std::fprintf(out(), "  %-40s %8s %9s   %12s %9s\n", "tree", "files", "MiB", "staged files", "MiB");
    for (size_t i = 0; i < cases.size(); ++i)
        std::fprintf(out(), "  %-40s %8lld %9.1f   %12lld %9.1f\n", cases[i].name, rows[i].input.files,
                     mib(rows[i].input.bytes), rows[i].staged.files, mib(rows[i].staged.bytes));

    std::fprintf(out(), "\nStaging into %s (one file system with the input; median of %d warm runs, seconds)\n",
                 qPrintable(QDir::tempPath()), kRuns);
    std::fprintf(out(), "  %-40s", "tree");
    for (const char *name : methodNames)
        std::fprintf(out(), " %14s", name);
    std::fprintf(out(), "   %12s %8s %14s %13s\n", "links/cp -a", "target", "copies/cp -a", "links/cp -al");
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto &seconds = rows[i].seconds;
        std::fprintf(out(), "  %-40s", cases[i].name);
        for (const double value : seconds)
            std::fprintf(out(), " %14.3f", value);
        std::fprintf(out(), "   %12.3f %8s %14.3f %13.3f\n", seconds[Links] / seconds[CpA], "<= 0.15",
                     seconds[Copies] / seconds[CpA], seconds[Links] / seconds[CpAl]);
    }

    std::fprintf(out(), "\nPacking the staged tree: pack() against the same command run directly (median of %d warm runs, seconds)\n", kRuns);
    std::fprintf(out(), "  %-40s %11s %9s %8s %8s   %s\n", "tree", "pack()", "direct", "ratio", "target", "totals (files / chars / tokens)");
    for (size_t i = 0; i < cases.size(); ++i)
        std::fprintf(out(), "  %-40s %11.3f %9.3f %8.3f %8s   %lld / %lld / %lld%s\n", cases[i].name,
                     rows[i].wrapperSeconds, rows[i].directSeconds, rows[i].wrapperSeconds / rows[i].directSeconds,
                     "<= 1.05", rows[i].totals.totalFiles, rows[i].totals.totalChars, rows[i].totals.estimatedTokens,
                     rows[i].sameTotals ? ", same in both" : ", DIFFERENT from the direct run");

    std::fprintf(out(), "\nPeak memory of this process (VmHWM, MiB; the packer's processes are not included)\n");
    std::fprintf(out(), "  %-40s %9s %14s %14s %14s\n", "tree", "before", "staging", "pack()", "direct run");
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
