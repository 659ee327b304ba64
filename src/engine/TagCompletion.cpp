#include "engine/TagCompletion.h"

#include "model/MVMediaInfo.h"
#include "model/OutputFormat.h"

#include <QCoreApplication>
#include <QFile>

#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

namespace {

enum class Container { Mp3, Flac, Opus, Vorbis, Mp4, Wav, Other };

Container containerOf(const OutputFormat &format)
{
    const QString codec = format.codecName();
    if (codec == QLatin1String("mp3"))
        return Container::Mp3;
    if (codec == QLatin1String("flac"))
        return Container::Flac;
    if (codec == QLatin1String("opus"))
        return Container::Opus;
    if (codec == QLatin1String("vorbis"))
        return Container::Vorbis;
    if (format.extension() == QLatin1String("m4a"))
        return Container::Mp4;
    if (format.extension() == QLatin1String("wav"))
        return Container::Wav;
    return Container::Other;
}

TagLib::String taglibText(const QString &text)
{
    return TagLib::String(text.toUtf8().constData(), TagLib::String::UTF8);
}

TagLib::ByteVector taglibBytes(const QByteArray &bytes)
{
    return TagLib::ByteVector(bytes.constData(), uint(bytes.size()));
}

// The names TagLib's property maps give the carried tags.
TagLib::String propertyName(const QString &tagName)
{
    if (tagName == QLatin1String("album_artist"))
        return "ALBUMARTIST";
    if (tagName == QLatin1String("track"))
        return "TRACKNUMBER";
    if (tagName == QLatin1String("disc"))
        return "DISCNUMBER";
    return taglibText(tagName.toUpper());
}

// The carried tags replace their namesakes in `tag`; everything else in it stays. `TagT` is the
// concrete tag class: TagLib 1's property functions are not virtual, and the base class's know
// only the common few.
template<typename TagT>
void mergeInto(TagT *tag, const EmbeddedTags &tags)
{
    TagLib::PropertyMap properties = tag->properties();
    for (const auto &[name, value] : tags.values)
        properties.replace(propertyName(name), TagLib::StringList(taglibText(value)));
    // A total kept apart would contradict the "3/12" form written now.
    properties.erase("TRACKTOTAL");
    properties.erase("DISCTOTAL");
    tag->setProperties(properties);
}

TagLib::FLAC::Picture *flacPicture(const EmbeddedTags &tags)
{
    auto *picture = new TagLib::FLAC::Picture;
    picture->setType(TagLib::FLAC::Picture::FrontCover);
    picture->setMimeType(taglibText(tags.coverMimeType));
    picture->setData(taglibBytes(tags.cover));
    return picture;
}

TagLib::ID3v2::AttachedPictureFrame *id3Picture(const EmbeddedTags &tags)
{
    auto *picture = new TagLib::ID3v2::AttachedPictureFrame;
    picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    picture->setMimeType(taglibText(tags.coverMimeType));
    picture->setPicture(taglibBytes(tags.cover));
    return picture;
}

bool completeXiph(TagLib::File &file, TagLib::Ogg::XiphComment *comment, const EmbeddedTags &tags,
                  bool withCover)
{
    if (!file.isValid() || !comment)
        return false;
    mergeInto(comment, tags);
    if (withCover && !tags.cover.isEmpty() && comment->pictureList().isEmpty())
        comment->addPicture(flacPicture(tags)); // owned by the comment from here on
    return file.save();
}

bool completeFlac(TagLib::FLAC::File &file, const EmbeddedTags &tags, bool withCover)
{
    if (!file.isValid())
        return false;
    mergeInto(file.xiphComment(true), tags);
    if (withCover && !tags.cover.isEmpty() && file.pictureList().isEmpty())
        file.addPicture(flacPicture(tags)); // owned by the file from here on
    return file.save();
}

bool completeMp3(TagLib::MPEG::File &file, const EmbeddedTags &tags, bool withCover)
{
    if (!file.isValid())
        return false;
    TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
    if (withCover && !tags.cover.isEmpty() && tag->frameList("APIC").isEmpty())
        tag->addFrame(id3Picture(tags)); // owned by the tag from here on
    // The version the encoder was asked to write stays.
    const auto version = tag->header()->majorVersion() == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4;
    mergeInto(tag, tags);
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, version);
}

