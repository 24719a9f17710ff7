#pragma once

#include "tags/WmaTagBuffer.h"
#include "tags/wmaudsdk/wmaudsdk.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

// Loads libwmaudsdk.so from the program's folder; called once at start-up.
// Without it WMA outputs get no tags, and nobody is told.
void LoadWmaLibrary();
// WMAudioCreateInfo was found.
bool WmaInfoAvailable();

// Writes title, artist, album, year, description, genre and track number as
// Windows Media attributes. True when the library stored them; the file's
// permissions end as they were. Never throws; `failure`, when given, gets
// the reason when the library was there but did not store them.
bool WriteWmaTags(const QString& fileName, WmaTagBuffer tag, QString* failure = nullptr);

// Sets one text attribute (`text` in the program's 8-bit encoding); the
// library's status, or 0x80004005 when the text does not convert.
std::int32_t SetWmaText(WMAudioInfo* info, const char16_t* name, const QByteArray& text);
// Sets one 32-bit number attribute; the library's status.
std::int32_t SetWmaNumber(WMAudioInfo* info, const char16_t* name, std::uint32_t value);
