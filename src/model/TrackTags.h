#pragma once

#include <QString>

// The tags of one input that output names can be built from, as the file carries them (trimmed;
// empty when absent). `track` and `disc` may read "3/12"; `date` may be a whole date.
// Thread: any (a plain value).
struct TrackTags
{
    QString artist;
    QString albumArtist;
    QString album;
    QString title;
    QString track;
    QString disc;
    QString date;
    QString genre;
};
