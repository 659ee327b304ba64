#include "engine/UpToDateCheck.h"

#include "engine/EncoderCommandLine.h"
#include "engine/OutputLayout.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QFile>

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

bool UpToDateCheck::enabled(const UserDefaults &store)
{
    return store.boolForKey(PrefKeys::AppSkipConverted);
}

QString UpToDateCheck::checkedPath(const LSMedia &item, const QString &audioFolder,
                                   const QString &videoFolder)
{
    const bool keepFolders = OutputLayout::keepFolders(UserDefaults::standard());
    return EncoderCommandLine::plannedOutputPath(item, audioFolder, videoFolder, keepFolders);
}

bool UpToDateCheck::isUpToDate(const QString &input, const QString &output)
{
    struct stat in;
    struct stat out;
    if (!statOf(input, &in) || !statOf(output, &out) || !S_ISREG(out.st_mode))
        return false;
    return notBefore(out.st_mtim, in.st_mtim);
}
