#include "Platform.h"

#include <QProcess>

#include <windows.h>

#include <random>
#include <utility>

namespace fs = std::filesystem;

namespace platform {

// The per-user temporary and cache folders on Windows are private to their
// user already, so these bodies only create and check folders.

std::size_t maximumPathLength()
{
    return 32767; // the system's own limit; the runtime uses long paths where needed
}

std::string perUserName(const std::string &prefix)
{
    return prefix;
}

std::error_code createPrivateDirectory(const fs::path &path)
{
    std::error_code error;
    if (!fs::create_directory(path, error) && !error)
        error = std::make_error_code(std::errc::file_exists);
    return error;
}

std::error_code ensurePrivateDirectory(const fs::path &path)
{
    std::error_code error;
    fs::create_directory(path, error);
    if (error)
        return error;
    if (fs::is_symlink(fs::symlink_status(path, error)) || !fs::is_directory(path, error))
        return std::make_error_code(std::errc::permission_denied);
    return error;
}

std::error_code createUniquePrivateDirectory(const fs::path &prefix, fs::path &created)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix;
        for (int i = 0; i < 6; ++i)
            suffix += letters[random() % (sizeof letters - 1)];
        fs::path candidate = prefix;
        candidate += suffix;
        const std::error_code error = createPrivateDirectory(candidate);
        if (!error) {
            created = candidate;
            return {};
        }
        if (error != std::errc::file_exists)
            return error;
    }
    return std::make_error_code(std::errc::file_exists);
}

bool isPrivateDirectory(const fs::path &path)
{
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    return !error && fs::is_directory(status);
}

std::error_code entryInfo(const fs::path &path, EntryInfo &info, bool followLink)
{
    std::error_code error;
    const fs::file_status status = followLink ? fs::status(path, error) : fs::symlink_status(path, error);
    if (error)
        return error;
    info.type = status.type();
    info.size = info.type == fs::file_type::regular ? fs::file_size(path, error) : 0;
    info.device = 0;
    info.inode = 0;
    info.ownedByUser = true;
    return error;
}

bool removeWhenProcessEnds(const fs::path &)
{
    return false; // the next start's sweep removes what is left
}

std::error_code checkReadable(const fs::path &path)
{
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {static_cast<int>(::GetLastError()), std::system_category()};
    ::CloseHandle(file);
    return {};
}

std::error_code linkFile(const fs::path &from, const fs::path &to)
{
    std::error_code error;
    fs::create_hard_link(from, to, error);
    return error;
}

std::error_code copyRegularFile(const fs::path &from, const fs::path &to, bool *sourceFailed)
{
    std::error_code error;
    fs::copy_file(from, to, fs::copy_options::none, error);
    if (error && sourceFailed)
        *sourceFailed = static_cast<bool>(checkReadable(from));
    return error;
}

FileLock::~FileLock()
{
    if (m_handle != invalidHandle)
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

FileLock::FileLock(FileLock &&other) noexcept
    : m_handle(std::exchange(other.m_handle, invalidHandle))
{
}

FileLock &FileLock::operator=(FileLock &&other) noexcept
{
    if (this != &other) {
        if (m_handle != invalidHandle)
            ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
        m_handle = std::exchange(other.m_handle, invalidHandle);
    }
    return *this;
}

FileLock FileLock::tryLock(const fs::path &path, bool create, std::error_code &error)
{
    // A file opened without sharing cannot be opened again while we hold it.
    FileLock lock;
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        error = code == ERROR_SHARING_VIOLATION ? std::make_error_code(std::errc::resource_unavailable_try_again)
                                                : std::error_code(static_cast<int>(code), std::system_category());
        return lock;
    }
    error.clear();
    lock.m_handle = reinterpret_cast<std::intptr_t>(file);
    return lock;
}

void prepareChild(QProcess &)
{
}

void killProcessGroup(qint64 pid)
{
    if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid))) {
        ::TerminateProcess(process, 1);
        ::CloseHandle(process);
    }
}

void releaseFreedMemory() {}

} // namespace platform
