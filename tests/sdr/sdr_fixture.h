// Shared pieces of the SDR tests: a generator in chosen units, builders of sights, codes and
// measurements, and column slicing of fixed-width records.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "contracts/dex_data.h"
#include "sdr/CSDRRawGenerator.h"
#include "support/text.h"

namespace sdrtest {

using namespace orv::ie;
using testsupport::narrow;

constexpr double NV = noValue;

/// The characters of columns `first` to `last` (counted from 1, both included) of `line`.
inline std::string columns(const std::string& line, std::size_t first, std::size_t last) {
    if (first > line.size()) return std::string();
    return line.substr(first - 1, last - first + 1);
}
inline std::string columns(const COrvStringT& line, std::size_t first, std::size_t last) {
    return columns(narrow(line), first, last);
}

/// `text` right-aligned (true) or left-aligned in a field of `width` blanks.
inline std::string field(const std::string& text, std::size_t width, bool alignRight) {
    const std::string pad(text.size() < width ? width - text.size() : 0, ' ');
    return alignRight ? pad + text : text + pad;
}
inline std::string name16(const std::string& text) { return field(text, 16, true); }
inline std::string value16(const std::string& text) { return field(text, 16, false); }

/// The lines of a text ended by "\r\n" (each line without its end).
inline std::vector<std::string> lines(const COrvStringT& text) {
    std::vector<std::string> out;
    const std::string all = narrow(text);
    std::size_t start = 0;
    for (std::size_t end = all.find("\r\n"); end != std::string::npos; end = all.find("\r\n", start)) {
        out.push_back(all.substr(start, end - start));
        start = end + 2;
    }
    if (start < all.size()) out.push_back(all.substr(start));  // an unended last piece
    return out;
}

inline DexCodeValues code(const std::string& name,
                          std::initializer_list<std::pair<const char*, const char*>> attributes = {}) {
    DexCodeDescription description(testsupport::wide(name));
    for (const auto& attribute : attributes) description.addAttribute(testsupport::wide(attribute.first));
    DexCodeValues value(description);
    int index = 0;
    for (const auto& attribute : attributes) value.setAttrAt(index++, testsupport::wide(attribute.second));
    return value;
}

inline DexTSRawFS foresightTo(const COrvStringT& target, const DexTSRawMeasurement& measurement) {
    DexTSRawFS sight;
    sight.setTargetName(target);
    sight.setMeasurement(measurement);
    return sight;
}

/// An SDR generator in the given units; the Dex objects live as long as the fixture.
class SdrTest : public ::testing::Test {
protected:
    explicit SdrTest(EDistUnits distUnits = eMeters, EAngleUnits angleUnits = eDecimalDegrees)
        : settings(distUnits, angleUnits), gen(&settings, &job) {}

    DexSettings settings;
    DexJobInfo job;
    CSDRRawGenerator gen;
};

}  // namespace sdrtest
