#pragma once

#include "tags/OGGTag.h"

#include <QString>

// Replaces the Vorbis comments of a FLAC file (its VORBIS_COMMENT block) or
// an Ogg Opus file (its OpusTags) with the tag's non-empty fields, by the
// file's extension. Throws Error naming the file when it cannot be read or
// written.
void WriteXiphComments(const QString& fileName, const OGGTag& tag);
