// The job data model that a host fills and the generators read: settings, job and
// observation information, stations and design points, sights with their measurements,
// codes with attributes, and the supply of free numeric point names.
//
// These are plain in-memory classes. Getters that report an optional value through
// out-parameters return false and leave the out-parameters unchanged when the value is absent.
// Units: distances, heights and coordinates in metres; angles in decimal degrees.
#pragma once

#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "contracts/heap.h"
#include "contracts/orv_string.h"
#include "contracts/units.h"

namespace orv::ie {

// ---------------------------------------------------------------------------------------------
// Job information

/// The job's identity, units and creation time.
class DexJobInfo {
public:
    COrvStringT appName;     ///< the field program's name
    COrvStringT appVersion;  ///< the field program's version
    COrvStringT jobName;
    COrvStringT jobText2;
    COrvStringT jobText3;

    [[nodiscard]] EAngleUnits getAngleUnits() const noexcept { return m_angleUnits; }
    /// Writes the job's distance units (metres when it has none); true when it has them.
    bool getDistUnits(EDistUnits& units) const noexcept;
    /// The creation date and time texts; false, leaving both unchanged, when there are none.
    bool getCreateTimeString(COrvStringT& date, COrvStringT& time) const;

    void setAngleUnits(EAngleUnits units) noexcept { m_angleUnits = units; }
    void setDistUnits(EDistUnits units) noexcept { m_distUnits = units; }
    void clearDistUnits() noexcept { m_distUnits.reset(); }
    void setCreateTime(const COrvStringT& date, const COrvStringT& time);
    void clearCreateTime() noexcept { m_hasCreateTime = false; }

private:
    EAngleUnits m_angleUnits = eDegrees;
    std::optional<EDistUnits> m_distUnits;
    bool m_hasCreateTime = false;
    COrvStringT m_createDate;
    COrvStringT m_createTime;
};

/// The device settings: the units in which a job is written.
class DexSettings {
public:
    DexSettings() = default;
    DexSettings(EDistUnits distUnits, EAngleUnits angleUnits) noexcept
        : m_distUnits(distUnits), m_angleUnits(angleUnits) {}

    [[nodiscard]] EDistUnits getDistUnits(const DexJobInfo&) const noexcept { return m_distUnits; }
    [[nodiscard]] EAngleUnits getAngleUnits(const DexJobInfo&) const noexcept { return m_angleUnits; }
    void setDistUnits(EDistUnits units) noexcept { m_distUnits = units; }
    void setAngleUnits(EAngleUnits units) noexcept { m_angleUnits = units; }

private:
    EDistUnits m_distUnits = eMeters;
    EAngleUnits m_angleUnits = eDegrees;
};

/// The observation settings: instrument, prism constant and atmosphere.
class DexObservationInfo {
public:
    COrvStringT instrument;
    double obsConstant = 0.0;  ///< the prism (observation) constant

    bool getTemperature(double& value, ETemperatureUnits& units) const noexcept;
    bool getPressure(double& value, EPressureUnits& units) const noexcept;
    bool getPpm(double& value) const noexcept;
    bool getEllToGridScaleAndElevation(double& scale, double& elevation) const noexcept;

    void setTemperature(double value, ETemperatureUnits units) noexcept { m_temperature = {value, units}; }
    void clearTemperature() noexcept { m_temperature.reset(); }
    void setPressure(double value, EPressureUnits units) noexcept { m_pressure = {value, units}; }
    void clearPressure() noexcept { m_pressure.reset(); }
    void setPpm(double value) noexcept { m_ppm = value; }
    void clearPpm() noexcept { m_ppm.reset(); }
    void setEllToGridScaleAndElevation(double scale, double elevation) noexcept { m_scale = {scale, elevation}; }
    void clearEllToGridScaleAndElevation() noexcept { m_scale.reset(); }

private:
    std::optional<std::pair<double, ETemperatureUnits>> m_temperature;
    std::optional<std::pair<double, EPressureUnits>> m_pressure;
    std::optional<double> m_ppm;
    std::optional<std::pair<double, double>> m_scale;
};

// ---------------------------------------------------------------------------------------------
// Points

/// The name part of a point.
class DexPointName {
public:
    DexPointName() = default;
    explicit DexPointName(COrvStringT name) : m_name(std::move(name)) {}
    DexPointName(const DexPointName&) = default;
    DexPointName& operator=(const DexPointName&) = default;
    DexPointName(DexPointName&&) noexcept = default;
    DexPointName& operator=(DexPointName&&) noexcept = default;
    virtual ~DexPointName() = default;

