// What the benches share to time another program: running it as a child
// with its standard streams on files, its wall and processor time and peak
// memory, and the machine's load average to print beside a measurement.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace bench {

struct ChildRun {
    double wall = 0;    // seconds
    double user = 0;    // processor seconds in the program
    double system = 0;  // and in the kernel for it
    long maxRssKb = 0;
    int status = -1;  // exit code, 128 + the signal that ended it, 126/127 when it did not start
    double cpu() const { return user + system; }
};

// "1.26 1.76 3.01": the 1-, 5- and 15-minute load averages.
inline std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// Runs argv (argv[0] found on PATH when it has no slash) with its standard
// input, output and error on the files given, and measures it.
inline ChildRun runChild(const std::vector<std::string> &argv, const std::string &in,
                         const std::string &out, const std::string &err) {
    const auto seconds = [](const timeval &t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    ChildRun run;
    std::fflush(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!std::freopen(in.c_str(), "r", stdin) || !std::freopen(out.c_str(), "w", stdout) ||
            !std::freopen(err.c_str(), "w", stderr)) {
            ::_exit(126);
        }
        std::vector<char *> args;
        for (const std::string &a : argv) {
            args.push_back(const_cast<char *>(a.c_str()));
        }
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    rusage usage{};
    int status = 0;
    ::wait4(pid, &status, 0, &usage);
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.user = seconds(usage.ru_utime);
    run.system = seconds(usage.ru_stime);
    run.maxRssKb = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

}  // namespace bench
