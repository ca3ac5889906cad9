#pragma once

// The few operating-system services the engine needs beyond Qt and the
// standard library. One implementation per platform family.

#include <QtGlobal>

#include <filesystem>
#include <system_error>

class QProcess;
class QProcessEnvironment;

#include <string>

namespace platform {

// `prefix` made unique to the current user, for per-user folders in shared places.
std::string perUserName(const std::string &prefix);

// Creates `path` (its parent must exist) as a directory that only the
// current user can enter; fails with EEXIST if something is there.
std::error_code createPrivateDirectory(const std::filesystem::path &path);

// Makes sure `path` is a directory of the current user that nobody else can
// use: creates it when missing, refuses a link or another user's directory.
std::error_code ensurePrivateDirectory(const std::filesystem::path &path);

// Copies a regular file to `to`, which must not exist yet: a clone where the
// file system supports it, an ordinary copy elsewhere. Never follows a link
// at `from`. The copy is readable and writable by its owner.
std::error_code copyRegularFile(const std::filesystem::path &from, const std::filesystem::path &to);

// Starts the child of `process` in a process group of its own, so that
// killProcessGroup reaches everything it spawns.
void startInOwnProcessGroup(QProcess &process);

// Ends the process group led by `pid` at once. Safe to call from any thread.
void killProcessGroup(qint64 pid);

} // namespace platform
