#pragma once
// The KML inside a KMZ: a small reader of a zip archive's central directory, for files
// from outside. Stored and deflated entries only; no encryption, no zip64, no archive
// split over disks. Nothing is allocated from a size the archive declares without the
// bytes to back it. Any thread; throws nothing.

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrell {

// The unpacked KML is refused beyond either limit, and inflating stops there.
inline constexpr std::uint64_t kMaxUnpackedKmlBytes = 64ull * 1024 * 1024;
inline constexpr std::uint64_t kMaxUnpackRatio = 200; // unpacked bytes per packed byte

enum class ZipRead {
    Read,
    NotZip,       // no end-of-central-directory record
    NoKml,        // no entry whose name ends in .kml
    Encrypted,    // the KML entry is encrypted
    Zip64,        // the archive or the entry needs the zip64 extensions
    Unsupported,  // the entry is packed another way than stored or deflated
    Inconsistent, // records that contradict each other or the bytes, or a broken stream
    TooLarge,     // it unpacks past kMaxUnpackedKmlBytes
    TooDense,     // it unpacks past kMaxUnpackRatio times its packed size
};

// The archive's "doc.kml", or else its first entry (in central-directory order) whose
// name ends in ".kml" in any case, unpacked into kml, which is set only on Read. Its size
// and CRC-32 must be the ones the directory declares.
ZipRead ReadKmlEntry(std::string_view archive, std::string& kml);

} // namespace vantrell
