#include "StagingCopy.h"

#include <QDir>

#include "NativePath.h"
#include "PackerFiles.h"
#include "Platform.h"
#include "RunnerError.h"
#include "UserPatterns.h"

#include <QSet>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <iterator>

namespace fs = std::filesystem;

namespace {

constexpr int stopCheckInterval = 256;

// The name of an entry as the packer sees it, or nothing when the packer
// could not open an entry of that name.
std::optional<QString> readableName(const fs::path &name)
{
#if defined(_WIN32)
    return QString::fromStdWString(name.native());
#else
    const std::string &bytes = name.native();
    if (!isValidUtf8(bytes))
        return std::nullopt;
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
#endif
}

// What a failure to read an entry means for it.
LeftOutReason readFailure(const std::error_code &error)
{
    if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory
        || error == std::errc::too_many_symbolic_link_levels || error == std::errc::not_supported)
        return LeftOutReason::Vanished; // gone, or replaced by something else
    if (error == std::errc::filename_too_long)
        return LeftOutReason::PathTooLong; // a folder whose entries' paths the system cannot take
    return LeftOutReason::Unreadable;
}

// Names of chosen items clash as the file system compares them.
QString nameKey(const QString &name)
{
#if defined(Q_OS_MACOS) || defined(Q_OS_WIN)
    return name.toCaseFolded();
#else
    return name;
#endif
}

// The cursors of the three rule sets along one path.
struct Cursors
{
    IgnoreRules::Cursor item;      // default rules from the chosen folder's root
    IgnoreRules::Cursor root;      // default rules from the staging root
    UserPatterns::Root::Cursor user; // the user's patterns from the chosen item's root
};

struct Rules
{
    IgnoreRules item;
    const IgnoreRules &root;
    UserPatterns::Root user;

    Cursors step(const Cursors &at, QStringView name, bool directory) const
    {
        return {at.item.isDead() ? at.item : item.step(at.item, name),
                at.root.isDead() ? at.root : root.step(at.root, name), user.step(at.user, name, directory)};
    }
    std::optional<LeftOutReason> ignores(const Cursors &at, bool directory) const
    {
        const auto check = [directory](const IgnoreRules &rules, const IgnoreRules::Cursor &cursor) {
            return directory ? rules.ignoresDirectory(cursor) : rules.ignoresFile(cursor);
        };
        if (check(item, at.item) || check(root, at.root))
            return LeftOutReason::DefaultRule;
        switch (user.verdict(at.user, directory)) {
        case UserPatterns::Verdict::Ignored:
            return LeftOutReason::IgnorePattern;
        case UserPatterns::Verdict::NotIncluded:
            return LeftOutReason::NotIncluded;
        case UserPatterns::Verdict::Kept:
            break;
        }
        return std::nullopt;
    }
};

// The names a path has been given in place of one that is not valid UTF-8:
// the name read with each bad byte replaced. Tells a chosen item whose name
// was lost on the way to us from one that is gone.
bool isLossyNameOfEntry(const fs::path &path)
{
    const QString wanted = fromPath(path.filename());
    if (!wanted.contains(QChar::ReplacementCharacter))
        return false;
    std::error_code error;
    for (fs::directory_iterator it(path.parent_path(), error), end; !error && it != end; it.increment(error)) {
        const std::string bytes = it->path().filename().native();
        if (!isValidUtf8(bytes) && QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())) == wanted)
            return true;
    }
    return false;
}

// Why a chosen item cannot be looked at.
LeftOutReason chosenItemFailure(const fs::path &path, const std::error_code &error)
{
    if (error == std::errc::not_a_directory)
        return LeftOutReason::NotAFolder;
    if (error == std::errc::filename_too_long)
        return LeftOutReason::PathTooLong;
    if (error == std::errc::no_such_file_or_directory)
        return isLossyNameOfEntry(path) ? LeftOutReason::InvalidName : LeftOutReason::Missing;
    return LeftOutReason::Unreadable;
}

std::size_t nativeLength(const fs::path &path)
{
    return path.native().size();
}

} // namespace

bool isValidUtf8(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        char32_t code = 0;
        if ((byte & 0xE0) == 0xC0) {
            length = 2;
            code = byte & 0x1F;
        } else if ((byte & 0xF0) == 0xE0) {
            length = 3;
            code = byte & 0x0F;
        } else if ((byte & 0xF8) == 0xF0) {
            length = 4;
            code = byte & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(length) > bytes.size())
            return false;
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += static_cast<std::size_t>(length);
    }
    return true;
}

