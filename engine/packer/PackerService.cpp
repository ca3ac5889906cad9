#include "PackerService.h"

#include "BuildConfig.h"

#include "NativePath.h"
#include "OptionTable.h"
#include "PackerOutput.h"
#include "RunnerError.h"

#include "Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QThread>
#include <QTimer>

#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

namespace {

// Runtime flags the service is written for (see packer-service.cjs).
const QStringList runtimeFlags{QStringLiteral("--max-semi-space-size=2"), QStringLiteral("--expose-gc")};

// The packer's options of the option table, for the service to serve them:
// "--value-options=--style,..." and "--flag-options=--compress,...".
QStringList servedOptions()
{
    QStringList withValue;
    QStringList alone;
    for (const OptionSpec &option : OptionTable::all()) {
        if (option.packer == OptionSpec::Packer::None)
            continue;
        if (option.packer == OptionSpec::Packer::Switch) {
            for (const char *argument : {option.argument, option.argumentOff}) {
                if (argument)
                    alone << QString::fromLatin1(argument);
            }
        } else {
            withValue << QString::fromLatin1(option.argument);
        }
    }
    return {QStringLiteral("--value-options=") + withValue.join(u','), QStringLiteral("--flag-options=") + alone.join(u',')};
}

// Each frame of the service is one line that starts with this byte.
constexpr char frameMark = '\x1e';

// How much of the service's own standard error is kept to say why it ended.
constexpr qsizetype errorTailSize = 4096;

AppError unavailable(const QString &why)
{
    return {PackerService::errorDomain, PackerService::Unavailable,
            QStringLiteral("The packer service cannot serve this run: %1").arg(why)};
}

// What identifies one version of the output file, to tell whether a run wrote it.
struct FileStamp
{
    bool exists = false;
    fs::file_time_type modified;
    std::uintmax_t size = 0;

    static FileStamp of(const fs::path &path)
    {
        if (path.empty())
            return {};
        std::error_code error;
        FileStamp stamp;
        stamp.modified = fs::last_write_time(path, error);
        if (error)
            return {};
        stamp.size = fs::file_size(path, error);
        stamp.exists = !error;
        return stamp;
    }
    bool operator==(const FileStamp &) const = default;
};

// A failed run that says nothing about the user's request: the service
// itself ended in a state it does not know (and retires), or a worker thread
// of its kept pools was ended under the run. The command line, which keeps
// nothing between runs, would not have failed so.
bool failedInternally(const QJsonObject &response)
{
    return response.value(QLatin1String("retire")).toBool()
        || response.value(QLatin1String("stderr")).toString().contains(QLatin1String("Terminating worker thread"));
}

// The output file, or the first part of a split bundle.
fs::path firstWritten(const QString &output)
{
    return toPath(PackerOutput::writtenFiles(output).value(0, output));
}

// The response of the service as the command line would have answered.
Result<PackerRun> toResult(const QJsonObject &response, const QString &output, const FileStamp &before)
{
    if (response.contains(QLatin1String("refused")))
        return unavailable(response.value(QLatin1String("refused")).toString());
    if (!response.value(QLatin1String("stdoutUtf8")).toBool())
        return RunnerError::make(RunnerError::UnreadableOutput, QStringLiteral("Failed to read Repomix output."));
    const int exitCode = response.value(QLatin1String("exitCode")).toInt(-1);
    if (exitCode != 0 && failedInternally(response))
        return unavailable(QStringLiteral("the run failed inside the service: ")
                           + response.value(QLatin1String("stderr")).toString().trimmed());
    if (exitCode != 0) {
        if (!response.value(QLatin1String("stderrUtf8")).toBool())
            return RunnerError::make(RunnerError::UnreadableOutput,
                                     QStringLiteral("Repomix process failed with an unknown error."));
        return AppError::wrapper(exitCode, response.value(QLatin1String("stderr")).toString());
    }
    if (!output.isEmpty()) {
        const FileStamp after = FileStamp::of(firstWritten(output));
        if (!after.exists || after == before)
            return RunnerError::make(RunnerError::NoOutputWritten,
                                     QStringLiteral("The packer ended without writing %1.").arg(output));
    }

    PackerRun run;
    run.report = response.value(QLatin1String("stdout")).toString();
    const QJsonArray files = response.value(QLatin1String("files")).toArray();
    run.files.reserve(files.size());
    for (const QJsonValue &entry : files) {
        const QJsonArray file = entry.toArray();
        run.files.append({file.at(0).toString(), file.at(1).toInteger(), file.at(2).toInteger()});
    }
    for (const QJsonValue &path : response.value(QLatin1String("excluded")).toArray())
        run.excludedFiles.append(path.toString());
    for (const QJsonValue &entry : response.value(QLatin1String("steps")).toArray()) {
        const QJsonArray step = entry.toArray();
        run.steps.append({step.at(0).toString(), step.at(1).toInteger(), step.at(2).toInteger()});
    }
    run.milliseconds = response.value(QLatin1String("duration")).toInteger();
    const QJsonObject kept = response.value(QLatin1String("kept")).toObject();
    const QJsonArray processed = kept.value(QLatin1String("processed")).toArray();
    const QJsonArray scanned = kept.value(QLatin1String("scanned")).toArray();
    run.reuse = {kept.value(QLatin1String("unread")).toInteger(), processed.at(0).toInteger(),
                 processed.at(1).toInteger(), scanned.at(0).toInteger(), scanned.at(1).toInteger()};
    return run;
}

} // namespace

