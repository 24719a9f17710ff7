#pragma once

#include <QString>

// What an MPEG-1 Layer III file says about how it was encoded, read straight
// from its frame headers, side information and LAME tag, so a test can see
// that a setting reached the encoder and not only that the file decodes.
struct Mp3Stream {
    enum Mode { Stereo = 0, JointStereo = 1, DualChannel = 2, Mono = 3 };

    int audioFrames = 0;
    // Of the audio frames (all agree, else the value of the first).
    bool crc = false;
    int emphasis = 0; // 0 none, 1 50/15 us, 3 CCITT J.17
    int mode = Stereo;
    // Granules with short blocks in some channel, and granules whose two
    // channels use different block types.
    int shortBlockGranules = 0;
    int differingBlockGranules = 0;
    // The LAME tag, when the stream starts with one.
    bool hasLameTag = false;
    int lowpassHz = 0;
    // The LAME tag's CRC-16 of the frames after it (-1 without a tag), and
    // that CRC worked out here from the frames.
    int musicCrc = -1;
    int framesCrc = -1;

    // Throws std::runtime_error for a file that is not MPEG-1 Layer III.
    static Mp3Stream read(const QString& path);
};
