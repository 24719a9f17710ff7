#include "engine/audio/ChannelOrder.h"

#include <algorithm>
#include <numeric>

namespace {

using S = ChannelOrder::Speaker;

ChannelOrder::Speaker standIn(S speaker) {
    switch (speaker) {
    case S::BackLeft:
        return S::SideLeft;
    case S::BackRight:
        return S::SideRight;
    case S::SideLeft:
        return S::BackLeft;
    case S::SideRight:
        return S::BackRight;
    default:
        return S::Other;
    }
}

std::vector<int> identity(std::size_t channels) {
    std::vector<int> map(channels);
    std::iota(map.begin(), map.end(), 0);
    return map;
}

} // namespace

std::vector<ChannelOrder::Speaker> ChannelOrder::Vorbis(int channels) {
    switch (channels) {
    case 1:
        return {FrontCenter};
    case 2:
        return {FrontLeft, FrontRight};
    case 3:
        return {FrontLeft, FrontCenter, FrontRight};
    case 4:
        return {FrontLeft, FrontRight, BackLeft, BackRight};
    case 5:
        return {FrontLeft, FrontCenter, FrontRight, BackLeft, BackRight};
    case 6:
        return {FrontLeft, FrontCenter, FrontRight, BackLeft, BackRight, Lfe};
    case 7:
        return {FrontLeft, FrontCenter, FrontRight, SideLeft, SideRight, BackCenter, Lfe};
    case 8:
        return {FrontLeft, FrontCenter, FrontRight, SideLeft, SideRight, BackLeft, BackRight, Lfe};
    default:
        return std::vector<Speaker>(static_cast<std::size_t>(std::max(channels, 0)), Other);
    }
}

std::vector<ChannelOrder::Speaker> ChannelOrder::Wav(int channels) {
    switch (channels) {
    case 3:
        return {FrontLeft, FrontRight, FrontCenter};
    case 5:
        return {FrontLeft, FrontRight, FrontCenter, BackLeft, BackRight};
    case 6:
        return {FrontLeft, FrontRight, FrontCenter, Lfe, BackLeft, BackRight};
    case 7:
        return {FrontLeft, FrontRight, FrontCenter, Lfe, BackCenter, SideLeft, SideRight};
    case 8:
        return {FrontLeft, FrontRight, FrontCenter, Lfe, BackLeft, BackRight, SideLeft, SideRight};
    default:
        return Vorbis(channels);
    }
}

std::vector<ChannelOrder::Speaker> ChannelOrder::Flac(int channels) {
    // FLAC's assignments for 3 to 8 channels are the WAV masks' orders.
    return Wav(channels);
}

std::vector<ChannelOrder::Speaker> ChannelOrder::Sdl(int channels) {
    switch (channels) {
    case 6:
        return {FrontLeft, FrontRight, FrontCenter, Lfe, SideLeft, SideRight};
    case 7:
        return {FrontLeft, FrontRight, FrontCenter, Lfe, BackCenter, SideLeft, SideRight};
    case 8:
        return {FrontLeft, FrontRight, FrontCenter, Lfe, BackLeft, BackRight, SideLeft, SideRight};
    default:
        return Vorbis(channels);
    }
}

std::vector<int> ChannelOrder::Map(const std::vector<Speaker>& from,
                                   const std::vector<Speaker>& to) {
    if (from.size() != to.size())
        return identity(to.size());
    std::vector<int> map(to.size(), -1);
    std::vector<bool> taken(from.size(), false);
    const auto take = [&](std::size_t slot, S speaker) {
        for (std::size_t i = 0; i < from.size(); ++i)
            if (!taken[i] && speaker != Other && from[i] == speaker) {
                map[slot] = static_cast<int>(i);
                taken[i] = true;
                return;
            }
    };
    for (std::size_t slot = 0; slot < to.size(); ++slot)
        take(slot, to[slot]);
    for (std::size_t slot = 0; slot < to.size(); ++slot)
        if (map[slot] < 0)
            take(slot, standIn(to[slot]));
    if (std::find(map.begin(), map.end(), -1) != map.end())
        return identity(to.size());
    return map;
}

bool ChannelOrder::IsIdentity(const std::vector<int>& map) {
    for (std::size_t i = 0; i < map.size(); ++i)
        if (map[i] != static_cast<int>(i))
            return false;
    return true;
}

void ChannelOrder::Apply(const std::vector<int>& map, const float* in, std::size_t frames,
                         float* out) {
    const std::size_t n = map.size();
    for (std::size_t f = 0; f < frames; ++f)
        for (std::size_t c = 0; c < n; ++c)
            out[f * n + c] = in[f * n + static_cast<std::size_t>(map[c])];
}
