#include "FileReplacement.h"

#include <windows.h>

#include <random>

namespace fs = std::filesystem;

namespace platform {

namespace {

std::error_code lastError()
{
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

std::wstring randomSuffix()
{
    static const wchar_t letters[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::wstring suffix;
    for (int i = 0; i < 8; ++i)
        suffix += letters[random() % (sizeof letters / sizeof *letters - 1)];
    return suffix;
}

HANDLE handleOf(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

FileReplacement::FileReplacement(fs::path destination)
    : m_target(std::move(destination))
{
    std::error_code error;
    if (fs::is_symlink(fs::symlink_status(m_target, error))) {
        const fs::path resolved = fs::weakly_canonical(m_target, error);
        if (!error)
            m_target = resolved;
    }
}

FileReplacement::~FileReplacement()
{
    discard();
}

std::error_code FileReplacement::open()
{
    discard();
    std::error_code error;
    m_targetExists = fs::exists(fs::symlink_status(m_target, error));
    const fs::path folder = m_target.has_parent_path() ? m_target.parent_path() : fs::path(L".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = folder / (L"." + m_target.filename().wstring() + L".lumbrel-" + randomSuffix());
        // Not shared while it is written; it inherits the folder's access
        // rules until ReplaceFile gives it the old file's.
        const HANDLE file = ::CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            m_temporary = candidate;
            m_handle = reinterpret_cast<std::intptr_t>(file);
            return {};
        }
        if (::GetLastError() != ERROR_FILE_EXISTS)
            return lastError();
    }
    return std::make_error_code(std::errc::file_exists);
}

std::error_code FileReplacement::write(const char *data, std::size_t size)
{
    if (m_handle == -1)
        return std::make_error_code(std::errc::bad_file_descriptor);
    while (size > 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(handleOf(m_handle), data, chunk, &written, nullptr))
            return lastError();
        data += written;
        size -= written;
    }
    return {};
}

std::error_code FileReplacement::commit()
{
    if (m_handle == -1)
        return std::make_error_code(std::errc::bad_file_descriptor);
    m_notKept.clear();
    if (!::FlushFileBuffers(handleOf(m_handle))) {
        const std::error_code error = lastError();
        discard();
        return error;
    }
    ::CloseHandle(handleOf(m_handle));
    m_handle = -1;

    // ReplaceFile keeps the replaced file's attributes, access control list,
    // alternate streams and creation time; a new destination is a move.
    BOOL done = FALSE;
    if (m_targetExists)
        done = ::ReplaceFileW(m_target.c_str(), m_temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                              nullptr, nullptr);
    if (!m_targetExists || (!done && ::GetLastError() == ERROR_FILE_NOT_FOUND))
        done = ::MoveFileExW(m_temporary.c_str(), m_target.c_str(), MOVEFILE_WRITE_THROUGH);
    if (!done) {
        const std::error_code error = lastError();
        discard();
        return error;
    }
    m_temporary.clear();
    return {};
}

void FileReplacement::discard()
{
    if (m_handle != -1) {
        ::CloseHandle(handleOf(m_handle));
        m_handle = -1;
    }
    if (!m_temporary.empty()) {
        ::DeleteFileW(m_temporary.c_str());
        m_temporary.clear();
    }
}

} // namespace platform
