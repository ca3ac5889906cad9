#include "Platform.h"

#include <QProcess>

#include <windows.h>

namespace fs = std::filesystem;

namespace platform {

std::string perUserName(const std::string &prefix)
{
    return prefix; // the temporary folder is per user already
}

std::error_code createPrivateDirectory(const fs::path &path)
{
    // The per-user temporary folder on Windows is private to its user already.
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

std::error_code copyRegularFile(const fs::path &from, const fs::path &to)
{
    std::error_code error;
    fs::copy_file(from, to, fs::copy_options::none, error);
    return error;
}

void startInOwnProcessGroup(QProcess &)
{
}

void killProcessGroup(qint64 pid)
{
    if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid))) {
        ::TerminateProcess(process, 1);
        ::CloseHandle(process);
    }
}

} // namespace platform
