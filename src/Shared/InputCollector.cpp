#include "Shared/InputCollector.h"

#include "Shared/GlobalFun.h"
#include "Shared/Logging.h"
#include "Shared/PathText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#include <utility>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("InputCollector", text);
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool hasExtension(const QString &path, const QStringList &extensions)
{
    const QString extension = PathText::pathExtension(path);
    for (const QString &supported : extensions) {
        if (extension.compare(supported, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool isUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    Q_UNUSED(text)
    return !decoder.hasError();
}

class Collector
{
public:
    Collector(const std::atomic<bool> *stop, const QStringList &extensions,
              bool anyNamedFile = false)
        : m_stop(stop)
        , m_extensions(extensions)
        , m_anyNamedFile(anyNamedFile)
    {}

    void addNamed(const QString &path)
    {
        const QByteArray native = QFile::encodeName(path);
        struct stat status;
        if (::stat(native.constData(), &status) != 0) {
            const int error = errno;
            qCInfo(lcShared).noquote() << QStringLiteral("lstat error: ") + systemError(error);
            // A name that came through a lossy decoding cannot be found again by its text.
            const bool lossy = path.contains(QChar::ReplacementCharacter);
            refuse(path, lossy ? tr("the name is not valid UTF-8") : systemError(error), true);
            return;
        }
        const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        if (S_ISDIR(status.st_mode)) {
            m_result.folders << path;
            m_root = absolute;
            const qsizetype before = m_result.files.size();
            const bool listed = addFolder(absolute, QFile::encodeName(absolute), status);
            if (listed && m_result.files.size() == before)
                refuse(path, m_anyNamedFile ? tr("no audio files in this folder")
                                            : tr("no FLAC or Ogg files in this folder"));
            return;
        }
        if (!m_anyNamedFile && !hasExtension(path, m_extensions)) {
            refuse(path, tr("not a FLAC or Ogg file"));
            m_result.refused.last().otherKind = true;
            return;
        }
        m_root = QFileInfo(absolute).path();
        addFile(path, absolute, status);
    }

    // The files of one folder alone, with no word on what was passed over.
    QStringList listFolder(const QString &folder)
    {
        const QByteArray native = QFile::encodeName(folder);
        struct stat status;
        m_root = folder;
        if (::stat(native.constData(), &status) == 0 && S_ISDIR(status.st_mode))
            addFolder(folder, native, status);
        return m_result.files;
    }

    AcceptedInputs take() { return std::move(m_result); }

private:
    bool stopped() const { return m_stop && m_stop->load(); }

    void refuse(const QString &path, const QString &reason, bool unreadable = false)
    {
        m_result.refused.append({path, reason, unreadable});
    }

    void addFile(const QString &shown, const QString &path, const struct stat &status)
    {
        if (!S_ISREG(status.st_mode)) {
            refuse(shown, tr("not a regular file"), true);
            return;
        }
        m_result.files.append(path);
        m_result.roots.append(m_root);
    }

    // False when the folder had been listed before in this call.
    bool addFolder(const QString &folder, const QByteArray &native, const struct stat &status)
    {
        const auto identity = std::make_pair(quint64(status.st_dev), quint64(status.st_ino));
        if (m_listed.contains(identity))
            return false;
        m_listed.insert(identity);

        std::unique_ptr<DIR, int (*)(DIR *)> entries(::opendir(native.constData()), ::closedir);
        if (!entries) {
            refuse(folder, systemError(errno), true);
            return true;
        }
        while (!stopped()) {
            const struct dirent *entry = ::readdir(entries.get());
            if (!entry)
                break;
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..")
                continue;
            addEntry(folder, native + '/' + name, name);
        }
        return true;
    }

    void addEntry(const QString &folder, const QByteArray &native, const QByteArray &name)
    {
        const QString path = folder + QLatin1Char('/') + QFile::decodeName(name);
        struct stat status;
        // Broken links are passed over, as anything else that is not there.
        if (::stat(native.constData(), &status) != 0)
            return;
        if (S_ISDIR(status.st_mode)) {
            if (!isUtf8(name)) {
                refuse(path, tr("the name is not valid UTF-8"), true);
                return;
            }
            addFolder(path, native, status);
            return;
        }
        if (!hasExtension(path, m_extensions))
            return;
        if (!isUtf8(name)) {
            refuse(path, tr("the name is not valid UTF-8"), true);
            return;
        }
        addFile(path, path, status);
    }

    const std::atomic<bool> *m_stop;
    QStringList m_extensions;
    bool m_anyNamedFile;
    QSet<std::pair<quint64, quint64>> m_listed;
    AcceptedInputs m_result;
    QString m_root; // the named path that the files being added come from
};

} // namespace

AcceptedInputs InputCollector::collect(const QStringList &paths, const std::atomic<bool> *stop,
                                       bool allAudio)
{
    QStringList extensions = GlobalFun::getSupportedFmts();
    if (allAudio)
        extensions += GlobalFun::otherAudioFmts();
    Collector collector(stop, extensions, allAudio);
    for (const QString &path : paths) {
        if (stop && stop->load())
            break;
        collector.addNamed(path);
    }
    return collector.take();
}

QStringList InputCollector::listFolder(const QString &folder, const QStringList &extensions)
{
    return Collector(nullptr, extensions).listFolder(folder);
}
