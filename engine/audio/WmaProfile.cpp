#include "engine/audio/WmaProfile.h"

#include "platform/Error.h"

#include <algorithm>
#include <array>

namespace {

struct Row {
    const char* name;
    int rate;
    int channels;
    int kbps;
};

// How the list maps onto wmav2:
// - CBR profiles keep their rate, channels and bitrate, except that wmav2
//   cannot go below 24 kbps: the 5..22 kbps profiles are encoded at 24 kbps
//   (the nearest bitrate it offers), still at their own rate and channels.
// - "VBR Quality" profiles have no wmav2 counterpart (it is CBR only); each
//   becomes a CBR bitrate of similar quality at the same rate: 98 -> 256,
//   90 -> 192, 75 -> 160, 50 -> 128, 25 -> 96, 10 -> 64 kbps.
// - "Lossless" has no wmav2 counterpart either; it becomes the highest
//   bitrate the list offers, 320 kbps at 44.1 kHz stereo.
// "11KHz" and "22KHz" and "44KHz" are the 11025, 22050 and 44100 Hz family.
constexpr std::array<Row, WmaProfile::count> kProfiles{{
    {"WMA9 48KHz, 192Kbps, Stereo, CBR", 48000, 2, 192},
    {"WMA9 48KHz, 160Kbps, Stereo, CBR", 48000, 2, 160},
    {"WMA9 48KHz, 128Kbps, Stereo, CBR", 48000, 2, 128},
    {"WMA9 48KHz, 96Kbps, Stereo, CBR", 48000, 2, 96},
    {"WMA9 48KHz, 64Kbps, Stereo, CBR", 48000, 2, 64},
    {"WMA9 44KHz, 320Kbps, Stereo, CBR", 44100, 2, 320},
    {"WMA9 44KHz, 256Kbps, Stereo, CBR", 44100, 2, 256},
    {"WMA9 44KHz, 192Kbps, Stereo, CBR", 44100, 2, 192},
    {"WMA9 44KHz, 160Kbps, Stereo, CBR", 44100, 2, 160},
    {"WMA9 44KHz, 128Kbps, Stereo, CBR", 44100, 2, 128},
    {"WMA9 44KHz, 96Kbps, Stereo, CBR", 44100, 2, 96},
    {"WMA9 44KHz, 80Kbps, Stereo, CBR", 44100, 2, 80},
    {"WMA9 44KHz, 64Kbps, Stereo, CBR", 44100, 2, 64},
    {"WMA9 44KHz, 48Kbps, Stereo, CBR", 44100, 2, 48},
    {"WMA9 44KHz, 32Kbps, Stereo, CBR", 44100, 2, 32},
    {"WMA9 44KHz, 48Kbps, Mono, CBR", 44100, 1, 48},
    {"WMA9 44KHz, 32Kbps, Mono, CBR", 44100, 1, 32},
    {"WMA9 44KHz, 20Kbps, Mono, CBR", 44100, 1, 20},
    {"WMA9 32KHz, 48Kbps, Stereo, CBR", 32000, 2, 48},
    {"WMA9 32KHz, 40Kbps, Stereo, CBR", 32000, 2, 40},
    {"WMA9 32KHz, 32Kbps, Stereo, CBR", 32000, 2, 32},
    {"WMA9 32KHz, 20Kbps, Mono, CBR", 32000, 1, 20},
    {"WMA9 32KHz, 32Kbps, Stereo, CBR", 32000, 2, 32},
    {"WMA9 32KHz, 22Kbps, Stereo, CBR", 32000, 2, 22},
    {"WMA9 22KHz, 20Kbps, Stereo, CBR", 22050, 2, 20},
    {"WMA9 22KHz, 20Kbps, Mono, CBR", 22050, 1, 20},
    {"WMA9 22KHz, 16Kbps, Mono, CBR", 22050, 1, 16},
    {"WMA9 16KHz, 20Kbps, Stereo, CBR", 16000, 2, 20},
    {"WMA9 16KHz, 16Kbps, Stereo, CBR", 16000, 2, 16},
    {"WMA9 16KHz, 16Kbps, Mono, CBR", 16000, 1, 16},
    {"WMA9 16KHz, 12Kbps, Mono, CBR", 16000, 1, 12},
    {"WMA9 16KHz, 10Kbps, Mono, CBR", 16000, 1, 10},
    {"WMA9 11KHz, 10Kbps, Mono, CBR", 11025, 1, 10},
    {"WMA9 11KHz, 8Kbps, Mono, CBR", 11025, 1, 8},
    {"WMA9 8KHz,  12Kbps, Stereo, CBR", 8000, 2, 12},
    {"WMA9 8KHz,  8Kbps, Mono, CBR", 8000, 1, 8},
    {"WMA9 8KHz,  6Kbps, Mono, CBR", 8000, 1, 6},
    {"WMA9 8KHz,  5Kbps, Mono, CBR", 8000, 1, 5},
    {"WMA9 48KHz, Stereo, VBR Quality 98", 48000, 2, 256},
    {"WMA9 48KHz, Stereo, VBR Quality 90", 48000, 2, 192},
    {"WMA9 44KHz, Stereo, VBR Quality 98", 44100, 2, 256},
    {"WMA9 44KHz, Stereo, VBR Quality 90", 44100, 2, 192},
    {"WMA9 44KHz, Stereo, VBR Quality 75", 44100, 2, 160},
    {"WMA9 44KHz, Stereo, VBR Quality 50", 44100, 2, 128},
    {"WMA9 44KHz, Stereo, VBR Quality 25", 44100, 2, 96},
    {"WMA9 44KHz, Stereo, VBR Quality 10", 44100, 2, 64},
    {"WMA9 44KHz, Stereo, Lossless", 44100, 2, 320},
}};

} // namespace

WmaProfile WmaProfile::byNumber(int number) {
    if (number < 1 || number > count)
        throw Error(QStringLiteral("There is no WMA profile %1 (profiles run from 1 to %2)")
                        .arg(number)
                        .arg(count));
    const Row& row = kProfiles[static_cast<std::size_t>(number - 1)];
    return WmaProfile{QString::fromLatin1(row.name), row.rate, row.channels,
                      std::max(row.kbps, minimumKbps)};
}