// The cover kinds an MP4 "covr" item can name.
TagLib::MP4::CoverArt::Format mp4CoverFormat(const QString &mimeType)
{
    if (mimeType == QLatin1String("image/png"))
        return TagLib::MP4::CoverArt::PNG;
    if (mimeType == QLatin1String("image/jpeg"))
        return TagLib::MP4::CoverArt::JPEG;
    if (mimeType == QLatin1String("image/gif"))
        return TagLib::MP4::CoverArt::GIF;
    if (mimeType == QLatin1String("image/bmp"))
        return TagLib::MP4::CoverArt::BMP;
    return TagLib::MP4::CoverArt::Unknown;
}

bool completeMp4(TagLib::MP4::File &file, const EmbeddedTags &tags, bool withCover)
{
    if (!file.isValid() || !file.tag())
        return false;
    mergeInto(file.tag(), tags);
    const auto format = mp4CoverFormat(tags.coverMimeType);
    if (withCover && !tags.cover.isEmpty() && !file.tag()->contains("covr") &&
        format != TagLib::MP4::CoverArt::Unknown)
        file.tag()->setItem("covr", TagLib::MP4::CoverArtList().append(
                                        TagLib::MP4::CoverArt(format, taglibBytes(tags.cover))));
    // iTunes's own names for what MP4 has no item of its own for.
    for (const auto &[name, value] : tags.values) {
        if (name.startsWith(QLatin1String("replaygain_")))
            file.tag()->setItem(taglibText(QStringLiteral("----:com.apple.iTunes:") + name),
                                TagLib::StringList(taglibText(value)));
    }
    return file.save();
}

bool completeWav(TagLib::RIFF::WAV::File &file, const EmbeddedTags &tags, bool withCover)
{
    if (!file.isValid())
        return false;
    TagLib::ID3v2::Tag *tag = file.ID3v2Tag();
    mergeInto(tag, tags);
    if (withCover && !tags.cover.isEmpty() && tag->frameList("APIC").isEmpty())
        tag->addFrame(id3Picture(tags)); // owned by the tag from here on
    return file.save(TagLib::RIFF::WAV::File::ID3v2, TagLib::File::StripOthers);
}

} // namespace

bool TagCompletion::needed(const OutputFormat &format)
{
    return containerOf(format) != Container::Other;
}

bool TagCompletion::complete(const QString &outputPath, const OutputFormat &format,
                             const QString &inputPath, bool withCover, QString *error)
{
    if (!needed(format))
        return true;
    return complete(outputPath, format, MVMediaInfo::readEmbeddedTags(inputPath), withCover, error);
}

bool TagCompletion::complete(const QString &outputPath, const OutputFormat &format,
                             const EmbeddedTags &tags, bool withCover, QString *error)
{
    const QByteArray name = QFile::encodeName(outputPath);
    bool written = true;
    switch (containerOf(format)) {
    case Container::Other:
        return true;
    case Container::Mp3: {
        TagLib::MPEG::File file(name.constData(), false);
        written = completeMp3(file, tags, withCover);
        break;
    }
    case Container::Flac: {
        TagLib::FLAC::File file(name.constData(), false);
        written = completeFlac(file, tags, withCover);
        break;
    }
    case Container::Opus: {
        TagLib::Ogg::Opus::File file(name.constData(), false);
        written = completeXiph(file, file.tag(), tags, withCover);
        break;
    }
    case Container::Vorbis: {
        TagLib::Ogg::Vorbis::File file(name.constData(), false);
        written = completeXiph(file, file.tag(), tags, withCover);
        break;
    }
    case Container::Mp4: {
        TagLib::MP4::File file(name.constData(), false);
        written = completeMp4(file, tags, withCover);
        break;
    }
    case Container::Wav: {
        TagLib::RIFF::WAV::File file(name.constData(), false);
        written = completeWav(file, tags, withCover);
        break;
    }
    }
    if (!written && error)
        *error = QCoreApplication::translate("TagCompletion", "could not write the tags of %1")
                     .arg(outputPath);
    return written;
}
