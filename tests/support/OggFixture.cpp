#include "tests/support/OggFixture.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <stdexcept>

namespace {

// vorbis_comment_add with the comment's own length, so that a value may hold
// a zero byte as a damaged or unusual file's may; vorbis_comment_clear frees
// it as one of its own.
void addComment(vorbis_comment& vc, const QByteArray& bytes) {
    const auto count = static_cast<size_t>(vc.comments);
    vc.user_comments =
        static_cast<char**>(std::realloc(vc.user_comments, (count + 2) * sizeof(char*)));
    vc.comment_lengths =
        static_cast<int*>(std::realloc(vc.comment_lengths, (count + 2) * sizeof(int)));
    char* copy = static_cast<char*>(std::malloc(static_cast<size_t>(bytes.size()) + 1));
    std::memcpy(copy, bytes.constData(), static_cast<size_t>(bytes.size()) + 1);
    vc.user_comments[count] = copy;
    vc.comment_lengths[count] = static_cast<int>(bytes.size());
    vc.comments += 1;
    vc.user_comments[count + 1] = nullptr;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

void writePage(std::FILE* out, const ogg_page& page) {
    std::fwrite(page.header, 1, static_cast<size_t>(page.header_len), out);
    std::fwrite(page.body, 1, static_cast<size_t>(page.body_len), out);
}

} // namespace

OggFixture OggFixture::Tone(double seconds, double frequency, int rate, int channels) {
    OggFixture f;
    f.seconds = seconds;
    f.frequency = frequency;
    f.rate = rate;
    f.channels = channels;
    return f;
}

OggFixture OggFixture::NoiseAndSweep(double seconds, int rate, int channels) {
    OggFixture f = Tone(seconds, 50.0, rate, channels);
    f.sweepTo = 15000.0;
    f.amplitude = 0.3f;
    f.noise = 0.2f;
    f.fadeIn = 0.1;
    return f;
}

long long OggFixture::frames() const {
    return std::llround(seconds * rate);
}

QString OggFixture::write(const QString& path) const {
    std::unique_ptr<std::FILE, FileCloser> out(std::fopen(path.toUtf8().constData(), "wb"));
    if (!out)
        throw std::runtime_error("cannot create " + path.toStdString());

    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, 0.4f) != 0) {
        vorbis_info_clear(&vi);
        throw std::runtime_error("vorbis encoder refused the format");
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    for (const QString& c : comments)
        addComment(vc, c.toUtf8());
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, serial != 0 ? serial : 0x5eed + rate + channels);

    ogg_packet header;
    ogg_packet headerComments;
    ogg_packet headerCode;
    vorbis_analysis_headerout(&vd, &vc, &header, &headerComments, &headerCode);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &headerComments);
    ogg_stream_packetin(&os, &headerCode);
    ogg_page og;
    while (ogg_stream_flush(&os, &og) != 0)
        writePage(out.get(), og);

    std::mt19937 generator(0x5eed);
    std::uniform_real_distribution<float> random(0.0f, 1.0f);
    double phase = 0;
    const long long total = frames();
    const long long chunk = 4096;
    long long done = 0;
    bool eos = false;
    while (!eos) {
        const long long n = std::min(chunk, total - done);
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (long long i = 0; i < n; ++i) {
                const double t = static_cast<double>(done + i) / rate;
                float v = 0.0f;
                if (sweepTo > 0) {
                    // The phase advances by the momentary frequency, so the
                    // sweep glides without jumps.
                    v = amplitude * static_cast<float>(std::sin(phase));
                    const double along = std::fmod(t, sweepSeconds) / sweepSeconds;
                    const double hz = frequency + (sweepTo - frequency) * along;
                    phase =
                        std::fmod(phase + 2 * std::numbers::pi * hz / rate, 2 * std::numbers::pi);
                } else if (frequency > 0) {
                    v = amplitude *
                        static_cast<float>(std::sin(2 * std::numbers::pi * frequency * t));
                }
                const float gain =
                    fadeIn > 0 ? static_cast<float>(std::min(1.0, t / fadeIn)) : 1.0f;
                const bool hushed = std::any_of(quiet.begin(), quiet.end(), [t](const Quiet& q) {
                    return t >= q.from && t < q.to;
                });
                for (int ch = 0; ch < channels; ++ch) {
                    if (hushed)
                        buffer[ch][i] = quietNoise * (2.0f * random(generator) - 1.0f);
                    else
                        buffer[ch][i] =
                            gain * (noise > 0 ? v + noise * (2.0f * random(generator) - 1.0f) : v);
                }
            }
            vorbis_analysis_wrote(&vd, static_cast<int>(n));
            done += n;
        } else {
            vorbis_analysis_wrote(&vd, 0);
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op) == 1) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og) != 0) {
                    writePage(out.get(), og);
                    if (ogg_page_eos(&og))
                        eos = true;
                }
            }
        }
        if (n <= 0 && !eos) {
            while (ogg_stream_flush(&os, &og) != 0) {
                writePage(out.get(), og);
                if (ogg_page_eos(&og))
                    eos = true;
            }
            eos = true;
        }
    }

    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return path;
}
