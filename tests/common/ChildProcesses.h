#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>

namespace ChildProcesses {

// The fields of /proc/<pid>/stat after the command name (state, parent, ...: field 3 of the
// kernel's numbering is index 0 here) for each child of this process, such as the encoders.
inline QList<QList<QByteArray>> statFields()
{
    QList<QList<QByteArray>> children;
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // The command name ends with the last ')' and may hold blanks itself.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1) == self)
            children << fields;
    }
    return children;
}

} // namespace ChildProcesses
