// CQuoltPashkRawDataGenerator: writes the Quolt/Pashk keyword format, one line a record: a
// keyword in an 8-character field, the values separated by commas, "\r\n"
// ("STN     P1,1.500,BM").
//
// It derives from the Vemra root and reuses its unit letters and number texts; it names points
// through its own memo `outputName`, optionally renaming them to numeric names, and generates
// backsight names "#BS<n>" when the host has none. Units of what the host passes: metres and
// decimal degrees. Virtual operations are declared in slot order: the 14 of the Vemra root,
// then 11 of its own.
#pragma once

#include "contracts/dex_data.h"
#include "contracts/name_map.h"
#include "vemra/CVemraRawDataGenerator.h"

namespace orv::ie {

class CQuoltPashkRawDataGenerator : public CVemraRawDataGenerator {
public:
    /// Kinds of sight: 1 backsight "BS", 2 foresight "FS", 3 side shot "SS".
    using SightKind = int;
    /// Kinds of measurement: 0 "SD", 1 "HD", 2 "HV", 3 "OFFSET"/"PTL_OFF", 4 "XYZ".
    using MeasurementKind = int;

    /// Copies `names` when given; `useNumericNames` renames every point to a numeric name.
    CQuoltPashkRawDataGenerator(DexSettings* settings, DexJobInfo* jobInfo, DexObservationInfo* obsInfo,
                                const FreeNumericNames* names, bool useNumericNames);

    /// 1 + elevation / radius, with a radius of 1.0 or less replaced by 6371000 m.
    static double elevationFactor(double elevation, double radius) noexcept;

    // slot 0
    ~CQuoltPashkRawDataGenerator() override;
    // 1: "STN     <name>,<height>,<code>\r\n".
    bool writeStation(COrvStringT& out, COrvStringT name, COrvStringT code, double instrumentHeight) override;
    // 10: true when `name` is a key of the output-name memo.
    bool isNameMapped(const COrvStringT& name) override;
    // 12: a numeric name when renaming, else `name` unchanged.
    COrvStringT makeUniqueName(const COrvStringT& name) override;

    // 14: the seven header lines.
    virtual bool writeHeaderRecords(COrvStringT& versionLine, COrvStringT& jobLine, COrvStringT& instrumentLine,
                                    COrvStringT& unitsLine, COrvStringT& scaleLine, COrvStringT& dateLine,
                                    COrvStringT& temperatureLine);
    // 15: "BKB     <backsight>,<angle>,<angle>\r\n".
    virtual bool writeBacksightBearing(COrvStringT& out, bool generateName, COrvStringT name, double firstAngle,
                                       double secondAngle);
    // 16: "BS"/"FS"/"SS" sight lines.
    virtual bool writeSight(COrvStringT& out, SightKind kind, bool generateName, COrvStringT name, COrvStringT code,
                            COrvStringT secondText, double targetHeight);
    // 17: "MLM     <from>,<to>,<d1>,<d2>,<d3>\r\n".
    virtual bool writeMissingLine(COrvStringT& out, COrvStringT fromName, COrvStringT toName, double distance1,
                                  double distance2, double distance3);
    // 18: "RES_OBS <name>,<value>,<number>\r\n".
    virtual bool writeResectionObservation(COrvStringT& out, COrvStringT name, int number, double value);
    // 19: "SD", "HD", "HV", "OFFSET"/"PTL_OFF" or "XYZ" lines; other kinds leave `out`.
    virtual bool writeMeasurement(COrvStringT& out, MeasurementKind kind, int subKind, double value1, double value2,
                                  double value3);
    // 20: "XYZ     <x>,<y>,<z>\r\n".
    virtual COrvStringT xyzLine(double x, double y, double z);
    // 21: an STN line for a name not yet written, else the empty text.
    virtual COrvStringT stationLineIfNew(const COrvStringT& name, bool enabled, const COrvStringT& code,
                                         double instrumentHeight);
    // 22: "CTL     <t1>,<t2>,<t3>\r\n" (see the rules for empty texts).
    virtual bool writeControlCodes(COrvStringT& out, COrvStringT text1, COrvStringT text2, COrvStringT text3);
    // 23: "NOTE    <note without line breaks>\r\n"; `out` unchanged for an empty note.
    virtual bool writeNote(COrvStringT& out, COrvStringT note);
    // 24: the name written for `name`, remembered for non-empty names.
    virtual COrvStringT outputName(const COrvStringT& name);

protected:
    int m_backsightCounter;
    COrvStringT m_backsightName;
    FreeNumericNames m_numericNames;
    bool m_useNumericNames;
    NameMap m_outputNames;
};

}  // namespace orv::ie
