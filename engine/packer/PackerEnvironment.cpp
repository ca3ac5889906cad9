#include "PackerEnvironment.h"

#include "NativePath.h"
#include "PrivateArea.h"

#include <QDir>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace {
constexpr std::size_t keptSeenMarkers = 8;
}

bool PackerEnvironment::isPassedOn(const QString &name)
{
    // What a Node.js program needs to find programs and to speak the user's
    // language and time zone, and, on Windows, what the system's own
    // libraries look up. Nothing else of the user's environment: the runtime
    // and the packer read many variables (NODE_*, REPOMIX_*, proxies,
    // colours) that would change what a run does or where it writes.
    static const QStringList names{
        QStringLiteral("PATH"), QStringLiteral("LANG"), QStringLiteral("LANGUAGE"), QStringLiteral("TZ"),
#if defined(Q_OS_WIN)
        QStringLiteral("SystemRoot"), QStringLiteral("windir"), QStringLiteral("SystemDrive"),
        QStringLiteral("ComSpec"), QStringLiteral("PATHEXT"), QStringLiteral("NUMBER_OF_PROCESSORS"),
        QStringLiteral("PROCESSOR_ARCHITECTURE"), QStringLiteral("PROCESSOR_IDENTIFIER"), QStringLiteral("OS"),
        QStringLiteral("USERNAME"),
#else
        QStringLiteral("USER"), QStringLiteral("LOGNAME"),
#endif
    };
#if defined(Q_OS_WIN)
    const Qt::CaseSensitivity caseSensitivity = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity caseSensitivity = Qt::CaseSensitive;
#endif
    return names.contains(name, caseSensitivity) || name.startsWith(QLatin1String("LC_"), caseSensitivity);
}

Result<PackerEnvironment> PackerEnvironment::forRun()
{
    const Result<QString> home = PrivateArea::packerHomeDirectory();
    if (!home)
        return home.error();
    const Result<QString> temporary = PrivateArea::packerTemporaryDirectory();
    if (!temporary)
        return temporary.error();

    PackerEnvironment run;
    run.workingDirectory = home.value();
    QProcessEnvironment &environment = run.environment;
    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    for (const QString &name : system.keys()) {
        if (isPassedOn(name))
            environment.insert(name, system.value(name));
    }
    // The packer's home and configuration are an empty private folder, so
    // that no configuration of the user's applies and nothing is written
    // into the user's own folders (the packer migrates old files it finds
    // under HOME).
    environment.insert(QStringLiteral("HOME"), home.value());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.value());
    environment.insert(QStringLiteral("NO_COLOR"), QStringLiteral("1")); // a plain report, whatever the terminal
    environment.insert(QStringLiteral("TMPDIR"), temporary.value());
#if defined(Q_OS_WIN)
    environment.insert(QStringLiteral("USERPROFILE"), home.value());
    environment.insert(QStringLiteral("APPDATA"), home.value());
    environment.insert(QStringLiteral("LOCALAPPDATA"), home.value()); // where the packer looks for its global configuration
    environment.insert(QStringLiteral("TMP"), temporary.value());
    environment.insert(QStringLiteral("TEMP"), temporary.value());
#endif
    if (const Result<QString> cache = PrivateArea::cacheDirectory()) {
        run.cacheDirectory = cache.value();
        const QDir folder(cache.value());
        environment.insert(QStringLiteral("REPOMIX_TOKEN_CACHE_PATH"), folder.filePath(QStringLiteral("token-counts.json")));
        environment.insert(QStringLiteral("NODE_COMPILE_CACHE"), folder.filePath(QStringLiteral("node-compile-cache")));
    }
    return run;
}

void PackerEnvironment::pruneCache(const QString &cacheDirectory)
{
    if (cacheDirectory.isEmpty())
        return;
    const fs::path seen = toPath(cacheDirectory) / "seen";
    std::vector<std::pair<fs::file_time_type, fs::path>> markers;
    std::error_code error;
    for (fs::directory_iterator it(seen, error), end; !error && it != end; it.increment(error)) {
        std::error_code entryError;
        if (it->symlink_status(entryError).type() == fs::file_type::regular)
            markers.emplace_back(it->last_write_time(entryError), it->path());
    }
    if (markers.size() <= keptSeenMarkers)
        return;
    std::sort(markers.begin(), markers.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    for (std::size_t i = keptSeenMarkers; i < markers.size(); ++i)
        fs::remove(markers[i].second, error);
}
