// Windows Media attributes through TagLib's ASF support. The info object
// keeps a read-only view of the file and the attributes set on it; Save
// applies them to a copy beside the file and puts the copy in its place.

#pragma GCC visibility push(default)
#include "tags/wmaudsdk/wmaudsdk.h"
#pragma GCC visibility pop

#include <taglib/asfattribute.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/tbytevector.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tfilestream.h>
#include <taglib/tstring.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// ---- UTF-16 <-> UTF-8, with U+FFFD for anything malformed ----

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string utf16ToUtf8(const char16_t* text, size_t units) {
    std::string out;
    out.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        const char32_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::u16string utf8ToUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char lead = p[i];
        int extra = 0;
        char32_t c = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            c = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            c = lead & 0x1F;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            c = lead & 0x0F;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            c = lead & 0x07;
            minimum = 0x10000;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        bool valid = true;
        for (int k = 1; valid && k <= extra; ++k) {
            if (i + static_cast<size_t>(k) >= n || (p[i + k] & 0xC0) != 0x80)
                valid = false;
            else
                c = (c << 6) | (p[i + k] & 0x3F);
        }
        if (!valid || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        i += static_cast<size_t>(extra) + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

TagLib::String fromUtf16(const char16_t* text, size_t units) {
    return TagLib::String(utf16ToUtf8(text, units), TagLib::String::UTF8);
}

std::u16string toUtf16(const TagLib::String& text) {
    return utf8ToUtf16(text.to8Bit(true));
}

// A zero-terminated UTF-16 text; the bound only stops a missing terminator
// from running away.
bool readName(const char16_t* name, TagLib::String& out) {
    constexpr size_t bound = 32768;
    size_t units = 0;
    while (units < bound && name[units] != 0)
        ++units;
    if (units == 0 || units == bound)
        return false;
    out = fromUtf16(name, units);
    return true;
}

// ---- attributes ----

const char* const ContentDescriptionNames[] = {"Title", "Author", "Description", "Copyright",
                                               "Rating"};

bool isContentDescription(const TagLib::String& name) {
    for (const char* known : ContentDescriptionNames)
        if (name == known)
            return true;
    return false;
}

TagLib::String contentDescription(const TagLib::ASF::Tag& tag, const TagLib::String& name) {
    if (name == "Title")
        return tag.title();
    if (name == "Author")
        return tag.artist();
    if (name == "Description")
        return tag.comment();
    if (name == "Copyright")
        return tag.copyright();
    return tag.rating();
}

void apply(TagLib::ASF::Tag& tag, const TagLib::String& name, const TagLib::ASF::Attribute& value) {
    if (name == "Title")
        tag.setTitle(value.toString());
    else if (name == "Author")
        tag.setArtist(value.toString());
    else if (name == "Description")
        tag.setComment(value.toString());
    else if (name == "Copyright")
        tag.setCopyright(value.toString());
    else if (name == "Rating")
        tag.setRating(value.toString());
    else
        tag.setAttribute(name, value);
}

template <class T> T readValue(const uint8_t* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// Builds the attribute from the caller's bytes; false for a type or length
// that does not fit.
bool decodeValue(int32_t type, const uint8_t* value, uint16_t length, TagLib::ASF::Attribute& out) {
    switch (type) {
    case WMA_TYPE_DWORD:
        if (length != 4)
            return false;
        out = TagLib::ASF::Attribute(readValue<uint32_t>(value));
        return true;
    case WMA_TYPE_STRING: {
        if (length % 2 != 0)
            return false;
        std::u16string text(length / 2, u'\0');
        if (length > 0)
            std::memcpy(text.data(), value, length);
        while (!text.empty() && text.back() == u'\0')
            text.pop_back();
        out = TagLib::ASF::Attribute(fromUtf16(text.data(), text.size()));
        return true;
    }
    case WMA_TYPE_BINARY:
        out = TagLib::ASF::Attribute(
            TagLib::ByteVector(reinterpret_cast<const char*>(value), length));
        return true;
    case WMA_TYPE_BOOL:
        if (length != 4)
            return false;
        out = TagLib::ASF::Attribute(readValue<uint32_t>(value) != 0);
        return true;
    case WMA_TYPE_QWORD:
        if (length != 8)
            return false;
        out = TagLib::ASF::Attribute(static_cast<unsigned long long>(readValue<uint64_t>(value)));
        return true;
    case WMA_TYPE_WORD:
        if (length != 2)
            return false;
        out = TagLib::ASF::Attribute(static_cast<unsigned short>(readValue<uint16_t>(value)));
        return true;
    default:
        return false;
    }
}

template <class T> std::vector<uint8_t> bytesOf(T value) {
    std::vector<uint8_t> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

std::vector<uint8_t> stringBytes(const TagLib::String& text) {
    std::u16string units = toUtf16(text);
    units.push_back(u'\0');
    std::vector<uint8_t> bytes(units.size() * 2);
    std::memcpy(bytes.data(), units.data(), bytes.size());
    return bytes;
}

void encodeValue(const TagLib::ASF::Attribute& value, int32_t& type, std::vector<uint8_t>& bytes) {
    switch (value.type()) {
    case TagLib::ASF::Attribute::UnicodeType:
        type = WMA_TYPE_STRING;
        bytes = stringBytes(value.toString());
        return;
    case TagLib::ASF::Attribute::BoolType:
        type = WMA_TYPE_BOOL;
        bytes = bytesOf<uint32_t>(value.toBool() ? 1 : 0);
        return;
    case TagLib::ASF::Attribute::DWordType:
        type = WMA_TYPE_DWORD;
        bytes = bytesOf<uint32_t>(value.toUInt());
        return;
    case TagLib::ASF::Attribute::QWordType:
        type = WMA_TYPE_QWORD;
        bytes = bytesOf<uint64_t>(value.toULongLong());
        return;
    case TagLib::ASF::Attribute::WordType:
        type = WMA_TYPE_WORD;
        bytes = bytesOf<uint16_t>(value.toUShort());
        return;
    default: {
        type = WMA_TYPE_BINARY;
        const TagLib::ByteVector data = value.toByteVector();
        bytes.assign(data.begin(), data.end());
        return;
    }
    }
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

// Exactly `size` bytes; false at an error or the end of the file.
bool readAll(int fd, char* data, size_t size) {
    while (size > 0) {
        const ssize_t got = ::read(fd, data, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

// A header beyond this is no file this library writes or edits.
constexpr std::uint64_t MaxHeaderSize = 64u << 20;

bool copyContents(int from, int to) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (!writeAll(to, buffer.data(), static_cast<size_t>(got)))
            return false;
    }
}

// ---- the object ----

struct Entry {
    TagLib::String name;
    TagLib::ASF::Attribute value;
};

struct InfoObject : WMAudioInfo {
    explicit InfoObject(std::string filePath);

    uint32_t references = 1;
    std::string path;
    std::unique_ptr<TagLib::FileStream> stream;
    std::unique_ptr<TagLib::ASF::File> file;
    std::vector<std::pair<TagLib::String, TagLib::ASF::Attribute>> changes;

    bool load() {
        file.reset();
        stream = std::make_unique<TagLib::FileStream>(path.c_str(), true);
        if (!stream->isOpen())
            return false;
        file = std::make_unique<TagLib::ASF::File>(stream.get(), false);
        return file->isValid() && file->tag() != nullptr;
    }

    std::vector<Entry> entries() const {
        std::vector<Entry> all;
        const TagLib::ASF::Tag& tag = *file->tag();
        for (const char* name : ContentDescriptionNames)
            all.push_back({name, TagLib::ASF::Attribute(contentDescription(tag, name))});
        const TagLib::ASF::AttributeListMap& map = tag.attributeListMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            for (const TagLib::ASF::Attribute& value : it->second)
                all.push_back({it->first, value});
        return all;
    }

    int32_t save();
};

InfoObject* self(WMAudioInfo* info) {
    return static_cast<InfoObject*>(info);
}

int32_t fillValue(const TagLib::ASF::Attribute& attribute, int32_t* type, uint8_t* value,
                  uint16_t* length) {
    int32_t kind = 0;
    std::vector<uint8_t> bytes;
    encodeValue(attribute, kind, bytes);
    if (bytes.size() > 0xFFFF)
        return WMA_E_FAIL;
    *type = kind;
    const uint16_t capacity = *length;
    *length = static_cast<uint16_t>(bytes.size());
    if (value == nullptr)
        return WMA_S_OK;
    if (capacity < bytes.size())
        return WMA_E_BUFFERTOOSMALL;
    if (!bytes.empty())
        std::memcpy(value, bytes.data(), bytes.size());
    return WMA_S_OK;
}

int32_t QueryInterface(WMAudioInfo* info, const uint8_t* iid, void** object) {
    if (info == nullptr || iid == nullptr || object == nullptr)
        return WMA_E_POINTER;
    static const uint8_t zero[16] = {};
    static const uint8_t unknown[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    if (std::memcmp(iid, zero, 16) != 0 && std::memcmp(iid, unknown, 16) != 0) {
        *object = nullptr;
        return WMA_E_NOINTERFACE;
    }
    ++self(info)->references;
    *object = info;
    return WMA_S_OK;
}

uint32_t AddRef(WMAudioInfo* info) {
    return info != nullptr ? ++self(info)->references : 0;
}

uint32_t Release(WMAudioInfo* info) {
    if (info == nullptr)
        return 0;
    const uint32_t left = --self(info)->references;
    if (left == 0)
        delete self(info);
    return left;
}

int32_t GetAttributeCount(WMAudioInfo* info, uint16_t* count) {
    if (info == nullptr || count == nullptr)
        return WMA_E_POINTER;
    try {
        const size_t n = self(info)->entries().size();
        *count = static_cast<uint16_t>(n > 0xFFFF ? 0xFFFF : n);
        return WMA_S_OK;
    } catch (...) {
        return WMA_E_OUTOFMEMORY;
    }
}

int32_t GetAttributeByIndex(WMAudioInfo* info, uint16_t index, char16_t* name, uint16_t* nameLength,
                            int32_t* type, uint8_t* value, uint16_t* length) {
    if (info == nullptr || nameLength == nullptr || type == nullptr || length == nullptr)
        return WMA_E_POINTER;
    try {
        const std::vector<Entry> all = self(info)->entries();
        if (index >= all.size())
            return WMA_E_INVALIDARG;
        const Entry& entry = all[index];
        std::u16string units = toUtf16(entry.name);
        units.push_back(u'\0');
        if (units.size() > 0xFFFF)
            return WMA_E_FAIL;
        const uint16_t nameCapacity = *nameLength;
        *nameLength = static_cast<uint16_t>(units.size());
        const int32_t filled = fillValue(entry.value, type, value, length);
        if (filled != WMA_S_OK)
            return filled;
        if (name == nullptr)
            return WMA_S_OK;
        if (nameCapacity < units.size())
            return WMA_E_BUFFERTOOSMALL;
        std::memcpy(name, units.data(), units.size() * sizeof(char16_t));
        return WMA_S_OK;
    } catch (...) {
        return WMA_E_OUTOFMEMORY;
    }
}

int32_t GetAttributeByName(WMAudioInfo* info, const char16_t* name, int32_t* type, uint8_t* value,
                           uint16_t* length) {
    if (info == nullptr || name == nullptr || type == nullptr || length == nullptr)
        return WMA_E_POINTER;
    try {
        TagLib::String wanted;
        if (!readName(name, wanted))
            return WMA_E_INVALIDARG;
        for (const Entry& entry : self(info)->entries())
            if (entry.name == wanted)
                return fillValue(entry.value, type, value, length);
        return WMA_E_NOTFOUND;
    } catch (...) {
        return WMA_E_OUTOFMEMORY;
    }
}

int32_t SetAttribute(WMAudioInfo* info, const char16_t* name, int32_t type, const uint8_t* value,
                     uint16_t length) {
    if (info == nullptr || name == nullptr || (value == nullptr && length > 0))
        return WMA_E_POINTER;
    try {
        TagLib::String key;
        TagLib::ASF::Attribute attribute;
        if (!readName(name, key) || !decodeValue(type, value, length, attribute))
            return WMA_E_INVALIDARG;
        if (isContentDescription(key) && type != WMA_TYPE_STRING)
            return WMA_E_INVALIDARG;
        InfoObject& object = *self(info);
        apply(*object.file->tag(), key, attribute);
        object.changes.emplace_back(key, attribute);
        return WMA_S_OK;
    } catch (...) {
        return WMA_E_OUTOFMEMORY;
    }
}

int32_t Save(WMAudioInfo* info) {
    if (info == nullptr)
        return WMA_E_POINTER;
    try {
        return self(info)->save();
    } catch (...) {
        return WMA_E_FAIL;
    }
}

const WMAudioInfoVtbl Methods = {
    QueryInterface,     AddRef,       Release, GetAttributeCount, GetAttributeByIndex,
    GetAttributeByName, SetAttribute, Save};

InfoObject::InfoObject(std::string filePath) : WMAudioInfo{&Methods}, path(std::move(filePath)) {}

int32_t InfoObject::save() {
    // The reason of the system call that failed goes back to the caller.
    const auto systemFailure = [] { return errno != 0 ? WMA_E_SYSTEM(errno) : WMA_E_FAIL; };
    struct stat original;
    if (::stat(path.c_str(), &original) != 0)
        return systemFailure();
    Descriptor source(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (source.get() < 0)
        return systemFailure();

    // The attributes live in the header object at the start of the file. It
    // is edited in memory, and every byte of the new file goes out through a
    // checked write: TagLib's file stream does not report a failing write,
    // so a full disk would have left a damaged file.
    char start[24];
    if (!readAll(source.get(), start, sizeof start))
        return WMA_E_INVALIDFILE;
    std::uint64_t headerSize = 0;
    for (int i = 7; i >= 0; --i)
        headerSize = headerSize << 8 | static_cast<unsigned char>(start[16 + i]);
    if (headerSize < 30 || headerSize > static_cast<std::uint64_t>(original.st_size) ||
        headerSize > MaxHeaderSize)
        return WMA_E_INVALIDFILE;
    TagLib::ByteVector header(start, sizeof start);
    header.resize(static_cast<unsigned int>(headerSize));
    if (!readAll(source.get(), header.data() + sizeof start, headerSize - sizeof start))
        return WMA_E_INVALIDFILE;
    TagLib::ByteVectorStream edited(header);
    {
        TagLib::ASF::File copy(&edited, false);
        if (!copy.isValid() || copy.tag() == nullptr)
            return WMA_E_INVALIDFILE;
        for (const auto& [key, value] : changes)
            apply(*copy.tag(), key, value);
        if (!copy.save())
            return WMA_E_FAIL;
    }

    std::string tempPath = path + ".XXXXXX.temp";
    Descriptor temp(::mkstemps(tempPath.data(), 5));
    if (temp.get() < 0)
        return systemFailure();
    bool committed = false;
    struct Cleanup {
        const std::string& name;
        const bool& done;
        ~Cleanup() {
            if (!done)
                ::unlink(name.c_str());
        }
    } cleanup{tempPath, committed};

    const TagLib::ByteVector& newHeader = *edited.data();
    errno = 0;
    if (!writeAll(temp.get(), newHeader.data(), newHeader.size()) ||
        !copyContents(source.get(), temp.get()))
        return systemFailure();
    if (::fchmod(temp.get(), original.st_mode & 07777) != 0 || ::fsync(temp.get()) != 0 ||
        !temp.close())
        return systemFailure();
    if (::rename(tempPath.c_str(), path.c_str()) != 0)
        return systemFailure();
    committed = true;
    changes.clear();
    load();
    return WMA_S_OK;
}

} // namespace

extern "C" int32_t WMAudioCreateInfo(const char16_t* fileName, WMAudioInfo** info) {
    if (info == nullptr)
        return WMA_E_POINTER;
    *info = nullptr;
    if (fileName == nullptr)
        return WMA_E_POINTER;
    try {
        size_t units = 0;
        while (fileName[units] != 0)
            ++units;
        auto object = std::make_unique<InfoObject>(utf16ToUtf8(fileName, units));
        if (!object->load())
            return object->stream && object->stream->isOpen() ? WMA_E_INVALIDFILE : WMA_E_FAIL;
        *info = object.release();
        return WMA_S_OK;
    } catch (const std::bad_alloc&) {
        return WMA_E_OUTOFMEMORY;
    } catch (...) {
        return WMA_E_FAIL;
    }
}
