// Where the first estimate of a large tree spends its time: staging, each of
// the packer's steps in the warm service (from the service's own timing),
// and getting the result back, against the packer run directly on the same
// tree with the same arguments. Real-sized generated trees and real trees of
// this machine; nothing passes or fails on time.
#include "BenchSupport.h"
#include "PackerArguments.h"
#include "PackerEnvironment.h"
#include "PackerService.h"
#include "PrivateArea.h"
#include "RunSummary.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>

using namespace bench;

namespace {
constexpr int kRuns = 3;

struct Tree
{
    QString name;
    fs::path path;
};

// One first estimate, as the runner does it: stage, run, read the totals.
struct Estimate
{
    double staging = 0;
    double packer = 0; // from the request to the answer, seen from here
    double parsing = 0;
    PackerRun run;
    RunSummary summary;
    double total() const { return staging + packer + parsing; }
};

// The run of `request` into `output`, as the runner makes it.
PackerInvocation invocationFor(PackRequest request, const QString &output)
{
    request.output = output;
    PackerInvocation invocation{packerArguments(request), output, PackerEnvironment::forRun().value(), {}};
    if (!request.files.isEmpty()) {
        invocation.environment.workingDirectory = request.directory;
        invocation.standardInput = request.files.join(QLatin1Char('\n')).toUtf8() + '\n';
    }
    return invocation;
}

std::optional<Estimate> estimateWith(RepomixWrapper &wrapper, PackerService &service, const fs::path &tree)
{
    Estimate estimate;
    const double start = now();
    const Result<Staging> staged = wrapper.stage({{QUrl::fromLocalFile(QFile::decodeName(tree.c_str()))}});
    if (!staged)
        return std::nullopt;
    const double packing = now();
    const QString output = PrivateArea::scratchFile(QStringLiteral(".txt")).value();
    Result<PackerRun> run = service.run(invocationFor(RepomixWrapper::requestFor(staged.value()), output), {}, {});
    const double parsing = now();
    if (!run)
        return std::nullopt;
    estimate.summary = parseSummary(run.value().report);
    estimate.run = std::move(run.value());
    const double end = now();
    QFile::remove(output);
    wrapper.discardDirectory(staged.value().directory);
    estimate.staging = packing - start;
    estimate.packer = parsing - packing;
    estimate.parsing = end - parsing;
    return estimate;
}

std::optional<Estimate> firstEstimate(const fs::path &tree, const fs::path *changeAfterwards = nullptr,
                                      std::optional<Estimate> *second = nullptr)
{
    // A fresh service: nothing is kept from earlier estimates. A one-file run
    // first, so that the service's start is not counted (in the window it
    // hides behind the estimate's delay after the drop).
    RepomixWrapper wrapper(packer());
    PackerService service(packer());
    QTemporaryDir tiny;
    writeTextFile(fs::path(tiny.path().toStdString()) / "t" / "a.txt", 100, 1);
    const QString warmOutput = PrivateArea::scratchFile(QStringLiteral(".txt")).value();
    PackRequest tinyRequest;
    tinyRequest.directory = tiny.path() + QStringLiteral("/t");
    if (!service.run(invocationFor(tinyRequest, warmOutput), {}, {}))
        return std::nullopt;
    QFile::remove(warmOutput);

    // As the runner does it: stage, run, read the totals.
    std::optional<Estimate> estimate = estimateWith(wrapper, service, tree);
    // And again after one file changed: what the warm packer keeps is reused.
    if (estimate && changeAfterwards && second) {
        std::ofstream(*changeAfterwards, std::ios::app) << "// changed\n";
        *second = estimateWith(wrapper, service, tree);
    }
    return estimate;
}

void printBreakdown(const Estimate &estimate)
{
    std::fprintf(out(), "    %-34s %8s %8s %8s\n", "step", "from", "to", "seconds");
    const auto line = [](const char *name, double from, double to) {
        std::fprintf(out(), "    %-34s %8.2f %8.2f %8.2f\n", name, from, to, to - from);
    };
    line("staging (ours)", 0, estimate.staging);
    // The packer's steps, in the service's own clock, from its first to its last.
    std::map<QString, std::pair<double, double>> steps;
    for (const PackerStep &step : estimate.run.steps) {
        auto [it, inserted] = steps.try_emplace(step.name, step.began / 1000.0, step.ended / 1000.0);
        if (!inserted) {
            it->second.first = std::min(it->second.first, step.began / 1000.0);
            it->second.second = std::max(it->second.second, step.ended / 1000.0);
        }
    }
    const char *const order[][2] = {
        {"pack", "the packer's pack, in all"}, {"search", "the packer's file search"},
        {"listedSearch", "looking up the listed files"}, {"read", "reading"},
        {"process", "processing (comments, lines)"}, {"security", "secret scan"},
        {"sort", "sorting"}, {"output", "output (generate, write)"},
        {"metrics", "token counting"}, {"cacheSave", "saving the token cache"},
        {"report", "the report"},
    };
    const double packerStart = estimate.staging;
    for (const auto &[key, label] : order) {
        if (const auto it = steps.find(QString::fromLatin1(key)); it != steps.end())
            line(label, packerStart + it->second.first, packerStart + it->second.second);
    }
    const double service = estimate.run.milliseconds / 1000.0;
    line("the run in the service, in all", packerStart, packerStart + service);
    line("getting the answer (ours)", packerStart + service, packerStart + estimate.packer);
    line("reading the totals (ours)", packerStart + estimate.packer, estimate.total());
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/lumbrel-bench-profile-XXXXXX"));
    const QString logFile = QDir::temp().filePath(QStringLiteral("lumbrel-bench-profile.log"));
    captureLog(logFile);
    const fs::path base = fs::path(QFile::encodeName(work.path()).toStdString());

    // --files N: one generated tree of N files only.
    const QStringList args = app.arguments();
    const qsizetype only = args.indexOf(QStringLiteral("--files"));
    const std::vector<int> sizes = only > 0 && only + 1 < args.size() ? std::vector<int>{args.at(only + 1).toInt()}
                                                                      : std::vector<int>{1000, 10000};
    std::vector<Tree> trees;
    for (const int files : sizes) {
        const fs::path path = base / ("generated-" + std::to_string(files));
        makeRealSizedTree(path, files);
        trees.push_back({QStringLiteral("generated, %1 files of 2-20 KB").arg(files), path});
    }
    // The packer's modules through a link of another name: the packer run
    // directly on a folder named node_modules leaves everything out.
    const fs::path resources = fs::path(QFile::encodeName(packer().packerDirectory()).toStdString()).parent_path();
    std::error_code linkError;
    fs::create_directory_symlink(resources / "node_modules", base / "packer-modules", linkError);
    for (const auto &[name, path] : only > 0 ? std::vector<std::pair<QString, fs::path>>{} : std::vector<std::pair<QString, fs::path>>{
             {QStringLiteral("Qt 6 headers"), "/usr/include/x86_64-linux-gnu/qt6"},
             {QStringLiteral("the packer's node_modules"), base / "packer-modules"},
             {QStringLiteral("/usr/share/doc"), "/usr/share/doc"},
         }) {
        if (fs::is_directory(path))
            trees.push_back({name, path});
    }

    std::fprintf(out(), "bench_profile: load average at start %s\n", qPrintable(loadAverage()));
    int failures = 0;
    for (const Tree &tree : trees) {
        const TreeSize size = measureTree(tree.path);
        const QString directory = QFile::decodeName(tree.path.c_str());
        const QString directOutput = work.filePath(QStringLiteral("direct.txt"));
        runPackerDirectly(userArguments(directOutput), directory); // warm-up: caches
        std::vector<double> direct;
        std::vector<Estimate> estimates;
        std::optional<Estimate> afterChange;
        for (int run = 0; run < kRuns; ++run) {
            QFile::remove(directOutput);
            const DirectRun baseline = runPackerDirectly(userArguments(directOutput), directory);
            if (baseline.exitCode != 0)
                ++failures;
            direct.push_back(baseline.seconds);
            // The last run of the largest generated tree also times an
            // estimate after one file changed.
            const bool alsoChanged = run == kRuns - 1 && tree.name.contains(QLatin1String("10000"));
            const fs::path changed = tree.path / "pkg7" / "dir70" / "source3504.ts";
            const std::optional<Estimate> estimate =
                firstEstimate(tree.path, alsoChanged ? &changed : nullptr, &afterChange);
            if (!estimate || estimate->summary.totalFiles == 0) {
                ++failures;
                continue;
            }
            // The estimate packs the folder as an item (its paths start with
            // the folder's name), the direct run packs what is in it: the
            // same files, longer paths.
            if (estimate->summary.totalFiles != parseSummary(baseline.report).totalFiles) {
                std::fprintf(out(), "  %s: %lld files packed, the direct run packed %lld\n", qPrintable(tree.name),
                             estimate->summary.totalFiles, parseSummary(baseline.report).totalFiles);
                ++failures;
            }
            estimates.push_back(*estimate);
        }
        if (estimates.empty())
            continue;
        std::sort(estimates.begin(), estimates.end(),
                  [](const Estimate &a, const Estimate &b) { return a.total() < b.total(); });
        const Estimate &middle = estimates[estimates.size() / 2];
        const double directMedian = median(direct);
        std::fprintf(out(), "\n%s: %lld files, %.0f MB, %lld packed, load %s\n", qPrintable(tree.name), size.files,
                     size.bytes / 1e6, middle.summary.totalFiles, qPrintable(loadAverage()));
        std::fprintf(out(), "  packer run directly %.2f s; first estimate %.2f s (median of %d); ratio %.2f\n",
                     directMedian, middle.total(), kRuns, middle.total() / directMedian);
        printBreakdown(middle);
        if (afterChange) {
            std::fprintf(out(), "  estimate after one file changed %.2f s; ratio %.2f\n", afterChange->total(),
                         afterChange->total() / directMedian);
            printBreakdown(*afterChange);
        }
    }
    std::fprintf(out(), "\nbench_profile: load average at end %s; log in %s\n", qPrintable(loadAverage()),
                 qPrintable(logFile));
    return failures == 0 ? 0 : 1;
}
