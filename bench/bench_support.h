// Shared pieces of the benchmarks: running a child to its end with its own resource use,
// and medians.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace bench {

struct Sample {
    double wall = 0; // seconds
    double cpu = 0;  // user + system seconds
    double peakMiB = 0;
};

inline double cpuSeconds(const rusage& u) {
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

// Runs a program to its end and returns its standard output, with the child's own resource
// use and the wall time from start to end. Dirty pages of earlier runs are written out
// first, so that no run pays for the one before it.
inline QByteArray runChild(const QStringList& command, rusage& usage, double& wall) {
    ::sync();
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        std::vector<QByteArray> args;
        for (const QString& a : command)
            args.push_back(a.toLocal8Bit());
        std::vector<char*> argv;
        for (QByteArray& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
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
    wall = clock.nsecsElapsed() / 1e9;
    return output;
}

// A child's own report "wall cpu peakKiB" as a sample.
inline Sample parseReport(const QByteArray& line) {
    Sample s;
    long peakKiB = 0;
    if (std::sscanf(line.constData(), "%lf %lf %ld", &s.wall, &s.cpu, &peakKiB) != 3)
        return {};
    s.peakMiB = peakKiB / 1024.0;
    return s;
}

// A whole child run measured from outside.
inline Sample measure(const QStringList& command) {
    rusage usage{};
    double wall = 0;
    runChild(command, usage, wall);
    return {wall, cpuSeconds(usage), usage.ru_maxrss / 1024.0};
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace bench
