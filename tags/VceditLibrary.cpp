#include "tags/VceditLibrary.h"

#include "tags/TagLibraries.h"

VceditLibrary::VceditLibrary() : library_(TagLibraries::vceditPath()) {
    newState = library_.resolve<decltype(newState)>("vcedit_new_state");
    clear = library_.resolve<decltype(clear)>("vcedit_clear");
    comments = library_.resolve<decltype(comments)>("vcedit_comments");
    openCallbacks = library_.resolve<decltype(openCallbacks)>("vcedit_open_callbacks");
    write = library_.resolve<decltype(write)>("vcedit_write");
    error = library_.resolve<decltype(error)>("vcedit_error");
}

bool VceditLibrary::isLoaded() const {
    return newState != nullptr && clear != nullptr && comments != nullptr &&
           openCallbacks != nullptr && write != nullptr && error != nullptr;
}
