#include "PrivateArea.h"

#include "Log.h"
#include "NativePath.h"
#include "Platform.h"
#include "RunnerError.h"
#include "SettingsStore.h"
#include "StagingCopy.h"

#include <QDir>
#include <QMutex>
#include <QStandardPaths>
#include <QUuid>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

const char sessionPrefix[] = "session-";
const char lockName[] = "lock";

std::string areaName()
{
    return platform::perUserName("lumbrel");
}

struct Session
{
    fs::path area;
    fs::path directory;
    platform::FileLock lock;
};

QMutex &mutex()
{
    static QMutex lock;
    return lock;
}

// One session per temporary directory, for the process's life.
std::map<QString, Session> &sessions()
{
    static std::map<QString, Session> map;
    return map;
}

// The temporary directory, when it is a usable folder.
Result<fs::path> temporaryDirectory()
{
#if defined(Q_OS_WIN)
    const QString variable;
#else
    const QString variable = qEnvironmentVariable("TMPDIR");
#endif
    const bool fromVariable = !variable.isEmpty();
    // Qt gives the canonical path, which is empty for a folder that is missing.
    QString temp = QDir::tempPath();
    if (temp.isEmpty())
        temp = QDir::cleanPath(fromVariable ? variable : QStringLiteral("/tmp"));
    std::error_code error;
    const fs::file_status status = fs::status(toPath(temp), error);
    const QString source = fromVariable ? QStringLiteral(" set by TMPDIR") : QString();
    if (error || !fs::exists(status))
        return RunnerError::make(RunnerError::NoTemporaryFolder,
                                 QStringLiteral("The temporary folder \"%1\"%2 does not exist.").arg(temp, source));
    if (!fs::is_directory(status))
        return RunnerError::make(RunnerError::NoTemporaryFolder,
                                 QStringLiteral("The temporary folder \"%1\"%2 is not a folder.").arg(temp, source));
    return toPath(temp);
}

Result<fs::path> areaLocked(const fs::path &temp)
{
    const fs::path fixed = temp / areaName();
    if (!platform::ensurePrivateDirectory(fixed))
        return fixed;
    // Someone else holds the fixed name: a fresh folder of our own instead.
    fs::path fallback;
    fs::path prefix = fixed;
    prefix += "-";
    if (const std::error_code error = platform::createUniquePrivateDirectory(prefix, fallback))
        return fileSystemError(error, QStringLiteral("Cannot create a private folder in"), temp);
    logLine(QStringLiteral("The folder %1 is not private to this user; using %2").arg(fromPath(fixed), fromPath(fallback)));
    return fallback;
}

Result<Session *> sessionLocked()
{
    const Result<fs::path> temp = temporaryDirectory();
    if (!temp)
        return temp.error();
    const QString key = fromPath(temp.value());
    auto found = sessions().find(key);
    std::error_code statusError;
    if (found != sessions().end() && fs::is_directory(fs::symlink_status(found->second.directory, statusError)))
        return &found->second;

    fs::path area;
    if (found != sessions().end() && platform::isPrivateDirectory(found->second.area)) {
        area = found->second.area;
    } else {
        const Result<fs::path> made = areaLocked(temp.value());
        if (!made)
            return made.error();
        area = made.value();
    }

    fs::path directory;
    if (const std::error_code error = platform::createUniquePrivateDirectory(area / sessionPrefix, directory))
        return fileSystemError(error, QStringLiteral("Cannot create a session folder in"), area);
    // The lock gets its final name only once it is held, so that a sweep
    // never finds a lock it could take from a session being set up.
    std::error_code error;
    platform::FileLock lock = platform::FileLock::tryLock(directory / ".lock-new", true, error);
    if (!error)
        fs::rename(directory / ".lock-new", directory / lockName, error);
    for (const char *folder : {"packer-tmp", "packer-home"}) {
        if (!error)
            error = platform::createPrivateDirectory(directory / folder);
    }
    if (error) {
        std::error_code ignored;
        fs::remove_all(directory, ignored);
        return fileSystemError(error, QStringLiteral("Cannot set up the session folder"), directory);
    }
    // Staged links and copies must not outlive a killed or crashed process
    // until the next start: they could keep a file the user deletes.
    if (!platform::removeWhenProcessEnds(directory))
        logLine(QStringLiteral("Nothing removes %1 if Lumbrel is killed; the next start will").arg(fromPath(directory)));
    Session &session = sessions()[key];
    session = Session{area, directory, std::move(lock)};
    return &session;
}

Result<QString> sessionPath(const char *child = nullptr)
{
    QMutexLocker locker(&mutex());
    const Result<Session *> session = sessionLocked();
    if (!session)
        return session.error();
    return fromPath(child ? session.value()->directory / child : session.value()->directory);
}

// The bytes that removing `path` frees: regular files below it that have
// no other name (hard-linked files stay where they are). Links are not followed.
qint64 bytesBelow(const fs::path &path)
{
    qint64 bytes = 0;
    std::error_code error;
    for (fs::recursive_directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
        std::error_code sizeError;
        if (it->symlink_status(sizeError).type() == fs::file_type::regular && it->hard_link_count(sizeError) == 1)
            bytes += static_cast<qint64>(it->file_size(sizeError));
    }
    return bytes;
}

} // namespace

Result<QString> PrivateArea::temporaryArea()
{
    QMutexLocker locker(&mutex());
    const Result<Session *> session = sessionLocked();
    if (!session)
        return session.error();
    return fromPath(session.value()->area);
}

Result<QString> PrivateArea::sessionDirectory()
{
    return sessionPath();
}

