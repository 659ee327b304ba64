#pragma once

#include "engine/OutputNaming.h"
#include "model/ConversionSettings.h"
#include "model/LSMedia.h"

#include <QString>
#include <QStringList>

#include <memory>

class OutputReservation;

// What a conversion hands to the process runner: where the output goes and the encoder's whole
// argument list (element 0 is the encoder program). The encoder writes into the temporary; a
// finished output then takes the numbered free form of `outputPath` (TemporaryOutput::commit).
struct EncoderCommand
{
    QString outputPath;    // planned, not yet numbered
    QString temporaryPath; // reserved; empty when it could not be created
    QString reserveError;  // why the temporary could not be created
    // The open temporary; the encoder writes through its descriptor, which the runner must let
    // the child inherit (TaskWrapper::setInheritedDescriptor). Null when it could not be created.
    std::shared_ptr<OutputReservation> reservation;
    QStringList arguments;
    // What planned `outputPath`, for naming it again more strictly when the file system refuses it.
    QString outputFolder;
    bool keepFolders = false;
    OutputNaming naming;
    bool copiesAudio = false; // the input's audio is copied, not encoded
};

// Extras for older players: ID3v2.3 instead of ID3v2.4 in MP3, and the embedded cover made at
// most `coverMaxSize` pixels wide and high, as JPEG (0: the cover as it is).
struct PlayerCompatibility
{
    bool id3v23 = false;
    int coverMaxSize = 0;
};

class OutputFormat;

// Turns a media item into the encoder's output path and argument list.
// Thread: any.
class EncoderCommandLine
{
public:
    EncoderCommandLine() = delete;

    // `ffmpeg` in the folder of the executable at `executablePath`.
    static QString encoderPath(const QString &executablePath);

    // The settings' audio folder for audio-only items (destination type 4), else their video
    // folder, with the item's folders below its source root when settings.keepFolders
    // (OutputLayout), joined with the output name (or the name pattern's path) and extension,
    // named as `naming` says (by default as the settings and the folder's file system say). Not
    // yet numbered. The up-to-date check looks at this path and build() plans it.
    static QString plannedOutputPath(const LSMedia &item, const ConversionSettings &settings);
    static QString plannedOutputPath(const LSMedia &item, const ConversionSettings &settings,
                                     const OutputNaming &naming);

    // The argument list for converting `item` into `outputPath` with the encoder at `encoder`.
    // With `keepCover`, an MP3, M4A or FLAC output carries the input's embedded cover as its
    // attached picture: copied when it is PNG or JPEG, else converted to PNG (the other formats
    // get theirs from TagCompletion), or to JPEG of the size `compatibility` allows when it limits
    // it; `compatibility` asks for ID3v2.3 in MP3 too. The quality switches follow the item's
    // format: a constant bit rate, LAME's VBR level, Opus's target rate, the Vorbis quality, the
    // FLAC level. With `copyAudio` the audio is copied as it is, with no rate or channel switches.
    static QStringList arguments(const LSMedia &item, const QString &encoder,
                                 const QString &outputPath, bool keepCover = true,
                                 const PlayerCompatibility &compatibility = {},
                                 bool copyAudio = false);

    // Whether the encoder itself puts the cover into files of `format` (MP3, M4A, FLAC).
    static bool embedsCover(const OutputFormat *format);
    // Whether `item`'s audio is in its output format already and is to be copied: only with
    // "Also convert other audio files" on and re-encoding not asked for.
    static bool copiesAudio(const LSMedia &item, const ConversionSettings &settings);

    // The sample rate handed to `codec` (OutputFormat::supportedSampleRate).
    static double supportedSampleRate(const QString &codec, double requested);

    // Everything together: plans the output path in the settings' output folder, reserves its
    // temporary, builds the list (writing into the temporary), writes the log lines.
    // `encoderOverride`, when not empty, replaces the encoder beside the executable. The cover is
    // kept as settings.keepCover says, made smaller as settings.coverMaxSize says; MP3 gets
    // ID3v2.3 with settings.id3v23; the folders below the source root are kept, and made below
    // the output folder, as settings.keepFolders says; names follow the name pattern and the
    // output folder's file system (OutputNaming), and a folder name the file system refuses is
    // tried again more strictly.
    static EncoderCommand build(const LSMedia &item, const ConversionSettings &settings,
                                const QString &executablePath,
                                const QString &encoderOverride = QString());
    // The same with the settings the preferences hold now, in the folders given.
    static EncoderCommand build(const LSMedia &item, const QString &audioFolder,
                                const QString &videoFolder, const QString &executablePath,
                                const QString &encoderOverride = QString());

    // Gives the finished temporary of `command` its final name (TemporaryOutput::commit); a name
    // the file system refuses is tried again more strictly named (OutputNaming::stricter). Answers
    // the final path, or an empty text with the reason in `error`.
    static QString commitOutput(const EncoderCommand &command, const LSMedia &item, QString *error);

    // The crop rectangle in the encoder's "crop=w:h:x:y" form, scaled to the output size; empty
    // when the item is not cropped (zero width and height).
    static QString cropText(const LSMedia &item);
    // The value of the "-aspect" switch for a video output.
    static QString aspectText(const LSMedia &item);
    static bool isCropping(const LSMedia &item);
};
