#include "model/MediaItemBuilder.h"

#include "Shared/PathText.h"
#include "model/FormatUtils.h"
#include "model/MVMediaInfo.h"
#include "model/OutputFormat.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace MediaItemBuilder {

QString inputProblem(MVMediaInfoItem &media)
{
    QString error;
    const bool probed = MVMediaInfo::dumpMediaInfo(&media, &error);
    const QFileInfo file(media.filePath());
    if (file.isFile() && file.size() == 0)
        return QCoreApplication::translate("MediaItemBuilder", "the file is empty");
    if (!probed)
        return QCoreApplication::translate("MediaItemBuilder", "not readable as audio: %1")
            .arg(error);
    if (media.audioSampleRate() <= 0 || media.audioChannels() <= 0)
        return QCoreApplication::translate("MediaItemBuilder", "no audio stream");
    return QString();
}

void applyPreferences(LSMedia &media)
{
    const UserDefaults &prefs = UserDefaults::standard();
    FormatUtils::sharedInstance()->fillMedia(&media,
                                             OutputFormat::preferred(prefs).catalogueTitle());
    media.setBSampeQuality(prefs.boolForKey(PrefKeys::BSameQuality));
    if (!media.bSampeQuality()) {
        media.setDAOSamplerate(prefs.doubleForKey(PrefKeys::DoubleSamepleRate));
        media.setDAOBitrate(prefs.doubleForKey(PrefKeys::DoubleBitRate));
    }
}

bool matchesPreferences(const LSMedia &media)
{
    const UserDefaults &prefs = UserDefaults::standard();
    const bool sameQuality = prefs.boolForKey(PrefKeys::BSameQuality);
    if (media.strFmtName() != OutputFormat::preferred(prefs).catalogueTitle() ||
        media.bSampeQuality() != sameQuality)
        return false;
    return sameQuality ||
           (media.dAOSamplerate() == prefs.doubleForKey(PrefKeys::DoubleSamepleRate) &&
            media.dAOBitrate() == prefs.doubleForKey(PrefKeys::DoubleBitRate));
}

void setOutputFormat(LSMedia &media, const QString &title)
{
    const double sampleRate = media.dAOSamplerate();
    const double bitRate = media.dAOBitrate();
    FormatUtils::sharedInstance()->fillMedia(&media, title);
    if (!media.bSampeQuality()) {
        media.setDAOSamplerate(sampleRate);
        media.setDAOBitrate(bitRate);
    }
}

LSMediaPtr makeMedia(const QString &path, const QString &root)
{
    auto media = std::make_shared<LSMedia>();
    media->setFilePath(path);
    media->setStrSourceRoot(root.isEmpty() ? QFileInfo(path).absolutePath() : root);
    media->setStrOutFileName(PathText::baseName(path));
    media->setStrInputProblem(inputProblem(*media));
    media->setDTrimLength(media->duration());

    applyPreferences(*media);
    return media;
}

} // namespace MediaItemBuilder
