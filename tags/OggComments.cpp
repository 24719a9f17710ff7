#include "tags/OggComments.h"

#include "platform/Error.h"
#include "tags/AudioPayload.h"
#include "tags/ReplacementFile.h"
#include "tags/SavedPermissions.h"
#include "tags/SharedLibrary.h"
#include "tags/TagLibraries.h"
#include "tags/TextConversions.h"
#include "tags/VceditLibrary.h"
#include "tags/VceditSession.h"

#include <QFile>
#include <QIODevice>
#include <QList>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

struct ReadName {
    QLatin1StringView name;
    QString OGGTag::*field;
};

// Matched in this order; the first equal name wins.
const ReadName ReadNames[] = {
    {QLatin1StringView("album"), &OGGTag::Album},
    {QLatin1StringView("title"), &OGGTag::Title},
    {QLatin1StringView("artist"), &OGGTag::Artist},
    {QLatin1StringView("comment"), &OGGTag::Comment},
    {QLatin1StringView("genre"), &OGGTag::Genre},
    {QLatin1StringView("date"), &OGGTag::Date},
    {QLatin1StringView("tracknumber"), &OGGTag::TrackNumber},
};

struct WriteKey {
    QLatin1StringView key;
    QString OGGTag::*field;
};

const WriteKey WriteKeys[] = {
    {QLatin1StringView("Title="), &OGGTag::Title},
    {QLatin1StringView("Artist="), &OGGTag::Artist},
    {QLatin1StringView("Album="), &OGGTag::Album},
    {QLatin1StringView("TrackNumber="), &OGGTag::TrackNumber},
    {QLatin1StringView("TrackTotal="), &OGGTag::TrackTotal},
    {QLatin1StringView("DiscNumber="), &OGGTag::DiscNumber},
    {QLatin1StringView("DiscTotal="), &OGGTag::DiscTotal},
    {QLatin1StringView("Date="), &OGGTag::Date},
    {QLatin1StringView("Genre="), &OGGTag::Genre},
    {QLatin1StringView("Comment="), &OGGTag::Comment},
};

bool validNameByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x20 && b <= 0x3C) || (b >= 0x3E && b <= 0x7D);
}

QString asciiLower(const QString& text) {
    QString lower = text;
    for (QChar& c : lower)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return lower;
}

bool blankOrControl(QChar c) {
    return c.unicode() <= 0x20 || c.category() == QChar::Other_Control;
}

