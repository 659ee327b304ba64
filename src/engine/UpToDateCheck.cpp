#include "engine/UpToDateCheck.h"

#include "engine/EncoderCommandLine.h"
#include "model/ConversionSettings.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

bool statOf(const QString &path, struct stat *status)
{
    return ::stat(QFile::encodeName(path).constData(), status) == 0;
}

bool notBefore(const struct timespec &a, const struct timespec &b)
{
    return a.tv_sec > b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec >= b.tv_nsec);
}

} // namespace

QString UpToDateCheck::checkedPath(const LSMedia &item, const ConversionSettings &settings)
{
    OutputNaming naming = OutputNaming::forSettings(settings, item.eumDestFmtType());
    const QString planned = EncoderCommandLine::plannedOutputPath(item, settings, naming);
    // A run the file system made name the output more strictly left it under that name.
    while (!QFileInfo::exists(planned) && naming.stricter(&naming)) {
        const QString stricter = EncoderCommandLine::plannedOutputPath(item, settings, naming);
        if (QFileInfo::exists(stricter))
            return stricter;
    }
    return planned;
}

bool UpToDateCheck::isUpToDate(const QString &input, const QString &output)
{
    struct stat in;
    struct stat out;
    if (!statOf(input, &in) || !statOf(output, &out) || !S_ISREG(out.st_mode))
        return false;
    return notBefore(out.st_mtim, in.st_mtim);
}
