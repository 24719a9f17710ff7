#include "tags/VceditSession.h"

#include "platform/Error.h"
#include "tags/OggComments.h"

VceditSession::VceditSession(const VceditLibrary& library)
    : library_(library), state_(library.newState()) {
    if (state_ == nullptr)
        throw Error(QStringLiteral("Out of memory"));
}

VceditSession::~VceditSession() {
    library_.clear(state_);
}

int VceditSession::open(QIODevice& in) {
    return library_.openCallbacks(state_, &in, StreamRead, StreamWrite);
}

vorbis_comment* VceditSession::comments() {
    return library_.comments(state_);
}

int VceditSession::write(QIODevice& out) {
    return library_.write(state_, &out);
}

QString VceditSession::lastError() {
    const char* text = library_.error(state_);
    return text != nullptr ? QString::fromUtf8(text) : QString();
}
