#pragma once

#include "AppError.h"
#include "IgnoreRules.h"
#include "ItemTicks.h"
#include "SelectionSnapshot.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

// Why part of the selection was not staged, or (Binary) is not packed.
enum class LeftOutReason {
    Missing,       // a chosen item that no longer exists, or a link to nothing
    Unreadable,    // no permission to read it, or reading it failed
    Vanished,      // removed while it was being staged (editors' swap files)
    TooLarge,      // larger than the packer reads
    InvalidName,   // a name that is not UTF-8, which the packer cannot open
    SpecialFile,   // a FIFO, socket or device
    DefaultRule,   // left out by the packer's default ignore rules, or version-control internals
    IgnorePattern, // matched the user's ignore patterns
    NotIncluded,   // matched none of the user's include patterns
    LineBreak,     // a name with a line break, which would read as the start of another file in the bundle
    PathTooLong,   // a path longer than the system takes
    NotAFolder,    // a chosen path that runs through a file, as if it were a folder
    FileSystemRoot, // the root of a file system, which has no name to bundle under
    OwnFiles,      // the application's own private folders, caches or settings
    Binary,        // staged for the directory tree, but the packer reads no file of that kind
    Unticked,      // the user unticked it (or all it is in) in the chosen folder's tree
};

struct LeftOut
{
    QString path; // where it is on the user's side
    LeftOutReason reason;
};

// One chosen item and the name it has in the staging directory.
struct StagedItem
{
    QUrl source;
    QString stagedName;
    bool renamed = false; // another item took its own name first
};

// The result of staging a selection.
struct Staging
{
    QUrl directory;
    QList<StagedItem> items;
    QList<LeftOut> leftOut;
    qint64 bytesCopied = 0;
    qint64 bytesLinked = 0;
    // The packer's default rules were applied per chosen folder here, so the
    // packer must not apply them again at the staging root.
    bool defaultRulesApplied = false;
    // The user's ignore and include patterns were all applied per chosen item
    // here: the packer must get neither at the staging root, where they
    // would match the staged items' names.
    bool patternsApplied = true;
    // What the packer still has to apply at the staging root, as its
    // --ignore and --include texts (see UserPatterns::forStagingRoot); empty
    // when the patterns were applied here.
    QString rootIgnorePatterns;
    QString rootIncludePatterns;
    // Staged as a list (StagingCopy::executeAsList): the files to pack,
    // relative to `directory`; empty for a staging of links or copies.
    QStringList files;
    // The staged files' identities before they were staged.
    SelectionSnapshot snapshot;
};

// Stages a user's selection in two steps: a plan of everything to create
// and to leave out, read without changing anything, then its execution.
//
// Each chosen folder is staged as a project of its own: the packer's default
// rules and the user's patterns are applied relative to the folder's root
// (the folder itself is never left out by its own name), as the packer would
// apply them had it been started on that folder; a chosen file is matched by
// its name. Version-control folders are left out at any depth, and so are
// the application's own folders and files, names with line breaks and paths
// longer than the system takes. Chosen links are staged as what they point to; links inside folders
// stay links. Files go in as hard links where the file system allows it and
// as private copies elsewhere; nothing ever opens a staged file for writing
// or changes its attributes, so the user's files stay as they are.
class StagingCopy
{
public:
    struct Settings
    {
        // The packer's default rules, when they can be applied exactly.
        std::optional<IgnoreRules> defaultRules;
        // Rules whose matches the packer certainly ignores at the staging
        // root (the applicable default rules when `defaultRules` is empty).
        IgnoreRules rootRules;
        std::uintmax_t maxFileSize = 0; // 0: no limit
        // File name extensions (lower case, without the dot) the packer takes
        // for binary files, which it lists but does not read.
        QSet<QString> binaryExtensions;
        bool linkFiles = true;
    };

    // What a plan is made for, besides the items.
    struct Request
    {
        QString ignorePatterns;  // the user's texts, comma-separated
        QString includePatterns;
        std::uint64_t stagingDevice = 0;
        // The staging directory to be: with it, the paths the packer would
        // read that are too long for the system are known.
        std::filesystem::path stagingDirectory;
        // (device, inode) of the application's own folders and files, which
        // are never staged.
        std::set<std::pair<std::uint64_t, std::uint64_t>> ownEntries;
        // (device, inode) of the bundle's own files (an earlier bundle saved
        // inside a chosen folder), which are never staged, and not listed.
        std::set<std::pair<std::uint64_t, std::uint64_t>> bundleFiles;
        // What the user unticked inside chosen folders, by the folder's URL.
        QHash<QUrl, ItemTicks> ticks;
    };

