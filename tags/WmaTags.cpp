#include "tags/WmaTags.h"

#include "tags/SavedPermissions.h"
#include "tags/SharedLibrary.h"
#include "tags/TagLibraries.h"
#include "tags/TextConversions.h"

#include <QFile>
#include <QRandomGenerator>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// Process-wide: loaded at start-up, kept for the life of the program.
struct WmaLibrary {
    std::unique_ptr<SharedLibrary> library;
    WMAudioCreateInfoFunc createInfo = nullptr;
};

WmaLibrary& wmaLibrary() {
    static WmaLibrary loaded;
    return loaded;
}

struct InfoReleaser {
    void operator()(WMAudioInfo* info) const { info->lpVtbl->Release(info); }
};
using InfoHandle = std::unique_ptr<WMAudioInfo, InfoReleaser>;

constexpr std::int32_t GeneralFailure = static_cast<std::int32_t>(0x80004005);
constexpr qsizetype MaxTextUnits = 511;

// The bytes of an ASF file after its header object, which holds the
// attributes: what tagging must leave as it was. -1 when unreadable.
qint64 bodyBytes(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray start = file.read(24);
    if (start.size() != 24)
        return -1;
    quint64 header = 0;
    for (int i = 23; i >= 16; --i)
        header = header << 8 | static_cast<unsigned char>(start[i]);
    return header > static_cast<quint64>(file.size()) ? -1
                                                      : file.size() - static_cast<qint64>(header);
}

// A second name for the untagged file while the library puts the tagged one
// in its place, so that a tagged file that does not prove whole can be
// undone. A link takes no room on a full disk.
class KeptOriginal {
public:
    explicit KeptOriginal(const QString& fileName) : path_(QFile::encodeName(fileName)) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = path_ + '.' +
                                    QByteArray::number(QRandomGenerator::global()->generate(), 36) +
                                    ".keep";
            if (::link(path_.constData(), name.constData()) == 0) {
                kept_ = name;
                return;
            }
            if (errno != EEXIST)
                return;
        }
    }
    ~KeptOriginal() {
        if (!kept_.isEmpty())
            ::unlink(kept_.constData());
    }
    KeptOriginal(const KeptOriginal&) = delete;
    KeptOriginal& operator=(const KeptOriginal&) = delete;

    // Puts the untagged file back under its name.
    void restore() {
        if (!kept_.isEmpty() && ::rename(kept_.constData(), path_.constData()) == 0)
            kept_.clear();
    }

private:
    QByteArray path_;
    QByteArray kept_;
};

// Whether the file's title reads back as `title` was set.
bool titleReadsBack(const std::u16string& fileName, const QByteArray& title) {
    WMAudioInfo* raw = nullptr;
    if (wmaLibrary().createInfo(fileName.c_str(), &raw) != 0 || raw == nullptr)
        return false;
    const InfoHandle info(raw);
    std::array<char16_t, MaxTextUnits + 1> value{};
    std::int32_t type = 0;
    auto length = static_cast<std::uint16_t>(value.size() * 2);
    if (info->lpVtbl->GetAttributeByName(info.get(), u"Title", &type,
                                         reinterpret_cast<std::uint8_t*>(value.data()),
                                         &length) != 0 ||
        type != WMA_TYPE_STRING)
        return false;
    const std::u16string read(value.data());
    return QString::fromStdU16String(read) == AnsiToWide(title);
}

QString statusText(std::int32_t status) {
    if (WMA_IS_SYSTEM(status))
        return QString::fromLocal8Bit(std::strerror(status & 0xFFFF));
    if (status == WMA_E_INVALIDFILE)
        return QStringLiteral("not a Windows Media file");
    return QStringLiteral("the attributes could not be stored (error 0x%1)")
        .arg(static_cast<std::uint32_t>(status), 8, 16, QLatin1Char('0'));
}

} // namespace

void LoadWmaLibrary() {
    WmaLibrary& loaded = wmaLibrary();
    loaded.createInfo = nullptr;
    loaded.library = std::make_unique<SharedLibrary>(TagLibraries::wmaPath());
    loaded.createInfo = loaded.library->resolve<WMAudioCreateInfoFunc>("WMAudioCreateInfo");
}

bool WmaInfoAvailable() {
    return wmaLibrary().createInfo != nullptr;
}

std::int32_t SetWmaText(WMAudioInfo* info, const char16_t* name, const QByteArray& text) {
    const QString wide = AnsiToWide(text);
    if (wide.size() > MaxTextUnits)
        return GeneralFailure;
    std::array<char16_t, MaxTextUnits + 1> buffer{};
    std::copy(wide.utf16(), wide.utf16() + wide.size(), buffer.begin());
    // The length counts UTF-16 units (and the terminating zero), not the
    // 8-bit bytes, which may be more than one a character.
    const auto length = static_cast<std::uint16_t>((wide.size() + 1) * 2);
    return info->lpVtbl->SetAttribute(info, name, WMA_TYPE_STRING,
                                      reinterpret_cast<const std::uint8_t*>(buffer.data()), length);
}

std::int32_t SetWmaNumber(WMAudioInfo* info, const char16_t* name, std::uint32_t value) {
    return info->lpVtbl->SetAttribute(info, name, WMA_TYPE_DWORD,
                                      reinterpret_cast<const std::uint8_t*>(&value), sizeof value);
}

bool WriteWmaTags(const QString& fileName, WmaTagBuffer tag, QString* failure) {
    SavedPermissions permissions(fileName);
    permissions.openUp();
    if (!WmaInfoAvailable())
        return false;
    const auto failed = [&](std::int32_t status) {
        if (failure)
            *failure = statusText(status);
        return false;
    };

    const std::u16string name = fileName.toStdU16String();
    WMAudioInfo* raw = nullptr;
    const std::int32_t created = wmaLibrary().createInfo(name.c_str(), &raw);
    if (created != 0 || raw == nullptr)
        return failed(created != 0 ? created : WMA_E_FAIL);
    const InfoHandle info(raw);

    // Every attribute is set, also an empty one; a refused one does not stop
    // the others.
    SetWmaText(info.get(), u"Author", WmaFieldText(tag.Artist));
    SetWmaText(info.get(), u"Title", WmaFieldText(tag.Title));
    SetWmaText(info.get(), u"WM/AlbumTitle", WmaFieldText(tag.Album));
    SetWmaText(info.get(), u"WM/Year", WmaFieldText(tag.Year));
    SetWmaText(info.get(), u"Description", WmaFieldText(tag.Description));
    SetWmaText(info.get(), u"WM/Genre", WmaFieldText(tag.Genre));
    SetWmaNumber(info.get(), u"WM/TrackNumber", tag.TrackNumber);
    if (tag.PartOfSet[0] != 0)
        SetWmaText(info.get(), u"WM/PartOfSet", WmaFieldText(tag.PartOfSet));
    const qint64 body = bodyBytes(fileName);
    KeptOriginal untagged(fileName);
    const std::int32_t saved = info->lpVtbl->Save(info.get());
    if (saved != 0)
        return failed(saved);
    // The new file proves itself before it stays: the audio after its header
    // as long as before, and the attributes read back.
    if (bodyBytes(fileName) != body || !titleReadsBack(name, WmaFieldText(tag.Title))) {
        untagged.restore();
        if (failure)
            *failure = QStringLiteral("the disk did not take the whole new file");
        return false;
    }
    return true;
}
