// walkdump: prints the first COUNT points of the real walk, one per line, as
// "LATITUDE LONGITUDE RANGE" formatted exactly as the LookAt file formats them. For
// comparing the walk across builds and platforms; not part of the product.

#include "LookAtDocument.h"
#include "RequestText.h"
#include "ScanJob.h"
#include "TextToNumber.h"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

using vantrell::TextToInt32;

// Prints each point; the walk has no end of its own, so the COUNT-th point ends the process.
class CPrintingWriter final : public vantrell::IPointWriter {
public:
    explicit CPrintingWriter(std::int64_t count) : m_left(count) {}

    void WritePoint(float latitude, float longitude, std::int32_t range) override
    {
        char line[128];
        char* const end = line + sizeof line;
        char* p = vantrell::FormatCoordinate(line, end, latitude);
        *p++ = ' ';
        p = vantrell::FormatCoordinate(p, end, longitude);
        *p++ = ' ';
        p = vantrell::FormatRange(p, end, range);
        *p++ = '\n';
        std::fwrite(line, 1, static_cast<std::size_t>(p - line), stdout);
        if (--m_left == 0) {
            std::fflush(stdout);
            std::exit(0);
        }
    }

private:
    std::int64_t m_left;
};

class CNoSleeper final : public vantrell::ISleeper {
public:
    void Sleep(std::uint64_t) override {}
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 + static_cast<int>(vantrell::kRequestFields)) {
        std::fputs("usage: walkdump COUNT LATDEG LATMIN LATSEC LATWORD LONDEG LONMIN LONSEC LONWORD "
                   "EAST SOUTH SPEED RANGE RESOLUTION\n",
                   stderr);
        return 2;
    }
#ifdef _WIN32
    // Lines end in LF on every platform, so outputs compare byte for byte.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const std::int32_t count = TextToInt32(argv[1]);
    if (count <= 0)
        return 0;
    CPrintingWriter writer(count);
    CNoSleeper sleeper;
    // The request as the form would read these texts.
    vantrell::RequestTexts texts;
    for (std::size_t i = 0; i < texts.size(); ++i)
        texts[i] = argv[2 + i];
    vantrell::CScanJob job(vantrell::RequestOfTexts(texts), writer, sleeper);
    job.Run(); // returns only when the request yields no points
    return 0;
}
