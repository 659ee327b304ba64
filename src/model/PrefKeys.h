#pragma once

#include <QLatin1String>

// Every key of the preferences store, spelled exactly as stored. Keys nothing reads any more stay,
// as do their spellings: docs/ARCHITECTURE.md, "Kept as they are".
namespace PrefKeys {

// Registered with a default (see PreferenceDefaults).
inline constexpr QLatin1String AppMaxConvertNum{"AppMaxConvertNumKey"};
inline constexpr QLatin1String AppVideoOutputFolder{"AppVideoOutputFolderKey"};
inline constexpr QLatin1String AppAudioOutputFolder{"AppAudioOutputFolderKey"};
inline constexpr QLatin1String AppSnapShotFolder{"AppSnapShotFolderKey"};
inline constexpr QLatin1String AppBSyncToiTunes{"AppBSyncToiTunesKey"};
inline constexpr QLatin1String AppDefaultAudioCodecName{"AppDefaultAudioCodecNameKey"};
inline constexpr QLatin1String AppDefaultVideoCodecName{"AppDefaultVideoCodecNameKey"};
inline constexpr QLatin1String DefaultProfile{"Default_Profile_key"};
inline constexpr QLatin1String UseIBooksAuthor{"UseIBooksAuthor"};
inline constexpr QLatin1String PreferedFormatName{"PreferedFormatName"};
inline constexpr QLatin1String PlaylistName{"PlaylistNameKey"};
inline constexpr QLatin1String DoubleSamepleRate{"DoubleSamepleRateKey"};
inline constexpr QLatin1String DoubleBitRate{"DoubleBitRateKey"};
inline constexpr QLatin1String AppKeepCoverArt{"AppKeepCoverArtKey"};
// The start-up report and the store lookups may leave the machine (OnlineServices).
inline constexpr QLatin1String AppOnlineServices{"AppOnlineServicesKey"};
inline constexpr QLatin1String AppOpenOutputFolder{"AppOpenOutputFolderKey"};
// The output's path below the output folder built from tags (OutputNamePattern); empty: the input's
// name.
inline constexpr QLatin1String AppOutputNamePattern{"AppOutputNamePatternKey"};
// "Use names that work on every device" (names are made portable on a file
// system that needs it all the same).
inline constexpr QLatin1String AppPortableNames{"AppPortableNamesKey"};
// MP3 outputs carry ID3v2.3 tags instead of ID3v2.4.
inline constexpr QLatin1String AppId3v23{"AppId3v23Key"};
// The largest width and height of an embedded cover, re-encoded as JPEG; 0: as it is.
inline constexpr QLatin1String AppCoverMaxSize{"AppCoverMaxSizeKey"};
// LAME's variable-quality level for MP3 when AppMp3Vbr is on.
inline constexpr QLatin1String AppMp3VbrQuality{"AppMp3VbrQualityKey"};
// Vorbis quality 0 to 10, FLAC compression level 0 to 8.
inline constexpr QLatin1String AppVorbisQuality{"AppVorbisQualityKey"};
inline constexpr QLatin1String AppFlacCompressionLevel{"AppFlacCompressionLevelKey"};

// Not registered: missing until stored.
// MP3 by LAME's variable quality instead of the constant bit rate (off when missing).
inline constexpr QLatin1String AppMp3Vbr{"AppMp3VbrKey"};
// "Also convert other audio files": inputs beyond FLAC and Ogg (off when missing).
inline constexpr QLatin1String AppConvertOtherAudio{"AppConvertOtherAudioKey"};
// Encode again an input already in the output format instead of copying its audio (off when
// missing).
inline constexpr QLatin1String AppReencodeSameFormat{"AppReencodeSameFormatKey"};
inline constexpr QLatin1String BSameQuality{"BSameQualityKey"};
inline constexpr QLatin1String AppSupportVob{"AppSupportVob"};
// Outputs mirror the folders below the folder that was dropped or named (off when missing).
inline constexpr QLatin1String AppKeepFolderStructure{"AppKeepFolderStructureKey"};
// Start leaves finished rows alone instead of converting them again (off when missing).
inline constexpr QLatin1String AppSkipFinished{"AppSkipFinishedKey"};
// "Skip files already converted": off when missing.
inline constexpr QLatin1String AppSkipConverted{"AppSkipConvertedKey"};
inline constexpr QLatin1String Guid{"guid"};
inline constexpr QLatin1String Bookmarks{"BookmarksKey"};
inline constexpr QLatin1String PrefsSelectedIdentifierView{"Prefs Selected Identifier View"};
inline constexpr QLatin1String PrefsFrameTopLeft{"Prefs Frame Top Left"};
inline constexpr QLatin1String PrefsFrameFormat{"Prefs %1 Frame"}; // %1: the pane's identifier
inline constexpr QLatin1String AppRaterFirstUsed{"AppRaterFirstUsed"};
inline constexpr QLatin1String AppRaterLastReminded{"AppRaterLastReminded"};
inline constexpr QLatin1String AppRaterUseCount{"AppRaterUseCount"};
inline constexpr QLatin1String AppRaterEventCount{"AppRaterEventCount"};
inline constexpr QLatin1String AppRaterDeclinedVersion{"AppRaterDeclinedVersion"};
inline constexpr QLatin1String AppRaterRatedVersionChecked{"AppRaterRatedVersionChecked"};
inline constexpr QLatin1String AppRaterLastVersionUsed{"AppRaterLastVersionUsed"};
inline constexpr QLatin1String UpdateCheckLastChecked{"UpdateCheckLastChecked"};
inline constexpr QLatin1String UpdateCheckLastReminded{"UpdateCheckLastReminded"};
inline constexpr QLatin1String UpdateCheckIgnoreVersion{"UpdateCheckIgnoreVersion"};
inline constexpr QLatin1String UpdateCheckLastVersionChecked{"UpdateCheckLastVersionChecked"};
inline constexpr QLatin1String AppleLanguages{"AppleLanguages"};

// Where the maker's server and the store's hosts can be pointed elsewhere (tests, mirrors).
inline constexpr QLatin1String MakerServerOverride{"WavelarkMakerServer"};
inline constexpr QLatin1String StoreServerOverride{"WavelarkStoreServer"};

} // namespace PrefKeys

// Catalogue titles of the output formats (model/OutputFormat holds the rest of what is known
// of each).
namespace FormatNames {
inline constexpr QLatin1String Mp3Audio{"MP3 Audio"};
inline constexpr QLatin1String AacAudio{"AAC Audio (m4a)"};
inline constexpr QLatin1String OpusAudio{"Opus Audio"};
inline constexpr QLatin1String VorbisAudio{"Ogg Vorbis Audio"};
inline constexpr QLatin1String FlacAudio{"FLAC Audio"};
inline constexpr QLatin1String AlacAudio{"Apple Lossless Audio (m4a)"};
inline constexpr QLatin1String WavAudio{"WAV Audio"};
} // namespace FormatNames
