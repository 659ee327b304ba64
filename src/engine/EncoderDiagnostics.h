#pragma once

#include <QString>
#include <QStringList>

// What the encoder said, kept for the user: its merged output cut into lines (statistics lines
// left out), the last kMaxLines of them, and the one line that best tells why a run failed.
//
// Thread: not synchronised; the owner guards it.
class EncoderDiagnostics
{
public:
    static constexpr int kMaxLines = 40;

    // One chunk of output as it came; a line may continue in the next chunk.
    void append(const QString &chunk);
    // The output has ended: an unfinished last line counts as a line.
    void finish();
    void clear();

    QStringList lines() const { return m_lines; }
    QString lastLine() const { return m_lines.isEmpty() ? QString() : m_lines.last(); }

    // The line naming the cause (space, permission, sample rate, codec, invalid data, a missing
    // file...) rather than the encoder's closing "Conversion failed!"; the last of the most
    // telling kind (the encoder's verdict comes after its symptoms), with the address in "[encoder
    // @ 0x...]" left out. Empty without lines.
    QString mostTellingLine() const;
    // How telling one line is: 0 for closing and routine lines, 3 for a named cause.
    static int weight(const QString &line);

    static bool isProgressLine(const QString &line);

private:
    void addLine(const QString &line);

    QStringList m_lines;
    QString m_pending;
};
