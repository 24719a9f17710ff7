#pragma once

#include <QByteArray>
#include <QList>

#include <vorbis/codec.h>

// Loads libvcedit.so for the whole run. The tag code loads it for every
// operation and unloads it after; held here it stays mapped, which keeps its
// coverage counters valid for libFuzzer and saves a load per input.
void holdCommentLibrary();

// The comment texts of a block, by their lengths.
QList<QByteArray> commentTexts(const vorbis_comment& block);
