// A minimal reader of a dialog's initialisation data until the shared resource reader
// is in the tree; this file goes then.

#include "ResourceReader.h"

namespace vantrell::res {

std::optional<std::vector<DialogInitEntry>> ParseDialogInit(Bytes data)
{
    std::vector<DialogInitEntry> entries;
    std::size_t at = 0;
    const auto word = [&](std::size_t i) { return static_cast<std::uint16_t>(data[i] | data[i + 1] << 8); };
    while (true) {
        if (data.size() - at < 2)
            return std::nullopt;
        const std::uint16_t id = word(at);
        if (id == 0)
            return entries;
        if (data.size() - at < 8)
            return std::nullopt;
        const std::uint16_t message = word(at + 2);
        const std::uint32_t length = word(at + 4) | static_cast<std::uint32_t>(word(at + 6)) << 16;
        at += 8;
        if (data.size() - at < length)
            return std::nullopt;
        std::string text(reinterpret_cast<const char*>(data.data() + at), length);
        while (!text.empty() && text.back() == '\0')
            text.pop_back();
        entries.push_back({id, message, std::move(text)});
        at += length;
    }
}

} // namespace vantrell::res
