#pragma once
// A request as the user typed it: the thirteen texts in the form's reading order
// (kScanRequestFields), the request they make through the form's text-to-number rule, and
// the job made from it.

#include "ScanJob.h"
#include "ScanRequest.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace vantrell {

using RequestTexts = std::array<std::string, kRequestFields>;

// The request these texts make: numbers through the form's text-to-number rule (capped
// at the int32 limits), words as typed.
ScanRequest RequestOfTexts(const RequestTexts& texts);
// The texts the form's fields would show for request: numbers in decimal, the words.
RequestTexts TextsOf(const ScanRequest& request);

// The job these texts make; its points and waits go to writer and sleeper, which must
// outlive it, as must watch. As CScanJob's constructor for firstPoint and watch.
std::unique_ptr<CScanJob> JobFromTexts(const RequestTexts& texts, IPointWriter& writer, ISleeper& sleeper,
                                       std::uint64_t firstPoint = 1, IReadWatch* watch = nullptr);

// One sentence for each number too large or too small for its field, which the job takes
// at the int32 limit: "Miles South holds 99999999999999, more than the field can hold: it
// is read as 2,147,483,647."
std::vector<std::string> CappedFields(const RequestTexts& texts);

} // namespace vantrell
