#include "vemra/CDrevanRawDataGenerator.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "contracts/text_services.h"

namespace orv::ie {

namespace {

// Measurement types of their own record (besides 0 to 3 of the foresight).
constexpr int kMeasSlopeDistanceOnly = 9;
constexpr int kMeasDistanceA = 10;
constexpr int kMeasDistanceE = 11;

// Closes the full observation groups: placeholders of the fields this record leaves out.
constexpr const wchar_t* kObservationFiller = L"***+**+**000";
constexpr const wchar_t* kClosingZeros = L"000";

constexpr long long kIntMax = INT_MAX;

// The data library's supplementary value can give the horizontal distance or the zenith.
bool hasExtra(const DexTSRawMeasurement* extraValue, EMeasurementKind kind) {
    return extraValue != nullptr && extraValue->kind() == kind;
}

// The horizontal distance of a slope measurement: the data library's own value when it has
// one, else computed from the zenith angle and the slope distance.
double horizontalDistanceOf(double zenith, double slopeDistance, const DexTSRawMeasurement* extraValue) {
    if (hasExtra(extraValue, eKindHorizontalDistanceOnly)) return extraValue->valueAt(0);
    return std::fabs(std::sin(zenith * kRadiansPerDegree) * slopeDistance);
}

// The zenith angle of a horizontal-distance measurement: the data library's own value when it
// has one, else computed from the horizontal distance and the height difference (0 when the
// horizontal distance is 0).
double zenithOf(double horizontal, double heightDifference, const DexTSRawMeasurement* extraValue) {
    if (hasExtra(extraValue, eKindZenithOnly)) return extraValue->valueAt(0);
    if (horizontal == 0.0) return 0.0;
    return std::atan2(horizontal, heightDifference) * kDegreesPerRadian;
}

}  // namespace

CDrevanRawDataGenerator::~CDrevanRawDataGenerator() = default;

COrvStringT CDrevanRawDataGenerator::angleUnitsLetter(bool upper) {
    return CVemraRawDataGenerator::angleUnitsLetter(upper);  // the same letters as the base
}

COrvStringT CDrevanRawDataGenerator::angleToString(double degrees, int precision) {
    // Asked of the job at every call. Mils carry one decimal fewer than asked, so a mil field
    // with its unit letter (three decimals asked) holds two.
    switch (m_jobInfo != nullptr ? m_jobInfo->getAngleUnits() : eDegrees) {
        case eGons:
            return utils::angleByStyleToString(eGons, degrees, precision);
        case eMils:
            return utils::angleByStyleToString(eMils, degrees, precision > 0 ? precision - 1 : 0);
        default:
            return utils::angleByStyleToString(eDegMinSec, degrees, precision);
    }
}

COrvStringT CDrevanRawDataGenerator::coordField(double value, bool withSign, bool withUnit, int precision, int width) {
    width = std::min(width, utils::kMaxFieldWidth);  // no field is wider than the widest one
    COrvStringT digits = utils::coordsByStyleToString(eCoordsStyle5, std::fabs(value), precision, eSignNegativeOnly);
    // The integer digits are those before the point; a text without one (no decimals, or no
    // number at all) is integer digits throughout.
    const int point = digits.Find(L'.');
    const long long integerDigits = point >= 0 ? point : digits.GetLength();
    if (point >= 0) digits.Delete(point, 1);

    // A coordinate too large for its integer places takes the sign's place for one more digit.
    COrvStringT field;
    long long fieldWidth = width;
    if (integerDigits > static_cast<long long>(width) - precision) {
        fieldWidth = static_cast<long long>(width) + 1;
    } else if (withSign) {
        field += value < 0.0 ? L'-' : L'+';
    }
    const long long length = utils::getMbcsLength(digits);
    if (length < fieldWidth) field += COrvStringT(L'0', static_cast<int>(std::min(fieldWidth - length, kIntMax)));
    if (fieldWidth > 0) field += digits.view().substr(0, static_cast<std::size_t>(fieldWidth));
    if (withUnit) field += distUnitsLetter(false);
    return field;
}

bool CDrevanRawDataGenerator::writeObservation(COrvStringT& out, COrvStringT name, int measType, double value1,
                                               double value2, double value3, COrvStringT code, double targetHeight,
                                               const DexTSRawMeasurement* extraValue,
                                               const DexTSRawMeasurement* coordSource) {
    if (measType == DexTSRawFS::eMeasHorizontalAngleOffset) {
        out.Empty();
        return true;
    }

    // The target name is written whole here; a nameless target is a blank.
    out.Empty();
    appendCoded(out, L"+", name.IsEmpty() ? COrvStringT(L" ") : mappedName(name, true));
    out += L' ';

    // One measurement group, chosen by the measurement type. Angles keep their sign here and
    // are not moved by a full circle; the fields write their magnitude.
    switch (measType) {
        case DexTSRawFS::eMeasNormal:
            if (coordSource != nullptr) {
                out += L'W';
                out += distField(value3, true, true, 4, 9);
                out += angleField(value2, false, false, 5);
                out += angleField(value1, true, true, 5);
                out += coordField(coordSource->valueAt(0), true, false, 4, 10);
                out += coordField(coordSource->valueAt(1), true, false, 4, 10);
                out += coordField(coordSource->valueAt(2), true, false, 4, 10);
            } else {
                out += L'?';
                out += distField(value3, true, true, 3, 8);
                out += angleField(value2, false, false, 4);
                out += angleField(value1, true, true, 4);
                out += distField(horizontalDistanceOf(value2, value3, extraValue), true, false, 3, 8);
            }
            out += kObservationFiller;
            break;
        case DexTSRawFS::eMeasHorizontalDistance:
            out += L'R';
            out += distField(value2, true, true, 3, 8);
            out += angleField(zenithOf(value2, value3, extraValue), false, false, 4);
            out += angleField(value1, true, true, 4);
            out += distField(value3, true, false, 3, 8);
            out += kObservationFiller;
            break;
        case DexTSRawFS::eMeasAnglesOnly:
            out += L'<';
            out += angleField(value2, false, false, 4);
            out += angleField(value1, true, false, 4);
            out += L"+****";
            out += angleUnitsLetter(false);
            out += kClosingZeros;
            break;
        case kMeasSlopeDistanceOnly:
        case kMeasDistanceA:
        case kMeasDistanceE:
            out += measType == kMeasSlopeDistanceOnly ? L'D' : measType == kMeasDistanceA ? L'A' : L'E';
            out += distField(value1, true, true, 3, 8);
            out += kClosingZeros;
            break;
        default:
            // The target's coordinates; only the text-offset type also gives its horizontal angle.
            if (coordSource != nullptr) {
                const double horizontal = measType == DexTSRawFS::eMeasDistanceOffsetsText ? value1 : 0.0;
                out += L'U';
                out += coordField(coordSource->valueAt(0), true, false, 3, 8);
                out += coordField(coordSource->valueAt(1), true, false, 3, 8);
                out += coordField(coordSource->valueAt(2), true, true, 3, 8);
                out += angleField(horizontal, true, true, 4);
                out += kClosingZeros;
            }
            break;
    }

    out += L'_';  // closes the measurement group
    appendCoded(out, L"*", cleanCode(code));
    appendCoded(out, L",", distToString(targetHeight, 4));
    return true;
}

}  // namespace orv::ie