    [[nodiscard]] virtual const COrvStringT& name() const { return m_name; }
    void setName(const COrvStringT& name) { m_name = name; }

private:
    COrvStringT m_name;
};

/// A point with coordinates: an instrument station or a known point.
class DexStation : public DexPointName {
public:
    DexStation() = default;
    DexStation(COrvStringT name, double northingValue, double eastingValue, double height, COrvStringT notes = {})
        : DexPointName(std::move(name)),
          northing(northingValue),
          easting(eastingValue),
          m_height(height),
          m_notes(std::move(notes)) {}

    double northing = 0.0;
    double easting = 0.0;

    [[nodiscard]] double getHeight() const noexcept { return m_height; }
    [[nodiscard]] const COrvStringT& getNotes() const noexcept { return m_notes; }
    void setHeight(double height) noexcept { m_height = height; }
    void setNotes(const COrvStringT& notes) { m_notes = notes; }

private:
    double m_height = 0.0;
    COrvStringT m_notes;
};

// ---------------------------------------------------------------------------------------------
// Codes

/// The description of one attribute of a code.
class DexAttrDescription {
public:
    COrvStringT text;  ///< the attribute's name
};

/// A code of the code library: its name and the descriptions of its attributes.
class DexCodeDescription {
public:
    DexCodeDescription() = default;
    explicit DexCodeDescription(COrvStringT name) : m_name(std::move(name)) {}
    DexCodeDescription(const DexCodeDescription&) = default;
    DexCodeDescription& operator=(const DexCodeDescription&) = default;
    DexCodeDescription(DexCodeDescription&&) noexcept = default;
    DexCodeDescription& operator=(DexCodeDescription&&) noexcept = default;
    virtual ~DexCodeDescription() = default;

    [[nodiscard]] virtual const COrvStringT& codeName() const { return m_name; }
    [[nodiscard]] int getSize() const noexcept { return static_cast<int>(m_attributes.size()); }
    /// The attribute description at `index`, null outside 0 to getSize() - 1.
    [[nodiscard]] const DexAttrDescription* getAttrDescriptionAt(int index) const noexcept;

    void setCodeName(const COrvStringT& name) { m_name = name; }
    void addAttribute(const COrvStringT& name) { m_attributes.push_back(DexAttrDescription{name}); }

private:
    COrvStringT m_name;
    std::vector<DexAttrDescription> m_attributes;
};

/// One code given to a point: the code, its code strings, control codes and attribute values.
class DexCodeValues {
public:
    DexCodeValues() = default;
    explicit DexCodeValues(const DexCodeDescription& description) : m_description(description) {}

    /// The code's description; null for a code without one.
    [[nodiscard]] const DexCodeDescription* getDescription() const noexcept {
        return m_description ? &*m_description : nullptr;
    }
    [[nodiscard]] int getNumberOfTheCodeStrings() const noexcept { return static_cast<int>(m_strings.size()); }
    /// The code string at `index`; empty outside the list.
    [[nodiscard]] COrvStringT getCodeStringAt(int index) const;
    /// The control code; empty when not set.
    [[nodiscard]] COrvStringT getControlCode(ECodeControlCode which) const;
    /// True when the control code is set and not empty (without copying it).
    [[nodiscard]] bool hasControlCode(ECodeControlCode which) const noexcept {
        return (which == eControlCode1 || which == eControlCode2) && !m_control[which].IsEmpty();
    }
    /// The value of the attribute at `index`; empty when not set.
    [[nodiscard]] COrvStringT getAttrAt(int index) const;

