#include "Zip.h"

#include <zlib.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

namespace vantrell {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kEndSize = 22, kCentralSize = 46, kLocalSize = 30, kZip64LocatorSize = 20;
constexpr std::uint16_t kEncryptedFlags = 0x0001 | 0x0040; // traditional and strong
constexpr std::uint16_t kStored = 0, kDeflated = 8;

// Little-endian fields of bytes; at + width is checked by the caller.
std::uint32_t Field(std::string_view bytes, std::size_t at, int width)
{
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}
std::uint16_t U16(std::string_view bytes, std::size_t at) { return static_cast<std::uint16_t>(Field(bytes, at, 2)); }
std::uint32_t U32(std::string_view bytes, std::size_t at) { return Field(bytes, at, 4); }

// The end-of-central-directory record: the last one whose comment reaches exactly to
// the end of the archive.
std::optional<std::size_t> EndRecord(std::string_view archive)
{
    if (archive.size() < kEndSize)
        return std::nullopt;
    const std::size_t lowest = archive.size() - kEndSize - std::min<std::size_t>(archive.size() - kEndSize, 0xffff);
    for (std::size_t at = archive.size() - kEndSize + 1; at-- > lowest;) {
        if (U32(archive, at) == kEndSignature && at + kEndSize + U16(archive, at + 20) == archive.size())
            return at;
    }
    return std::nullopt;
}

bool EndsWithKml(std::string_view name)
{
    if (name.size() < 4)
        return false;
    std::string tail(name.substr(name.size() - 4));
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return tail == ".kml";
}

struct Entry {
    std::size_t central = 0; // where its central-directory record starts
    std::string_view name;
};

// Inflates the raw deflate stream packed into out, stopping past limit bytes.
ZipRead Inflate(std::string_view packed, std::uint64_t limit, std::string& out)
{
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return ZipRead::Inconsistent;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size());
    const std::size_t cap = static_cast<std::size_t>(limit) + 1; // one byte past the limit tells it
    std::size_t produced = 0;
    ZipRead result = ZipRead::Read;
    for (;;) {
        if (produced == out.size()) {
            if (produced >= cap) {
                result = ZipRead::TooLarge;
                break;
            }
            out.resize(std::min(cap, std::max<std::size_t>(64 * 1024, out.size() * 2)));
        }
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        stream.avail_out = static_cast<uInt>(out.size() - produced);
        const int status = inflate(&stream, Z_NO_FLUSH);
        produced = out.size() - stream.avail_out;
        if (status == Z_STREAM_END)
            break;
        if (status != Z_OK) {
            result = ZipRead::Inconsistent;
            break;
        }
    }
    inflateEnd(&stream);
    if (result == ZipRead::Read && produced > limit)
        result = ZipRead::TooLarge;
    out.resize(std::min(produced, out.size()));
    return result;
}

} // namespace

ZipRead ReadKmlEntry(std::string_view archive, std::string& kml)
{
    const std::optional<std::size_t> end = EndRecord(archive);
    if (!end)
        return ZipRead::NotZip;
    const std::uint16_t disk = U16(archive, *end + 4), directoryDisk = U16(archive, *end + 6);
    const std::uint16_t onDisk = U16(archive, *end + 8), entries = U16(archive, *end + 10);
    const std::uint32_t directorySize = U32(archive, *end + 12), directoryAt = U32(archive, *end + 16);
    if (entries == 0xffff || onDisk == 0xffff || directorySize == 0xffffffff || directoryAt == 0xffffffff ||
        (*end >= kZip64LocatorSize && U32(archive, *end - kZip64LocatorSize) == kZip64LocatorSignature))
        return ZipRead::Zip64;
    if (disk != 0 || directoryDisk != 0 || onDisk != entries || directoryAt > *end ||
        directorySize > *end - directoryAt)
        return ZipRead::Inconsistent;

    // Every record must lie whole within the directory, and the records fill it.
    const std::size_t directoryEnd = directoryAt + directorySize;
    std::optional<Entry> doc, firstKml;
    std::size_t at = directoryAt;
    for (std::uint16_t i = 0; i < entries; ++i) {
        if (directoryEnd - at < kCentralSize || U32(archive, at) != kCentralSignature)
            return ZipRead::Inconsistent;
        const std::size_t nameSize = U16(archive, at + 28);
        const std::size_t recordSize = kCentralSize + nameSize + U16(archive, at + 30) + U16(archive, at + 32);
        if (directoryEnd - at < recordSize)
            return ZipRead::Inconsistent;
        const Entry entry{at, archive.substr(at + kCentralSize, nameSize)};
        if (entry.name == "doc.kml" && !doc)
            doc = entry;
        if (EndsWithKml(entry.name) && !firstKml)
            firstKml = entry;
        at += recordSize;
    }
    if (at != directoryEnd)
        return ZipRead::Inconsistent;
    const std::optional<Entry> chosen = doc ? doc : firstKml;
    if (!chosen)
        return ZipRead::NoKml;

    const std::size_t c = chosen->central;
    const std::uint16_t flags = U16(archive, c + 8), method = U16(archive, c + 10);
    const std::uint32_t crc = U32(archive, c + 16), packedSize = U32(archive, c + 20);
    const std::uint32_t size = U32(archive, c + 24), localAt = U32(archive, c + 42);
    if ((flags & kEncryptedFlags) != 0)
        return ZipRead::Encrypted;
    if (packedSize == 0xffffffff || size == 0xffffffff || localAt == 0xffffffff)
        return ZipRead::Zip64;
    if (method != kStored && method != kDeflated)
        return ZipRead::Unsupported;

    // The local header must agree, and the packed bytes end before the directory.
    if (localAt > directoryAt || directoryAt - localAt < kLocalSize || U32(archive, localAt) != kLocalSignature ||
        U16(archive, localAt + 8) != method || (U16(archive, localAt + 6) & kEncryptedFlags) != 0)
        return ZipRead::Inconsistent;
    const std::size_t localNameSize = U16(archive, localAt + 26);
    const std::size_t dataAt = localAt + kLocalSize + localNameSize + U16(archive, localAt + 28);
    if (dataAt > directoryAt || packedSize > directoryAt - dataAt ||
        archive.substr(localAt + kLocalSize, localNameSize) != chosen->name)
        return ZipRead::Inconsistent;
    const std::string_view packed = archive.substr(dataAt, packedSize);

    const std::uint64_t byRatio = kMaxUnpackRatio * std::max<std::uint64_t>(packedSize, 1);
    const std::uint64_t limit = std::min(kMaxUnpackedKmlBytes, byRatio);
    const ZipRead tooBig = byRatio < kMaxUnpackedKmlBytes ? ZipRead::TooDense : ZipRead::TooLarge;
    if (size > limit)
        return tooBig;
    std::string out;
    if (method == kStored) {
        if (size != packedSize)
            return ZipRead::Inconsistent;
        out.assign(packed);
    } else if (const ZipRead inflated = Inflate(packed, limit, out); inflated != ZipRead::Read) {
        return inflated == ZipRead::TooLarge ? tooBig : inflated;
    }
    if (out.size() != size ||
        crc32(0L, reinterpret_cast<const Bytef*>(out.data()), static_cast<uInt>(out.size())) != crc)
        return ZipRead::Inconsistent;
    kml = std::move(out);
    return ZipRead::Read;
}

} // namespace vantrell
