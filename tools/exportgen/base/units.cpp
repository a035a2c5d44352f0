#include "base/units.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "base/problems.h"
#include "base/text.h"
#include "contracts/text_services.h"

namespace exportgen {

using namespace orv::ie;

namespace {

// The words of "inputUnits", each with its unit.
constexpr std::pair<const char*, EDistUnits> kDistanceWords[] = {{"metres", eMeters},
                                                                 {"usSurveyFeet", eUSFeet},
                                                                 {"internationalFeet", eInternationalFeet},
                                                                 {"usSurveyFeetInches", eUSFeetInches},
                                                                 {"internationalFeetInches", eInternationalFeetInches}};
constexpr std::pair<const char*, EAngleUnits> kAngleWords[] = {
    {"decimalDegrees", eDecimalDegrees}, {"gons", eGons}, {"mils", eMils}, {"packedDms", eDegMinSec}};

template <typename Words>
std::string listed(const Words& words) {
    std::string list;
    for (const auto& [word, unit] : words) list += (list.empty() ? "" : ", ") + std::string(word);
    return list;
}

}  // namespace

double InputUnits::metres(double value) const noexcept {
    switch (distance) {
        case eUSFeet:
        case eUSFeetInches:
            // Multiplying first keeps typical values exact until the one division, as the
            // contracts' conversion the other way does.
            return value * 1200.0 / 3937.0;
        case eInternationalFeet:
        case eInternationalFeetInches:
            return value * 0.3048;
        default:
            return value;
    }
}

double InputUnits::degrees(double value) const noexcept {
    return angle == eDecimalDegrees ? value : utils::angleToDecDeg(value, angle);
}

double InputUnits::fromMetres(double metres) const noexcept {
    switch (distance) {
        case eUSFeet:
        case eUSFeetInches:
            return metres * 3937.0 / 1200.0;
        case eInternationalFeet:
        case eInternationalFeetInches:
            return metres / 0.3048;
        default:
            return metres;
    }
}

double InputUnits::fromDegrees(double degrees) const noexcept {
    switch (angle) {
        case eGons:
            return degrees * 10.0 / 9.0;
        case eMils:
            return degrees * 160.0 / 9.0;
        case eDegMinSec: {
            // Rounded to the tenth of a millisecond before it is split, so that no carry shows
            // as 60 minutes or seconds.
            const double magnitude = std::round(std::fabs(degrees) * 36e6) / 36e6;
            const double whole = std::floor(magnitude);
            const double minutes = std::floor((magnitude - whole) * 60.0 + 1e-9);
            const double seconds = std::max(0.0, ((magnitude - whole) * 60.0 - minutes) * 60.0);
            return std::copysign(whole + minutes / 100.0 + seconds / 10000.0, degrees);
        }
        default:
            return degrees;
    }
}

const char* unitWord(EDistUnits unit) noexcept {
    for (const auto& [word, candidate] : kDistanceWords) {
        if (candidate == unit) return word;
    }
    return "metres";
}

const char* unitWord(EAngleUnits unit) noexcept {
    if (unit == eDegrees) return "decimalDegrees";
    for (const auto& [word, candidate] : kAngleWords) {
        if (candidate == unit) return word;
    }
    return "decimalDegrees";
}

std::optional<EDistUnits> distanceUnitOfWord(std::string_view word) noexcept {
    for (const auto& [candidate, unit] : kDistanceWords) {
        if (word == candidate) return unit;
    }
    return std::nullopt;
}

std::optional<EAngleUnits> angleUnitOfWord(std::string_view word) noexcept {
    for (const auto& [candidate, unit] : kAngleWords) {
        if (word == candidate) return unit;
    }
    return std::nullopt;
}

std::string distanceWords() { return listed(kDistanceWords); }
std::string angleWords() { return listed(kAngleWords); }

StatedUnits statedUnits(std::string_view text) {
    const std::string given(text);
    const auto refuse = [&](const std::string& what) {
        throw SettingError("input-units", given,
                           what + "; expected DIST,ANGLE or either alone, DIST one of " + distanceWords() +
                               " and ANGLE one of " + angleWords());
    };
    StatedUnits units;
    std::size_t at = 0;
    int words = 0;
    while (at <= text.size()) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        const std::string_view word = text.substr(at, comma - at);
        at = comma + 1;
        if (++words > 2) refuse("more than two units");
        if (word.empty()) refuse("a unit is left empty");
        if (const auto distance = distanceUnitOfWord(word)) {
            if (units.distance) refuse("two distance units");
            units.distance = distance;
        } else if (const auto angle = angleUnitOfWord(word)) {
            if (units.angle) refuse("two angle units");
            units.angle = angle;
        } else {
            refuse(shownName(word) + " is no unit");
        }
    }
    return units;
}

const char* unitName(EDistUnits unit) noexcept {
    switch (unit) {
        case eUSFeet:
        case eUSFeetInches:
            return "US survey feet";
        case eInternationalFeet:
        case eInternationalFeetInches:
            return "international feet";
        default:
            return "metres";
    }
}

const char* unitName(EAngleUnits unit) noexcept {
    switch (unit) {
        case eGons:
            return "gons";
        case eMils:
            return "mils";
        case eDegMinSec:
            return "DMS";
        default:
            return "degrees";
    }
}

std::string shownFigure(double value) {
    if (!std::isfinite(value)) return std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 10);
    std::string text(buffer, result.ptr);
    if (text == "-0") text = "0";
    return text;
}

}  // namespace exportgen
