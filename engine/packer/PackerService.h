#pragma once

#include "AppError.h"
#include "PackerLocation.h"
#include "PackerRunner.h"

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

// The packer kept warm in a service process (share/lumbrel/service/
// packer-service.cjs run by the bundled runtime), so that a run costs what
// the packing costs and not the start of Node.js, the packer and its
// tokenizers. A run gives what the command line gives for the same
// invocation (the report, or the packer's failure), plus the per-file counts.
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
class PackerService final : public PackerRunner
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
    // keeps for later runs adds up to 128-256 MiB for large selections
    // (kept-work.cjs), and the heap of a process that has packed 100 MB of
    // text stays at 450-600 MiB once collected. Replacing it throws its kept
    // work away, so the limits lie above that; all of it goes when the
    // process ends for idleness.
    struct Limits
    {
        int requests = 100;                                   // after this many runs
        qint64 residentBytes = qint64(1024) * 1024 * 1024;    // at once, when it is bigger after a run
        qint64 idleResidentBytes = qint64(768) * 1024 * 1024; // when it stays bigger while idle ...
        std::chrono::milliseconds idleDelay{10000};           // ... for this long
        // Ends without runs for this long (not at all when zero).
        std::chrono::milliseconds idleExit = defaultIdleExit();
        // How long an extra thread of the service's worker pools stays
        // idle before it ends; negative: the packer's own time-out.
        std::chrono::milliseconds poolIdleTime{-1};
    };

    explicit PackerService(PackerLocation packer = PackerLocation::bundled());
    PackerService(PackerLocation packer, Limits limits);
    ~PackerService() override;

    PackerService(const PackerService &) = delete;
    PackerService &operator=(const PackerService &) = delete;

    // The service script that belongs to a packer: beside its "repomix"
    // folder, in "service/packer-service.cjs".
    static QString scriptFor(const PackerLocation &packer);

    // Starts the service with `environment` in the background, unless it runs
    // or starts with that environment already.
    void start(const QProcessEnvironment &environment);

    // Runs the packer as the command line would run `invocation`, with its
    // environment (a service with another environment is replaced first).
    // Waits for the service to be ready; never times out. Fails like the
    // command line (PackerRunner), or with `Unavailable`. A stop request ends
    // the service at once; the next run gets a fresh one. `progress`, if
    // given, is called on a thread of the service's own.
    Result<PackerRun> run(const PackerInvocation &invocation, std::stop_token stop,
                          const PackerProgressHandler &progress) override;

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
