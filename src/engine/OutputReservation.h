#pragma once

#include <QString>

// The temporary one conversion's encoder writes into, held open from its exclusive creation to
// its final name, so that nothing Wavelark writes lands outside the output folder even when
// others may write there (a group's shared music folder): the encoder is handed the open file
// (encoderTarget(), "/proc/self/fd/N", inherited by the child) rather than a name someone could
// swap for a link between two opens, the folder is held open too and checked to lie within the
// output folder, and the final name is given to exactly the file that was opened (a hard link
// from the descriptor; where the file system has none, a rename checked before and after).
//
// Thread: one at a time; it belongs to one conversion.
class OutputReservation
{
public:
    OutputReservation() = default;
    ~OutputReservation();
    OutputReservation(const OutputReservation &) = delete;
    OutputReservation &operator=(const OutputReservation &) = delete;

    // Creates the temporary (TemporaryOutput's name) beside `finalPath`, whose folder must be
    // `outputRoot` or lie below it after links. False with the reason in `error` otherwise.
    bool reserve(const QString &outputRoot, const QString &finalPath, QString *error);

    bool isReserved() const { return m_file >= 0; }
    QString temporaryPath() const { return m_temporaryPath; }
    // The name under which the encoder reaches the open temporary.
    QString encoderTarget() const;
    int descriptor() const { return m_file; }

    // Gives the temporary the numbered free form of `finalPath` (with `extension`) without
    // replacing anything (TemporaryOutput::commit's numbering); the final name may be in a folder
    // below the output folder, never outside it. Answers the final path, or an empty text with
    // the reason in `error` and the errno in `errorNumber` (a name the file system refuses).
    QString commit(const QString &finalPath, const QString &extension, QString *error,
                   int *errorNumber = nullptr);
    // Gives the temporary the name `finalPath`, replacing the out-of-date output there.
    QString replace(const QString &finalPath, QString *error);
    // Removes the temporary's name when it still names the file this reservation opened.
    void discard();

private:
    bool namesOurFile(int folder, const QByteArray &name) const;
    // `folder` held open when it lies within the output folder; -1 with the reason in `code`.
    int openFolderWithin(const QString &folder, int *code) const;
    QString failureText(const QString &finalPath, int code) const;
    QString renameChecked(int folder, const QString &folderPath, const QByteArray &to,
                          bool replacing, int *code);
    void close();

    int m_folder = -1;
    int m_file = -1;
    QString m_folderPath;
    QString m_root; // the output folder, links resolved
    QByteArray m_temporaryName;
    QString m_temporaryPath;
};
