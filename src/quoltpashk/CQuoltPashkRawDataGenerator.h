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

    /// Borrows the three Dex objects (any may be null) and copies `names` when given (else a
    /// fresh list); `useNumericNames` renames every point to a numeric name.
    CQuoltPashkRawDataGenerator(DexSettings* settings, DexJobInfo* jobInfo, DexObservationInfo* obsInfo,
                                const FreeNumericNames* names, bool useNumericNames);

    /// 1 + elevation / radius, with a radius of 1.0 or less replaced by 6371000 m.
    static double elevationFactor(double elevation, double radius) noexcept;

    // slot 0
    ~CQuoltPashkRawDataGenerator() override;
    // 1: "STN     <name>,<height>,<code>\r\n": the name through outputName, the instrument
    // height with 3 decimals in the job's units; an empty code leaves the final comma.
    bool writeStation(COrvStringT& out, COrvStringT name, COrvStringT code, double instrumentHeight) override;
    // 10: true when `name` is a key of the output-name memo.
    bool isNameMapped(const COrvStringT& name) override;
    // 12: a numeric name when renaming, else `name` unchanged.
    COrvStringT makeUniqueName(const COrvStringT& name) override;

    // 14: the seven header lines, each ended by "\r\n": "<program>v<version>",
    // "JOB     <name>,<text2>,<text3>", "INST    <instrument>", "UNITS   M|F,G|M|D",
    // "SCALE   <combined>,<grid scale>,<elevation>" (6 decimals; the elevation in the job's own
    // distance units; scale 1 and elevation 0 when the settings hold none),
    // "DATE    <creation date>,<creation time>", "TEMP    <temperature>,<pressure>" (1 decimal,
    // in the units the settings report; 20 °C and 0 when they hold none).
    virtual bool writeHeaderRecords(COrvStringT& versionLine, COrvStringT& jobLine, COrvStringT& instrumentLine,
                                    COrvStringT& unitsLine, COrvStringT& scaleLine, COrvStringT& dateLine,
                                    COrvStringT& temperatureLine);
    // 15: "BKB     <backsight>,<angle>,<angle>\r\n" (angles with 5 decimals). `generateName`
    // takes a fresh numeric name (numeric renaming) or "#BS<n>"; the name written becomes the
    // backsight that later generated BS sights repeat.
    virtual bool writeBacksightBearing(COrvStringT& out, bool generateName, COrvStringT name, double firstAngle,
                                       double secondAngle);
    // 16: "BS      <name>,<height>" or "FS"/"SS" with ",<code>,<second text>" (the second
    // text only after a code; an empty code leaves the final comma). A BS with `generateName`
    // repeats the last BKB backsight, or generates a name of its own before the first BKB.
    virtual bool writeSight(COrvStringT& out, SightKind kind, bool generateName, COrvStringT name, COrvStringT code,
                            COrvStringT secondText, double targetHeight);
    // 17: "MLM     <from>,<to>,<d1>,<d2>,<d3>\r\n" (distances with 4 decimals).
    virtual bool writeMissingLine(COrvStringT& out, COrvStringT fromName, COrvStringT toName, double distance1,
                                  double distance2, double distance3);
    // 18: "RES_OBS <name>,<value>,<number>\r\n" (the value as a distance with 3 decimals).
    virtual bool writeResectionObservation(COrvStringT& out, COrvStringT name, int number, double value);
    // 19: by kind: 0 "SD <h>,<v>,<sd>", 1 "HD <h>,<hd>,<dz>", 2 "HV <h>,<v>", 3 "OFFSET" (or
    // "PTL_OFF" for sub-kind 2) "<value2>,<value3>,<value1>", 4 the xyzLine of (value2, value1,
    // value3). Angles with 5 decimals, distances with 4. Other kinds leave `out` unchanged.
    virtual bool writeMeasurement(COrvStringT& out, MeasurementKind kind, int subKind, double value1, double value2,
                                  double value3);
    // 20: "XYZ     <x>,<y>,<z>\r\n" (4 decimals each).
    virtual COrvStringT xyzLine(double x, double y, double z);
    // 21: an STN line for a name not yet written, else the empty text.
    virtual COrvStringT stationLineIfNew(const COrvStringT& name, bool enabled, const COrvStringT& code,
                                         double instrumentHeight);
    // 22: "CTL     <t1>,<t2>,<t3>\r\n"; an empty first text leaves its place empty, an empty
    // second text ends the line after the first (dropping the third); all empty give "".
    virtual bool writeControlCodes(COrvStringT& out, COrvStringT text1, COrvStringT text2, COrvStringT text3);
    // 23: "NOTE    <note without line breaks>\r\n"; `out` unchanged for an empty note.
    virtual bool writeNote(COrvStringT& out, COrvStringT note);
    // 24: the name written for `name`: remembered for a non-empty name; an empty name is never
    // looked up and gets a fresh name each time, stored under the empty name.
    virtual COrvStringT outputName(const COrvStringT& name);

private:
    // A generated backsight name ("#BS<n>" or a fresh numeric name); advances the counter.
    COrvStringT generatedBacksightName();
    // The values of the SCALE and TEMP header lines.
    COrvStringT scaleValues();
    COrvStringT atmosphereValues();

protected:
    int m_backsightCounter;
    COrvStringT m_backsightName;
    FreeNumericNames m_numericNames;
    bool m_useNumericNames;
    NameMap m_outputNames;
};

}  // namespace orv::ie
