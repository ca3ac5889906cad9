#include "Platform.h"

#include <QProcess>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__linux__)
#include <linux/fs.h>
#include <sys/ioctl.h>
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

class Fd
{
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { if (m_fd >= 0) ::close(m_fd); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    int release() { int fd = m_fd; m_fd = -1; return fd; }

private:
    int m_fd;
};

std::error_code copyContents(int in, int out, off_t size)
{
#if defined(__linux__)
    if (::ioctl(out, FICLONE, in) == 0)
        return {};
    off_t left = size;
    while (left > 0) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, static_cast<size_t>(left), 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)
                break; // fall back to read and write from where we are
            return lastError();
        }
        if (n == 0)
            return {};
        left -= n;
    }
    if (left <= 0)
        return {};
#else
    (void)size;
#endif
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n == 0)
            return {};
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return lastError();
            }
            done += w;
        }
    }
}
} // namespace

std::string perUserName(const std::string &prefix)
{
    return prefix + '-' + std::to_string(::getuid());
}

std::error_code createPrivateDirectory(const fs::path &path)
{
    if (::mkdir(path.c_str(), 0700) != 0)
        return lastError();
    return {};
}

std::error_code ensurePrivateDirectory(const fs::path &path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return lastError();
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return lastError();
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return std::make_error_code(std::errc::permission_denied);
    if ((st.st_mode & 0077) != 0 && ::chmod(path.c_str(), 0700) != 0)
        return lastError();
    return {};
}

std::error_code copyRegularFile(const fs::path &from, const fs::path &to)
{
#if defined(__APPLE__)
    if (::copyfile(from.c_str(), to.c_str(), nullptr, COPYFILE_CLONE | COPYFILE_NOFOLLOW | COPYFILE_EXCL) != 0)
        return lastError();
    ::chmod(to.c_str(), 0600);
    return {};
#else
    Fd in(::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (in.get() < 0)
        return lastError();
    struct stat st {};
    if (::fstat(in.get(), &st) != 0)
        return lastError();
    if (!S_ISREG(st.st_mode))
        return std::make_error_code(std::errc::not_supported);
    Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0)
        return lastError();
    if (const std::error_code error = copyContents(in.get(), out.get(), st.st_size))
        return error;
    if (::close(out.release()) != 0)
        return lastError();
    return {};
#endif
}

void startInOwnProcessGroup(QProcess &process)
{
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
}

void killProcessGroup(qint64 pid)
{
    if (pid > 0)
        ::kill(-static_cast<pid_t>(pid), SIGKILL);
}

} // namespace platform
