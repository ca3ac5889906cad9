#pragma once

// The few operating-system services the engine needs beyond Qt and the
// standard library. One implementation per platform family.

#include <QtGlobal>

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

class QProcess;

namespace platform {

// `prefix` made unique to the current user, for per-user folders in shared places.
std::string perUserName(const std::string &prefix);

// Creates `path` (its parent must exist) as a directory that only the
// current user can enter; fails with EEXIST if something is there.
std::error_code createPrivateDirectory(const std::filesystem::path &path);

// Makes sure `path` is a directory of the current user that nobody else can
// use: creates it when missing, refuses a link or another user's directory,
// and takes away the access of others from one of ours.
std::error_code ensurePrivateDirectory(const std::filesystem::path &path);

// Creates a new private directory whose name is `prefix` followed by random
// characters, next to nothing that exists, and stores its path in `created`.
std::error_code createUniquePrivateDirectory(const std::filesystem::path &prefix, std::filesystem::path &created);

// True when `path` is a directory (not a link) that belongs to the current
// user and that nobody else can enter or change.
bool isPrivateDirectory(const std::filesystem::path &path);

// The longest path, in units of its native form (bytes; UTF-16 on Windows),
// that the system opens.
std::size_t maximumPathLength();

// What the staging needs to know of one entry, read without following a link
// (or following it, with `followLink`).
struct EntryInfo
{
    std::filesystem::file_type type = std::filesystem::file_type::none;
    std::uintmax_t size = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool ownedByUser = false;
    // Modification and status change times in nanoseconds since the epoch;
    // 0 where the system does not say (Windows).
    std::int64_t modified = 0;
    std::int64_t changed = 0;
};
std::error_code entryInfo(const std::filesystem::path &path, EntryInfo &info, bool followLink = false);

// Whether the current user can open the regular file at `path` for reading
// (a link at `path` is not followed). Linking a file needs no read
// permission, so staging asks before it links.
std::error_code checkReadable(const std::filesystem::path &path);

// Makes `to` (which must not exist) a second name of the file at `from`,
// without following a link at `from`. Nothing is written to the file.
std::error_code linkFile(const std::filesystem::path &from, const std::filesystem::path &to);

// Copies a regular file to `to`, which must not exist yet: a clone where the
// file system supports it, an ordinary copy elsewhere. Never follows a link
// at `from`. The copy is readable and writable by its owner. When it fails,
// `sourceFailed` (if given) tells whether reading `from` failed, as opposed
// to writing `to`; a partial copy is removed.
std::error_code copyRegularFile(const std::filesystem::path &from, const std::filesystem::path &to,
                                bool *sourceFailed = nullptr);

// An exclusive lock on a file, held until the object goes or the process
// ends in any way (the system releases it then, also after a kill). The lock
// is not inherited by child processes.
class FileLock
{
public:
    FileLock() = default;
    ~FileLock();
    FileLock(FileLock &&other) noexcept;
    FileLock &operator=(FileLock &&other) noexcept;
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // Locks the file at `path` without waiting; with `create` the file is
    // made (0600) when missing. Never follows a link. Fails with
    // `resource_unavailable_try_again` when another holder has it.
    static FileLock tryLock(const std::filesystem::path &path, bool create, std::error_code &error);

private:
    static constexpr std::intptr_t invalidHandle = -1;
    std::intptr_t m_handle = invalidHandle;
};

// Removes the directory at `path` with everything in it once this process
// has ended, however it ends (also by SIGKILL or a crash): a tiny watcher
// process waits for the end of a pipe that only this process holds open.
// The folder must be private to this user (nobody else may replace it or a
// folder above it). Where the platform has no such watcher (Windows), the
// next start's sweep removes what is left. Returns whether it watches.
bool removeWhenProcessEnds(const std::filesystem::path &path);

// Sets up the child of `process` before it runs: it gets a process group of
// its own, so that killProcessGroup reaches everything it spawns, and (on
// Linux) it is killed when its parent dies, also by SIGKILL; a child whose
// parent is already gone ends at once.
// The death signal follows the *thread* that started the child, not the
// process: start children from a thread that lives as long as they should
// (the workflow starts every packer from its one long-lived worker thread).
void prepareChild(QProcess &process);

// Ends the process group led by `pid` at once. Safe to call from any thread.
void killProcessGroup(qint64 pid);

// Gives the memory the allocator keeps after it was freed back to the system
// (glibc keeps the freed pages of its heaps for later use until asked). Costs
// a few milliseconds; nothing where the allocator does this by itself.
void releaseFreedMemory();

} // namespace platform
