#include "FileReplacement.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__linux__)
#include <sys/xattr.h>
#elif defined(__APPLE__)
#include <copyfile.h>
#endif

namespace fs = std::filesystem;

namespace platform {

namespace {

std::error_code lastError()
{
    return {errno, std::generic_category()};
}

std::string randomSuffix()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::string suffix;
    for (int i = 0; i < 8; ++i)
        suffix += letters[random() % (sizeof letters - 1)];
    return suffix;
}

#if defined(__linux__)
constexpr const char accessAcl[] = "system.posix_acl_access";

std::string attributeName(const std::string &name)
{
    return name == accessAcl ? std::string("access control list") : "extended attribute " + name;
}

// The names of the extended attributes of `path` (a link is not followed).
std::vector<std::string> attributeNames(const fs::path &path, bool &failed)
{
    failed = false;
    for (;;) {
        const ssize_t size = ::llistxattr(path.c_str(), nullptr, 0);
        if (size < 0) {
            failed = errno != ENOTSUP;
            return {};
        }
        std::string list(static_cast<std::size_t>(size), '\0');
        const ssize_t got = ::llistxattr(path.c_str(), list.data(), list.size());
        if (got < 0 && errno == ERANGE)
            continue; // it grew meanwhile
        if (got < 0) {
            failed = true;
            return {};
        }
        std::vector<std::string> names;
        for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
            const std::size_t end = list.find('\0', at);
            names.emplace_back(list, at, end - at);
            at = end + 1;
        }
        return names;
    }
}

bool readAttribute(int fd, const fs::path &path, const std::string &name, std::string &value)
{
    for (;;) {
        const ssize_t size = fd >= 0 ? ::fgetxattr(fd, name.c_str(), nullptr, 0)
                                     : ::lgetxattr(path.c_str(), name.c_str(), nullptr, 0);
        if (size < 0)
            return false;
        value.assign(static_cast<std::size_t>(size), '\0');
        const ssize_t got = fd >= 0 ? ::fgetxattr(fd, name.c_str(), value.data(), value.size())
                                    : ::lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
        if (got < 0 && errno == ERANGE)
            continue;
        if (got < 0)
            return false;
        value.resize(static_cast<std::size_t>(got));
        return true;
    }
}

// Gives the file open as `fd` the extended attributes of `old` (its access
// control list among them) and takes away the access control list that the
// folder's default one gave it, when the old file had none.
void copyAttributes(const fs::path &old, int fd, std::vector<std::string> &notKept)
{
    bool failed = false;
    const std::vector<std::string> names = attributeNames(old, failed);
    if (failed) {
        notKept.emplace_back("extended attributes");
        return;
    }
    bool hadAccessAcl = false;
    for (const std::string &name : names) {
        hadAccessAcl = hadAccessAcl || name == accessAcl;
        std::string value;
        if (!readAttribute(-1, old, name, value)) {
            notKept.push_back(attributeName(name));
            continue;
        }
        if (::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) == 0)
            continue;
        // The new file may have it already (a security label the system
        // gave it): that counts as kept.
        std::string present;
        if (!readAttribute(fd, {}, name, present) || present != value)
            notKept.push_back(attributeName(name));
    }
    if (!hadAccessAcl && ::fremovexattr(fd, accessAcl) != 0 && errno != ENODATA && errno != ENOTSUP)
        notKept.emplace_back("permissions without an access control list");
}
#endif

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
    struct stat st {};
    m_targetExists = ::lstat(m_target.c_str(), &st) == 0;
    // While it is written, the new content of an existing file is private;
    // commit() gives it the old file's permissions. A new file gets the
    // usual ones (the umask applies).
    const mode_t mode = m_targetExists ? 0600 : 0666;
    const fs::path folder = m_target.has_parent_path() ? m_target.parent_path() : fs::path(".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = folder / ("." + m_target.filename().string() + ".lumbrel-" + randomSuffix());
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) {
            m_temporary = candidate;
            m_handle = fd;
            return {};
        }
        if (errno != EEXIST)
            return lastError();
    }
    return std::make_error_code(std::errc::file_exists);
}

std::error_code FileReplacement::write(const char *data, std::size_t size)
{
    if (m_handle < 0)
        return std::make_error_code(std::errc::bad_file_descriptor);
    while (size > 0) {
        const ssize_t written = ::write(static_cast<int>(m_handle), data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return {};
}

std::error_code FileReplacement::commit()
{
    if (m_handle < 0)
        return std::make_error_code(std::errc::bad_file_descriptor);
    const int fd = static_cast<int>(m_handle);
    m_notKept.clear();
    const auto fail = [this](std::error_code error) {
        discard();
        return error;
    };
    if (::fsync(fd) != 0)
        return fail(lastError());

    struct stat old {};
    if (m_targetExists && ::lstat(m_target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        // Owner and group first (changing them clears the set-ID bits), then
        // the attributes, then the permissions, which also set the mask of
        // an access control list to what the old file had.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
                if (old.st_uid != ::geteuid())
                    m_notKept.emplace_back("owner");
                if (::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0 && old.st_gid != ::getegid())
                    m_notKept.emplace_back("group");
            }
        }
#if defined(__linux__)
        copyAttributes(m_target, fd, m_notKept);
#elif defined(__APPLE__)
        const int oldFd = ::open(m_target.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (oldFd < 0 || ::fcopyfile(oldFd, fd, nullptr, COPYFILE_ACL | COPYFILE_XATTR) != 0)
            m_notKept.emplace_back("access control list and extended attributes");
        if (oldFd >= 0)
            ::close(oldFd);
#endif
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            m_notKept.emplace_back("permissions");
        if (old.st_nlink > 1)
            m_notKept.emplace_back("its other names (hard links), which keep the old content");
    }

    m_handle = -1;
    if (::close(fd) != 0) {
        const std::error_code error = lastError();
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
        return error;
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        const std::error_code error = lastError();
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
        return error;
    }
    m_temporary.clear();
    // The new name is durable once the folder is.
    const fs::path folder = m_target.has_parent_path() ? m_target.parent_path() : fs::path(".");
    if (const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return {};
}

void FileReplacement::discard()
{
    if (m_handle >= 0) {
        ::close(static_cast<int>(m_handle));
        m_handle = -1;
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}

} // namespace platform