    void setDescription(const DexCodeDescription& description) { m_description = description; }
    void clearDescription() noexcept { m_description.reset(); }
    void addCodeString(const COrvStringT& text) { m_strings.push_back(text); }
    void setControlCode(ECodeControlCode which, const COrvStringT& text);
    void setAttrAt(int index, const COrvStringT& value);

private:
    std::optional<DexCodeDescription> m_description;
    std::vector<COrvStringT> m_strings;
    COrvStringT m_control[2];
    std::vector<COrvStringT> m_attributes;
};

/// How a code list is written as one text.
class DexCodeStyle {
public:
    COrvStringT separator{L" "};
};

/// The codes of a point, in order. An entry may be null (a code slot with no code).
class DexCodesDataInterface {
public:
    [[nodiscard]] int getNumberOfCodes() const noexcept { return static_cast<int>(m_codes.size()); }
    /// The code at `index`; null for a null entry and outside the list.
    [[nodiscard]] const DexCodeValues* getCode(int index) const noexcept;
    /// The names of the non-null codes that have a description, joined by the style's
    /// separator; a non-empty `note` joins them as one more item. A null style joins with one
    /// blank. The format is accepted and not read.
    [[nodiscard]] COrvStringT getCodesAsCodeStyle(const DexCodeStyle* style, const COrvStringT& note,
                                                  EDexCodeStyleFormat format) const;

    void addCode(const DexCodeValues& code) { m_codes.emplace_back(code); }
    void addCode(DexCodeValues&& code) { m_codes.emplace_back(std::move(code)); }
    void addNullCode() { m_codes.emplace_back(std::nullopt); }
    void clear() noexcept { m_codes.clear(); }

private:
    std::vector<std::optional<DexCodeValues>> m_codes;
};

/// A known (design) point: its station and its codes.
class DexDesignPoint {
public:
    DexDesignPoint() = default;
    explicit DexDesignPoint(DexStation station) : m_station(std::move(station)) {}

    DexCodesDataInterface codes;

    [[nodiscard]] const DexStation& getStation() const noexcept { return m_station; }
    void setStation(const DexStation& station) { m_station = station; }

private:
    DexStation m_station;
};

// ---------------------------------------------------------------------------------------------
// Sights and measurements

/// The no-value double: the largest finite double marks a figure that was not measured or not
/// computed (a distance, an angle, a residual, an elevation).
constexpr double noValue = 1.7976931348623157e308;

/// Kinds of a total-station measurement (DexTSRawMeasurement::kind()), with the values it
/// carries by index. The numbers are part of the interface: hosts and files store them. A kind
/// outside the list is allowed; each reader says what it does with it.
enum EMeasurementKind : int {
    eKindAnglesAndSlopeDistance = 0,      ///< horizontal angle, zenith, slope distance
    eKindAngleAndHorizontalDistance = 1,  ///< horizontal angle, horizontal distance, height difference
    eKindAnglesOnly = 2,                  ///< horizontal angle, zenith
    eKindDistanceOffsets = 3,             ///< vertical, horizontal and left/right distance offsets
    eKindHorizontalAngleOnly = 6,         ///< horizontal angle
    eKindZenithOnly = 7,                  ///< zenith
    eKindSlopeDistanceOnly = 9,           ///< slope distance
    eKindHorizontalDistanceOnly = 10,     ///< horizontal distance (an extra value of an observation)
};

/// One total-station measurement: its kind (EMeasurementKind, or any other number) and its
/// values by index.
class DexTSRawMeasurement {
public:
    DexTSRawMeasurement() = default;
    DexTSRawMeasurement(int kind, std::vector<double> values, bool backsightTarget = false)
        : m_kind(kind), m_values(std::move(values)), m_backsightTarget(backsightTarget) {}
    DexTSRawMeasurement(const DexTSRawMeasurement&) = default;
    DexTSRawMeasurement& operator=(const DexTSRawMeasurement&) = default;
    DexTSRawMeasurement(DexTSRawMeasurement&&) noexcept = default;
    DexTSRawMeasurement& operator=(DexTSRawMeasurement&&) noexcept = default;
    virtual ~DexTSRawMeasurement() = default;

