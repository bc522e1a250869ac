#include "RequestText.h"

#include "Grouping.h"
#include "Quoting.h"
#include "TextToNumber.h"

namespace vantrell {

ScanRequest RequestOfTexts(const RequestTexts& texts)
{
    ScanRequest request;
    for (std::size_t i = 0; i < kRequestFields; ++i) {
        const ScanRequestField& field = kScanRequestFields[i];
        if (field.IsWord())
            request.*field.word = texts[i];
        else
            request.*field.number = TextToInt32(texts[i]);
    }
    return request;
}

RequestTexts TextsOf(const ScanRequest& request)
{
    RequestTexts texts;
    for (std::size_t i = 0; i < kRequestFields; ++i) {
        const ScanRequestField& field = kScanRequestFields[i];
        texts[i] = field.IsWord() ? request.*field.word : Digits(request.*field.number);
    }
    return texts;
}

std::unique_ptr<CScanJob> JobFromTexts(const RequestTexts& texts, IPointWriter& writer, ISleeper& sleeper,
                                       std::uint64_t firstPoint, IReadWatch* watch)
{
    return std::make_unique<CScanJob>(RequestOfTexts(texts), writer, sleeper, firstPoint, watch);
}

std::vector<std::string> CappedFields(const RequestTexts& texts)
{
    std::vector<std::string> sentences;
    for (std::size_t i = 0; i < kRequestFields; ++i) {
        const ScanRequestField& field = kScanRequestFields[i];
        bool capped = false;
        const std::int32_t value = field.IsWord() ? 0 : TextToInt32(texts[i], &capped);
        if (capped)
            sentences.push_back(std::string(field.name) + " holds " + Quoted(texts[i]) + ", " +
                                (value < 0 ? "less" : "more") + " than the field can hold: it is read as " +
                                Grouped(std::int64_t{value}) + ".");
    }
    return sentences;
}

} // namespace vantrell
