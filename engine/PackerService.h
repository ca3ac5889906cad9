#pragma once

#include "AppError.h"
#include "PackerLocation.h"

#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>

class QThread;

// One file of a bundle as the packer counted it.
struct PackedFile
{
    QString path; // relative to the packed directory, as the packer shows it
    qint64 characters = 0;
    qint64 tokens = 0;

    bool operator==(const PackedFile &) const = default;
};

// How far a run is, as the packer's report says it ("Calculating metrics",
// 120 of 300).
struct PackerProgress
{
    QString step;
    qint64 done = 0;
    qint64 total = 0;
};
using PackerProgressHandler = std::function<void(const PackerProgress &)>;

// One step of a run in the service ("search", "read", "process", "security",
// "output", "metrics", ...), in milliseconds since the run began. Some steps
// run side by side.
struct PackerStep
{
    QString name;
    qint64 began = 0;
    qint64 ended = 0;
};

// How many files of a run the service took from earlier runs (their
// processing and secret scan unchanged) and how many it did anew, and how
// many it did not even read (known unchanged by their identity).
struct PackerReuse
{
    qint64 unread = 0;
    qint64 processedKept = 0;
    qint64 processedDone = 0;
    qint64 scannedKept = 0;
    qint64 scannedDone = 0;
};

// What one run through the service gives.
struct PackerRun
{
    QString report;                 // the packer's standard output, as the command line prints it
    QList<PackedFile> files;        // in the order of the bundle
    QStringList excludedFiles;      // left out by the secret scan, relative to the packed directory
    QList<PackerStep> steps;        // where the service's time went
    qint64 milliseconds = 0;        // the whole run in the service
    PackerReuse reuse;
};

// The packer kept warm in a service process (share/lumbrel/service/
// packer-service.cjs run by the bundled runtime), so that a run costs what
// the packing costs and not the start of Node.js, the packer and its
// tokenizers. A run gives what RepomixWrapper::runRepomix gives for the same
// command line (the report, or the packer's failure), plus the per-file
// counts.
//
// The service is one process of its own group, started in the background
// and replaced by a fresh one in the background after a stop, after
// `Limits::requests` runs, when it reports more resident memory than the
// limits allow (a fresh process holds about 200 MB), when a run needs another
// environment, and when it dies. It ends after `Limits::idleExit` without
// runs; the next run starts it again and is itself left to the command line
// (`Unavailable`), so that nobody waits for the start.
// When it cannot serve a run (it cannot start, it died, the run has options
// it does not serve), `run` fails with an error in `errorDomain` (see
// `isUnavailable`): the caller then runs the packer's command line as before.
// After two failed starts in a row, or three deaths during runs in a row, it
// is not started again for the same environment.
//
// Threads: the service process lives on a thread of this object's own.
// `start` may be called from any thread and returns at once. `run` blocks its
// calling thread; it is meant for one long-lived worker thread, and calls from
// several threads are served one after the other. The stop token may be
// triggered from any thread. The destructor (from the thread that created the
// object, with no `run` in progress) ends the service's process group and
// waits for it.
class PackerService
{
public:
    // The build's setting (LUMBREL_SERVICE_IDLE_EXIT_SECONDS).
    static std::chrono::milliseconds defaultIdleExit();

    static inline const QString errorDomain = QStringLiteral("PackerService");
    enum ErrorCode {
        Unavailable = 1, // the service could not serve this run; run the command line instead
    };

    // When a service process is replaced by a fresh one (in the background),
    // and when it ends. A fresh warm process holds about 190 MiB; the work it
    // keeps for later runs adds up to about 128-256 MiB for large selections
    // (kept-work.cjs), and all of it goes when the process ends for idleness.
    struct Limits
    {
        int requests = 100;                                   // after this many runs
        qint64 residentBytes = qint64(512) * 1024 * 1024;     // at once, when a run leaves it bigger
        qint64 idleResidentBytes = qint64(448) * 1024 * 1024; // when it stays bigger while idle ...
        std::chrono::milliseconds idleDelay{10000};           // ... for this long
        // Ends without runs for this long (not at all when zero).
        std::chrono::milliseconds idleExit = defaultIdleExit();
        // How long an extra thread of the service's worker pools stays
        // idle before it ends; negative: the packer's own time-out.
        std::chrono::milliseconds poolIdleTime{-1};
    };

    explicit PackerService(PackerLocation packer = PackerLocation::bundled());
    PackerService(PackerLocation packer, Limits limits);
    ~PackerService();

    PackerService(const PackerService &) = delete;
    PackerService &operator=(const PackerService &) = delete;

    // The service script that belongs to a packer: beside its "repomix"
    // folder, in "service/packer-service.cjs".
    static QString scriptFor(const PackerLocation &packer);

    // Starts the service with `environment` in the background, unless it runs
    // or starts with that environment already.
    void start(const QProcessEnvironment &environment);

    // Runs the packer with the job arguments on `directory` in
    // `workingDirectory`, with `environment` (a service with another
    // environment is replaced first). Waits for the service to be ready; never
    // times out. Fails like runRepomix (the packer's exit status and standard
    // error; "Failed to read Repomix output."; no output written; stopped),
    // or with `Unavailable`. A stop request ends the service at once; the
    // next run gets a fresh one.
    // `progress`, if given, hears how far the run is, on a thread of the
    // service's own: it must only hand the news on.
    Result<PackerRun> run(const QStringList &arguments, const QUrl &directory,
                          const QProcessEnvironment &environment, const QString &workingDirectory,
                          std::stop_token stop = {}, const PackerProgressHandler &progress = {});

    static bool isUnavailable(const AppError &error) { return error.domain == errorDomain; }

    // For tests and benchmarks: the process serving now (0 when none), how
    // many were started, whether a run is in the service's hands, and
    // whether it ended for idleness (and was not started since).
    qint64 processId() const;
    int processesStarted() const;
    bool isServing() const;
    bool isDormant() const;

private:
    class Host;
    struct State;

    void replaceLocked(const QProcessEnvironment &environment);

    PackerLocation m_packer;
    QString m_script;
    Limits m_limits;

    std::unique_ptr<State> m_state; // guarded by m_mutex
    mutable std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::mutex m_runMutex; // one run at a time

    std::unique_ptr<QThread> m_thread;
    Host *m_host = nullptr; // lives on m_thread
};
