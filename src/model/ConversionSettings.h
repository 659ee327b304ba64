#pragma once

#include <QString>

class OutputFormat;
class UserDefaults;

// What a conversion job takes from the preferences: read once when the job starts (a run of the
// window, a drop or import, a run of wavelark-cli) and handed down with it, so that the settings
// pane committing in the middle of a job cannot give one file two answers (the up-to-date check
// one output path, the encoder another). Nothing below the job reads the preferences store.
//
// A missing value reads as its registered default (PreferenceDefaults, the one table of
// defaults), even where the defaults were not registered; a key without a registered default
// reads as off, empty or 0.
//
// Thread: any; a plain value.
struct ConversionSettings
{
    QString audioOutputFolder;       // "AppAudioOutputFolderKey"
    QString videoOutputFolder;       // "AppVideoOutputFolderKey"
    QString formatName;              // "PreferedFormatName", as stored (see format())
    bool sameQuality = false;        // "BSameQualityKey": new items keep their own rates
    double sampleRate = 0.0;         // "DoubleSamepleRateKey", Hz
    double bitRate = 0.0;            // "DoubleBitRateKey", kbit/s
    bool syncToLibrary = false;      // "AppBSyncToiTunesKey"
    QString playlistName;            // "PlaylistNameKey"
    bool keepCover = false;          // "AppKeepCoverArtKey"
    bool keepFolders = false;        // "AppKeepFolderStructureKey"
    bool skipConverted = false;      // "AppSkipConvertedKey"
    bool skipFinished = false;       // "AppSkipFinishedKey"
    bool openOutputFolder = false;   // "AppOpenOutputFolderKey"
    QString namePattern;             // "AppOutputNamePatternKey": OutputNamePattern, empty for none
    bool portableNames = false;      // "AppPortableNamesKey": names that work on every device
    bool id3v23 = false;             // "AppId3v23Key": ID3v2.3 in MP3
    int coverMaxSize = 0;            // "AppCoverMaxSizeKey": largest cover side in pixels, 0 none
    bool mp3Vbr = false;             // "AppMp3VbrKey": MP3 by LAME's VBR level, not the bit rate
    int mp3VbrQuality = 0;           // "AppMp3VbrQualityKey", V0 to V9
    int vorbisQuality = 0;           // "AppVorbisQualityKey", 0 to 10
    int flacLevel = 0;               // "AppFlacCompressionLevelKey", 0 to 8
    bool convertOtherAudio = false;  // "AppConvertOtherAudioKey": inputs beyond FLAC and Ogg
    bool reencodeSameFormat = false; // "AppReencodeSameFormatKey": no copy of a same-format input

    // The settings `store` holds now.
    static ConversionSettings read(const UserDefaults &store);
    // The settings of the running user's store now (UserDefaults::standard()).
    static ConversionSettings current();

    // The output format formatName chooses.
    const OutputFormat &format() const;
    // The quality level `format` is converted at: the MP3 VBR level when MP3 is to vary its rate,
    // the Vorbis quality, the FLAC level, each within its scale; -1 where the bit rate decides.
    int qualityFor(const OutputFormat &format) const;
    // The folder the outputs of items of destination type `destinationType` go into: the audio
    // folder for audio-only items, else the video folder.
    const QString &outputFolderFor(int destinationType) const;
};