AppError fileSystemError(const std::error_code &error, const QString &what, const fs::path &path)
{
    return {QString::fromLatin1(error.category().name()), error.value(),
            QStringLiteral("%1 \"%2\": %3").arg(what, fromPath(path), QString::fromLocal8Bit(error.message()))};
}

StagingCopy::StagingCopy(Settings settings)
    : m_settings(std::move(settings))
{
}

const QSet<QString> &StagingCopy::ignoreFileNames()
{
    static const QSet<QString> names{QStringLiteral(".gitignore"), QStringLiteral(".ignore"),
                                     QStringLiteral(".repomixignore")};
    return names;
}

const std::set<std::string> &StagingCopy::versionControlFolders()
{
    static const std::set<std::string> names{".git", ".hg", ".svn"};
    return names;
}

QString StagingCopy::numberedName(const QString &name, int number, bool folder)
{
    const QString mark = QStringLiteral(" (%1)").arg(number);
    const qsizetype dot = folder ? -1 : name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) + mark + name.mid(dot) : name + mark;
}

bool StagingCopy::hasLineBreak(QStringView name)
{
    return std::any_of(name.begin(), name.end(), [](QChar c) {
        switch (c.unicode()) {
        case 0x000A: case 0x000B: case 0x000C: case 0x000D:
        case 0x0085: case 0x2028: case 0x2029:
            return true;
        default:
            return false;
        }
    });
}

std::uintmax_t StagingCopy::Plan::outputEstimate() const
{
    // Each file adds its path to the directory tree and a header of a line
    // or two to the body; the packer's own header is a few kilobytes.
    constexpr std::uintmax_t perFile = 256;
    constexpr std::uintmax_t header = 64 * 1024;
    return textBytes + fileCount * perFile + header;
}