// Blanks and control characters go at both ends.
QString trimmed(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && blankOrControl(text.at(begin)))
        ++begin;
    while (end > begin && blankOrControl(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QString openFailure(const QString& fileName, const QString& reason) {
    if (reason.isEmpty())
        return QStringLiteral("Cannot open %1").arg(fileName);
    return QStringLiteral("Cannot open %1: %2").arg(fileName, reason);
}

QString writeFailure(const QString& reason) {
    if (reason.isEmpty())
        return QStringLiteral("Cannot write comments");
    return QStringLiteral("Cannot write comments: %1").arg(reason);
}

// The comment texts of a block, by their lengths.
QList<QByteArray> commentTexts(const vorbis_comment& block) {
    QList<QByteArray> texts;
    if (block.user_comments == nullptr || block.comment_lengths == nullptr)
        return texts;
    for (int i = 0; i < block.comments; ++i)
        texts.append(QByteArray(block.user_comments[i], block.comment_lengths[i]));
    return texts;
}

// The written file is opened again as a reader would, so a file whose
// comments could not be read never takes the old one's place.
// Why the new file does not read back with the comments written; empty when
// it does.
QString readBackFailure(const VceditLibrary& vcedit, ReplacementFile& replacement,
                        const QList<QByteArray>& written) {
    // The new file is complete and closed by now; read it as a reader would.
    QFile check(replacement.fileName());
    if (!check.open(QIODevice::ReadOnly))
        return QStringLiteral("the new file cannot be read back: %1").arg(check.errorString());
    VceditSession state(vcedit);
    if (state.open(check) != 0 || commentTexts(*state.comments()) != written)
        return QStringLiteral("the new file's comments cannot be read back");
    return {};
}

} // namespace

TStrComments ParseComments(const vorbis_comment& block) {
    TStrComments parsed;
    if (block.comments <= 0 || block.user_comments == nullptr || block.comment_lengths == nullptr)
        return parsed;
    parsed.reserve(static_cast<size_t>(block.comments));
    for (int i = 0; i < block.comments; ++i) {
        const int length = block.comment_lengths[i];
        const char* text = block.user_comments[i];
        const QByteArray bytes =
            (length > 0 && text != nullptr) ? QByteArray(text, length) : QByteArray();
        TStrComment comment;
        QByteArray value = bytes;
        const qsizetype equals = bytes.indexOf('=');
        if (equals >= 0) {
            const QByteArray name = bytes.left(equals);
            if (std::all_of(name.begin(), name.end(), validNameByte)) {
                comment.Name = QString::fromLatin1(name);
                value = bytes.mid(equals + 1);
            }
        }
        comment.Value = Utf8ToWide(value);
        if (comment.Value.endsWith(QChar(u'\0')))
            comment.Value.chop(1);
        comment.Entry = comment.Name.isEmpty() ? comment.Value
                                               : comment.Name + QLatin1Char('=') + comment.Value;
        parsed.push_back(std::move(comment));
    }
    return parsed;
}

void ReadOggComments(const QString& fileName, OGGTag& tag) {
    OGGTag working;
    const VceditLibrary vcedit;
    if (!vcedit.isLoaded())
        return;

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(openFailure(fileName, file.errorString()));
    VceditSession state(vcedit);
    if (state.open(file) != 0)
        throw Error(openFailure(fileName, state.lastError()));

    for (const TStrComment& comment : ParseComments(*state.comments())) {
        const QString name = asciiLower(comment.Name);
        for (const ReadName& known : ReadNames) {
            if (name == known.name) {
                working.*known.field = comment.Value;
                break;
            }
        }
    }
    for (const ReadName& known : ReadNames)
        tag.*known.field = trimmed(working.*known.field);
}

std::shared_ptr<void> HoldOggCommentLibrary() {
    return std::make_shared<VceditLibrary>();
}

bool WriteOggComments(const QString& fileName, OGGTag tag) {
    const VceditLibrary vcedit;
    if (!vcedit.isLoaded())
        return false;

    SavedPermissions permissions(fileName);
    permissions.openUp();
    // The audio the new file must carry unchanged; a file this cannot read
    // page by page (a chain, a damaged page) is checked by its comments only.
    const AudioPayload audio = AudioPayload::OfOgg(fileName, 3);
    QFile source(fileName);
    if (!source.open(QIODevice::ReadOnly))
        throw Error(openFailure(fileName, source.errorString()));
    ReplacementFile replacement(fileName);
    if (!replacement.open())
        throw Error(writeFailure(replacement.errorString()));

    VceditSession state(vcedit);
    if (state.open(source) != 0)
        throw Error(openFailure(fileName, state.lastError()));
    {
        const SharedLibrary vorbis(TagLibraries::vorbisName());
        if (const auto clear =
                vorbis.resolve<decltype(&vorbis_comment_clear)>("vorbis_comment_clear"))
            clear(state.comments());
    }
    for (const WriteKey& key : WriteKeys) {
        const QString& value = tag.*key.field;
        if (!value.isEmpty())
            AddOggComment(key.key + value, state);
    }
    const QList<QByteArray> written = commentTexts(*state.comments());
    if (state.write(replacement.file()) != 0) {
        // The disk's reason, when it refused, says more than vcedit's.
        const QFile& out = replacement.file();
        throw Error(writeFailure(out.error() != QFileDevice::NoError ? out.errorString()
                                                                     : state.lastError()));
    }
    source.close();
    if (!replacement.finish())
        throw Error(writeFailure(replacement.errorString()));
    const QString unread = readBackFailure(vcedit, replacement, written);
    if (!unread.isEmpty())
        throw Error(writeFailure(unread));
    if (audio.valid() && AudioPayload::OfOgg(replacement.fileName(), 3) != audio)
        throw Error(writeFailure(QStringLiteral("the disk did not take the whole new file")));

    if (!replacement.commit(permissions.saved()))
        throw Error(writeFailure(replacement.errorString()));
    permissions.dismiss();
    return true;
}

void AddOggComment(const QString& comment, VceditSession& state) {
    const SharedLibrary vorbis(TagLibraries::vorbisName());
    const auto add = vorbis.resolve<decltype(&vorbis_comment_add)>("vorbis_comment_add");
    if (add == nullptr)
        return;
    const QByteArray utf8 = WideToUtf8(comment);
    // vorbis_comment_add copies up to the first zero byte. A text holding
    // zeros goes in with stand-ins of the same length, then its real bytes
    // are put in their place, so the value is written whole.
    QByteArray standIn = utf8;
    standIn.replace('\0', ' ');
    vorbis_comment* block = state.comments();
    add(block, standIn.constData());
    const int added = block->comments - 1;
    if (standIn != utf8 && added >= 0 && block->comment_lengths[added] == utf8.size())
        std::memcpy(block->user_comments[added], utf8.constData(),
                    static_cast<std::size_t>(utf8.size()));
}

std::size_t StreamRead(void* buffer, std::size_t size, std::size_t count, void* handle) {
    if (size == 0 || count == 0)
        return 0;
    if (buffer == nullptr || handle == nullptr ||
        count > static_cast<std::size_t>(std::numeric_limits<qint64>::max()) / size)
        return 0;
    auto* device = static_cast<QIODevice*>(handle);
    const qint64 got = device->read(static_cast<char*>(buffer), static_cast<qint64>(size * count));
    return got > 0 ? static_cast<std::size_t>(got) / size : 0;
}

std::size_t StreamWrite(const void* buffer, std::size_t size, std::size_t count, void* handle) {
    if (size == 0)
        return static_cast<std::size_t>(-1);
    if (count == 0)
        return 0;
    if (buffer == nullptr || handle == nullptr ||
        count > static_cast<std::size_t>(std::numeric_limits<qint64>::max()) / size)
        return 0;
    auto* device = static_cast<QIODevice*>(handle);
    const auto* data = static_cast<const char*>(buffer);
    const auto total = static_cast<qint64>(size * count);
    qint64 done = 0;
    // After a short write the next one fails and leaves its reason on the
    // device.
    while (done < total) {
        const qint64 put = device->write(data + done, total - done);
        if (put <= 0)
            break;
        done += put;
    }
    return static_cast<std::size_t>(done) / size;
}
