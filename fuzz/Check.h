#pragma once
// What a fuzz target does on a broken promise: says which, with the input's own account,
// and aborts, which libFuzzer and a plain replay both report as a failure. Works the same
// with NDEBUG, unlike assert.

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vantrell::fuzz {

// Set by the target for each input; printed with any failure.
inline std::string g_input;

[[noreturn]] inline void Fail(const char* file, int line, const char* what)
{
    std::fprintf(stderr, "%s:%d: broken: %s\ninput: %s\n", file, line, what, g_input.c_str());
    std::abort();
}

} // namespace vantrell::fuzz

#define FUZZ_CHECK(condition) \
    do { \
        if (!(condition)) \
            ::vantrell::fuzz::Fail(__FILE__, __LINE__, #condition); \
    } while (0)
