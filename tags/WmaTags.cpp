#include "tags/WmaTags.h"

#include "tags/SavedPermissions.h"
#include "tags/SharedLibrary.h"
#include "tags/TagLibraries.h"
#include "tags/TextConversions.h"

#include <array>
#include <cstring>
#include <memory>
#include <string>

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
    const std::int32_t saved = info->lpVtbl->Save(info.get());
    return saved == 0 || failed(saved);
}
