#include "SmallFile.h"

#include "Grouping.h"
#include "Quoting.h"

namespace vantrell {

bool ReadSmallFileOrSay(std::string_view path, std::uint64_t maxBytes, std::string& text, std::string& error)
{
    const std::string file = Quoted(path);
    switch (ReadSmallFile(path, maxBytes, text)) {
    case SmallFile::Read: return true;
    case SmallFile::Missing: error = "There is no file " + file + "."; break;
    case SmallFile::Unreadable: error = file + " could not be read."; break;
    case SmallFile::NotPlain: error = file + " is not a plain file."; break;
    case SmallFile::TooLarge: error = file + " is larger than " + Grouped(maxBytes / (1024 * 1024)) + " MB."; break;
    }
    return false;
}

} // namespace vantrell
