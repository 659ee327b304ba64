#include "engine/OutputNaming.h"

#include "Shared/FileSystemKind.h"
#include "model/ConversionSettings.h"

#include <cerrno>

OutputNaming::OutputNaming(const QString &pattern, Level level, PortableFileName::LengthUnit unit)
    : m_pattern(pattern)
    , m_level(level)
    , m_unit(unit)
{}

OutputNaming OutputNaming::forFolder(const QString &outputFolder, const QString &pattern,
                                     bool everyDevice)
{
    const FileSystemKind kind = FileSystemKind::of(outputFolder);
    const bool portable = everyDevice || kind.refusesCharacters();
    // Names meant for every device fit in 255 bytes, which fits 255 UTF-16 units too.
    const PortableFileName::LengthUnit unit =
        everyDevice ? PortableFileName::LengthUnit::Utf8Bytes : kind.lengthUnit();
    return OutputNaming(pattern.trimmed(), portable ? Level::Portable : Level::AsWritten, unit);
}

OutputNaming OutputNaming::forSettings(const ConversionSettings &settings, int destinationType)
{
    return forFolder(settings.outputFolderFor(destinationType), settings.namePattern,
                     settings.portableNames);
}

bool OutputNaming::stricter(OutputNaming *next) const
{
    if (m_level == Level::AsciiOnly)
        return false;
    *next =
        OutputNaming(m_pattern, m_level == Level::AsWritten ? Level::Portable : Level::AsciiOnly,
                     PortableFileName::LengthUnit::Utf8Bytes);
    return true;
}

QString OutputNaming::applyTo(const QString &relativePath) const
{
    if (m_level == Level::AsWritten)
        return relativePath;
    return PortableFileName::cleanPath(relativePath, m_level == Level::AsciiOnly, m_unit);
}

bool OutputNaming::isNameRefusal(int error)
{
    return error == EINVAL || error == EPERM || error == ENOENT || error == ENAMETOOLONG ||
           error == EILSEQ;
}
