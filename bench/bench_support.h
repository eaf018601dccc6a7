// Shared pieces of the benchmarks: running a child to its end with its own resource use,
// the monotonic clock a child measures its own start from, and order statistics.
#pragma once

#include <QByteArray>
#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace bench {

// The environment variable in which a child finds the monotonic time of its fork.
inline constexpr char kForkTimeVariable[] = "ZORV_BENCH_FORK_NS";

inline qint64 monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Seconds since the parent forked this process (-1 when it was not started by runChild).
inline double secondsSinceFork() {
    const QByteArray forked = qgetenv(kForkTimeVariable);
    return forked.isEmpty() ? -1 : (monotonicNs() - forked.toLongLong()) / 1e9;
}

inline double cpuSeconds(const rusage& u) {
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

// Runs a program to its end and returns its standard output, with the child's own resource
// use, its exit status and the wall time from fork to exit. Dirty pages of earlier runs are
// written out first, so that no run pays for the one before it.
inline QByteArray runChild(const QStringList& command, rusage& usage, double& wall,
                           int* exitStatus = nullptr) {
    ::sync();
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    std::vector<QByteArray> args;
    for (const QString& a : command)
        args.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const qint64 start = monotonicNs();
    const std::string startText = std::to_string(start);
    const pid_t pid = fork();
    if (pid == 0) {
        setenv(kForkTimeVariable, startText.c_str(), 1);
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    QByteArray output;
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, n);
    close(pipeFds[0]);
    int status = 0;
    wait4(pid, &status, 0, &usage);
    wall = (monotonicNs() - start) / 1e9;
    if (exitStatus)
        *exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

inline double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t mid = v.size() / 2;
    return v.size() % 2 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

inline double minimum(const std::vector<double>& v) {
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

inline double maximum(const std::vector<double>& v) {
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

} // namespace bench
