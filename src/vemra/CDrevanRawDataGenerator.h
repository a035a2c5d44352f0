// CDrevanRawDataGenerator: the Drevan dialect of the Vemra raw text. Its station and header
// records are the Vemra ones; its observation record is one compact measurement field of
// fixed-width digit groups and filler texts, chosen by the measurement type, which can carry
// computed values and the target's coordinates.
#pragma once

#include "vemra/CVemraRawDataGenerator.h"

namespace orv::ie {

class CDrevanRawDataGenerator : public CVemraRawDataGenerator {
public:
    using CVemraRawDataGenerator::CVemraRawDataGenerator;

    /// A fixed-width coordinate field with implied decimal point: `width` digits, `precision`
    /// of them decimals, led by "+"/"-" when `withSign`; a value with more integer digits than
    /// the field allows takes the sign's place (width + 1 digits, no sign) and a longer text
    /// loses its lowest decimals. The coordinate is written in metres; `withUnit` appends the
    /// job's distance letter. A text without a point (no decimals) counts wholly as integer
    /// digits. A width beyond utils::kMaxFieldWidth is taken as that width.
    COrvStringT coordField(double value, bool withSign, bool withUnit, int precision, int width);

    // slot 0
    ~CDrevanRawDataGenerator() override;
    // 2: the Drevan observation record "+<name>_ <group>_*<code>_,<target height>_" (target
    // height with 4 decimals, name never shortened); the group by measurement type: 0 "W"
    // (with target coordinates) or "?" (with the horizontal distance), 1 "R" (with the
    // zenith), 2 "<", 9 "D", 10 "A", 11 "E", any other "U" with coordinates or nothing.
    // Empty for measurement type 3.
    bool writeObservation(COrvStringT& out, COrvStringT name, int measType, double value1, double value2, double value3,
                          COrvStringT code, double targetHeight, const DexTSRawMeasurement* extraValue,
                          const DexTSRawMeasurement* coordSource) override;
    // 4: "d", "g" or "m" from the job's angle units.
    COrvStringT angleUnitsLetter(bool upper) override;
    // 5: gons, mils with one decimal fewer, else packed degrees-minutes-seconds.
    COrvStringT angleToString(double degrees, int precision) override;
};

}  // namespace orv::ie
