#pragma once

#include <QList>
#include <QString>

// One output format the program converts to, and the table of all of them: the one place that
// knows how a format is titled in the catalogue, which extension its files get, which word the
// command line takes for it, how the settings pane names it, whether its files go to the music
// library, and which encoder writes it at which sample and bit rates.
//
// Thread: any; the table is constant.
class OutputFormat
{
public:
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

    // The command-line words of every format, "mp3 or m4a".
    static QString commandLineWords();

    QString catalogueTitle() const { return QString::fromLatin1(m_catalogueTitle); }
    QString extension() const { return QString::fromLatin1(m_extension); }
    QString commandLineWord() const { return QString::fromLatin1(m_commandLineWord); }
    // The settings pane's name of the format, translated.
    QString paneLabel() const;
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
    // The place of the format in all(); -1 for a format not in the table.
    int index() const;

    OutputFormat(const char *catalogueTitle, const char *extension, const char *commandLineWord,
                 const char *paneLabel, bool goesToMusicLibrary, const char *encoder,
                 int minBitRate, int maxBitRate, QList<double> sampleRates)
        : m_catalogueTitle(catalogueTitle)
        , m_extension(extension)
        , m_commandLineWord(commandLineWord)
        , m_paneLabel(paneLabel)
        , m_goesToMusicLibrary(goesToMusicLibrary)
        , m_encoder(encoder)
        , m_minBitRate(minBitRate)
        , m_maxBitRate(maxBitRate)
        , m_sampleRates(std::move(sampleRates))
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
};
