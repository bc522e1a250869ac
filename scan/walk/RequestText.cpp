#include "RequestText.h"

#include "Grouping.h"
#include "Quoting.h"
#include "TextToNumber.h"

namespace vantrell {

std::unique_ptr<CScanJob> JobFromTexts(const RequestTexts& texts, IPointWriter& writer, ISleeper& sleeper,
                                       std::uint64_t firstPoint, IReadWatch* watch)
{
    const auto number = [&](std::size_t i) { return TextToInt32(texts[i]); };
    return std::make_unique<CScanJob>(number(0), number(1), number(2), texts[3], number(4), number(5), number(6),
                                      texts[7], number(8), number(9), number(10), number(11), number(12), writer,
                                      sleeper, firstPoint, watch);
}

std::vector<std::string> CappedFields(const RequestTexts& texts)
{
    std::vector<std::string> sentences;
    for (std::size_t i = 0; i < kRequestFields; ++i) {
        bool capped = false;
        const std::int32_t value = IsWordField(i) ? 0 : TextToInt32(texts[i], &capped);
        if (capped)
            sentences.push_back(std::string(kFieldNames[i]) + " holds " + Quoted(texts[i]) + ", " +
                                (value < 0 ? "less" : "more") + " than the field can hold: it is read as " +
                                Grouped(std::int64_t{value}) + ".");
    }
    return sentences;
}

} // namespace vantrell