// ---- Shared state -----------------------------------------------------------------

struct PackerService::State
{
    enum class Phase {
        Idle,     // never started
        Starting, // a process is being started (or about to be)
        Ready,    // the process said it is ready and serves nothing
        Busy,     // the process serves `requestId`
        Dormant,  // ended for idleness; the next run starts it again
        Broken,   // not started again
        Closed,   // the object is going
    };
    Phase phase = Phase::Idle;
    quint64 generation = 0; // of the process that serves or starts; changes with each start
    qint64 pid = 0;
    QProcessEnvironment environment;
    QString failure = QStringLiteral("the service has not started");
    int failedStarts = 0; // in a row
    int failedRuns = 0;   // deaths during runs, in a row
    int served = 0;       // runs served by this process
    qint64 resident = 0;  // bytes it holds while idle, as it reported last
    int started = 0;      // processes started in all
    qint64 requestId = 0;
    std::optional<QJsonObject> response; // to `requestId`
    PackerProgressHandler progress;      // of the run of `requestId`
};

// ---- The process, on its own thread ---------------------------------------------

class PackerService::Host : public QObject
{
public:
    explicit Host(PackerService &service) : m_service(service), m_idle(this), m_idleExit(this)
    {
        m_idleExit.setSingleShot(true);
        connect(&m_idleExit, &QTimer::timeout, this, [this] {
            {
                std::lock_guard lock(m_service.m_mutex);
                State &state = *m_service.m_state;
                if (state.generation != m_generation || state.phase != State::Phase::Ready)
                    return;
                state.phase = State::Phase::Dormant;
                ++state.generation; // nothing of this process counts any more
                state.pid = 0;
                m_service.m_changed.notify_all();
            }
            m_idle.stop();
            retireCurrent();
        });
        m_idle.setSingleShot(true);
        connect(&m_idle, &QTimer::timeout, this, [this] {
            std::lock_guard lock(m_service.m_mutex);
            State &state = *m_service.m_state;
            if (state.generation == m_generation && state.phase == State::Phase::Ready
                && state.resident > m_service.m_limits.idleResidentBytes)
                m_service.replaceLocked(state.environment);
        });
    }

