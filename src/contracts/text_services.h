// Text and number services of the generators: number texts, rounding, the clock and the
// device's short date, angle maths, and the report utilities that fit values to fields.
//
// Every number text is independent of the process locale (the decimal separator is always
// "."). Every function that writes a number returns the empty text for NaN and ±infinity.
#pragma once

#include <cstdint>

#include "contracts/orv_string.h"
#include "contracts/units.h"

namespace orv_formats {

/// `value` in fixed notation with exactly max(decimals, 0) decimals (at most 1074), correctly
/// rounded from the binary value as printf "%.*f" does. A text whose digits are all zero has
/// no "-": -0.0 and -0.0001 with 3 decimals both give "0.000". Empty for NaN and ±infinity.
[[nodiscard]] COrvStringT DoubleToString(double value, int decimals);

/// The decimal text of `value`, "-" for negatives; the whole int range.
[[nodiscard]] COrvStringT IntToString(int value);

/// Appending forms of the two, for records that build a line piece by piece.
void AppendDouble(COrvStringT& out, double value, int decimals);
void AppendInt(COrvStringT& out, long long value);

}  // namespace orv_formats

namespace orv::math {

/// `value` rounded half away from zero at `decimals` decimals (tens, hundreds… when negative).
/// Ties are decided on the exact binary value. Non-finite values are returned unchanged.
[[nodiscard]] double round_prec(double value, int decimals);

/// `value` truncated towards zero to an int, saturating at the int range; NaN gives 0.
[[nodiscard]] int toIntSaturated(double value) noexcept;

}  // namespace orv::math

namespace base {

/// A local date and time of the device.
class CTime {
public:
    CTime() = default;
    CTime(int year, int month, int day, int hour, int minute, int second) noexcept;

    /// The device's local clock, or the fixed instant set with SetFixedCurrentTime.
    static CTime GetCurrentTime();
    /// Fixes the clock at `time` for every later GetCurrentTime (tests, scripts, `--now`).
    static void SetFixedCurrentTime(const CTime& time);
    /// Returns the clock to the device's local time.
    static void ClearFixedCurrentTime();

    int GetYear() const noexcept { return m_year; }
    int GetMonth() const noexcept { return m_month; }  ///< 1 to 12
    int GetDay() const noexcept { return m_day; }
    int GetHour() const noexcept { return m_hour; }
    int GetMinute() const noexcept { return m_minute; }
    int GetSecond() const noexcept { return m_second; }

private:
    int m_year = 1970;
    int m_month = 1;
    int m_day = 1;
    int m_hour = 0;
    int m_minute = 0;
    int m_second = 0;
};

}  // namespace base

namespace orv::platform {

/// The device's short date of today (the clock's date), written into `buffer` of `size`
/// characters with its terminating zero, from the short-date pattern (see
/// SetShortDatePattern). `locale`, `flags`, `date` and `picture` are accepted as the device
/// interface has them; a non-null `picture` is used instead of the pattern. Returns the
/// number of characters written including the zero, or 0 when the buffer is too small or null.
int GetDateFormatW(unsigned long locale, unsigned long flags, const void* date, const wchar_t* picture, wchar_t* buffer,
                   int size);

/// Sets the device's short-date pattern: `d`, `dd`, `M`, `MM`, `yy`, `yyyy` and literal
/// characters. The default is "M/d/yyyy". Null restores the default.
void SetShortDatePattern(const wchar_t* pattern);

}  // namespace orv::platform

// Angle maths, in degrees unless named otherwise. Non-finite input gives NaN.

/// `value` brought into the half-open interval [low, high) by whole multiples of its width:
/// 360 becomes 0 and -0.0 becomes 0 for [0, 360). NaN when the interval is empty.
[[nodiscard]] double toRange(double value, double low, double high) noexcept;
/// Radians to degrees; brought into [0, 360) when `normalize` is true.
[[nodiscard]] double Rad2Deg(double radians, bool normalize) noexcept;
/// Degrees reduced into [0, 360); the flag is accepted and not read.
[[nodiscard]] double ModDeg360(double degrees, bool) noexcept;

