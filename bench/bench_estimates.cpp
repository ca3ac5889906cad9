// A probe of the live estimates of the main screen (ContentView) with the
// bundled packer, on a generated source tree of 5,000 files:
//
// 1. Responsiveness and latency. While estimates run, a 5 ms timer on the UI
//    thread records the longest gap between its ticks. Each estimate is timed
//    from updateEstimates() to the moment its totals are published
//    (isEstimating turns false), against a direct packer run on the same tree.
//
// 2. Supersession. Ten edits of the ignore patterns 100 ms apart, then two
//    quick drops. A monitor thread polls /proc every 2 ms for the packer's
//    processes (see PackerProcessMonitor) and records how many ran and how
//    many were alive at once; the runner's own log gives a second count of
//    the runs started. The last request's totals must be published and be
//    those of a direct run on the same staged copy.
//
// Nothing here asserts on time; the program prints its figures.

#include "BenchSupport.h"

#include "BundleOptions.h"
#include "PrivateArea.h"
#include "ContentView.h"
#include "RunSummary.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include <unistd.h>

using namespace bench;

namespace {

constexpr int kSourceFiles = 5000;
constexpr int kRuns = 5;

// Ticks every 5 ms on the UI thread and remembers, since the last reset, the
// longest gap between two ticks and when the gaps over 20 ms ended.
class UiTickProbe
{
public:
    struct Gap
    {
        double endedAt; // seconds on the clock of now()
        double ms;
    };

    UiTickProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const double tick = now();
            const double gap = tick - m_lastTick;
            m_longestGap = std::max(m_longestGap, gap);
            if (gap > 0.020)
                m_longGaps.push_back({tick, gap * 1000.0});
            m_lastTick = tick;
        });
        m_timer.start();
    }
    void reset()
    {
        m_lastTick = now();
        m_longestGap = 0;
        m_longGaps.clear();
    }
    double longestGapMs() const { return std::max(m_longestGap, now() - m_lastTick) * 1000.0; }
    const std::vector<Gap> &longGaps() const { return m_longGaps; }

private:
    QTimer m_timer;
    double m_lastTick = now();
    double m_longestGap = 0;
    std::vector<Gap> m_longGaps;
};

// Watches /proc from its own thread for the processes this program starts
// while it runs: a packer is a child of this process whose command line names
// the packer's script; anything started below a packer counts as one of its
// helpers. Polls every 2 ms; a process that lives less than that may go
// unseen, which the count from the runner's log covers.
class PackerProcessMonitor
{
public:
    struct Lifetime
    {
        bool packer = false;   // false: a helper process of a packer
        double firstSeen = -1; // seconds from the origin
        double lastSeen = -1;
        std::string commandLine; // the start of it
    };

    PackerProcessMonitor(std::string script, double origin)
        : m_script(std::move(script)), m_origin(origin)
    {
    }
    ~PackerProcessMonitor() { stop(); }

