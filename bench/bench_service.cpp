// The packer service (PackerService) against the packer's command line, on
// generated source trees of 1, 200, 1,000 and 10,000 files:
//
// 1. Estimate-like runs (the job arguments of the default options, "--output"
//    to a scratch file, "--verbose"): each size alternates a run through the
//    warm service with a one-shot run of the command line (runtime, script,
//    arguments, directory; the same working directory and environment), after
//    one unmeasured run of each. Prints the medians and their ratio, and checks
//    that both give the same totals.
// 2. The service's resident memory (VmRSS of its process; its worker pools
//    are threads of it) after 1, 10 and 50 runs on the 1,000-file tree, once
//    with the default limits (it restarts itself when it passes them) and
//    once without limits, then idle.
//
// Nothing here asserts on time; the program prints its figures and the load
// average (the machines it runs on are shared).

#include "BenchSupport.h"

#include "PackerService.h"
#include "RunSummary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <thread>

#include <unistd.h>

using namespace bench;

namespace {


// VmRSS of a process, in MiB (Linux: /proc/<pid>/statm).
double residentMiB(qint64 pid)
{
    std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
    long pages = 0, resident = 0;
    if (!(statm >> pages >> resident))
        return 0;
    return double(resident) * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

struct Timed
{
    double seconds = 0;
    RunSummary summary;
    bool ok = false;
};

Timed oneShot(const QStringList &arguments, const QString &directory, const QProcessEnvironment &environment,
              const QString &workingDirectory)
{
    const DirectRun run = runPackerDirectly(arguments, directory, environment, workingDirectory);
    Timed timed;
    timed.seconds = run.seconds;
    timed.summary = parseSummary(run.report);
    timed.ok = run.exitCode == 0;
    return timed;
}

Timed throughService(PackerService &service, const QStringList &arguments, const QString &directory,
                     const QProcessEnvironment &environment, const QString &workingDirectory)
{
    Timed timed;
    const double start = now();
    const PackerInvocation invocation{arguments + QStringList{directory}, arguments.value(arguments.indexOf("--output") + 1),
                                      PackerEnvironment{environment, workingDirectory, {}}};
    const Result<PackerRun> run = service.run(invocation, {}, {});
    timed.seconds = now() - start;
    timed.ok = run.ok();
    if (run.ok())
        timed.summary = parseSummary(run.value().report);
    else
        std::fprintf(out(), "  service run failed: %s\n", qPrintable(run.error().toString()));
    return timed;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temp;
    if (!temp.isValid())
        return 1;
    captureLog(QDir::temp().filePath(QStringLiteral("lumbrel-bench-service.log")));
    const fs::path root = fs::path(temp.path().toStdString());

    const QString work = temp.filePath(QStringLiteral("work"));
    QDir().mkpath(work);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("NODE_OPTIONS"));
    environment.remove(QStringLiteral("NODE_PATH"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), work);
    environment.insert(QStringLiteral("NO_COLOR"), QStringLiteral("1"));
    environment.insert(QStringLiteral("REPOMIX_TOKEN_CACHE_PATH"), temp.filePath(QStringLiteral("cache/token-counts.json")));
    const QString scratch = temp.filePath(QStringLiteral("temp_output.txt"));
    const QStringList arguments = defaultJobArguments(scratch);

    std::fprintf(out(), "bench_service: load average %s, %u hardware threads\n", qPrintable(loadAverage()),
                 std::thread::hardware_concurrency());

    struct Tree
    {
        int files;
        int runs;
        QString path;
    };
    std::vector<Tree> trees{{1, 7, {}}, {200, 7, {}}, {1000, 5, {}}, {10000, 3, {}}};
    for (Tree &tree : trees) {
        const fs::path path = root / ("tree-" + std::to_string(tree.files));
        makeSourceTree(path, tree.files);
        tree.path = QString::fromStdString(path.string());
    }

    // ---- 1. Warm service against the command line ----------------------------
    bool failed = false;
    {
        PackerService service(packer());
        const double started = now();
        service.start(environment);
        const Timed first = throughService(service, arguments, trees.front().path, environment, work);
        std::fprintf(out(), "\nstart to the first answer (1 file, includes the warm-up): %.2f s\n",
                     now() - started);
        failed |= !first.ok;

        std::fprintf(out(), "\n%-8s %10s %10s %7s   %s\n", "files", "service", "one-shot", "ratio", "runs (s, service / one-shot)");
        for (const Tree &tree : trees) {
            throughService(service, arguments, tree.path, environment, work); // unmeasured
            oneShot(arguments, tree.path, environment, work);
            std::vector<double> warm, cold;
            QString each;
            for (int i = 0; i < tree.runs; ++i) {
                const Timed served = throughService(service, arguments, tree.path, environment, work);
                const Timed direct = oneShot(arguments, tree.path, environment, work);
                warm.push_back(served.seconds);
                cold.push_back(direct.seconds);
                each += QStringLiteral(" %1/%2").arg(served.seconds, 0, 'f', 2).arg(direct.seconds, 0, 'f', 2);
                if (!served.ok || !direct.ok || !(served.summary == direct.summary)) {
                    std::fprintf(out(), "  totals differ on %d files: service %lld/%lld/%lld, one-shot %lld/%lld/%lld\n",
                                 tree.files, served.summary.totalFiles, served.summary.totalChars,
                                 served.summary.estimatedTokens, direct.summary.totalFiles,
                                 direct.summary.totalChars, direct.summary.estimatedTokens);
                    failed = true;
                }
            }
            std::fprintf(out(), "%-8d %9.3fs %9.3fs %7.2f  %s\n", tree.files, median(warm), median(cold),
                         median(warm) / median(cold), qPrintable(each));
        }
        std::fprintf(out(), "(load average now %s)\n", qPrintable(loadAverage()));
    }

    // ---- 2. Memory -------------------------------------------------------------
    const QString &thousand = trees[2].path;
    const auto measureMemory = [&](const char *label, PackerService::Limits limits) {
        PackerService service(packer(), limits);
        service.start(environment);
        QString line;
        for (int i = 1; i <= 50; ++i) {
            failed |= !throughService(service, arguments, thousand, environment, work).ok;
            if (i == 1 || i == 10 || i == 50)
                line += QStringLiteral("  after %1: %2 MiB").arg(i).arg(residentMiB(service.processId()), 0, 'f', 0);
        }
        // Idle: the pools' extra threads end after 5 s without work, and a
        // process too big while idle is replaced after the limit's delay.
        std::this_thread::sleep_for(limits.idleDelay + std::chrono::seconds(10));
        std::fprintf(out(), "%-26s%s  idle: %.0f MiB  (processes started: %d)\n", label, qPrintable(line),
                     residentMiB(service.processId()), service.processesStarted());
    };
    std::fprintf(out(), "\nresident memory of the service, runs on the 1,000-file tree:\n");
    const PackerService::Limits defaults;
    measureMemory(qPrintable(QStringLiteral("default limits:")), defaults);
    measureMemory("no limits:", {1 << 30, qint64(1) << 50, qint64(1) << 50, std::chrono::milliseconds(0)});
    std::fprintf(out(), "(load average now %s)\n", qPrintable(loadAverage()));
    return failed ? 1 : 0;
}