namespace orv::ie {

/// The line end of every whole record line a generator writes (field and body texts carry none).
inline constexpr const wchar_t* kLineEnd = L"\r\n";

}  // namespace orv::ie

namespace orv::ie::utils {

/// The widest fixed-width field any writer fills. A wider one is written this wide, so that an
/// int argument can never ask for gigabytes of padding; no format has a field near it.
constexpr int kMaxFieldWidth = 4096;

/// `text` fitted to a field of `width` characters (wchar_t units: a surrogate pair is two): a
/// shorter text is padded with `fill` on the left when `alignRight`, else on the right; a
/// longer text is returned whole when `keepLonger`, else cut to its first `width` units. A
/// width of 0 or less pads nothing; a width beyond kMaxFieldWidth is taken as kMaxFieldWidth.
[[nodiscard]] COrvStringT getReportString(wchar_t fill, int width, bool alignRight, const COrvStringT& text,
                                          bool keepLonger);
/// Appending form of getReportString.
void appendReportString(COrvStringT& out, wchar_t fill, int width, bool alignRight, const COrvStringT& text,
                        bool keepLonger);

/// A distance given in metres as text in a style: 0 metres, 1 US survey feet, 2 international
/// feet, any other style metres; `decimals` as DoubleToString.
[[nodiscard]] COrvStringT distByStyleToString(EDistUnits style, double metres, int decimals);

/// An angle given in decimal degrees as text in a style: 1 gons, 2 mils, 3 decimal degrees,
/// 4 packed degrees-minutes-seconds "D.MMSSs…", any other style decimal degrees.
/// Packed DMS: the digits after the point are minutes (2), whole seconds (2), then
/// decimals - 4 decimals of a second. The magnitude is rounded once, half away from zero, to
/// the unit of the last written digit (0 decimals: 1°, 1: 10', 2: 1', 3: 10", 4: 1",
/// 5: 0.1" …), then split, so no group ever shows 60. "-" precedes a negative value unless
/// every digit is zero. Magnitudes of 1e9 degrees or more are written as decimal degrees.
/// Digits past the 11th decimal of a second are written as zeros; like DoubleToString, the
/// text has at most 1074 decimals.
[[nodiscard]] COrvStringT angleByStyleToString(EAngleUnits style, double degrees, int decimals);

/// A coordinate in plain decimals (every style); sign style 0 writes "-" only for negatives.
[[nodiscard]] COrvStringT coordsByStyleToString(ECoordsStyle style, double value, int decimals, ECoordsSign sign);

/// A distance in metres expressed in `units`: 1 and 3 US survey feet, 2 and 4 international
/// feet, any other value metres.
[[nodiscard]] double fromMetersFactor(double metres, EDistUnits units) noexcept;
/// A temperature in Celsius expressed in `units` (Fahrenheit for 2, else Celsius).
[[nodiscard]] double fromCelsius(double celsius, ETemperatureUnits units) noexcept;
/// A pressure in hPa expressed in `units` (2 mmHg, 3 inHg, else hPa).
[[nodiscard]] double fromHpa(double hpa, EPressureUnits units) noexcept;
/// An angle value in `units` back to decimal degrees: gons × 0.9, mils × 360/6400, packed
/// D.MMSSs… unpacked for units 4 (0.0001 is one second), any other units unchanged.
[[nodiscard]] double angleToDecDeg(double value, EAngleUnits units) noexcept;
/// The number of bytes of `text` in UTF-8: of the characters its units encode. Where wchar_t
/// has 16 bits a surrogate pair is one character of 4 bytes; a lone surrogate counts 3, as the
/// replacement character it becomes (where wchar_t has 32 bits, every surrogate is lone).
[[nodiscard]] int getMbcsLength(const COrvStringT& text) noexcept;

}  // namespace orv::ie::utils
