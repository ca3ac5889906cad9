#include "StagingCopy.h"

#include "NativePath.h"
#include "Platform.h"
#include "RunnerError.h"

#include <QSet>

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
    IgnoreRules::Cursor item;   // default rules from the chosen folder's root
    IgnoreRules::Cursor root;   // default rules from the staging root
    IgnoreRules::Cursor user;   // the user's patterns from the staging root
};

struct Rules
{
    IgnoreRules item;
    const IgnoreRules &root;
    const IgnoreRules &user;

    Cursors step(const Cursors &at, QStringView name) const
    {
        return {at.item.isDead() ? at.item : item.step(at.item, name),
                at.root.isDead() ? at.root : root.step(at.root, name),
                at.user.isDead() ? at.user : user.step(at.user, name)};
    }
    std::optional<LeftOutReason> ignores(const Cursors &at, bool directory) const
    {
        const auto check = [directory](const IgnoreRules &rules, const IgnoreRules::Cursor &cursor) {
            return directory ? rules.ignoresDirectory(cursor) : rules.ignoresFile(cursor);
        };
        if (check(item, at.item) || check(root, at.root))
            return LeftOutReason::DefaultRule;
        if (check(user, at.user))
            return LeftOutReason::IgnorePattern;
        return std::nullopt;
    }
};

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

StagingCopy::Plan StagingCopy::plan(const QList<QUrl> &items, const QString &ignorePatterns, std::uint64_t stagingDevice,
                                    const std::set<std::pair<std::uint64_t, std::uint64_t>> &privateFolders,
                                    std::stop_token stop) const
{
    Plan plan;
    plan.defaultRulesApplied = m_settings.defaultRules.has_value();
    const auto leaveOut = [&plan](const fs::path &path, LeftOutReason reason) {
        plan.leftOut.append({fromPath(path), reason});
    };
    const auto addFile = [&](const fs::path &source, const fs::path &target, const platform::EntryInfo &info) {
        plan.entries.push_back({Entry::File, source, target, info.size, info.device});
        plan.fileBytes += info.size;
        if (!m_settings.linkFiles || info.device != stagingDevice || !info.ownedByUser)
            plan.copyBytes += info.size;
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
        platform::EntryInfo info;
        if (const std::error_code error = platform::entryInfo(path, info)) {
            leaveOut(path, error == std::errc::no_such_file_or_directory ? LeftOutReason::Missing : LeftOutReason::Unreadable);
            continue;
        }
        const std::optional<QString> name = readableName(path.filename());
        if (!name || name->isEmpty() || *name == u"." || *name == u"..") {
            leaveOut(path, LeftOutReason::InvalidName);
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

    // Rules that start at the staging root. A pattern that names an existing
    // folder there works differently in the packer; such patterns are only
    // left to the packer.
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
    const IgnoreRules userRules = IgnoreRules::certainPatterns(ignorePatterns).forRoot(isStagedFolder, IgnoreRules::LiteralFolders::Drop);

    int sinceStopCheck = 0;
    for (const Chosen &item : chosen) {
        if (stop.stop_requested())
            return plan;
        const fs::path target = toPath(item.stagedName);
        const bool folder = item.info.type == fs::file_type::directory;
        Rules rules{IgnoreRules(), rootRules, userRules};
        if (folder && m_settings.defaultRules) {
            rules.item = m_settings.defaultRules->forRoot(
                [&item](const QString &relative) {
                    std::error_code ignored;
                    return fs::is_directory(item.source / toPath(relative), ignored);
                },
                IgnoreRules::LiteralFolders::Expand);
        }
        // The chosen item itself is never left out by the default rules of
        // its own folder, only by rules that start above it.
        Cursors cursors{rules.item.start(), rootRules.step(rootRules.start(), item.stagedName),
                        userRules.step(userRules.start(), item.stagedName)};
        if (const std::optional<LeftOutReason> reason = rules.ignores({IgnoreRules::Cursor(), cursors.root, cursors.user}, folder)) {
            leaveOut(item.path, *reason);
            continue;
        }
        if (!folder) {
            if (privateFolders.count({item.info.device, item.info.inode}))
                continue; // one of the application's own files
            if (m_settings.maxFileSize && item.info.size > m_settings.maxFileSize) {
                leaveOut(item.path, LeftOutReason::TooLarge);
                continue;
            }
            addFile(item.source, target, item.info);
            plan.items.append({item.url, item.stagedName, item.renamed});
            continue;
        }

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
                Cursors next = rules.step(folder.cursors, *readable);
                const bool isFolder = type == fs::file_type::directory;
                if (const std::optional<LeftOutReason> reason = rules.ignores(next, isFolder)) {
                    if (type != fs::file_type::symlink) // links are never packed anyway
                        leaveOut(path, *reason);
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
                    if (info.type == fs::file_type::directory) {
                        if (privateFolders.count({info.device, info.inode}))
                            break; // our own staging area, inside a chosen folder
                        plan.entries.push_back({Entry::Directory, path, folder.target / name});
                        folders.push_back({path, folder.target / name, std::move(next), plan.entries.size() - 1});
                    } else if (info.type != fs::file_type::regular) {
                        leaveOut(path, LeftOutReason::Vanished); // replaced since it was listed
                    } else if (privateFolders.count({info.device, info.inode})) {
                        // one of the application's own files (a bundle written here)
                    } else if (m_settings.maxFileSize && info.size > m_settings.maxFileSize) {
                        leaveOut(path, LeftOutReason::TooLarge);
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
        if (plan.entries[itemEntry].kind != Entry::Skipped)
            plan.items.append({item.url, item.stagedName, item.renamed});
    }
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
