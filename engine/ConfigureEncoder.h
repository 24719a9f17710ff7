#pragma once

#include "engine/OutputFormats.h"

#include <QString>

class IAudioFile2;
class IAudioFile2LameEnc;
class SettingsFile;

// Sets the writer (and for MP3 the encoder settings object) up for the next
// output file from the encoder keys saved in the settings file. It reads the
// file afresh on every call, so settings confirmed in the dialog apply from
// the next output on. `commandLine` is the settings dialog's command-line box;
// when it holds text it goes to the MP3 encoder whole. An index outside the
// formats (OutputFormats) configures nothing. Component failures propagate as `Error`.
//
// A list position that a hand-edited file puts outside its table reads as the
// key's default rather than indexing past the table.
void ConfigureEncoder(int formatIndex, const SettingsFile& settings, const QString& commandLine,
                      IAudioFile2& writer, IAudioFile2LameEnc& encoder);

// Whether OGG pieces whose audio nothing changes are copied rather than
// encoded with the OGG settings: the "copy" key where the file has one. A file
// from before that key copies only while its OGG settings are the defaults;
// settings someone changed were meant to shape the pieces.
bool CopyOggPieces(const SettingsFile& settings);
// Whether pieces in the format of index `formatIndex` are copied from
// sources of that format rather than encoded with its page: for formats that
// can copy (their StreamCopy) while CopyOggPieces says so and their own
// settings allow it.
bool CopyPieces(const SettingsFile& settings, int formatIndex, const QString& commandLine);
// Whether the OGG keys that shape an encoded piece hold their defaults.
bool OggSettingsAreDefault(const SettingsFile& settings);
