#pragma once
// res/Vantrell.rc as windres compiled it (a .res file), built into the Linux program so
// that it needs no file beside it. Read it with res::CResFile.

#include <cstdint>
#include <span>

namespace vantrell {

std::span<const std::uint8_t> CompiledResources();

} // namespace vantrell
