#pragma once

// Running a whole program and measuring it, for the benchmarks that compare wavelark-cli with the
// same encoder commands run by xargs: wall time, the program's own CPU time and that of all its
// children.

#include <QFile>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace ProcessMeasure {

struct Measure
{
    bool ok = false;
    double wall = 0.0;
    double selfCpu = 0.0;  // the process itself
    double totalCpu = 0.0; // it and every child it waited for
};

inline double now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

inline bool runQuiet(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// Runs `arguments` with no input and no output, and measures it. The child is waited for
// without being reaped first, so that its own CPU time can still be read from /proc.
inline Measure runMeasured(const QStringList &arguments)
{
    std::vector<QByteArray> storage;
    for (const QString &argument : arguments)
        storage.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &bytes : storage)
        argv.push_back(bytes.data());
    argv.push_back(nullptr);

    Measure measure;
    const double start = now();
    const pid_t pid = fork();
    if (pid < 0)
        return measure;
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    siginfo_t info = {};
    waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT);
    measure.wall = now() - start;

    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray text = stat.readAll();
        // Fields after the command name (which may hold blanks): state is field 3.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        const double tick = double(sysconf(_SC_CLK_TCK));
        if (fields.size() > 12)
            measure.selfCpu = (fields.at(11).toDouble() + fields.at(12).toDouble()) / tick;
    }
    int status = 0;
    rusage usage = {};
    wait4(pid, &status, 0, &usage);
    measure.totalCpu = double(usage.ru_utime.tv_sec) + usage.ru_utime.tv_usec / 1e6 +
                       double(usage.ru_stime.tv_sec) + usage.ru_stime.tv_usec / 1e6;
    measure.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return measure;
}

inline bool writeArgumentFile(const QString &path, const QList<QStringList> &commands)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // xargs names the encoder itself: only the arguments go into the file.
    for (const QStringList &command : commands) {
        for (const QString &argument : command.mid(1))
            file.write(QFile::encodeName(argument) + '\0');
    }
    return true;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace ProcessMeasure