    /// The value at `index`; 0 outside the list.
    [[nodiscard]] virtual double valueAt(int index) const noexcept;
    [[nodiscard]] virtual int kind() const noexcept { return m_kind; }
    /// True when the measured target is the backsight.
    [[nodiscard]] virtual bool isBacksightTarget() const noexcept { return m_backsightTarget; }

    void setKind(int kind) noexcept { m_kind = kind; }
    void setValues(std::vector<double> values) { m_values = std::move(values); }
    void setBacksightTarget(bool value) noexcept { m_backsightTarget = value; }

private:
    int m_kind = 0;
    std::vector<double> m_values;
    bool m_backsightTarget = false;
};

/// Kinds of a sight (DexTSRawDataSightInterface::sightKind()). The numbers are part of the
/// interface; a kind outside the list is allowed.
enum ESightKind : int {
    eSightBacksightBearing = 0,  ///< a backsight by bearing (DexTSRawBkb)
    eSightBacksight = 1,         ///< a backsight to a point (DexTSRawBS)
    eSightForesight = 2,         ///< a foresight (DexTSRawFS)
    eSightSideShot = 3,          ///< a side shot, the other foresight kind (DexTSRawFS)
};

/// A sight from the instrument to a target, of one of the kinds of ESightKind.
class DexTSRawDataSightInterface {
public:
    DexTSRawDataSightInterface(const DexTSRawDataSightInterface&) = default;
    DexTSRawDataSightInterface& operator=(const DexTSRawDataSightInterface&) = default;
    DexTSRawDataSightInterface(DexTSRawDataSightInterface&&) noexcept = default;
    DexTSRawDataSightInterface& operator=(DexTSRawDataSightInterface&&) noexcept = default;
    virtual ~DexTSRawDataSightInterface() = default;

    [[nodiscard]] virtual const COrvStringT& targetName() const { return m_targetName; }
    [[nodiscard]] virtual int sightKind() const noexcept { return m_kind; }
    /// The sight's measurement; null when it has none.
    [[nodiscard]] virtual const DexTSRawMeasurement* measurement() const noexcept {
        return m_measurement ? &*m_measurement : nullptr;
    }
    /// How the sight's backsight name is chosen; 1 asks for the generated backsight name.
    [[nodiscard]] virtual int bsNameMode() const noexcept { return m_bsNameMode; }
    [[nodiscard]] const COrvStringT& getNote() const noexcept { return m_note; }

    DexCodesDataInterface codes;  ///< the target's codes (foresights)

