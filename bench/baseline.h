// The yardstick of the record benchmarks: plain functions that write the bytes of an RW5
// foresight line and of an SDR "09" observation line straight into a caller's char buffer with
// std::to_chars. No generator, no wide text, no virtual call, no allocation: what writing the
// same record costs when nothing but the digits is computed. The benchmark program checks that
// they write exactly the generators' bytes for every input it times.
#pragma once

#include <cstddef>
#include <string_view>

namespace bench::baseline {

/// One foresight as the baselines see it: names and code already as text, values in metres and
/// decimal degrees (the metric, degrees job that the benchmarks use).
struct Shot {
    std::string_view station;
    std::string_view target;
    double horizontal = 0.0;  ///< signed: negative is an angle to the left
    double zenith = 0.0;
    double slope = 0.0;
    std::string_view code;     ///< the code's name
    std::string_view control;  ///< its first control code (RW5 code note)
    std::string_view attributeNames[3];
    std::string_view attributeValues[3];
};

/// Room enough for any line these functions write for the benchmark inputs.
constexpr std::size_t kLineCapacity = 512;

/// "FD,OP<station>,FP<target>,AR<h>,ZE<z>,SD<sd>,--<code> <control>\r\n": the RW5 line of a
/// kind-0 foresight with one code (packed degrees-minutes-seconds with 5 decimals, 4 decimals of
/// a metre). Returns the number of bytes written.
std::size_t rw5ForesightLine(char* out, const Shot& shot);

/// "09F1", station and target right-aligned in 16, slope distance (4 decimals), zenith and
/// horizontal angle (decimal degrees, 6 decimals) and the code left-aligned in 16, "\r\n".
std::size_t sdrObservationLine(char* out, const Shot& shot);

/// The "09" line followed by the "13FC" note of a code longer than its field and a "13AT" note
/// for each filled attribute.
std::size_t sdrObservationWithNotes(char* out, const Shot& shot);

/// Single number texts, for the contracts' own benchmarks.
std::size_t fixed(char* out, double value, int decimals);
std::size_t packedDms5(char* out, double degrees);
std::size_t leftField(char* out, std::string_view text, std::size_t width);

}  // namespace bench::baseline
