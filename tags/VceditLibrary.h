#pragma once

#include "tags/SharedLibrary.h"
#include "tags/vcedit/vcedit.h"

// libvcedit.so, loaded for one comment operation and unloaded after it.
class VceditLibrary {
public:
    VceditLibrary();

    // The library and every call the program uses were found.
    bool isLoaded() const;

    decltype(&vcedit_new_state) newState = nullptr;
    decltype(&vcedit_clear) clear = nullptr;
    decltype(&vcedit_comments) comments = nullptr;
    decltype(&vcedit_open_callbacks) openCallbacks = nullptr;
    decltype(&vcedit_write) write = nullptr;
    decltype(&vcedit_error) error = nullptr;

private:
    SharedLibrary library_;
};
