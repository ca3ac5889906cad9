#pragma once

#include "AppError.h"

#include <QString>

#include <filesystem>
#include <optional>
#include <set>
#include <stop_token>
#include <string>

// Copies a user's item into a staging directory without surprises: links are
// copied as links, FIFOs, sockets and devices are skipped, folders the packer
// never reads (and version-control internals) are left out, and every copied
// folder is writable by its owner so that the copy can be removed again.
class StagingCopy
{
public:
    // Folder names to leave out at any depth.
    explicit StagingCopy(std::set<std::string> skippedFolders = {});

    // Copies `from` (a file, folder or link) to `to`, which must not exist.
    std::optional<AppError> copy(const std::filesystem::path &from, const std::filesystem::path &to,
                                 std::stop_token stop = {}) const;

    const std::set<std::string> &skippedFolders() const { return m_skippedFolders; }

    // Version-control folders, which would otherwise be packed when a dropped
    // project sits below the staging root.
    static std::set<std::string> versionControlFolders();

    // The folders that the packer at `packerDirectory` ignores wherever they
    // are (its default ignore entries of the form "**/name/**"); empty if its
    // list cannot be read.
    static std::set<std::string> packerIgnoredFolders(const QString &packerDirectory);

private:
    std::optional<AppError> copyEntry(const std::filesystem::path &from, const std::filesystem::path &to,
                                      const std::stop_token &stop) const;

    std::set<std::string> m_skippedFolders;
};

// An AppError for a failed file-system operation on `path`, keeping the
// system's own message.
AppError fileSystemError(const std::error_code &error, const QString &what, const std::filesystem::path &path);