    void start()
    {
        m_running = true;
        m_thread = std::thread([this] {
            while (m_running) {
                poll();
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }
    void stop()
    {
        m_running = false;
        if (m_thread.joinable())
            m_thread.join();
    }

    // After stop().
    int packerRuns() const { return count(true); }
    int helperProcesses() const { return count(false); }
    int maxPackersAlive() const { return m_maxPackersAlive; }
    int maxProcessesAlive() const { return m_maxProcessesAlive; }
    int aliveAtLastPoll() const { return m_aliveAtLastPoll; }
    const std::map<int, Lifetime> &lifetimes() const { return m_lifetimes; }

private:
    static std::string readFile(const std::string &path)
    {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // The parent of a live process; 0 for zombies and processes gone.
    static int parentOf(const std::string &pid)
    {
        const std::string stat = readFile("/proc/" + pid + "/stat");
        const size_t afterName = stat.rfind(')');
        if (afterName == std::string::npos)
            return 0;
        std::istringstream fields(stat.substr(afterName + 2));
        char state = 0;
        int parent = 0;
        fields >> state >> parent;
        return state == 'Z' || state == 'X' ? 0 : parent;
    }

    void poll()
    {
        const int self = static_cast<int>(::getpid());
        std::map<int, int> parents; // every live process and its parent
        for (const fs::directory_entry &entry : fs::directory_iterator("/proc")) {
            const std::string name = entry.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos)
                continue;
            if (const int parent = parentOf(name))
                parents[std::stoi(name)] = parent;
        }
        // Ours: the descendants of this process (a helper whose packer has
        // gone is still ours once seen).
        std::set<int> alive;
        for (bool grew = true; grew;) {
            grew = false;
            for (const auto &[pid, parent] : parents) {
                if (!alive.count(pid) && (m_lifetimes.count(pid) || parent == self || alive.count(parent))) {
                    alive.insert(pid);
                    grew = true;
                }
            }
        }
        const double at = now() - m_origin;
        int packers = 0;
        for (const int pid : alive) {
            Lifetime &lifetime = m_lifetimes[pid];
            if (lifetime.firstSeen < 0)
                lifetime.firstSeen = at;
            if (!lifetime.packer) {
                // Looked at again until it is a packer: a child seen between
                // fork and exec still carries this program's command line.
                std::string commandLine = readFile("/proc/" + std::to_string(pid) + "/cmdline");
                lifetime.packer = parents[pid] == self && commandLine.find(m_script) != std::string::npos;
                std::replace(commandLine.begin(), commandLine.end(), '\0', ' ');
                lifetime.commandLine = commandLine.substr(0, 100);
            }
            lifetime.lastSeen = at;
            packers += lifetime.packer ? 1 : 0;
        }
        m_maxPackersAlive = std::max(m_maxPackersAlive, packers);
        m_maxProcessesAlive = std::max(m_maxProcessesAlive, static_cast<int>(alive.size()));
        m_aliveAtLastPoll = static_cast<int>(alive.size());
    }

    int count(bool packer) const
    {
        int n = 0;
        for (const auto &[pid, lifetime] : m_lifetimes)
            n += lifetime.packer == packer ? 1 : 0;
        return n;
    }

    std::string m_script;
    double m_origin;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
    std::map<int, Lifetime> m_lifetimes;
    int m_maxPackersAlive = 0;
    int m_maxProcessesAlive = 0;
    int m_aliveAtLastPoll = 0;
};

// The runner logs each command line it starts as one line beginning with
// `["`: the number of packer runs it started.
int loggedRuns(const QString &logFile)
{
    std::fflush(stdout);
    QFile log(logFile);
    if (!log.open(QIODevice::ReadOnly))
        return -1;
    int runs = 0;
    while (!log.atEnd()) {
        if (log.readLine().startsWith("[\""))
            ++runs;
    }
    return runs;
}

QUrl urlOf(const fs::path &path)
{
    return QUrl::fromLocalFile(QFile::decodeName(path.c_str()));
}

const char *verdictOfTotals(const RunSummary &shown, const RunSummary &direct)
{
    return shown == direct ? "same as the direct run" : "DIFFERENT from the direct run";
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/lumbrel-bench-estimates-XXXXXX"));
    const fs::path base = fs::path(QFile::encodeName(work.path()).toStdString());
    const QString logFile = QDir::temp().filePath(QStringLiteral("lumbrel-bench-estimates.log"));
    captureLog(logFile); // the runner's log lines and reports go there

    std::fprintf(out(), "bench_estimates: runtime %s\n                 script  %s\n", qPrintable(packer().runtime),
                 qPrintable(packer().script));

    // The input: the tree the user drops first, and two items dropped later.
    const fs::path inputParent = base / "input";
    const fs::path project = inputParent / "project";
    int markdownFiles = 0;
    const TreeSize size = makeSourceTree(project, kSourceFiles, &markdownFiles);
    const fs::path droppedFile = base / "later" / "notes.txt";
    const fs::path droppedFolder = base / "later" / "more-src";
    writeTextFile(droppedFile, 3000, 1);
    for (int i = 0; i < 5; ++i)
        writeTextFile(droppedFolder / ("extra" + std::to_string(i) + ".cpp"), 3000, 10 + i);
    std::fprintf(out(), "Input: %lld files, %.1f MiB in %s\n", size.files, size.bytes / 1048576.0, project.c_str());

    QSettings store(work.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    BundleOptions options(&store);
    ContentView view(&options, packer());
    EstimatesManager *estimates = view.estimatesManager();
    double publishedAt = 0; // when isEstimating last turned false
    QObject::connect(estimates, &EstimatesManager::isEstimatingChanged, [&] {
        if (!estimates->isEstimating())
            publishedAt = now();
    });
    UiTickProbe probe;

    const QString scratch = QDir(PrivateArea::sessionDirectory().value()).filePath(QStringLiteral("bench-estimates-direct.txt"));

    // ---- 1. Latency and responsiveness ------------------------------------
    std::fprintf(out(), "\n1. Estimates of the tree against direct packer runs (warm-up first, then median of %d)\n", kRuns);
    view.addFile(urlOf(project));

    // Three ways to get the same totals, in turn, warm (one warm-up each):
    //  - an estimate through ContentView, timed from updateEstimates() until
    //    its totals are published;
    //  - the same job (stage, then pack) on a plain thread with a
    //    runner of its own: what the estimate costs without the workflow;
    //  - the packer run directly on the tree (this blocks the UI thread, so
    //    no UI gaps are taken from it).
    // The UI probe runs during the first two. A process monitor notes when
    // each estimate's packer ran, to tell the staging and packing phases apart.
    const QStringList arguments = defaultJobArguments(scratch);
    const QString directRoot = QFile::decodeName(inputParent.c_str()); // the same relative paths as the staged copy
    const double part1Origin = now();
    PackerProcessMonitor part1Monitor(QFile::encodeName(packer().script).toStdString(), part1Origin);
    part1Monitor.start();

    struct Estimate
    {
        double requestedAt = 0;
        double publishedAt = 0;
        std::vector<UiTickProbe::Gap> longGaps;
    };
    std::vector<Estimate> estimateLog;
    double estimateGapMs = 0;
    const auto timedEstimate = [&]() -> double {
        publishedAt = 0;
        probe.reset();
        const double start = now();
        view.updateEstimates();
        if (!runEventsUntil([&] { return publishedAt > 0; }, 600))
            return -1;
        estimateGapMs = std::max(estimateGapMs, probe.longestGapMs());
        estimateLog.push_back({start, publishedAt, probe.longGaps()});
        return publishedAt - start;
    };

    RepomixWrapper plainRunner(packer());
    double jobGapMs = 0;
    std::vector<double> jobStaging;
    std::vector<double> jobPacking;
    const auto timedPlainJob = [&]() -> double {
        std::atomic<bool> done{false};
        double staging = 0;
        double packing = 0;
        probe.reset();
        std::thread thread([&] {
            double start = now();
            const Result<Staging> staged = plainRunner.stage({{urlOf(project)}});
            staging = now() - start;
            if (staged) {
                PackRequest request;
                request.output = scratch;
                request.directory = staged.value().directory.toLocalFile();
                request.defaultRulesApplied = staged.value().defaultRulesApplied;
                start = now();
                plainRunner.pack(request);
                packing = now() - start;
                QFile::remove(scratch);
                plainRunner.discardDirectory(staged.value().directory); // in the background
            }
            done = true;
        });
        runEventsUntil([&] { return done.load(); }, 600);
        thread.join();
        jobGapMs = std::max(jobGapMs, probe.longestGapMs());
        jobStaging.push_back(staging);
        jobPacking.push_back(packing);
        return staging + packing;
    };

    DirectRun direct = runPackerDirectly(arguments, directRoot); // warm-ups
    timedEstimate();
    timedPlainJob();
    estimateGapMs = jobGapMs = 0;
    jobStaging.clear();
    jobPacking.clear();

    std::vector<double> estimateTimes;
    std::vector<double> jobTimes;
    std::vector<double> directTimes;
    for (int run = 0; run < kRuns; ++run) {
        for (int turn = 0; turn < 3; ++turn) { // each run starts with another of the three
            switch ((run + turn) % 3) {
            case 0: estimateTimes.push_back(timedEstimate()); break;
            case 1: jobTimes.push_back(timedPlainJob()); break;
            case 2:
                direct = runPackerDirectly(arguments, directRoot);
                directTimes.push_back(direct.seconds);
                break;
            }
        }
    }
    part1Monitor.stop();
    QFile::remove(scratch);
    probe.reset();
    runEventsFor(1.0);
    const double idleGapMs = probe.longestGapMs();

    const RunSummary shown{view.totalFiles(), view.totalChars(), view.estimatedTokens()};
    const RunSummary directTotals = parseSummary(direct.report);
    const auto printRuns = [](const char *label, const std::vector<double> &times) {
        std::fprintf(out(), "   %-42s: %7.3f s  (runs:", label, median(times));
        for (double t : times)
            std::fprintf(out(), " %.3f", t);
        std::fprintf(out(), ")\n");
    };
    printRuns("estimate: updateEstimates() -> published", estimateTimes);
    printRuns("same job on a plain thread", jobTimes);
    printRuns("  of which staging", jobStaging);
    printRuns("  of which packing", jobPacking);
    printRuns("direct packer run on the same tree", directTimes);
    std::fprintf(out(), "   ratio estimate / direct packer run        : %7.3f   (target <= 1.15)\n",
                 median(estimateTimes) / median(directTimes));
    std::fprintf(out(), "   ratio estimate / same job, plain thread   : %7.3f   (the workflow layer's own share)\n",
                 median(estimateTimes) / median(jobTimes));
    std::fprintf(out(), "   longest gap between 5 ms UI ticks:\n");
    std::fprintf(out(), "     during the estimates                    : %7.1f ms (target < 20 ms)\n", estimateGapMs);
    std::fprintf(out(), "     during the same job on a plain thread   : %7.1f ms (control: no ContentView)\n", jobGapMs);
    std::fprintf(out(), "     idle, 1 s                               : %7.1f ms (control)\n", idleGapMs);
    std::fprintf(out(), "   each estimate (s from updateEstimates()):\n");
    for (const Estimate &estimate : estimateLog) {
        double packerFrom = -1;
        double packerTo = -1;
        for (const auto &[pid, lifetime] : part1Monitor.lifetimes()) {
            const double from = lifetime.firstSeen + part1Origin;
            if (lifetime.packer && from >= estimate.requestedAt && from <= estimate.publishedAt) {
                packerFrom = from - estimate.requestedAt;
                packerTo = lifetime.lastSeen + part1Origin - estimate.requestedAt;
            }
        }
        std::fprintf(out(), "     packer seen %.2f .. %.2f, totals published %.2f; UI gaps over 20 ms:",
                     packerFrom, packerTo, estimate.publishedAt - estimate.requestedAt);
        for (const UiTickProbe::Gap &gap : estimate.longGaps)
            std::fprintf(out(), " %.0f ms at %.2f", gap.ms, gap.endedAt - estimate.requestedAt);
        std::fprintf(out(), estimate.longGaps.empty() ? " none\n" : "\n");
    }
    std::fprintf(out(), "   totals shown: %lld files / %lld chars / %lld tokens, %s (%lld / %lld / %lld)\n",
                 shown.totalFiles, shown.totalChars, shown.estimatedTokens, verdictOfTotals(shown, directTotals),
                 directTotals.totalFiles, directTotals.totalChars, directTotals.estimatedTokens);


    // ---- 2. A burst of edits and drops ------------------------------------
    std::fprintf(out(), "\n2. Ten ignore-pattern edits 100 ms apart, then two drops 30 ms apart\n");
    const QStringList typed{"*", "**", "**/", "**/*", "**/*.", "**/*.m", "**/*.md", "**/*.md,", "**/*.md,*.", "**/*.md,*.tmp"};
    const double origin = now();
    PackerProcessMonitor monitor(QFile::encodeName(packer().script).toStdString(), origin);
    const int runsBefore = loggedRuns(logFile);
    monitor.start();
    probe.reset();

    for (const QString &patterns : typed) {
        view.setIgnorePatterns(patterns);
        runEventsFor(0.1);
    }
    const double lastEditAt = now() - origin - 0.1;
    view.handleDrop({urlOf(droppedFile)});
    runEventsFor(0.03);
    view.handleDrop({urlOf(droppedFolder)});
    const double lastDropAt = now() - origin;

    // Every refresh scheduled so far fires within 500 ms of the last drop;
    // then the last estimate runs to its end.
    publishedAt = 0;
    runEventsFor(EstimatesManager::debounceMilliseconds / 1000.0 + 0.1);
    const bool finished = runEventsUntil([&] { return !estimates->isEstimating(); }, 600);
    const double finishedAt = (publishedAt > 0 ? publishedAt : now()) - origin;
    const double burstGapMs = probe.longestGapMs();
    const std::vector<UiTickProbe::Gap> burstGaps = probe.longGaps();
    runEventsFor(0.3); // lets the monitor see anything left over
    monitor.stop();
    const int runsLogged = loggedRuns(logFile) - runsBefore;

    // What the last request must show: the project without its Markdown
    // files, plus the six dropped files; and the same as a direct run on the
    // staged copy the last estimate used.
    const RunSummary burstShown{view.totalFiles(), view.totalChars(), view.estimatedTokens()};
    const qint64 expectedFiles = kSourceFiles - markdownFiles + 6;
    // A staging of its own, as the last estimate made it.
    const Result<Staging> lastStaging = plainRunner.stage({view.jobInput().files, typed.last()});
    QStringList checkArguments = defaultJobArguments(scratch, typed.last());
    if (lastStaging && lastStaging.value().defaultRulesApplied)
        checkArguments << QStringLiteral("--no-default-patterns");
    const DirectRun check = runPackerDirectly(checkArguments, lastStaging ? lastStaging.value().directory.toLocalFile() : QString());
    if (lastStaging)
        plainRunner.discardDirectory(lastStaging.value().directory);
    QFile::remove(scratch);
    const RunSummary checkTotals = parseSummary(check.report);

    std::fprintf(out(), "   timeline (s from the first edit): last edit %.2f, last drop %.2f, last totals published %.2f\n",
                 lastEditAt, lastDropAt, finishedAt);
    for (const auto &[pid, lifetime] : monitor.lifetimes()) {
        std::fprintf(out(), "     %s pid %-8d seen %.3f .. %.3f%s%s\n", lifetime.packer ? "packer" : "helper", pid,
                     lifetime.firstSeen, lifetime.lastSeen, lifetime.packer ? "" : "  ", lifetime.packer ? "" : lifetime.commandLine.c_str());
    }
    std::fprintf(out(), "   packer runs started (runner's log)     : %d\n", runsLogged);
    std::fprintf(out(), "   packer processes seen (/proc, 2 ms)    : %d (and %d helper processes below them)\n",
                 monitor.packerRuns(), monitor.helperProcesses());
    std::fprintf(out(), "   most packers alive at once             : %d (target <= 1)\n", monitor.maxPackersAlive());
    std::fprintf(out(), "   most processes of ours alive at once   : %d (packers and their helpers)\n", monitor.maxProcessesAlive());
    std::fprintf(out(), "   processes of ours left after the burst : %d\n", monitor.aliveAtLastPoll());
    std::fprintf(out(), "   last drop -> totals published          : %.3f s (includes the %d ms drop refresh delay)\n",
                 finishedAt - lastDropAt, EstimatesManager::debounceMilliseconds);
    std::fprintf(out(), "   longest gap between 5 ms UI ticks      : %.1f ms (target < 20 ms)\n", burstGapMs);
    std::fprintf(out(), "   UI gaps over 20 ms (s from the first edit):");
    for (const UiTickProbe::Gap &gap : burstGaps)
        std::fprintf(out(), " %.0f ms at %.2f", gap.ms, gap.endedAt - origin);
    std::fprintf(out(), burstGaps.empty() ? " none\n" : "\n");
    std::fprintf(out(), "   last request completed                 : %s (isEstimating %s)\n", finished ? "yes" : "NO",
                 estimates->isEstimating() ? "true" : "false");
    std::fprintf(out(), "   totals shown: %lld files (expected %lld) / %lld chars / %lld tokens, %s (%lld / %lld / %lld)\n",
                 burstShown.totalFiles, expectedFiles, burstShown.totalChars, burstShown.estimatedTokens,
                 verdictOfTotals(burstShown, checkTotals), checkTotals.totalFiles, checkTotals.totalChars,
                 checkTotals.estimatedTokens);

    const bool ok = finished && shown == directTotals && burstShown == checkTotals && burstShown.totalFiles == expectedFiles
        && monitor.aliveAtLastPoll() == 0;
    std::fprintf(out(), "\n%s\nThe runner's log lines and reports: %s\n",
                 ok ? "All estimates completed with the right totals." : "SOMETHING WENT WRONG (see above).",
                 qPrintable(logFile));
    return ok ? 0 : 1;
}
