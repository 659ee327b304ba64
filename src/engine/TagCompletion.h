#pragma once

#include <QString>

class OutputFormat;
struct EmbeddedTags;

// Writes the carried tags (MVMediaInfo::readEmbeddedTags) into a finished output with TagLib,
// before the output gets its final name, so that they read the same in every container: a
// track or disc number with its total as "3/12", the album artist, ReplayGain. The encoder's own
// mapping loses some of them (a Vorbis TRACKTOTAL, ReplayGain in MP4). Besides:
// - Opus and Ogg Vorbis: the front cover as a METADATA_BLOCK_PICTURE comment (the encoder's Ogg
//   writer refuses a picture stream);
// - M4A (AAC, Apple Lossless): ReplayGain as iTunes "----" items;
// - WAV: every tag and the cover in an ID3v2 chunk, the one WAV tag other programs read in full
//   (the RIFF INFO list has no album artist, disc or ReplayGain, and readers that find it ignore
//   the ID3v2 chunk, so it is removed).
// MP3, M4A and FLAC get their cover from the encoder, and here only when it left it out (it does
// when the input starts after 0, as an MP3 with its encoder delay: the seek to the trim start
// then lies before the file and drops the picture). An MP3's ID3v2 version stays as written.
//
// Thread: any; each call works on its own files.
class TagCompletion
{
public:
    TagCompletion() = delete;

    // Whether files of `format` need a completion at all.
    static bool needed(const OutputFormat &format);

    // Completes `outputPath` (a file of `format`) from the tags of `inputPath`; the cover only
    // when `withCover`. False with the reason in `error` when the file could not be written.
    static bool complete(const QString &outputPath, const OutputFormat &format,
                         const QString &inputPath, bool withCover, QString *error);
    // The same with tags already read.
    static bool complete(const QString &outputPath, const OutputFormat &format,
                         const EmbeddedTags &tags, bool withCover, QString *error);
};
