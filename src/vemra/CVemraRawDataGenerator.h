// CVemraRawDataGenerator: writes the Vemra raw text format, one record a line, each a run of
// fields "<code><value>_" ("'ST1_(BM_)1.500_", "+P7_ a+0900000d_ b0900000d_ c+00100000m_*_,1.500_").
//
// Root of the Vemra family: the ApaSima and Drevan dialects and the Quolt/Pashk keyword
// generator derive from it, and every record calls the formatting and naming operations
// virtually so that their overrides take effect. Records carry no line end; the host ends
// each line. Units of what the host passes: metres and decimal degrees. Virtual operations
// are declared in slot order; that order is part of the interface.
#pragma once

#include <cstddef>
#include <new>

#include "contracts/dex_data.h"
#include "contracts/name_map.h"
#include "contracts/orv_string.h"

namespace orv::ie {

class CVemraRawDataGenerator {
public:
    /// Generators live on the utility heap: orv_operator_new, released with dlfree.
    static void* operator new(std::size_t size);
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
    static void operator delete(void* block) noexcept;
    static void operator delete(void* block, const std::nothrow_t&) noexcept;

    /// Borrows the three objects (any may be null: metres, degrees and no values then).
    CVemraRawDataGenerator(DexSettings* settings, DexJobInfo* jobInfo, DexObservationInfo* obsInfo);
    CVemraRawDataGenerator(const CVemraRawDataGenerator&) = delete;
    CVemraRawDataGenerator& operator=(const CVemraRawDataGenerator&) = delete;

    // slot 0
    virtual ~CVemraRawDataGenerator();
    // 1: "'<name>_(<code>_)<instrument height>_": the name mapped (never shortened), the code
    // cleaned, the height with 3 decimals in the job's units.
    virtual bool writeStation(COrvStringT& out, COrvStringT name, COrvStringT code, double instrumentHeight);
    // 2: "+<name>_ a+<h>_ b<v>_ c<sd>_*<code>_,<target height>_"; type 1 writes " d<hd>" and
    // " e<dz>" instead, type 2 has no third field, type 3 gives the empty record. The name is
    // looked up by its first 8 characters (a blank when empty); angles of 0 or less are moved
    // up by 360. `extraValue` and `coordSource` are not read here.
    virtual bool writeObservation(COrvStringT& out, COrvStringT name, int measType, double value1, double value2,
                                  double value3, COrvStringT code, double targetHeight,
                                  const DexTSRawMeasurement* extraValue, const DexTSRawMeasurement* coordSource);
    // 3: "_!<job>_\"<text3>_#<instrument>_$<date>_%<temperature>_&<pressure>_": the device's
    // short date with "/" separators, the temperature with 3 decimals and the pressure as a
    // whole number, both in the units the observation settings report; "0.000" and "000" when
    // the settings hold none.
    virtual bool writeJobHeader(COrvStringT& out);
    // 4: "d", "g" or "m" (upper case when asked) from the job's angle units.
    virtual COrvStringT angleUnitsLetter(bool upper);
    // 5: an angle in the job's units (gons, mils, else packed degrees-minutes-seconds).
    virtual COrvStringT angleToString(double degrees, int precision);
    // 6: "m" for metres, "f" for feet (upper case when asked).
    virtual COrvStringT distUnitsLetter(bool upper);
    // 7: a distance in the job's units.
    virtual COrvStringT distToString(double metres, int precision);
    // 8: a fixed-width distance field with implied decimal point: optional sign, the digits of
    // distToString without ".", zero-padded on the left or cut to `width` (losing the lowest
    // decimals; at most utils::kMaxFieldWidth digits), optional unit letter.
    virtual COrvStringT distField(double metres, bool withSign, bool withUnit, int precision, int width);
    // 9: a 7-digit angle field with implied decimal point, built like distField; a mil field
    // with its unit letter always has 3 decimals.
    virtual COrvStringT angleField(double degrees, bool withSign, bool withUnit, int precision);
    // 10: true when `name` is a key of the point-name map.
    virtual bool isNameMapped(const COrvStringT& name);
    // 11: the output name of `name` (remembered when `remember`).
    virtual COrvStringT mappedName(const COrvStringT& name, bool remember);
    // 12: `name` without "+" and "_", numbered when that is already a key.
    virtual COrvStringT makeUniqueName(const COrvStringT& name);
    // 13: `code` without "*" and "_".
    virtual COrvStringT cleanCode(const COrvStringT& code);

protected:
    // A field of a record: its code, its value and the closing "_" ("*TREE_"); the dialects'
    // records are built of the same fields.
    static void appendCoded(COrvStringT& out, const wchar_t* code, const COrvStringT& value);

    DexSettings* m_settings;
    DexJobInfo* m_jobInfo;
    EDistUnits m_distUnits;
    EAngleUnits m_angleUnits;
    DexObservationInfo* m_obsInfo;
    NameMap m_nameMap;
};

}  // namespace orv::ie
