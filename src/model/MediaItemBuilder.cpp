#include "model/MediaItemBuilder.h"

#include "Shared/PathText.h"
#include "model/FormatUtils.h"
#include "model/MVMediaInfo.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

namespace MediaItemBuilder {

LSMediaPtr makeMedia(const QString &path)
{
    auto media = std::make_shared<LSMedia>();
    media->setFilePath(path);
    media->setStrOutFileName(PathText::baseName(path));
    MVMediaInfo::dumpMediaInfo(media.get());
    media->setDTrimLength(media->duration());

    UserDefaults &prefs = UserDefaults::standard();
    const QString preferred = prefs.stringForKey(PrefKeys::PreferedFormatName);
    const QString formatName = preferred.contains(QLatin1String("AAC"))
                                   ? QString(FormatNames::AacAudio)
                                   : QString(FormatNames::Mp3Audio);
    FormatUtils::sharedInstance()->fillMedia(media.get(), formatName);

    media->setBSampeQuality(prefs.boolForKey(PrefKeys::BSameQuality));
    if (!media->bSampeQuality()) {
        media->setDAOSamplerate(prefs.doubleForKey(PrefKeys::DoubleSamepleRate));
        media->setDAOBitrate(prefs.doubleForKey(PrefKeys::DoubleBitRate));
    }
    return media;
}

} // namespace MediaItemBuilder
