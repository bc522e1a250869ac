#pragma once
#include <atomic>
#include <string>
#include <string_view>

namespace vantrell {

// fileName + ".<process>-<n>.tmp": unique to one replacer among all running processes.
inline std::string TemporaryName(std::string_view fileName, unsigned long process)
{
    static std::atomic<unsigned long> next{0};
    return std::string(fileName) + "." + std::to_string(process) + "-" + std::to_string(next.fetch_add(1)) + ".tmp";
}

} // namespace vantrell
