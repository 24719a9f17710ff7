// The audio reader as a split run uses it: open the file, convert to 44100 Hz
// stereo, seek to a few places and read a few blocks at each. The input is
// the whole Ogg file. Failures must be clean errors (Error); a block never
// holds more frames than were asked for, converted, and reading is bounded in
// time and memory whatever the file claims about itself.

#include "engine/audio/AudioReader.h"
#include "fuzz/FuzzEnvironment.h"
#include "platform/Error.h"

#include <cmath>
#include <cstdint>

namespace {

const QString FileName = QStringLiteral("source.ogg");
constexpr int OutputRate = 44100;
constexpr int OutputChannels = 2;
constexpr int BlockFrames = 8192;
constexpr int LowestRate = 8000;
constexpr int BlocksPerPlace = 3;

void readAt(AudioReader& reader, long long frame) {
    reader.seek(frame);
    for (int block = 0; block < BlocksPerPlace; ++block) {
        const SampleArray samples = reader.read(BlockFrames);
        require(samples.channels == OutputChannels, "a block in another channel count");
        require(samples.samples.size() % OutputChannels == 0, "a block ends inside a frame");
        // Any link of a chained file may have its own rate, 8000 Hz at the
        // lowest; the resampler may carry a few frames into the next block.
        const double mostFrames = std::ceil(double(BlockFrames) * OutputRate / LowestRate) + 64;
        require(static_cast<double>(samples.samples.size() / OutputChannels) <= mostFrames,
                "a block holds more frames than were asked for");
        if (samples.samples.empty())
            return;
    }
}

} // namespace

// libvorbisfile 1.3.7 itself loses a few bytes when it refuses some damaged
// files (a set of stream headers it read is never cleared); the reader frees
// everything the library hands back, so this is the library's to fix and not
// a failure here. The fast unwinder stops inside libvorbis (built without
// frame pointers) before it reaches libvorbisfile, so the allocations are
// matched there too; the reader reaches libvorbis only through libvorbisfile
// and a synthesis state it owns.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libvorbisfile.so\nleak:libvorbis.so\n";
}

extern "C" const char* __lsan_default_options() {
    return "print_suppressions=0";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FuzzEnvironment& scratch = FuzzEnvironment::instance();
    scratch.write(FileName,
                  QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    try {
        AudioReader reader(scratch.path(FileName));
        require(reader.fileRate() > 0 && reader.fileChannels() > 0, "a format without samples");
        require(reader.totalFrames() >= 0 && reader.durationMs() >= 0, "a negative length");
        reader.setOutputFormat(OutputRate, OutputChannels);
        const long long total = reader.totalFrames();
        for (const long long frame : {0LL, total / 2, total - 1, total, 0LL})
            readAt(reader, frame);
    } catch (const Error&) {
        // A damaged file is refused with a message; that is the right outcome.
    }
    return 0;
}
