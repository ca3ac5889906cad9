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
    environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : environment.keys()) {
        if (name.startsWith(QLatin1String("REPOMIX_")))
            environment.remove(name);
    }
    for (const char *name : {"NODE_OPTIONS", "NODE_PATH", "NODE_COMPILE_CACHE"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.value());
    environment.insert(QStringLiteral("NO_COLOR"), QStringLiteral("1")); // a plain report, whatever the terminal
    environment.insert(QStringLiteral("TMPDIR"), temporary.value());
#if defined(Q_OS_WIN)
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
