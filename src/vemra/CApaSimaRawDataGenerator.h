// CApaSimaRawDataGenerator: the ApaSima dialect of the Vemra raw text. Its records are the
// Vemra records with every angle written as packed degrees-minutes-seconds digits, and it
// gives the host the texts of the dialect's program, job, atmosphere and constant entries.
#pragma once

#include "vemra/CVemraRawDataGenerator.h"

namespace orv::ie {

class CApaSimaRawDataGenerator : public CVemraRawDataGenerator {
public:
    using CVemraRawDataGenerator::CVemraRawDataGenerator;

    /// The field `index` (from 0) of `text` between `separator`s. False, leaving `out`
    /// unchanged, for a null text; false with `out` emptied when the text has fewer fields.
    static bool extractField(COrvStringT& out, const wchar_t* text, int index, wchar_t separator);

    // slot 0
    ~CApaSimaRawDataGenerator() override;
    // 5: packed degrees-minutes-seconds for every angle unit.
    COrvStringT angleToString(double degrees, int precision) override;

    // 14: the program name and "Ver <version>".
    virtual bool writeProgramInfo(COrvStringT& program, COrvStringT& version);
    // 15: the job name, three empty texts and the creation date "d/m/y" reversed to "y/m/d";
    // missing components stay empty ("2009" gives "//2009", no creation date "//").
    virtual bool writeJobInfo(COrvStringT& job, COrvStringT& second, COrvStringT& third, COrvStringT& fourth,
                              COrvStringT& date);
    // 16: "1", "1", temperature, pressure, ppm, "1". The temperature is in the unit the
    // observation settings report, the pressure always in hPa, each with one decimal ("%.1lf").
    // A value the settings do not hold (or no settings at all) is written "0.0", the same zero
    // that the job header writes for a missing atmospheric value.
    virtual bool writeAtmosphere(COrvStringT& first, COrvStringT& second, COrvStringT& temperature,
                                 COrvStringT& pressure, COrvStringT& ppm, COrvStringT& last);
    // 17: the observation constant for kinds 1 and 3 ("%02.0f": 5 gives "05", -30 "-30", 0.4
    // "00"); "+00" for a zero constant and for every other kind.
    virtual bool writeObsConstant(int kind, COrvStringT& out);
};

}  // namespace orv::ie
