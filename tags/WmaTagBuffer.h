#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// The texts of a WMA output's attributes, in fixed-width fields of 8-bit
// text. A field's text runs to its first zero byte, or fills it whole.
struct WmaTagBuffer {
    char Year[128] = {};
    std::uint16_t TrackNumber = 0;
    char Artist[128] = {};
    char Title[128] = {};
    char Album[128] = {};
    char Description[255] = {};
    char Genre[32] = {};
    char PartOfSet[16] = {}; // "n/N" of a numbered disc
};

// The text a field holds.
QByteArray WmaFieldText(const char* field, std::size_t width);
template <std::size_t N> QByteArray WmaFieldText(const char (&field)[N]) {
    return WmaFieldText(field, N);
}

// Stores `text` in a field, cut between characters where it does not fit;
// the rest of the field is zeroed.
void SetWmaField(char* field, std::size_t width, const QString& text);
template <std::size_t N> void SetWmaField(char (&field)[N], const QString& text) {
    SetWmaField(field, N, text);
}
