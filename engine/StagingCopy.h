#pragma once

#include "AppError.h"
#include "IgnoreRules.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

// Why part of the selection was not staged.
enum class LeftOutReason {
    Missing,       // a chosen item that no longer exists, or a link to nothing
    Unreadable,    // no permission to read it, or reading it failed
    Vanished,      // removed while it was being staged (editors' swap files)
    TooLarge,      // larger than the packer reads
    InvalidName,   // a name that is not UTF-8, which the packer cannot open
    SpecialFile,   // a FIFO, socket or device
    DefaultRule,   // left out by the packer's default ignore rules, or version-control internals
    IgnorePattern, // matched the user's ignore patterns
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
    // The user's ignore and include patterns were applied per chosen item
    // here, so the packer must not apply them again at the staging root.
    bool patternsApplied = false;
};

// Stages a user's selection in two steps: a plan of everything to create
// and to leave out, read without changing anything, then its execution.
//
// Each chosen folder is staged as a project of its own: the packer's default
// rules are applied relative to the folder's root (the folder itself is
// never left out by its own name), as the packer would apply them had it
// been started on that folder. Version-control folders are left out at any
// depth. Chosen links are staged as what they point to; links inside folders
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
        bool linkFiles = true;
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
        bool defaultRulesApplied = false;
    };

    StagingCopy() = default;
    explicit StagingCopy(Settings settings);

    // Plans the staging of `items` (file URLs, in order) with the user's
    // ignore text, for a staging directory on `stagingDevice`. Folders and
    // files with the identity (device, inode) in `privateFolders` are never
    // entered or staged (the application's own folders and bundles).
    Plan plan(const QList<QUrl> &items, const QString &ignorePatterns, std::uint64_t stagingDevice,
              const std::set<std::pair<std::uint64_t, std::uint64_t>> &privateFolders, std::stop_token stop) const;

    // Creates everything the plan holds inside `staging` (an existing empty
    // private directory). Entries that cannot be read or that vanish are
    // added to `plan.leftOut`; a failure to write ends the execution.
    std::optional<AppError> execute(Plan &plan, const std::filesystem::path &staging, std::uint64_t stagingDevice,
                                    std::stop_token stop, qint64 &bytesCopied, qint64 &bytesLinked) const;

    void setLinkFiles(bool link) { m_settings.linkFiles = link; }

    // The name a later item with the same name gets: "README (2).md",
    // "src (2)"; `folder` names keep their dots.
    static QString numberedName(const QString &name, int number, bool folder);

    static const std::set<std::string> &versionControlFolders();

private:
    Settings m_settings;
};

// An AppError for a failed file-system operation on `path`, keeping the
// system's own message.
AppError fileSystemError(const std::error_code &error, const QString &what, const std::filesystem::path &path);

// True when `bytes` is valid UTF-8.
bool isValidUtf8(std::string_view bytes);