StagingCopy::Plan StagingCopy::plan(const QList<QUrl> &items, const Request &request, std::stop_token stop) const
{
    Plan plan;
    plan.defaultRulesApplied = m_settings.defaultRules.has_value();
    const std::size_t maximumPath = platform::maximumPathLength();
    const auto leaveOut = [&plan](const fs::path &path, LeftOutReason reason) {
        plan.leftOut.append({fromPath(path), reason});
    };
    const auto isOwn = [&request](const platform::EntryInfo &info) {
        return request.ownEntries.count({info.device, info.inode}) > 0;
    };
    const auto tooLong = [&](const fs::path &source, const fs::path &target) {
        return nativeLength(source) > maximumPath || nativeLength(request.stagingDirectory / target) > maximumPath;
    };
    const auto addFile = [&](const fs::path &source, const fs::path &target, const platform::EntryInfo &info) {
        plan.entries.push_back({Entry::File, source, target, info.size, info.device});
        plan.fileBytes += info.size;
        ++plan.fileCount;
        if (!m_settings.linkFiles || info.device != request.stagingDevice || !info.ownedByUser)
            plan.copyBytes += info.size;
        const QString extension = fromPath(source.extension()).mid(1).toLower();
        if (!extension.isEmpty() && m_settings.binaryExtensions.contains(extension))
            leaveOut(source, LeftOutReason::Binary); // in the directory tree, not read
        else
            plan.textBytes += info.size;
    };

    // The chosen items, what they are, and the names they get.
    struct Chosen
    {
        QUrl url;
        fs::path path;   // as chosen
        fs::path source; // what is staged: the same, or what a chosen link points to
        platform::EntryInfo info;
        QString stagedName;
        bool renamed;
    };
    std::vector<Chosen> chosen;
    QSet<QString> taken;
    for (const QUrl &url : items) {
        fs::path path = toPath(url.toLocalFile()).lexically_normal();
        if (!path.has_filename())
            path = path.parent_path();
        if (path.has_root_path() && path == path.root_path()) {
            leaveOut(path, LeftOutReason::FileSystemRoot);
            continue;
        }
        platform::EntryInfo info;
        if (const std::error_code error = platform::entryInfo(path, info)) {
            leaveOut(path, chosenItemFailure(path, error));
            continue;
        }
        const std::optional<QString> name = readableName(path.filename());
        if (!name || name->isEmpty() || *name == u"." || *name == u"..") {
            leaveOut(path, LeftOutReason::InvalidName);
            continue;
        }
        if (hasLineBreak(*name)) {
            leaveOut(path, LeftOutReason::LineBreak);
            continue;
        }
        fs::path source = path;
        if (info.type == fs::file_type::symlink) {
            // A chosen link stands for what it points to.
            std::error_code error = platform::entryInfo(path, info, true);
            if (!error)
                source = fs::canonical(path, error);
            if (error) {
                leaveOut(path, error == std::errc::permission_denied ? LeftOutReason::Unreadable : LeftOutReason::Missing);
                continue;
            }
        }
        if (isOwn(info)) {
            leaveOut(path, LeftOutReason::OwnFiles);
            continue;
        }
        if (info.type != fs::file_type::regular && info.type != fs::file_type::directory) {
            leaveOut(path, LeftOutReason::SpecialFile);
            continue;
        }
        const bool folder = info.type == fs::file_type::directory;
        QString stagedName = *name;
        for (int number = 2; taken.contains(nameKey(stagedName)); ++number)
            stagedName = numberedName(*name, number, folder);
        taken.insert(nameKey(stagedName));
        chosen.push_back({url, path, source, info, stagedName, stagedName != *name});
    }

    // Default rules that start at the staging root. A pattern that names an
    // existing folder there works differently in the packer; such patterns
    // are only left to the packer.
    const auto isStagedFolder = [&chosen](const QString &relative) {
        const qsizetype slash = relative.indexOf(u'/');
        const QString first = slash < 0 ? relative : relative.left(slash);
        for (const Chosen &item : chosen) {
            if (item.stagedName == first) {
                std::error_code ignored;
                return fs::is_directory(slash < 0 ? item.source : item.source / toPath(relative.mid(slash + 1)), ignored);
            }
        }
        return false;
    };
    const IgnoreRules rootRules = m_settings.rootRules.forRoot(isStagedFolder, IgnoreRules::LiteralFolders::Drop);
    const UserPatterns userPatterns(request.ignorePatterns, request.includePatterns);
    // What a pattern names, seen from a search root (absolute patterns name
    // absolute paths).
    const auto folderTest = [](const fs::path &root) {
        return [root](const QString &path) {
            std::error_code ignored;
            return fs::is_directory(path.startsWith(u'/') ? toPath(path) : root / toPath(path), ignored);
        };
    };

    QStringList stagedFolders;
    QStringList stagedFiles;
    QStringList rulesOnlyFiles; // staged for the packer's rules, not to be packed
    int sinceStopCheck = 0;
    for (const Chosen &item : chosen) {
        if (stop.stop_requested())
            return plan;
        const fs::path target = toPath(item.stagedName);
        const bool folder = item.info.type == fs::file_type::directory;
        const auto ticked = request.ticks.constFind(item.url);
        const ItemTicks *ticks = folder && ticked != request.ticks.cend() ? &*ticked : nullptr;
        const QString itemPrefix = item.stagedName + u'/';
        if (tooLong(item.source, target)) {
            leaveOut(item.path, LeftOutReason::PathTooLong);
            continue;
        }
        // A chosen folder is the root of its own search; a chosen file is
        // seen from its folder, by its name.
        const fs::path searchRoot = folder ? item.path : item.path.parent_path();
        Rules rules{IgnoreRules(), rootRules, userPatterns.forRoot(folderTest(folder ? item.source : searchRoot))};
        if (folder && m_settings.defaultRules)
            rules.item = m_settings.defaultRules->forRoot(folderTest(item.source), IgnoreRules::LiteralFolders::Expand);
        const UserPatterns::Root::Cursor userStart = rules.user.start(fromPath(searchRoot));
        const IgnoreRules::Cursor rootCursor = rootRules.step(rootRules.start(), item.stagedName);
        // A chosen folder is never left out by the rules of its own search,
        // only by rules that start above it; a chosen file by its name.
        const Cursors check{IgnoreRules::Cursor(), rootCursor,
                            folder ? UserPatterns::Root::Cursor()
                                   : rules.user.step(userStart, fromPath(item.path.filename()), false)};
        if (const std::optional<LeftOutReason> reason = rules.ignores(check, folder)) {
            leaveOut(item.path, *reason);
            continue;
        }
        if (!folder) {
            if (request.bundleFiles.count({item.info.device, item.info.inode}))
                continue; // the bundle's own file
            if (m_settings.maxFileSize && item.info.size > m_settings.maxFileSize) {
                leaveOut(item.path, LeftOutReason::TooLarge);
                continue;
            }
            addFile(item.source, target, item.info);
            plan.items.append({item.url, item.stagedName, item.renamed});
            stagedFiles << item.stagedName;
            continue;
        }

        Cursors cursors{rules.item.start(), rootCursor, userStart};
        plan.entries.push_back({Entry::Directory, item.source, target});
        const std::size_t itemEntry = plan.entries.size() - 1;
        struct Folder
        {
            fs::path source;
            fs::path target;
            Cursors cursors;
            std::size_t entry;
        };
        std::vector<Folder> folders{{item.source, target, std::move(cursors), plan.entries.size() - 1}};
        while (!folders.empty()) {
            const Folder folder = std::move(folders.back());
            folders.pop_back();
            std::error_code error;
            fs::directory_iterator it(folder.source, error);
            if (error) {
                plan.entries[folder.entry].kind = Entry::Skipped;
                leaveOut(folder.source, readFailure(error));
                continue;
            }
            for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
                if (++sinceStopCheck == stopCheckInterval) {
                    sinceStopCheck = 0;
                    if (stop.stop_requested())
                        return plan;
                }
                const fs::path &path = it->path();
                const fs::path name = path.filename();
                const std::optional<QString> readable = readableName(name);
                if (!readable) {
                    leaveOut(path, LeftOutReason::InvalidName);
                    continue;
                }
                if (hasLineBreak(*readable)) {
                    leaveOut(path, LeftOutReason::LineBreak);
                    continue;
                }
                std::error_code typeError;
                const fs::file_type type = it->symlink_status(typeError).type();
                if (typeError) {
                    leaveOut(path, readFailure(typeError));
                    continue;
                }
                if (type == fs::file_type::directory && versionControlFolders().count(name.string())) {
                    leaveOut(path, LeftOutReason::DefaultRule);
                    continue;
                }
                const bool isFolder = type == fs::file_type::directory;
                Cursors next = rules.step(folder.cursors, *readable, isFolder);
                // The packer reads the ignore files of a folder whatever the
                // patterns say of them: they are staged for their rules, and
                // the packer is told not to pack them.
                bool rulesOnly = false;
                if (const std::optional<LeftOutReason> reason = rules.ignores(next, isFolder)) {
                    rulesOnly = type == fs::file_type::regular && ignoreFileNames().contains(*readable);
                    if (!rulesOnly) {
                        if (type != fs::file_type::symlink) // links are never packed anyway
                            leaveOut(path, *reason);
                        continue;
                    }
                }
                // What the user unticked in the folder's tree (links are never packed).
                if (ticks && type != fs::file_type::symlink && !rulesOnly
                    && !ticks->takes(QDir::fromNativeSeparators(fromPath(folder.target / name)).mid(itemPrefix.size()), isFolder)) {
                    leaveOut(path, LeftOutReason::Unticked);
                    continue;
                }
                if (tooLong(path, folder.target / name)) {
                    leaveOut(path, LeftOutReason::PathTooLong);
                    continue;
                }
                switch (type) {
                case fs::file_type::symlink:
                    plan.entries.push_back({Entry::Link, path, folder.target / name});
                    break;
                case fs::file_type::regular:
                case fs::file_type::directory: {
                    platform::EntryInfo info;
                    if (const std::error_code statError = platform::entryInfo(path, info)) {
                        leaveOut(path, readFailure(statError));
                        break;
                    }
                    if (isOwn(info)) {
                        leaveOut(path, LeftOutReason::OwnFiles);
                    } else if (info.type == fs::file_type::directory) {
                        plan.entries.push_back({Entry::Directory, path, folder.target / name});
                        folders.push_back({path, folder.target / name, std::move(next), plan.entries.size() - 1});
                    } else if (info.type != fs::file_type::regular) {
                        leaveOut(path, LeftOutReason::Vanished); // replaced since it was listed
                    } else if (request.bundleFiles.count({info.device, info.inode})) {
                        // the bundle's own file (a bundle written here before)
                    } else if (m_settings.maxFileSize && info.size > m_settings.maxFileSize) {
                        leaveOut(path, LeftOutReason::TooLarge);
                    } else if (rulesOnly) {
                        plan.entries.push_back({Entry::File, path, folder.target / name, info.size, info.device});
                        rulesOnlyFiles << fromPath(folder.target / name);
                    } else {
                        addFile(path, folder.target / name, info);
                    }
                    break;
                }
                default:
                    leaveOut(path, LeftOutReason::SpecialFile);
                    break;
                }
            }
            if (error)
                leaveOut(folder.source, readFailure(error));
        }
        if (plan.entries[itemEntry].kind != Entry::Skipped) {
            plan.items.append({item.url, item.stagedName, item.renamed});
            stagedFolders << item.stagedName;
        }
    }

    plan.patternsApplied = userPatterns.isExact();
    const UserPatterns::PackerPatterns packer = userPatterns.forStagingRoot(stagedFolders, stagedFiles, rulesOnlyFiles);
    plan.rootIgnorePatterns = packer.ignore;
    plan.rootIncludePatterns = packer.include;
    return plan;
}