    void setTargetName(const COrvStringT& name) { m_targetName = name; }
    void setMeasurement(const DexTSRawMeasurement& measurement) { m_measurement = measurement; }
    void setMeasurement(DexTSRawMeasurement&& measurement) noexcept { m_measurement = std::move(measurement); }
    void clearMeasurement() noexcept { m_measurement.reset(); }
    void setBsNameMode(int mode) noexcept { m_bsNameMode = mode; }
    void setNote(const COrvStringT& note) { m_note = note; }

protected:
    explicit DexTSRawDataSightInterface(int kind) noexcept : m_kind(kind) {}
    void setSightKind(int kind) noexcept { m_kind = kind; }

private:
    int m_kind;
    COrvStringT m_targetName;
    std::optional<DexTSRawMeasurement> m_measurement;
    int m_bsNameMode = 0;
    COrvStringT m_note;
};

/// The backsight point part shared by the two backsight sights.
class DexBacksightPoint {
public:
    /// The known backsight point; null when there is none.
    [[nodiscard]] const DexDesignPoint* getBSPoint() const noexcept { return m_point ? &*m_point : nullptr; }
    void setBSPoint(const DexDesignPoint& point) { m_point = point; }
    void clearBSPoint() noexcept { m_point.reset(); }

private:
    std::optional<DexDesignPoint> m_point;
};

/// A backsight by bearing (sight kind 0).
class DexTSRawBkb : public DexTSRawDataSightInterface, public DexBacksightPoint {
public:
    DexTSRawBkb() noexcept : DexTSRawDataSightInterface(eSightBacksightBearing) {}
};

/// A backsight to a point (sight kind 1).
class DexTSRawBS : public DexTSRawDataSightInterface, public DexBacksightPoint {
public:
    DexTSRawBS() noexcept : DexTSRawDataSightInterface(eSightBacksight) {}
};

/// A foresight (sight kind 2 or 3).
class DexTSRawFS : public DexTSRawDataSightInterface {
public:
    /// Measurement types of a foresight. Values are part of the interface; other values pass.
    enum EMeasType : int {
        eMeasNormal = 0,
        eMeasHorizontalDistance = 1,
        eMeasAnglesOnly = 2,
        eMeasHorizontalAngleOffset = 3,
        eMeasVerticalAngleOffset = 4,
        eMeasDistanceOffsets = 5,
        eMeasDistanceOffsetsText = 6,
    };

    explicit DexTSRawFS(int kind = eSightForesight) noexcept : DexTSRawDataSightInterface(kind) {}

    [[nodiscard]] EMeasType getMeasType() const noexcept { return m_measType; }
    void setMeasType(EMeasType type) noexcept { m_measType = type; }
    /// Kinds 2 and 3 are foresight kinds; the host chooses which.
    void setKind(int kind) noexcept { setSightKind(kind); }

private:
    EMeasType m_measType = eMeasNormal;
};

// ---------------------------------------------------------------------------------------------
// Numeric point names

/// A supply of numeric point names. A name made only of one to nine decimal digits with a
/// value of 1 or more is numeric and its number is its value. Numbers in use are never handed
/// out again.
class FreeNumericNames {
public:
    FreeNumericNames() = default;

    /// Empties the set of numbers in use and sets the start back to 1.
    void init();
    /// The smallest number handed out is at least `start` (1 or more).
    void setStart(long long start);
    [[nodiscard]] long long start() const noexcept { return m_start; }
    /// Marks a numeric name's number in use; other names are ignored.
    void reserve(const COrvStringT& name);
    [[nodiscard]] bool isUsed(long long number) const { return m_used.count(number) != 0; }

    /// A numeric name is returned unchanged; any other name, the empty one included, gets the
    /// decimal text of the smallest number at or above the start that is not in use. Either
    /// way the number is then in use. Once every number from the start to the largest long long
    /// is in use, the smallest free number below the start is handed out.
    COrvStringT getNameFor(const COrvStringT& name);

    /// The number of a numeric name, or 0 when the name is not numeric.
    [[nodiscard]] static long long numberOf(const COrvStringT& name) noexcept;

private:
    // The smallest number at or above the start that is not in use (past the top of the range,
    // the smallest free number below the start); moves the search on.
    long long takeFreeNumber();

    long long m_start = 1;
    long long m_next = 1;  // every number in [m_start, m_next) is in use
    std::set<long long, std::less<long long>, orv::heap::Allocator<long long>> m_used;  // on the utility heap
};

/// Second base of the SDR generator; carries nothing.
class DexSdrEnum {};

}  // namespace orv::ie
