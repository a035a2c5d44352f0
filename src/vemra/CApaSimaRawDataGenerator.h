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
    // 15: the job name, three empty texts and the creation date reversed ("yyyy/mm/dd").
    virtual bool writeJobInfo(COrvStringT& job, COrvStringT& second, COrvStringT& third, COrvStringT& fourth,
                              COrvStringT& date);
    // 16: "1", "1", temperature, pressure (hPa), ppm (one decimal each), "1".
    virtual bool writeAtmosphere(COrvStringT& first, COrvStringT& second, COrvStringT& temperature,
                                 COrvStringT& pressure, COrvStringT& ppm, COrvStringT& last);
    // 17: the observation constant for kinds 1 and 3 ("%02.0f"), else "+00".
    virtual bool writeObsConstant(int kind, COrvStringT& out);
};

}  // namespace orv::ie