std::optional<AppError> StagingCopy::execute(Plan &plan, const fs::path &staging, std::uint64_t stagingDevice,
                                             std::stop_token stop, qint64 &bytesCopied, qint64 &bytesLinked) const
{
    bool mayLink = m_settings.linkFiles;
    int sinceStopCheck = 0;
    for (const Entry &entry : plan.entries) {
        if (++sinceStopCheck == stopCheckInterval) {
            sinceStopCheck = 0;
            if (stop.stop_requested())
                return RunnerError::stopped();
        }
        const fs::path to = staging / entry.target;
        std::error_code error;
        switch (entry.kind) {
        case Entry::Skipped:
            break;
        case Entry::Directory:
            if ((error = platform::createPrivateDirectory(to)))
                return fileSystemError(error, QStringLiteral("Cannot create"), to);
            break;
        case Entry::Link: {
            const fs::path target = fs::read_symlink(entry.source, error);
            if (error) {
                plan.leftOut.append({fromPath(entry.source), readFailure(error)});
                break;
            }
            fs::create_symlink(target, to, error);
            if (error)
                return fileSystemError(error, QStringLiteral("Cannot create"), to);
            break;
        }
        case Entry::File: {
            if (mayLink && entry.device == stagingDevice) {
                // Linking needs no permission to read, so ask first: an
                // unreadable file must not reach the packer.
                if ((error = platform::checkReadable(entry.source))) {
                    plan.leftOut.append({fromPath(entry.source), readFailure(error)});
                    break;
                }
                error = platform::linkFile(entry.source, to);
                if (!error) {
                    bytesLinked += static_cast<qint64>(entry.size);
                    break;
                }
                if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory) {
                    plan.leftOut.append({fromPath(entry.source), LeftOutReason::Vanished});
                    break;
                }
                if (error == std::errc::cross_device_link)
                    mayLink = false;
                // Otherwise linking is refused for this file (protected
                // links, too many links): copy it, which also tells a
                // failure of the target.
            }
            bool sourceFailed = false;
            error = platform::copyRegularFile(entry.source, to, &sourceFailed);
            if (!error) {
                bytesCopied += static_cast<qint64>(entry.size);
            } else if (sourceFailed) {
                plan.leftOut.append({fromPath(entry.source), readFailure(error)});
            } else {
                return fileSystemError(error, QStringLiteral("Cannot copy to"), to);
            }
            break;
        }
        }
    }
    return std::nullopt;
}

