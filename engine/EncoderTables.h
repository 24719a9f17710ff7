#pragma once

#include <QStringList>

#include <array>
#include <cstddef>

// The value lists behind the encoder keys. The settings file stores positions
// in these lists, never the values, so their order is part of the file format.
inline constexpr std::array<int, 9> FrequencyTable{8000,  11025, 12000, 16000, 22050,
                                                   24000, 32000, 44100, 48000}; // Hz
inline constexpr std::array<int, 15> BitrateTable{8,   16,  24,  32,  48,  64,  80, 96,
                                                  112, 128, 160, 192, 224, 256, 320}; // kbps
inline constexpr std::array<int, 2> WavBitsTable{8, 16}; // bits per sample

namespace EncoderTables {

// Number of WMA profiles; profile n (from 1) is entry n - 1 of WmaFormats().
inline constexpr int WmaProfileCount = 47;

// The texts the lists show, position for position.
QStringList FrequencyTexts(); // "8000 Hz" ...
QStringList BitrateTexts();   // "8 Kbps" ...
QStringList Mp3ChannelTexts();
QStringList ChannelTexts(); // "Mono", "Stereo"
// The WMA profile names exactly as users have always seen them, including the
// doubled blanks and the entry that stands twice.
const QStringList& WmaFormats();

constexpr bool inRange(int position, std::size_t size) {
    return position >= 0 && static_cast<std::size_t>(position) < size;
}

// The value at `position`; a position outside the table (a hand-edited file)
// reads as `fallback`, which must be inside it.
template <std::size_t N>
constexpr int valueAt(const std::array<int, N>& table, int position, int fallback) {
    return table[static_cast<std::size_t>(inRange(position, N) ? position : fallback)];
}

} // namespace EncoderTables
