#pragma once

#include "model/ConversionSettings.h"
#include "model/LSMedia.h"

#include <QString>

// How a file becomes an item of the conversion list, for the window's loader and the
// command-line converter alike.
// Thread: any (it probes the file, so not the GUI thread).
namespace MediaItemBuilder {

// One new item for the file at `path`: probed, its trim length set to its duration, filled from
// the settings' format ("AAC Audio (m4a)" when the format name names AAC, else "MP3 Audio")
// and, unless same quality is asked for, given the settings' sample rate and bit rate.
// Every problem is also written on the item (strInputProblem). `root` is the folder that was
// dropped or named and led to the file (its source root); empty means the file's own folder.
LSMediaPtr makeMedia(const QString &path, const ConversionSettings &settings,
                     const QString &root = QString());
// The same with the settings the preferences hold now.
LSMediaPtr makeMedia(const QString &path, const QString &root = QString());

// Gives `media` the output format, sample rate, bit rate and same-quality choice that
// `settings` ask for new items (as makeMedia does).
void applyPreferences(LSMedia &media, const ConversionSettings &settings);
// Whether `media` has the format and quality that applyPreferences() would give it.
bool matchesPreferences(const LSMedia &media, const ConversionSettings &settings);
// Gives `media` the output format titled `title` (a catalogue title), keeping its own quality
// choice: with same quality off, its sample and bit rates stay.
// The quality level of the new format is the one `settings` give it.
void setOutputFormat(LSMedia &media, const QString &title, const ConversionSettings &settings);

// Probes `media` and answers why it will not convert: an empty file, one libavformat cannot read
// (with its reason), one without an audio stream; empty when nothing speaks against it.
QString inputProblem(MVMediaInfoItem &media);

} // namespace MediaItemBuilder
