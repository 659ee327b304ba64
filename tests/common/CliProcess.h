#pragma once

#include <QString>
#include <QStringList>

// Runs the real wavelark-cli beside the test binary, with no input on its standard input, and
// keeps what it printed.
namespace CliProcess {

struct Result
{
    int exitCode = -1; // -1 when it did not start, did not end within ten minutes or crashed
    QString out;
    QString err;
};

QString program();
Result run(const QStringList &arguments);

} // namespace CliProcess
