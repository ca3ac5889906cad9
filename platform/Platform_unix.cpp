#include "Platform.h"

#include <QProcess>

#include <cerrno>
#include <csignal>
#include <climits>
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
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

// Copies what is left of `in` to `out`; `readFailed` tells which side failed.
std::error_code copyContents(int in, int out, off_t size, bool &readFailed)
{
    readFailed = false;
#if defined(__linux__)
    if (::ioctl(out, FICLONE, in) == 0)
        return {};
    off_t left = size;
    while (left > 0) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, static_cast<size_t>(left), 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // Not supported here, or failed: read and write from where we
            // are, which also tells a failing source from a failing target.
            break;
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
            readFailed = true;
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

std::size_t maximumPathLength()
{
    return PATH_MAX - 1; // PATH_MAX counts the terminating null
}

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
    if ((st.st_mode & 07777) != 0700 && ::chmod(path.c_str(), 0700) != 0)
        return lastError();
    return {};
}

std::error_code createUniquePrivateDirectory(const fs::path &prefix, fs::path &created)
{
    std::string name = prefix.native() + "XXXXXX";
    if (::mkdtemp(name.data()) == nullptr)
        return lastError();
    created = name;
    return {};
}

bool isPrivateDirectory(const fs::path &path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()
        && (st.st_mode & 0077) == 0;
}

std::error_code entryInfo(const fs::path &path, EntryInfo &info, bool followLink)
{
    struct stat st {};
    if ((followLink ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0)
        return lastError();
    switch (st.st_mode & S_IFMT) {
    case S_IFREG: info.type = fs::file_type::regular; break;
    case S_IFDIR: info.type = fs::file_type::directory; break;
    case S_IFLNK: info.type = fs::file_type::symlink; break;
    case S_IFIFO: info.type = fs::file_type::fifo; break;
    case S_IFSOCK: info.type = fs::file_type::socket; break;
    case S_IFCHR: info.type = fs::file_type::character; break;
    case S_IFBLK: info.type = fs::file_type::block; break;
    default: info.type = fs::file_type::unknown; break;
    }
    info.size = static_cast<std::uintmax_t>(st.st_size);
    info.device = static_cast<std::uint64_t>(st.st_dev);
    info.inode = static_cast<std::uint64_t>(st.st_ino);
    info.ownedByUser = st.st_uid == ::getuid();
#if defined(__APPLE__)
    const timespec &modified = st.st_mtimespec, &changed = st.st_ctimespec;
#else
    const timespec &modified = st.st_mtim, &changed = st.st_ctim;
#endif
    info.modified = std::int64_t(modified.tv_sec) * 1000000000 + modified.tv_nsec;
    info.changed = std::int64_t(changed.tv_sec) * 1000000000 + changed.tv_nsec;
    return {};
}

std::error_code checkReadable(const fs::path &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return lastError();
    ::close(fd);
    return {};
}

std::error_code linkFile(const fs::path &from, const fs::path &to)
{
    // linkat without AT_SYMLINK_FOLLOW names the link itself, never its target.
    if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0) != 0)
        return lastError();
    return {};
}

std::error_code copyRegularFile(const fs::path &from, const fs::path &to, bool *sourceFailed)
{
    bool readFailed = true;
    const auto fail = [&](std::error_code error) {
        if (sourceFailed)
            *sourceFailed = readFailed;
        return error;
    };
#if defined(__APPLE__)
    if (::copyfile(from.c_str(), to.c_str(), nullptr, COPYFILE_CLONE | COPYFILE_NOFOLLOW | COPYFILE_EXCL) != 0) {
        const std::error_code error = lastError();
        readFailed = ::access(from.c_str(), R_OK) != 0;
        if (!readFailed && error.value() != EEXIST)
            ::unlink(to.c_str());
        return fail(error);
    }
    ::chmod(to.c_str(), 0600); // the copy is ours alone; never the user's file
    return {};
#else
    Fd in(::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (in.get() < 0)
        return fail(lastError());
    struct stat st {};
    if (::fstat(in.get(), &st) != 0)
        return fail(lastError());
    if (!S_ISREG(st.st_mode))
        return fail(std::make_error_code(std::errc::not_supported));
    readFailed = false;
    Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0)
        return fail(lastError());
    if (const std::error_code error = copyContents(in.get(), out.get(), st.st_size, readFailed)) {
        ::unlink(to.c_str());
        return fail(error);
    }
    readFailed = false;
    if (::close(out.release()) != 0) {
        const std::error_code error = lastError();
        ::unlink(to.c_str());
        return fail(error);
    }
    return {};
#endif
}

FileLock::~FileLock()
{
    if (m_handle != invalidHandle)
        ::close(static_cast<int>(m_handle));
}

FileLock::FileLock(FileLock &&other) noexcept
    : m_handle(std::exchange(other.m_handle, invalidHandle))
{
}

FileLock &FileLock::operator=(FileLock &&other) noexcept
{
    if (this != &other) {
        if (m_handle != invalidHandle)
            ::close(static_cast<int>(m_handle));
        m_handle = std::exchange(other.m_handle, invalidHandle);
    }
    return *this;
}

FileLock FileLock::tryLock(const fs::path &path, bool create, std::error_code &error)
{
    FileLock lock;
    // flock belongs to this open file description, so another descriptor of
    // this same process cannot take the lock either (unlike fcntl locks).
    const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
    if (fd < 0) {
        error = lastError();
        return lock;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? std::make_error_code(std::errc::resource_unavailable_try_again) : lastError();
        ::close(fd);
        return lock;
    }
    error.clear();
    lock.m_handle = fd;
    return lock;
}

bool removeWhenProcessEnds(const fs::path &path)
{
    // The write end stays open, unshared (close-on-exec), until this process
    // ends; then the watcher's read meets the end of the pipe and removes the
    // folder. A folder this process already removed is simply not there.
    int ends[2];
#if defined(__linux__)
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return false;
#else
    if (::pipe(ends) != 0)
        return false;
    ::fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
#endif
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, ends[0]);
    posix_spawn_file_actions_addclose(&actions, ends[1]);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // A process group of its own, so that Ctrl+C in a terminal does not
    // reach it, and no signal blocked or ignored that the shell and rm need.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t reset;
    sigemptyset(&reset);
    sigaddset(&reset, SIGPIPE);
    sigaddset(&reset, SIGCHLD);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &reset);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const std::string folder = path.native();
    char shell[] = "/bin/sh";
    char script[] = "trap '' HUP INT TERM; read _; exec rm -rf -- \"$1\"";
    char name[] = "lumbrel-cleanup";
    char c[] = "-c";
    char *const arguments[] = {shell, c, script, name, const_cast<char *>(folder.c_str()), nullptr};
    char *const environment[] = {nullptr};
    pid_t watcher = 0;
    const int failed = posix_spawn(&watcher, shell, &actions, &attributes, arguments, environment);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[0]);
    if (failed != 0) {
        ::close(ends[1]);
        return false;
    }
    return true; // ends[1] is kept open on purpose: its closing is the signal
}

void prepareChild(QProcess &process)
{
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        ::setpgid(0, 0);
#if defined(__linux__)
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
        // The parent may have died before the death signal was armed.
        if (::getppid() != parent)
            ::_exit(127);
    });
}

void killProcessGroup(qint64 pid)
{
    if (pid > 0)
        ::kill(-static_cast<pid_t>(pid), SIGKILL);
}

void releaseFreedMemory()
{
#if defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}

} // namespace platform
