#pragma once

#include <QtGlobal>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

#if defined(Q_OS_LINUX)
#include <linux/capability.h>
#include <sys/syscall.h>
#endif

// Whether the process `pid` has ended: gone, or a zombie that nobody has
// reaped yet (kill(pid, 0) still succeeds on those).
inline bool processEnded(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return ::kill(pid, 0) != 0;
    const std::size_t close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() || line[close + 2] == 'Z' || line[close + 2] == 'X';
}

// The children of `parent` whose command line contains `text`.
inline std::vector<pid_t> childProcesses(pid_t parent, const std::string &text)
{
    std::vector<pid_t> found;
    std::error_code error;
    for (std::filesystem::directory_iterator it("/proc", error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(it->path() / "stat");
        std::string line;
        std::getline(stat, line);
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(line.substr(close + 2));
        char state = 0;
        pid_t ppid = 0;
        fields >> state >> ppid;
        std::ifstream cmdline(it->path() / "cmdline");
        const std::string command((std::istreambuf_iterator<char>(cmdline)), std::istreambuf_iterator<char>());
        if (ppid == parent && command.find(text) != std::string::npos)
            found.push_back(static_cast<pid_t>(std::stoi(name)));
    }
    return found;
}

// While it lives, the calling thread obeys file permissions even as root
// (its CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH are put aside), so that
// tests can make files it cannot read. `active()` is false where that is
// not possible.
class ObeyFilePermissions
{
public:
    ObeyFilePermissions()
    {
        if (::geteuid() != 0) {
            m_active = true;
            return;
        }
#if defined(Q_OS_LINUX)
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_active = m_changed = ::syscall(SYS_capset, &m_header, reduced) == 0;
#endif
    }
    ~ObeyFilePermissions()
    {
#if defined(Q_OS_LINUX)
        if (m_changed)
            ::syscall(SYS_capset, &m_header, m_saved);
#endif
    }
    ObeyFilePermissions(const ObeyFilePermissions &) = delete;
    ObeyFilePermissions &operator=(const ObeyFilePermissions &) = delete;

    bool active() const { return m_active; }

private:
    bool m_active = false;
    bool m_changed = false;
#if defined(Q_OS_LINUX)
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
#endif
};