bool StagingCopy::listable(const Plan &plan)
{
#if defined(_WIN32)
    Q_UNUSED(plan);
    return false;
#else
    for (const Entry &entry : plan.entries) {
        // A list runs the packer in the staging folder, where it would take a
        // chosen item of one of its own names for its configuration.
        if (!entry.target.has_parent_path() && PackerFiles::readsInItsWorkingFolder(fromPath(entry.target)))
            return false;
        if (entry.kind != Entry::File)
            continue;
        const std::string path = entry.target.generic_string();
        if (path.empty() || path.front() == '!' || path.front() == '#' || std::isspace(static_cast<unsigned char>(path.front()))
            || std::isspace(static_cast<unsigned char>(path.back())))
            return false;
        if (path.find_first_of("*?{}\n\r") != std::string::npos)
            return false;
    }
    return true;
#endif
}

namespace {

// The folders of a list staging that must be real folders: those that hold
// an ignore file the packer reads, and every folder above them. The packer
// looks for its ignore files without following links, so these folders
// cannot be links to the user's; every other folder can.
std::set<fs::path> foldersOfIgnoreFiles(const StagingCopy::Plan &plan)
{
    std::set<fs::path> folders;
    for (const StagingCopy::Entry &entry : plan.entries) {
        if (entry.kind != StagingCopy::Entry::File
            || !StagingCopy::ignoreFileNames().contains(fromPath(entry.target.filename())))
            continue;
        for (fs::path folder = entry.target.parent_path(); !folder.empty() && folders.insert(folder).second;
             folder = folder.parent_path()) {
        }
    }
    return folders;
}

// Whether a list staging creates `entry` itself (else it is reached through
// the link of a folder above it).
bool createdInList(const StagingCopy::Entry &entry, const std::set<fs::path> &realFolders)
{
    const fs::path parent = entry.target.parent_path();
    return parent.empty() || realFolders.count(parent) > 0;
}

} // namespace