    struct Entry
    {
        enum Kind : std::uint8_t { Directory, File, Link, Skipped } kind;
        std::filesystem::path source;
        std::filesystem::path target; // relative to the staging directory
        std::uintmax_t size = 0;
        std::uint64_t device = 0;
    };

    struct Plan
    {
        std::vector<Entry> entries; // every folder before what it holds
        QList<StagedItem> items;
        QList<LeftOut> leftOut;
        std::uintmax_t fileBytes = 0;     // all files to stage
        std::uintmax_t copyBytes = 0;     // those that will probably be copied, not linked
        std::uintmax_t textBytes = 0;     // those the packer reads as text
        std::uintmax_t fileCount = 0;
        bool defaultRulesApplied = false;
        bool patternsApplied = true;
        QString rootIgnorePatterns;       // see Staging
        QString rootIncludePatterns;

        // About how large the packer's output will be: the text it packs, a
        // line or two per file and its header.
        std::uintmax_t outputEstimate() const;
    };

    StagingCopy() = default;
    explicit StagingCopy(Settings settings);

    // Plans the staging of `items` (file URLs, in order).
    Plan plan(const QList<QUrl> &items, const Request &request, std::stop_token stop) const;

    // Creates everything the plan holds inside `staging` (an existing empty
    // private directory). Entries that cannot be read or that vanish are
    // added to `plan.leftOut`; a failure to write ends the execution.
    std::optional<AppError> execute(Plan &plan, const std::filesystem::path &staging, std::uint64_t stagingDevice,
                                    std::stop_token stop, qint64 &bytesCopied, qint64 &bytesLinked) const;

    // Whether the plan can be staged as a list (executeAsList). Not where a
    // path could mean more than itself to the packer's file search (glob
    // characters, a leading "!" or "#", white space at either end, a line
    // break), nor where a chosen file has a name the packer takes for its
    // own in its working folder, nor where the platform's symbolic links are
    // not for everyone (Windows).
    static bool listable(const Plan &plan);

    // Stages the plan as a list: inside `staging` (an existing empty private
    // directory) one symbolic link per chosen folder, under its staged name,
    // to what the plan read, and a private copy of each chosen file (the
    // packer takes no link for a file it is given by name); `files` gets the
    // plan's files relative to `staging`, "/"-separated, in the plan's
    // order, for the packer to read through the links. A folder that holds
    // an ignore file (.gitignore, .ignore, .repomixignore), and each folder
    // above it, is a private folder instead, with a link for each folder
    // and a copy of each file the plan has in it: the packer looks for
    // ignore files without following links. No file of the user's is
    // linked, so their metadata (change time included) stays as it is.
    // Unreadable files are left out, as by execute().
    std::optional<AppError> executeAsList(Plan &plan, const std::filesystem::path &staging, std::stop_token stop,
                                          QStringList &files, qint64 &bytesCopied) const;

    // The bytes executeAsList() copies: the chosen files, and the files in
    // folders that hold ignore files.
    static std::uintmax_t listCopyBytes(const Plan &plan);

    // The identity of every file `plan` stages (following links, as the
    // packer reads them), and what it leaves out.
    static SelectionSnapshot snapshot(const Plan &plan);

    void setLinkFiles(bool link) { m_settings.linkFiles = link; }

    // The name a later item with the same name gets: "README (2).md",
    // "src (2)"; `folder` names keep their dots.
    static QString numberedName(const QString &name, int number, bool folder);

    // Whether a name holds a line break (of any kind a reader may break at).
    static bool hasLineBreak(QStringView name);

    static const std::set<std::string> &versionControlFolders();
    // The files the packer reads rules from (when its options let it).
    static const QSet<QString> &ignoreFileNames();

private:
    Settings m_settings;
};

// An AppError for a failed file-system operation on `path`, keeping the
// system's own message.
AppError fileSystemError(const std::error_code &error, const QString &what, const std::filesystem::path &path);

// True when `bytes` is valid UTF-8.
bool isValidUtf8(std::string_view bytes);

// Why a chosen item that cannot be looked at is out of reach: gone, a file
// where a folder of its path should be, a name that was not valid UTF-8,
// too long a path, unreadable, or a link to nothing.
LeftOutReason unreachableItemReason(const QString &path);