    void launch(quint64 generation, const QProcessEnvironment &environment)
    {
        {
            std::lock_guard lock(m_service.m_mutex);
            if (m_service.m_state->generation != generation || m_service.m_state->phase != State::Phase::Starting)
                return; // superseded by a later start, or closed
        }
        retireCurrent();

        const PackerLocation &packer = m_service.m_packer;
        QString missing;
        if (!QFileInfo(packer.runtime).isExecutable())
            missing = QStringLiteral("the Node.js runtime is missing: %1").arg(packer.runtime);
        else if (!QFileInfo(packer.script).isFile())
            missing = QStringLiteral("the packer is missing: %1").arg(packer.script);
        else if (!QFileInfo(m_service.m_script).isFile())
            missing = QStringLiteral("the service script is missing: %1").arg(m_service.m_script);
        if (!missing.isEmpty()) {
            std::lock_guard lock(m_service.m_mutex);
            m_service.m_state->failure = missing;
            m_service.m_state->phase = State::Phase::Broken;
            m_service.m_changed.notify_all();
            return;
        }

        auto *process = new QProcess(this);
        process->setProgram(packer.runtime);
        QStringList arguments = runtimeFlags + QStringList{m_service.m_script, packer.script} + servedOptions();
        if (const auto poolIdle = m_service.m_limits.poolIdleTime; poolIdle.count() >= 0)
            arguments << QStringLiteral("--pool-idle-ms=%1").arg(poolIdle.count());
        process->setArguments(arguments);
        process->setWorkingDirectory(QDir::tempPath());
        process->setProcessEnvironment(environment);
        platform::prepareChild(*process);
        m_current = process;
        m_generation = generation;
        m_output.clear();
        m_scanned = 0;
        m_errorTail.clear();

        connect(process, &QProcess::started, this, [this, process] {
            std::lock_guard lock(m_service.m_mutex);
            if (process == m_current && m_service.m_state->generation == m_generation)
                m_service.m_state->pid = process->processId();
        });
        connect(process, &QProcess::readyReadStandardOutput, this, [this, process] { readFrames(process); });
        connect(process, &QProcess::readyReadStandardError, this, [this, process] {
            const QByteArray bytes = process->readAllStandardError();
            if (process == m_current)
                m_errorTail = (m_errorTail + bytes).right(errorTailSize);
        });
        connect(process, &QProcess::finished, this, [this, process] { ended(process); });
        connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                ended(process);
        });
        {
            std::lock_guard lock(m_service.m_mutex);
            ++m_service.m_state->started;
        }
        process->start();
    }

    void send(quint64 generation, const QByteArray &line)
    {
        m_idle.stop(); // busy again
        m_idleExit.stop();
        if (m_current && generation == m_generation)
            m_current->write(line);
        // Otherwise the process has ended, and its end was announced.
    }

    void shutdown()
    {
        m_idle.stop();
        m_idleExit.stop();
        const QList<QProcess *> processes = findChildren<QProcess *>(Qt::FindDirectChildrenOnly);
        for (QProcess *process : processes) {
            process->disconnect(this);
            end(process);
            process->waitForFinished(-1);
            delete process;
        }
        m_current = nullptr;
    }

