#pragma once

// A libogg or libvorbis state struct, set up by its init call and released by
// its clear call, so no path out of a function can skip the clear.
template <typename T, auto Init, auto Clear> class OggHandle {
public:
    template <typename... Args> explicit OggHandle(Args... args) { Init(&state_, args...); }
    ~OggHandle() { Clear(&state_); }
    OggHandle(const OggHandle&) = delete;
    OggHandle& operator=(const OggHandle&) = delete;

    T* get() { return &state_; }
    const T* get() const { return &state_; }

private:
    T state_{};
};
