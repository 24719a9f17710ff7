#pragma once

#include <cstddef>
#include <vector>

// The program keeps multichannel audio in the Vorbis I channel order
// (5.1: FL FC FR RL RR LFE), the order VorbisDecoder delivers, OggEncoder
// writes, OpusEncoder hands to mapping family 1 (which takes the Vorbis
// order) and ChannelMixer folds. Decoders of other formats and writers of
// other orders (WAV, FLAC) map through this.
class ChannelOrder {
public:
    enum Speaker {
        FrontLeft,
        FrontRight,
        FrontCenter,
        Lfe,
        BackLeft,
        BackRight,
        BackCenter,
        SideLeft,
        SideRight,
        Other,
    };

    // The Vorbis order of `channels` channels (mono and stereo included).
    static std::vector<Speaker> Vorbis(int channels);
    // The order WAV output is written in, that of the speaker mask the WAV
    // writer declares for this count: the speakers in the order of their
    // mask bits (FL FR FC LFE BL BR BC SL SR), as FFmpeg also lays them out.
    static std::vector<Speaker> Wav(int channels);
    // The order FLAC defines for 1 to 8 channels (its channel assignments),
    // which is WAV's: 5.1 is FL FR FC LFE BL BR, 7.1 FL FR FC LFE BL BR SL SR.
    static std::vector<Speaker> Flac(int channels);
    // The order an SDL 2 device takes. Its layouts for 3 and 5 channels hold
    // an LFE where ours hold a centre: those go to the device as they are.
    static std::vector<Speaker> Sdl(int channels);

    // For each channel of `to`, the channel of `from` holding that speaker;
    // a back speaker stands in for a missing side one and the other way
    // round. The identity when the two cannot be matched one to one.
    static std::vector<int> Map(const std::vector<Speaker>& from, const std::vector<Speaker>& to);
    static bool IsIdentity(const std::vector<int>& map);

    // out[f * n + c] = in[f * n + map[c]] for n = map.size().
    static void Apply(const std::vector<int>& map, const float* in, std::size_t frames, float* out);
};