std::uintmax_t StagingCopy::listCopyBytes(const Plan &plan)
{
    const std::set<fs::path> realFolders = foldersOfIgnoreFiles(plan);
    std::uintmax_t bytes = 0;
    for (const Entry &entry : plan.entries) {
        if (entry.kind == Entry::File && createdInList(entry, realFolders))
            bytes += entry.size;
    }
    return bytes;
}

std::optional<AppError> StagingCopy::executeAsList(Plan &plan, const fs::path &staging, std::stop_token stop,
                                                   QStringList &files, qint64 &bytesCopied) const
{
    const std::set<fs::path> realFolders = foldersOfIgnoreFiles(plan);
    int sinceStopCheck = 0;
    for (const Entry &entry : plan.entries) {
        if (++sinceStopCheck == stopCheckInterval) {
            sinceStopCheck = 0;
            if (stop.stop_requested())
                return RunnerError::stopped();
        }
        if (entry.kind != Entry::File && entry.kind != Entry::Directory)
            continue;
        if (entry.kind == Entry::File) {
            // What a link would not tell: the packer must not meet a file it cannot read.
            if (const std::error_code error = platform::checkReadable(entry.source)) {
                plan.leftOut.append({fromPath(entry.source), readFailure(error)});
                continue;
            }
            files.append(fromPath(entry.target.generic_string()));
        }
        if (!createdInList(entry, realFolders))
            continue; // reached through the link of a folder above it
        const fs::path to = staging / entry.target;
        std::error_code error;
        if (entry.kind == Entry::Directory) {
            if (realFolders.count(entry.target))
                error = platform::createPrivateDirectory(to);
            else
                fs::create_directory_symlink(entry.source, to, error);
            if (error)
                return fileSystemError(error, QStringLiteral("Cannot create"), to);
            continue;
        }
        // The packer takes no link for a file it is given by name: a file
        // staged on its own (a chosen file, or one beside an ignore file) is
        // copied (a hard link would change its change time).
        bool sourceFailed = false;
        error = platform::copyRegularFile(entry.source, to, &sourceFailed);
        if (!error) {
            bytesCopied += static_cast<qint64>(entry.size);
        } else if (sourceFailed) {
            files.removeLast();
            plan.leftOut.append({fromPath(entry.source), readFailure(error)});
        } else {
            return fileSystemError(error, QStringLiteral("Cannot copy to"), to);
        }
    }
    return std::nullopt;
}

SelectionSnapshot StagingCopy::snapshot(const Plan &plan)
{
    // How long ago a file's last change must lie for its identity to count.
    constexpr std::int64_t settledNanoseconds = 2'000'000'000;
    const std::int64_t now =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    SelectionSnapshot snapshot;
    snapshot.trusted = true;
    for (const Entry &entry : plan.entries) {
        if (entry.kind != Entry::File)
            continue;
        platform::EntryInfo info;
        if (platform::entryInfo(entry.source, info, true) || info.changed == 0
            || now - std::max(info.modified, info.changed) < settledNanoseconds)
            snapshot.trusted = false;
        snapshot.files.append({fromPath(entry.target.generic_string()), info.device, info.inode, info.size,
                               info.modified, info.changed});
    }
    for (const LeftOut &leftOut : plan.leftOut)
        snapshot.leftOut.append({leftOut.path, static_cast<int>(leftOut.reason)});
    return snapshot;
}

LeftOutReason unreachableItemReason(const QString &path)
{
    const fs::path item = toPath(path).lexically_normal();
    platform::EntryInfo info;
    const std::error_code error = platform::entryInfo(item, info);
    return error ? chosenItemFailure(item, error) : LeftOutReason::Missing; // a link to nothing
}
