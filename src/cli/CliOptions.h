#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class OutputFormat;
struct ConversionSettings;

// The command line of wavelark-cli, parsed. Options override the stored preferences for one run.
struct CliOptions
{
    enum class Action { Convert, ShowHelp, ShowVersion, BadUsage };

    Action action = Action::BadUsage;
    QString error; // why the command line was refused (BadUsage)

    std::optional<QString> formatName; // a catalogue title: "MP3 Audio", "FLAC Audio"...
    std::optional<int> bitRate;        // kbit/s
    std::optional<int> vbrQuality;     // on the format's scale: LAME V0-V9, Vorbis 0-10
    std::optional<int> sampleRate;     // Hz
    std::optional<int> jobs;
    std::optional<QString> outputFolder; // absolute
    std::optional<QString> playlistName;
    bool noSync = false;
    bool noCover = false;
    bool keepFolders = false;
    bool verbose = false;
    bool skipExisting = false;          // "Skip files already converted" for this run
    std::optional<QString> namePattern; // OutputNamePattern; empty: the input's name
    bool portableNames = false;         // "Use names that work on every device"
    bool id3v23 = false;
    std::optional<int> coverMaxSize; // 0: the cover as it is
    bool allAudio = false;           // "Also convert other audio files" for this run
    bool reencode = false;           // encode an input already in the output format again
    QStringList inputs;

    // `arguments` without the program name.
    static CliOptions parse(const QStringList &arguments);
    // The options given win over what `settings` read from the store; nothing is written.
    void applyTo(ConversionSettings &settings) const;
    static QString usageText();
    // Why the quality options do not fit `format` (a bit rate outside its range, --vbr for a
    // format without that scale, a sample rate its encoder cannot write); empty when they do.
    QString qualityProblem(const OutputFormat &format) const;
    static QString versionText();

private:
    void applyQualityTo(ConversionSettings &settings) const;
};
