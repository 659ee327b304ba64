#pragma once

#include <QList>
#include <QString>

// One output format the program converts to, and the table of all of them: the one place that
// knows how a format is titled in the catalogue, which extension its files get, which word the
// command line takes for it, how the settings pane and the list name it, whether its files go to
// the music library, which encoder writes it at which sample and bit rates, how its quality is
// chosen (a bit rate, a quality scale, a compression level or nothing for the lossless ones),
// and by which codec and container an input is known to be in this format already.
//
// Thread: any; the table is constant.
class OutputFormat
{
public:
    // How a user chooses the quality of a format.
    enum class Quality {
        BitRate,          // constant bit rate (-b:a)
        BitRateOrLameVbr, // constant bit rate, or LAME's variable quality V0 (best) to V9
        VbrBitRate,       // a target bit rate the encoder varies around (Opus)
        VorbisQuality,    // Vorbis quality 0 to 10 (best)
        CompressionLevel, // lossless; only the effort spent on a smaller file (FLAC)
        Lossless,         // lossless, nothing to choose
    };

    // Every format, in the order the settings pane offers them; the first is the fall-back.
    static const QList<OutputFormat> &all();

    // The format whose catalogue title, command-line word (any case) or extension (any case) is
    // the given text; null when none is.
    static const OutputFormat *withTitle(const QString &catalogueTitle);
    static const OutputFormat *withCommandLineWord(const QString &word);
    static const OutputFormat *withExtension(const QString &extension);

    // The format a stored format name means: a name that mentions AAC is the AAC format, anything
    // else (an older or unknown name too) is MP3.
    static const OutputFormat &forStoredName(const QString &storedName);
    // The format written by the encoder `encoder` (ffmpeg's -c:a name); null when none is.
    static const OutputFormat *withEncoder(const QString &encoder);

    // The sample rate handed to `encoder`: `requested` when that encoder can write it, else the
    // nearest rate it can (the MP3 encoder stops at 48 kHz, the AAC encoder at 96 kHz). A rate of
    // 0 or less, and any rate for an encoder not in the table, is left as it is.
    static double supportedSampleRate(const QString &encoder, double requested);

    // The command-line words of every format, "mp3, m4a, ... or wav".
    static QString commandLineWords();

    // The range of a format's quality scale (VBR levels, Vorbis qualities, FLAC levels); 0 to 0
    // for a format without one.
    int minQuality() const;
    int maxQuality() const;
    // The scale's default, e.g. LAME V2, Vorbis 6, FLAC level 5.
    int defaultQuality() const;
    // What a choice means to a listener, "V2, about 190 kbit/s", "level 8: smallest file, slowest";
    // `quality` is on the format's scale, or -1 for its bit-rate mode (`bitRate` kbit/s).
    QString qualityText(int quality, double bitRate) const;

    QString catalogueTitle() const { return QString::fromLatin1(m_catalogueTitle); }
    QString extension() const { return QString::fromLatin1(m_extension); }
    QString commandLineWord() const { return QString::fromLatin1(m_commandLineWord); }
    // The settings pane's name of the format, translated.
    QString paneLabel() const;
    // The list's Format column: the extension, or the codec where two formats share one
    // ("ALAC").
    QString columnLabel() const;
    bool goesToMusicLibrary() const { return m_goesToMusicLibrary; }
    // The encoder's name (ffmpeg's -c:a) and the bit rates it writes, in kbit/s.
    QString encoder() const { return QString::fromLatin1(m_encoder); }
    int minBitRate() const { return m_minBitRate; }
    int maxBitRate() const { return m_maxBitRate; }
    // The sample rates the encoder accepts, in Hz, ascending; others make it refuse to start.
    const QList<double> &sampleRates() const { return m_sampleRates; }
    int minSampleRate() const { return int(m_sampleRates.constFirst()); }
    int maxSampleRate() const { return int(m_sampleRates.constLast()); }
    // `requested` when the encoder can write it, else the nearest rate it can; 0 or less stays.
    double nearestSampleRate(double requested) const;
    Quality quality() const { return m_quality; }
    // The codec of the audio as libavcodec names it ("mp3", "alac") and the libavformat demuxer
    // that reads the container ("mov,mp4,m4a,3gp,3g2,mj2"): an input with both is in this format
    // already and can be copied.
    QString codecName() const { return QString::fromLatin1(m_codecName); }
    QString demuxerName() const { return QString::fromLatin1(m_demuxerName); }
    bool isFormatOf(const QString &codecName, const QString &demuxerName) const;
    // The place of the format in all(); -1 for a format not in the table.
    int index() const;

    OutputFormat(const char *catalogueTitle, const char *extension, const char *commandLineWord,
                 const char *paneLabel, bool goesToMusicLibrary, const char *encoder,
                 int minBitRate, int maxBitRate, QList<double> sampleRates,
                 Quality quality = Quality::BitRate, const char *codecName = "",
                 const char *demuxerName = "", const char *columnLabel = nullptr)
        : m_catalogueTitle(catalogueTitle)
        , m_extension(extension)
        , m_commandLineWord(commandLineWord)
        , m_paneLabel(paneLabel)
        , m_goesToMusicLibrary(goesToMusicLibrary)
        , m_encoder(encoder)
        , m_minBitRate(minBitRate)
        , m_maxBitRate(maxBitRate)
        , m_sampleRates(std::move(sampleRates))
        , m_quality(quality)
        , m_codecName(codecName)
        , m_demuxerName(demuxerName)
        , m_columnLabel(columnLabel)
    {}

private:
    const char *m_catalogueTitle;
    const char *m_extension;
    const char *m_commandLineWord;
    const char *m_paneLabel;
    bool m_goesToMusicLibrary;
    const char *m_encoder;
    int m_minBitRate;
    int m_maxBitRate;
    QList<double> m_sampleRates;
    Quality m_quality;
    const char *m_codecName;
    const char *m_demuxerName;
    const char *m_columnLabel; // null: the extension in capitals
};
