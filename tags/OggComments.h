#pragma once

#include "tags/OGGTag.h"
#include "tags/TStrComment.h"

#include <QString>

#include <cstddef>
#include <memory>
#include <vorbis/codec.h>

class VceditSession;

// Fills all seven fields from the file's Vorbis comments, trimmed. Without
// libvcedit.so the record is left as it is. Throws Error ("Cannot open ...")
// when the file cannot be read as Ogg Vorbis.
void ReadOggComments(const QString& fileName, OGGTag& tag);

// Keeps libvcedit.so loaded while the returned object lives. Each comment
// operation still loads and frees it by name, but while it is held that costs
// a reference count instead of mapping and unmapping the library, which made
// up a third of adding a file.
std::shared_ptr<void> HoldOggCommentLibrary();

// Replaces the file's comments with the tag's non-empty fields. The new file
// is written beside the old one and renamed over it; the file keeps its
// permissions. False when libvcedit.so is missing. Throws Error, with the
// system's reason where it gave one, when the file cannot be read as Ogg
// Vorbis, or the new one cannot be written, would not give back the comments
// written or cannot take the old one's place (the old file stays).
bool WriteOggComments(const QString& fileName, OGGTag tag);

// Adds "Key=value" to the session's comment block, whole, zero bytes included
// (nothing without libvorbis).
void AddOggComment(const QString& comment, VceditSession& state);

// Splits every comment of the block at its first "="; texts are taken by their
// lengths.
TStrComments ParseComments(const vorbis_comment& block);

// The stream callbacks handed to libvcedit.so: `handle` is a QIODevice*.
// Both return the number of whole items moved, 0 when the stream fails.
std::size_t StreamRead(void* buffer, std::size_t size, std::size_t count, void* handle);
std::size_t StreamWrite(const void* buffer, std::size_t size, std::size_t count, void* handle);
