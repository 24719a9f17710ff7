#pragma once

#include <array>
#include <memory>

// FFmpeg's libraries, loaded on first use rather than when the program
// starts: with every codec they bring over a hundred more libraries, whose
// loading took longer than a whole MP3 copy, which never needs them. The
// program's calls of libav functions go to functions of the same names
// (LibavLibraries.cpp) that load the libraries once and pass the call on.
class LibavLibraries {
public:
    enum Library { Util, Resample, Codec, Format, Count };

    // The function `name` of `library`, the libraries loaded first if they
    // are not yet. Throws Error when they cannot be loaded or lack it.
    static void* Function(Library library, const char* name);

    LibavLibraries(const LibavLibraries&) = delete;
    LibavLibraries& operator=(const LibavLibraries&) = delete;

private:
    LibavLibraries();
    static LibavLibraries& Instance();

    struct Closer {
        void operator()(void* handle) const;
    };
    std::array<std::unique_ptr<void, Closer>, Count> handles_;
};
