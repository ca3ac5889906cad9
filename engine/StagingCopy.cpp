#include "StagingCopy.h"

#include "Platform.h"

#include <QFile>
#include <QRegularExpression>

namespace fs = std::filesystem;

namespace {
QString displayPath(const fs::path &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}
} // namespace

AppError fileSystemError(const std::error_code &error, const QString &what, const fs::path &path)
{
    return {QString::fromLatin1(error.category().name()), error.value(),
            QStringLiteral("%1 \"%2\": %3").arg(what, displayPath(path), QString::fromLocal8Bit(error.message()))};
}

StagingCopy::StagingCopy(std::set<std::string> skippedFolders)
    : m_skippedFolders(std::move(skippedFolders))
{
}

std::set<std::string> StagingCopy::versionControlFolders()
{
    return {".git", ".hg", ".svn"};
}

std::set<std::string> StagingCopy::packerIgnoredFolders(const QString &packerDirectory)
{
    QFile list(packerDirectory + QStringLiteral("/lib/config/defaultIgnore.js"));
    if (!list.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression entry(QStringLiteral(R"re(['"]\*\*/([^'"*/?\[\]{}]+)/\*\*['"])re"));
    std::set<std::string> names;
    const QString text = QString::fromUtf8(list.readAll());
    for (auto it = entry.globalMatch(text); it.hasNext();)
        names.insert(it.next().captured(1).toStdString());
    return names;
}

std::optional<AppError> StagingCopy::copy(const fs::path &from, const fs::path &to, std::stop_token stop) const
{
    return copyEntry(from, to, stop);
}

std::optional<AppError> StagingCopy::copyEntry(const fs::path &from, const fs::path &to,
                                               const std::stop_token &stop) const
{
    if (stop.stop_requested())
        return AppError::wrapper(-5, QStringLiteral("The run was stopped."));

    std::error_code error;
    const fs::file_status status = fs::symlink_status(from, error);
    if (error)
        return fileSystemError(error, QStringLiteral("Cannot read"), from);

    switch (status.type()) {
    case fs::file_type::symlink: {
        const fs::path target = fs::read_symlink(from, error);
        if (error)
            return fileSystemError(error, QStringLiteral("Cannot read the link"), from);
        fs::create_symlink(target, to, error);
        if (error)
            return fileSystemError(error, QStringLiteral("Cannot create"), to);
        return std::nullopt;
    }
    case fs::file_type::regular:
        if ((error = platform::copyRegularFile(from, to)))
            return fileSystemError(error, QStringLiteral("Cannot copy"), from);
        return std::nullopt;
    case fs::file_type::directory:
        break;
    default:
        return std::nullopt; // FIFOs, sockets and devices hold no text to pack, and a FIFO would block
    }

    if ((error = platform::createPrivateDirectory(to)))
        return fileSystemError(error, QStringLiteral("Cannot create"), to);
    fs::directory_iterator it(from, error);
    for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
        const fs::path name = it->path().filename();
        std::error_code typeError;
        if (m_skippedFolders.count(name.string()) && it->is_directory(typeError) && !it->is_symlink(typeError))
            continue;
        if (const auto failure = copyEntry(it->path(), to / name, stop))
            return failure;
    }
    if (error)
        return fileSystemError(error, QStringLiteral("Cannot read"), from);
    return std::nullopt;
}
