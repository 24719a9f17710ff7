#pragma once

#include "tags/VceditLibrary.h"

#include <QIODevice>
#include <QString>

// One editing state of a loaded libvcedit.so, released with it. The library
// must outlive the session.
class VceditSession {
public:
    // Throws Error when the library cannot make a state.
    explicit VceditSession(const VceditLibrary& library);
    ~VceditSession();
    VceditSession(const VceditSession&) = delete;
    VceditSession& operator=(const VceditSession&) = delete;

    // Reads the stream headers from `in`, which must stay open until the
    // session ends. 0 on success.
    int open(QIODevice& in);
    vorbis_comment* comments();
    // Writes the whole file with the session's comments to `out`. 0 on success.
    int write(QIODevice& out);
    // The library's reason for the last failure; empty when it gave none.
    QString lastError();

private:
    const VceditLibrary& library_;
    vcedit_state* state_;
};
