#include "fuzz/CommentLibrary.h"

#include "tags/TagLibraries.h"

#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>

void holdCommentLibrary() {
    const QByteArray path = QFile::encodeName(TagLibraries::vceditPath());
    if (dlopen(path.constData(), RTLD_NOW | RTLD_NODELETE) == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", path.constData(), dlerror());
        std::abort();
    }
}

QList<QByteArray> commentTexts(const vorbis_comment& block) {
    QList<QByteArray> texts;
    for (int i = 0; i < block.comments; ++i)
        texts.append(QByteArray(block.user_comments[i], block.comment_lengths[i]));
    return texts;
}
