#include "OfficeProcess.h"

#include "WordAutomation.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace automation {

OfficeProcess::OfficeProcess(const std::string &executable,
                             const std::vector<std::string> &arguments,
                             const std::vector<std::string> &environment)
{
    // Everything the child needs is prepared before fork: after it, only
    // async-signal-safe calls are allowed.
    std::vector<std::string> all{executable};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (auto &a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = environment;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const auto &own : environment)
            replaced = replaced || own.rfind(name, 0) == 0;
        if (!replaced)
            env.push_back(entry);
    }
    std::vector<char *> envp;
    for (auto &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const pid_t parent = getpid();

    m_pid = fork();
    if (m_pid < 0)
        throw SystemFailure(std::string("The word processor could not be started: ") +
                            std::strerror(errno));
    if (m_pid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        const int devNull = open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            dup2(devNull, STDIN_FILENO);
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    setpgid(m_pid, m_pid); // also from here, so the group exists before we ever kill it
    m_watchdog = std::thread([this] { watch(); });
}

OfficeProcess::~OfficeProcess()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopWatching = true;
    }
    m_wake.notify_all();
    m_watchdog.join();
    kill();
}

std::optional<int> OfficeProcess::exitStatus()
{
    if (!m_status && m_pid > 0) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid)
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return m_status;
}

void OfficeProcess::kill()
{
    if (m_pid <= 0 || m_status)
        return;
    sendKill();
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_status = -1;
}

void OfficeProcess::sendKill()
{
    ::kill(-m_pid, SIGKILL);
    ::kill(m_pid, SIGKILL);
}

void OfficeProcess::signalKill()
{
    if (m_pid > 0 && !m_status)
        sendKill();
}

bool OfficeProcess::waitForExit(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::vector<std::string> OfficeProcess::socketPaths() const
{
    std::set<std::string> inodes;
    const std::string fdDir = "/proc/" + std::to_string(m_pid) + "/fd";
    std::error_code error;
    for (const auto &fd : std::filesystem::directory_iterator(fdDir, error)) {
        const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
        if (!error && target.rfind("socket:[", 0) == 0)
            inodes.insert(target.substr(8, target.size() - 9));
    }
    std::vector<std::string> paths;
    std::ifstream unix("/proc/net/unix");
    std::string line;
    std::getline(unix, line); // header
    while (std::getline(unix, line)) {
        std::istringstream fields(line);
        std::string num, refCount, protocol, flags, type, state, inode, path;
        fields >> num >> refCount >> protocol >> flags >> type >> state >> inode >> path;
        if (!path.empty() && path[0] == '/' && inodes.count(inode))
            paths.push_back(path);
    }
    return paths;
}

void OfficeProcess::armWatchdog(std::chrono::milliseconds timeout)
{
    {
        std::lock_guard lock(m_mutex);
        m_armedAt = std::chrono::steady_clock::now();
        m_deadline = m_armedAt + timeout;
    }
    m_wake.notify_all();
}

void OfficeProcess::disarmWatchdog()
{
    std::lock_guard lock(m_mutex);
    m_deadline.reset();
}

long long OfficeProcess::cpuTicks() const
{
    std::ifstream stat("/proc/" + std::to_string(m_pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return -1;
    // After the name: state, then fields 4 to 13, then utime and stime.
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 13 && fields >> field; ++i) {
    }
    fields >> utime >> stime;
    return utime + stime;
}

void OfficeProcess::killByWatchdog(bool idle)
{
    // Only signal here; reaping stays with the owning thread.
    m_killedAsIdle = idle;
    m_killedByWatchdog = true;
    m_deadline.reset();
    sendKill();
}

void OfficeProcess::watch()
{
    using Clock = std::chrono::steady_clock;
    constexpr auto Sample = std::chrono::milliseconds(250);
    std::unique_lock lock(m_mutex);
    long long lastTicks = -1;
    Clock::time_point lastBusy;
    Clock::time_point seenArm;
    while (!m_stopWatching) {
        if (!m_deadline) {
            m_wake.wait(lock);
            continue;
        }
        const auto now = Clock::now();
        if (now >= *m_deadline) {
            killByWatchdog(false);
            continue;
        }
        // A call that is still waiting: is the office doing anything at all?
        const long long ticks = cpuTicks();
        if (m_armedAt != seenArm) { // a new call: its idle time starts now
            seenArm = m_armedAt;
            lastTicks = ticks;
            lastBusy = now;
        } else if (ticks != lastTicks) {
            lastTicks = ticks;
            lastBusy = now;
        } else if (now - lastBusy >= m_idleLimit) {
            killByWatchdog(true);
            continue;
        }
        m_wake.wait_until(lock, std::min(*m_deadline, now + Sample));
    }
}

} // namespace automation
