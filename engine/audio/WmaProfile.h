#pragma once

#include <QString>

// The 47 WMA output profiles, numbered from 1 as the settings list shows
// them, and what each becomes with FFmpeg's wmav2 encoder.
struct WmaProfile {
    QString name;
    int rate = 0;
    int channels = 0;
    int kbps = 0; // the bitrate actually encoded

    static constexpr int count = 47;
    // Throws Error for a number outside 1..47.
    static WmaProfile byNumber(int number);
    // The lowest bitrate wmav2 encodes at.
    static constexpr int minimumKbps = 24;
};