private:
    void armIdleExit()
    {
        if (const auto after = m_service.m_limits.idleExit; after.count() > 0)
            m_idleExit.start(after);
    }

    static void end(QProcess *process)
    {
        if (process->state() == QProcess::NotRunning)
            return;
        process->closeWriteChannel();
        if (const qint64 pid = process->processId(); pid > 0)
            platform::killProcessGroup(pid);
        else
            process->kill();
    }

    // The current process is replaced: it goes at once, and is deleted when
    // it has ended.
    void retireCurrent()
    {
        if (!m_current)
            return;
        end(m_current);
        if (m_current->state() == QProcess::NotRunning)
            m_current->deleteLater();
        m_current = nullptr;
    }

    void readFrames(QProcess *process)
    {
        const QByteArray bytes = process->readAllStandardOutput();
        if (process != m_current)
            return;
        m_output += bytes;
        qsizetype start = 0;
        for (qsizetype end = m_output.indexOf('\n', m_scanned); end >= 0; end = m_output.indexOf('\n', start)) {
            const QByteArrayView line(m_output.constData() + start, end - start);
            start = end + 1;
            const qsizetype mark = line.lastIndexOf(frameMark);
            if (mark < 0)
                continue; // not ours
            const QJsonDocument frame = QJsonDocument::fromJson(line.sliced(mark + 1).toByteArray());
            if (frame.isObject())
                handleFrame(frame.object());
        }
        m_output.remove(0, start);
        m_scanned = m_output.size();
    }

    void handleFrame(const QJsonObject &frame)
    {
        std::lock_guard lock(m_service.m_mutex);
        State &state = *m_service.m_state;
        if (state.generation != m_generation)
            return;
        if (frame.value(QLatin1String("ready")).toBool()) {
            if (state.phase == State::Phase::Starting) {
                state.phase = State::Phase::Ready;
                state.failedStarts = 0;
                armIdleExit();
            }
        } else if (frame.contains(QLatin1String("resident"))) {
            if (state.phase == State::Phase::Busy && state.response) {
                // The report that follows a run, read before the run's thread
                // took the answer (often in the same read): it counts once
                // that thread has, or the idle exit would never be armed.
                QTimer::singleShot(20, this, [this, frame] { handleFrame(frame); });
                return;
            }
            state.resident = frame.value(QLatin1String("resident")).toInteger();
            if (state.phase != State::Phase::Ready)
                return; // a run has begun; its end is reported again
            armIdleExit();
            if (state.resident > m_service.m_limits.residentBytes)
                m_service.replaceLocked(state.environment);
            else if (state.resident > m_service.m_limits.idleResidentBytes && state.served > 0)
                m_idle.start(m_service.m_limits.idleDelay); // never a fresh process that has served nothing
        } else if (state.phase == State::Phase::Busy
                   && frame.value(QLatin1String("id")).toInteger(-1) == state.requestId
                   && frame.contains(QLatin1String("progress"))) {
            const QJsonArray progress = frame.value(QLatin1String("progress")).toArray();
            if (state.progress)
                state.progress({progress.at(0).toString(), progress.at(1).toInteger(), progress.at(2).toInteger()});
            return;
        } else if (state.phase == State::Phase::Busy
                   && frame.value(QLatin1String("id")).toInteger(-1) == state.requestId) {
            state.response = frame;
        } else {
            return;
        }
        m_service.m_changed.notify_all();
    }

    void ended(QProcess *process)
    {
        if (process != m_current) {
            process->deleteLater(); // retired; its end was expected
            return;
        }
        readFrames(process); // a last response may still be in the pipe
        m_current = nullptr;
        process->deleteLater();

        QString why;
        if (process->error() == QProcess::FailedToStart)
            why = QStringLiteral("cannot start %1: %2").arg(process->program(), process->errorString());
        else if (process->exitStatus() == QProcess::CrashExit)
            why = QStringLiteral("the service process was killed or crashed");
        else
            why = QStringLiteral("the service process ended with status %1").arg(process->exitCode());
        const QString errorText = QString::fromUtf8(m_errorTail).trimmed();
        if (!errorText.isEmpty())
            why += QStringLiteral(": ") + errorText;

        quint64 next = 0;
        QProcessEnvironment environment;
        {
            std::lock_guard lock(m_service.m_mutex);
            State &state = *m_service.m_state;
            if (state.generation != m_generation || state.phase == State::Phase::Closed)
                return; // already replaced
            state.failure = why;
            state.pid = 0;
            if (state.phase == State::Phase::Starting)
                ++state.failedStarts;
            else if (state.phase == State::Phase::Busy && !state.response)
                ++state.failedRuns;
            if (state.failedStarts >= 2 || state.failedRuns >= 3) {
                state.phase = State::Phase::Broken;
            } else {
                next = ++state.generation;
                state.phase = State::Phase::Starting;
                environment = state.environment;
            }
            m_service.m_changed.notify_all();
        }
        if (next)
            launch(next, environment);
    }

    PackerService &m_service;
    QProcess *m_current = nullptr;
    quint64 m_generation = 0;
    QByteArray m_output;   // standard output not yet split into lines
    qsizetype m_scanned = 0; // bytes of m_output known to hold no line end
    QByteArray m_errorTail;
    QTimer m_idle;     // replaces a process that stays too big while idle
    QTimer m_idleExit; // ends a process that serves nothing for long
};

// ---- PackerService ---------------------------------------------------------------

PackerService::PackerService(PackerLocation packer)
    : PackerService(std::move(packer), Limits{})
{
}

PackerService::PackerService(PackerLocation packer, Limits limits)
    : m_packer(std::move(packer))
    , m_script(scriptFor(m_packer))
    , m_limits(limits)
    , m_state(std::make_unique<State>())
    , m_thread(std::make_unique<QThread>())
{
    m_thread->setObjectName(QStringLiteral("PackerService"));
    m_host = new Host(*this);
    m_host->moveToThread(m_thread.get());
    m_thread->start();
}

