// The unit enumerations of the job data model. Values are part of the interface: hosts and
// files store them as numbers. A value outside the listed ones is allowed and each formatter
// says what it does with it. Also the factors between degrees and radians.
#pragma once

namespace orv::ie {

/// π, written once; the factors between degrees and radians derive from it.
constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = kPi / 180.0;
constexpr double kDegreesPerRadian = 180.0 / kPi;
// The records' geometry is written with exactly these two factors.
static_assert(kRadiansPerDegree == 0.017453292519943295);
static_assert(kDegreesPerRadian == 57.29577951308232);

/// Distance units of a job.
enum EDistUnits : int {
    eMeters = 0,
    eUSFeet = 1,             ///< US survey feet, 1200/3937 m
    eInternationalFeet = 2,  ///< international feet, 0.3048 m
    eUSFeetInches = 3,       ///< US survey feet, displayed as feet and inches
    eInternationalFeetInches = 4,
};

/// Angle units of a job.
enum EAngleUnits : int {
    eDegrees = 0,  ///< the default: degrees, displayed as degrees-minutes-seconds
    eGons = 1,     ///< 400 to the circle
    eMils = 2,     ///< 6400 to the circle
    eDecimalDegrees = 3,
    eDegMinSec = 4,  ///< packed degrees-minutes-seconds D.MMSSs
};

/// Temperature units; any value but 2 is Celsius.
enum ETemperatureUnits : int { eCelsius = 1, eFahrenheit = 2 };

/// Pressure units; any value but 2 and 3 is hPa.
enum EPressureUnits : int { eHectoPascal = 1, eMillimetresHg = 2, eInchesHg = 3 };

/// Coordinate text styles; every style is written as plain decimals.
enum ECoordsStyle : int { eCoordsPlain = 0, eCoordsStyle5 = 5 };

/// Sign styles of coordinate texts; style 0 writes "-" for negative values only.
enum ECoordsSign : int { eSignNegativeOnly = 0 };

/// Formats of a code list written in a code style.
enum EDexCodeStyleFormat : int { eCodeStyleFormat0 = 0, eCodeStyleFormat1 = 1, eCodeStyleFormat2 = 2 };

/// The two control codes of a code value.
enum ECodeControlCode : int { eControlCode1 = 0, eControlCode2 = 1 };

}  // namespace orv::ie