Result<QString> PrivateArea::packerTemporaryDirectory()
{
    return sessionPath("packer-tmp");
}

Result<QString> PrivateArea::packerHomeDirectory()
{
    return sessionPath("packer-home");
}

Result<QString> PrivateArea::scratchFile(const QString &suffix)
{
    const Result<QString> session = sessionDirectory();
    if (!session)
        return session;
    return QDir(session.value())
        .filePath(QStringLiteral("output-") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + suffix);
}

Result<QString> PrivateArea::instanceDirectory()
{
#if !defined(Q_OS_WIN)
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    // Checked here rather than through QStandardPaths, which falls back to a
    // folder in the shared temporary directory.
    if (QDir::isAbsolutePath(runtime) && platform::isPrivateDirectory(toPath(runtime))) {
        const fs::path folder = toPath(runtime) / "lumbrel";
        if (!platform::ensurePrivateDirectory(folder))
            return fromPath(folder);
    }
#endif
    const Result<fs::path> temp = temporaryDirectory();
    if (!temp)
        return temp.error();
    const fs::path fixed = temp.value() / areaName();
    if (const std::error_code error = platform::ensurePrivateDirectory(fixed))
        return fileSystemError(error, QStringLiteral("Cannot use the private folder"), fixed);
    return fromPath(fixed);
}

Result<QString> PrivateArea::cacheDirectory()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        return RunnerError::make(RunnerError::NoTemporaryFolder, QStringLiteral("There is no cache folder for this user."));
    const fs::path application = toPath(QDir::cleanPath(base));
    const fs::path folder = application / "packer";

    // Each missing level is made private; existing ones above the
    // application's own folder are the user's business.
    std::vector<fs::path> missing;
    std::error_code error;
    for (fs::path at = folder; !at.empty() && !fs::exists(fs::symlink_status(at, error)); at = at.parent_path()) {
        missing.push_back(at);
        if (at == at.parent_path())
            break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        error = platform::createPrivateDirectory(*it);
        if (error && error != std::errc::file_exists)
            return fileSystemError(error, QStringLiteral("Cannot create"), *it);
    }
    platform::EntryInfo info;
    error = platform::entryInfo(application, info);
    if (!error && (info.type != fs::file_type::directory || !info.ownedByUser))
        error = std::make_error_code(std::errc::permission_denied);
    if (!error)
        error = platform::ensurePrivateDirectory(folder);
    if (error)
        return fileSystemError(error, QStringLiteral("Cannot use the cache folder"), folder);
    return fromPath(folder);
}

QStringList PrivateArea::ownLocations()
{
    QStringList locations;
    if (const Result<QString> area = temporaryArea())
        locations << area.value();
    for (const QStandardPaths::StandardLocation location :
         {QStandardPaths::CacheLocation, QStandardPaths::AppConfigLocation, QStandardPaths::AppDataLocation}) {
        const QString path = QStandardPaths::writableLocation(location);
        if (QDir::isAbsolutePath(path))
            locations << path;
    }
    for (const QString &settings : SettingsStore::files())
        locations << settings << settings + QStringLiteral(".lock");
    locations.removeDuplicates();
    return locations;
}

PrivateArea::Sweep PrivateArea::sweepStale()
{
    Sweep sweep;
    const Result<fs::path> temp = temporaryDirectory();
    if (!temp)
        return sweep;

    // Sessions made from now on are locked before a sweep can see them, so
    // only this process's own session needs to be known.
    fs::path ownArea;
    fs::path ownSession;
    {
        QMutexLocker locker(&mutex());
        if (const auto found = sessions().find(fromPath(temp.value())); found != sessions().end()) {
            ownArea = found->second.area;
            ownSession = found->second.directory;
        }
    }

    const std::string fixedName = areaName();
    std::vector<fs::path> areas;
    std::error_code error;
    for (fs::directory_iterator it(temp.value(), error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if ((name == fixedName || name.rfind(fixedName + '-', 0) == 0) && platform::isPrivateDirectory(it->path()))
            areas.push_back(it->path());
    }

    for (const fs::path &area : areas) {
        std::vector<fs::path> stale;
        std::error_code listError;
        for (fs::directory_iterator it(area, listError), end; !listError && it != end; it.increment(listError)) {
            const fs::path &session = it->path();
            if (session.filename().string().rfind(sessionPrefix, 0) != 0 || session == ownSession
                || !platform::isPrivateDirectory(session))
                continue;
            platform::EntryInfo lockInfo;
            if (platform::entryInfo(session / lockName, lockInfo) || lockInfo.type != fs::file_type::regular
                || !lockInfo.ownedByUser)
                continue; // not one of ours, or still being set up
            stale.push_back(session);
        }
        for (const fs::path &session : stale) {
            std::error_code lockError;
            // Held while the folder goes: its owner is dead, nobody else takes it.
            const platform::FileLock lock = platform::FileLock::tryLock(session / lockName, false, lockError);
            if (lockError)
                continue; // a live process's session
            const qint64 bytes = bytesBelow(session);
            std::error_code removeError;
            fs::remove_all(session, removeError);
            if (!removeError) {
                ++sweep.removed;
                sweep.bytes += bytes;
            }
        }
        if (area != ownArea && area.filename().string() != fixedName) {
            std::error_code ignored;
            fs::remove(area, ignored); // only when it is empty now
        }
    }
    return sweep;
}

void PrivateArea::endSession()
{
    QMutexLocker lock(&mutex());
    for (auto &[key, session] : sessions()) {
        std::error_code ignored;
        fs::remove_all(session.directory, ignored); // links inside are removed, never followed
    }
    sessions().clear(); // releases the locks
}