PackerService::~PackerService()
{
    {
        std::lock_guard lock(m_mutex);
        m_state->phase = State::Phase::Closed;
        m_state->failure = QStringLiteral("the service is closing");
        m_changed.notify_all();
    }
    QMetaObject::invokeMethod(m_host, [host = m_host] { host->shutdown(); }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_host;
}

std::chrono::milliseconds PackerService::defaultIdleExit()
{
    return std::chrono::seconds(buildconfig::serviceIdleExitSeconds);
}

QString PackerService::scriptFor(const PackerLocation &packer)
{
    return QDir::cleanPath(packer.packerDirectory() + QStringLiteral("/../service/packer-service.cjs"));
}

void PackerService::replaceLocked(const QProcessEnvironment &environment)
{
    State &state = *m_state;
    if (state.phase == State::Phase::Broken) { // another environment: worth another try
        state.failedStarts = 0;
        state.failedRuns = 0;
    }
    const quint64 generation = ++state.generation;
    state.phase = State::Phase::Starting;
    state.environment = environment;
    state.pid = 0;
    state.served = 0;
    state.resident = 0;
    QMetaObject::invokeMethod(
        m_host, [host = m_host, generation, environment] { host->launch(generation, environment); },
        Qt::QueuedConnection);
}

void PackerService::start(const QProcessEnvironment &environment)
{
    std::lock_guard lock(m_mutex);
    const State::Phase phase = m_state->phase;
    if (phase == State::Phase::Closed
        || (phase != State::Phase::Idle && phase != State::Phase::Dormant && m_state->environment == environment))
        return;
    replaceLocked(environment);
}

Result<PackerRun> PackerService::run(const PackerInvocation &invocation, std::stop_token stop,
                                     const PackerProgressHandler &progress)
{
    std::lock_guard serial(m_runMutex);
    if (stop.stop_requested())
        return RunnerError::stopped();

    const QProcessEnvironment &environment = invocation.environment.environment;
    const FileStamp before = FileStamp::of(firstWritten(invocation.output));
    QJsonObject request{
        {QStringLiteral("args"), QJsonArray::fromStringList(invocation.arguments)},
        {QStringLiteral("cwd"), invocation.environment.workingDirectory},
    };
    if (!invocation.standardInput.isEmpty())
        request.insert(QStringLiteral("stdin"), QString::fromUtf8(invocation.standardInput));

    std::unique_lock lock(m_mutex);
    State &state = *m_state;
    using Phase = State::Phase;
    const auto unusable = [&] { return state.phase == Phase::Broken || state.phase == Phase::Closed; };
    if (state.phase == Phase::Closed || (state.phase == Phase::Broken && state.environment == environment))
        return unavailable(state.failure);
    if (state.phase == Phase::Dormant) {
        // Ended for idleness: it starts again for the runs after this one.
        replaceLocked(environment);
        return unavailable(QStringLiteral("the service ended after a pause and is starting again"));
    }
    if (state.phase == Phase::Idle || state.phase == Phase::Broken || state.environment != environment)
        replaceLocked(environment);

    // A run that arrives while the service starts waits for it.
    m_changed.wait(lock, stop, [&] { return state.phase == Phase::Ready || unusable(); });
    if (stop.stop_requested())
        return RunnerError::stopped();
    if (state.phase != Phase::Ready)
        return unavailable(state.failure);

    const quint64 generation = state.generation;
    const qint64 pid = state.pid;
    request.insert(QStringLiteral("id"), ++state.requestId);
    state.response.reset();
    state.progress = progress;
    const auto forgetProgress = qScopeGuard([&] {
        if (lock.owns_lock())
            state.progress = {};
    });
    state.phase = Phase::Busy;
    const QByteArray line = QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n';
    QMetaObject::invokeMethod(m_host, [host = m_host, generation, line] { host->send(generation, line); },
                              Qt::QueuedConnection);

    {
        // A stop ends the whole process group at once, from the stopping thread.
        std::stop_callback killOnStop(stop, [pid] { platform::killProcessGroup(pid); });
        m_changed.wait(lock, stop, [&] {
            return state.response || state.generation != generation || state.phase != Phase::Busy;
        });
    }
    if (stop.stop_requested()) {
        platform::killProcessGroup(pid); // also when the stop came before the callback was in place
        state.response.reset();
        if (state.generation == generation)
            replaceLocked(state.environment);
        return RunnerError::stopped();
    }
    if (!state.response)
        return unavailable(state.failure); // the service died, or this object goes

    const QJsonObject response = std::move(*state.response);
    state.response.reset();
    if (state.generation == generation) {
        state.phase = Phase::Ready;
        state.failedRuns = 0;
        ++state.served;
        // Its size is judged once it has collected what the run left behind
        // (the "resident" frame that follows): right after a large run it
        // still holds the run's garbage, and replacing it then would throw
        // away the work it keeps for the next run.
        if (response.value(QLatin1String("retire")).toBool() || state.served >= m_limits.requests)
            replaceLocked(state.environment);
    }
    state.progress = {};
    lock.unlock();
    return toResult(response, invocation.output, before);
}

qint64 PackerService::processId() const
{
    std::lock_guard lock(m_mutex);
    return m_state->pid;
}

int PackerService::processesStarted() const
{
    std::lock_guard lock(m_mutex);
    return m_state->started;
}

bool PackerService::isServing() const
{
    std::lock_guard lock(m_mutex);
    return m_state->phase == State::Phase::Busy;
}

bool PackerService::isDormant() const
{
    std::lock_guard lock(m_mutex);
    return m_state->phase == State::Phase::Dormant;
}
