#include "model/MediaItemBuilder.h"

#include "Shared/PathText.h"
#include "model/FormatUtils.h"
#include "model/MVMediaInfo.h"
#include "model/OutputFormat.h"

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

void applyPreferences(LSMedia &media, const ConversionSettings &settings)
{
    FormatUtils::sharedInstance()->fillMedia(&media, settings.format().catalogueTitle());
    media.setIAOQuality(settings.qualityFor(settings.format()));
    media.setBSampeQuality(settings.sameQuality);
    if (!media.bSampeQuality()) {
        media.setDAOSamplerate(settings.sampleRate);
        media.setDAOBitrate(settings.bitRate);
    }
}

bool matchesPreferences(const LSMedia &media, const ConversionSettings &settings)
{
    if (media.strFmtName() != settings.format().catalogueTitle() ||
        media.bSampeQuality() != settings.sameQuality ||
        media.iAOQuality() != settings.qualityFor(settings.format()))
        return false;
    return settings.sameQuality ||
           (media.dAOSamplerate() == settings.sampleRate && media.dAOBitrate() == settings.bitRate);
}

void setOutputFormat(LSMedia &media, const QString &title, const ConversionSettings &settings)
{
    const double sampleRate = media.dAOSamplerate();
    const double bitRate = media.dAOBitrate();
    FormatUtils::sharedInstance()->fillMedia(&media, title);
    // A quality scale belongs to its format: the new one takes the level the settings give it.
    const OutputFormat *format = OutputFormat::withTitle(title);
    media.setIAOQuality(format ? settings.qualityFor(*format) : -1);
    if (!media.bSampeQuality()) {
        media.setDAOSamplerate(sampleRate);
        media.setDAOBitrate(bitRate);
    }
}

LSMediaPtr makeMedia(const QString &path, const QString &root)
{
    return makeMedia(path, ConversionSettings::current(), root);
}

LSMediaPtr makeMedia(const QString &path, const ConversionSettings &settings, const QString &root)
{
    auto media = std::make_shared<LSMedia>();
    media->setFilePath(path);
    media->setStrSourceRoot(root.isEmpty() ? QFileInfo(path).absolutePath() : root);
    media->setStrOutFileName(PathText::baseName(path));
    media->setStrInputProblem(inputProblem(*media));
    media->setDTrimLength(media->duration());

    applyPreferences(*media, settings);
    return media;
}

} // namespace MediaItemBuilder
