// Shared pieces of the benchmarks: running a child to its end with its own resource use,
// and medians.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>
#include <cstdio>
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

// Measures the child's own work from construction to report(): prints "wall cpu peakKiB",
// the line that parseReport reads.
class SelfReport {
public:
    SelfReport() {
        getrusage(RUSAGE_SELF, &before_);
        clock_.start();
    }
    void report() const {
        const double wall = clock_.nsecsElapsed() / 1e9;
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        std::printf("%.6f %.6f %ld\n", wall, cpuSeconds(after) - cpuSeconds(before_),
                    after.ru_maxrss);
    }

private:
    rusage before_{};
    QElapsedTimer clock_;
};

// The samples of curl and of our side over the rounds of one measurement.
struct Comparison {
    std::vector<double> curlWall, oursWall, curlCpu, oursCpu, curlMem, oursMem;
    std::vector<double> oursProcess; // our side's whole process, start-up included (optional)
    void add(const Sample& curl, const Sample& ours, double processWall) {
        add(curl, ours);
        oursProcess.push_back(processWall);
    }
    void add(const Sample& curl, const Sample& ours) {
        curlWall.push_back(curl.wall);
        oursWall.push_back(ours.wall);
        curlCpu.push_back(curl.cpu);
        oursCpu.push_back(ours.cpu);
        curlMem.push_back(curl.peakMiB);
        oursMem.push_back(ours.peakMiB);
    }
    // One row: medians of both sides' wall time, CPU time and peak memory, with the ratios,
    // and the whole-process time with its ratio where it was taken.
    void print(const char* what, qint64 mib) const {
        std::printf("%-9s %5lld MiB %8.3f %8.3f %7.2f %8.3f %8.3f %7.2f %8.1f %8.1f", what,
                    static_cast<long long>(mib), median(curlWall), median(oursWall),
                    median(oursWall) / median(curlWall), median(curlCpu), median(oursCpu),
                    median(oursCpu) / median(curlCpu), median(curlMem), median(oursMem));
        if (!oursProcess.empty())
            std::printf(" %8.3f %7.2f", median(oursProcess),
                        median(oursProcess) / median(curlWall));
        std::printf("\n");
    }
    static void printHeader(const char* ours, bool withProcess = false) {
        std::printf("%-9s %9s %8s %8s %7s %8s %8s %7s %8s %8s", "", "size", "curl s", ours,
                    "wall x", "curl cpu", "cpu", "cpu x", "curl MiB", "MiB");
        std::printf(withProcess ? " %8s %7s\n" : "\n", "proc s", "proc x");
    }
};

} // namespace bench
