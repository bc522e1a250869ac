# cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -P EmbedBytes.cmake
# Writes a C++ source whose vantrell::CompiledResources() returns INPUT's bytes.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" digits)
if(digits EQUAL 0)
    message(FATAL_ERROR "${INPUT} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Sixteen bytes a line keeps the file readable and the compiler's lines short.
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
file(WRITE ${OUTPUT}.tmp
"// Generated from ${INPUT} by EmbedBytes.cmake.
#include \"CompiledResources.h\"

namespace vantrell {
namespace {
alignas(4) constexpr std::uint8_t kBytes[] = {
    ${bytes}
};
} // namespace

std::span<const std::uint8_t> CompiledResources() { return kBytes; }

} // namespace vantrell
")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
