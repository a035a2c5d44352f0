#include "app/sample.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "contracts/units.h"
#include "job/geometry.h"

namespace exportgen::app {

namespace {

constexpr double kRadians = orv::ie::kRadiansPerDegree;

// A small deterministic generator (splitmix64), the same on every platform.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    double uniform(double low, double high) {
        return low + (high - low) * static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0);
    }

private:
    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint64_t m_state;
};

double roundTo(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

void number(std::string& out, double value, int decimals) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    out.append(buffer, result.ptr);
}

void xyz(std::string& out, const Point3& p) {
    out += '[';
    number(out, p.n, 4);
    out += ',';
    number(out, p.e, 4);
    out += ',';
    number(out, p.h, 4);
    out += ']';
}

double toCircle(double degrees) {
    double value = std::fmod(degrees, 360.0);
    return value < 0 ? value + 360.0 : value;
}

// Horizontal angle, zenith and slope distance from `from` (instrument height hi) to `to`
// (target height hr), oriented by `orientation`, rounded as the job writes them.
void observe(const Point3& from, double hi, const Point3& to, double hr, double orientation, double& hz, double& z,
             double& sd) {
    const double dn = to.n - from.n, de = to.e - from.e, dh = to.h + hr - from.h - hi;
    const double horizontal = std::hypot(dn, de);
    hz = roundTo(toCircle(azimuth(from, to) - orientation), 6);
    z = roundTo(std::atan2(horizontal, dh) / kRadians, 6);
    sd = roundTo(std::hypot(horizontal, dh), 4);
    if (hz >= 360.0) hz -= 360.0;
}

}  // namespace

void writeSample(std::uint64_t shots, std::uint64_t seed, Output& output) {
    Random random(seed);
    const std::uint64_t perSetup = 250;
    const std::uint64_t setups = shots == 0 ? 1 : (shots + perSetup - 1) / perSetup;

    // The traverse: a reference point R0, then one station per set-up, 150 m apart.
    std::vector<Point3> stations;
    Point3 at{50000.0, 20000.0, 250.0};
    stations.push_back(at);
    double heading = 40.0;
    for (std::uint64_t k = 0; k <= setups; ++k) {
        heading += random.uniform(-35.0, 35.0);
        at.n = roundTo(at.n + 150.0 * std::cos(heading * kRadians), 4);
        at.e = roundTo(at.e + 150.0 * std::sin(heading * kRadians), 4);
        at.h = roundTo(at.h + random.uniform(-2.0, 2.0), 4);
        stations.push_back(at);
    }
    auto stationName = [](std::uint64_t k) { return "S" + std::to_string(k); };

    std::string out;
    out.reserve(1 << 20);
    auto flush = [&] {
        if (out.size() > (1 << 20) - 512) {
            output.bytes(out);
            out.clear();
        }
    };
    out += "{\"units\":{\"distance\":\"metres\",\"angle\":\"degrees\"},\n";
    out += "\"job\":{\"name\":\"SYNTH-" + std::to_string(shots) +
           "\",\"application\":\"exportgen\",\"version\":\"1.0\","
           "\"created\":{\"date\":\"4/7/2025\",\"time\":\"09:05:03\"}},\n";
    out +=
        "\"observation\":{\"instrument\":\"TS-SYNTH\",\"prismConstant\":0,\"temperature\":20,\"pressure\":1013.25,"
        "\"ppm\":0,\"scaleFactor\":1,\"elevation\":250},\n";
    out += "\"points\":[\n";
    for (std::uint64_t k = 0; k < stations.size(); ++k) {
        out += "{\"name\":\"" + stationName(k) + "\",\"coords\":";
        xyz(out, stations[k]);
        out += k + 1 < stations.size() ? "},\n" : "}\n";
    }
    out += "],\n\"setups\":[\n";

    static const char* const codes[] = {"TREE", "FENCE", "KERB", "WALL", "POLE", "MH"};
    std::uint64_t nextName = 1000;
    std::uint64_t written = 0;
    for (std::uint64_t k = 1; k <= setups; ++k) {
        const Point3& station = stations[k];
        const Point3& back = stations[k - 1];
        const double hi = roundTo(random.uniform(1.45, 1.75), 3);
        const double orientation = azimuth(station, back);  // circle reading 0 on the backsight
        double hz = 0, z = 0, sd = 0;
        observe(station, hi, back, 1.6, orientation, hz, z, sd);
        out += "{\"station\":\"" + stationName(k) + "\",\"hi\":";
        number(out, hi, 3);
        out += ",\"backsight\":{\"point\":\"" + stationName(k - 1) + "\",\"circle\":0,\"hr\":1.6,\"sd\":[";
        number(out, hz < 180.0 ? hz : hz - 360.0, 6);
        out += ',';
        number(out, z, 6);
        out += ',';
        number(out, sd, 4);
        out += "]},\"shots\":[\n";
        const std::uint64_t count = std::min<std::uint64_t>(perSetup, shots - written);
        for (std::uint64_t i = 0; i < count; ++i, ++written) {
            const double distance = random.uniform(5.0, 300.0);
            const double direction = random.uniform(0.0, 360.0);
            const double hr = written % 25 == 0 ? 2.0 : 1.5;
            Point3 truth{station.n + distance * std::cos(direction * kRadians),
                         station.e + distance * std::sin(direction * kRadians), station.h + random.uniform(-5.0, 5.0)};
            observe(station, hi, truth, hr, orientation, hz, z, sd);
            // Every measurement kind; the coordinates are those the written values give.
            const std::uint64_t kind = written % 20;
            // Face 2 for every ninth sight that has a zenith (a reduced distance has none).
            const bool face2 = written % 9 == 4 && kind != 7;
            if (face2) {
                hz = roundTo(toCircle(hz + 180.0), 6);
                z = roundTo(360.0 - z, 6);
            }
            orv::ie::DexTSRawMeasurement m(orv::ie::eKindAnglesAndSlopeDistance, {hz, z, sd});
            out += "{\"to\":\"" + std::to_string(nextName++) + "\",";
            if (kind == 7) {
                const double horizontal = roundTo(sd * std::sin(z * kRadians), 4);
                const double rise = roundTo(sd * std::cos(z * kRadians), 4);
                m = orv::ie::DexTSRawMeasurement(orv::ie::eKindAngleAndHorizontalDistance, {hz, horizontal, rise});
                out += "\"hd\":[";
                number(out, hz, 6);
                out += ',';
                number(out, horizontal, 4);
                out += ',';
                number(out, rise, 4);
            } else if (kind == 11) {
                out += "\"angles\":[";
                number(out, hz, 6);
                out += ',';
                number(out, z, 6);
            } else if (kind == 13) {
                out += "\"hz\":[";
                number(out, hz, 6);
            } else if (kind == 17) {
                out += "\"dist\":[";
                number(out, sd, 4);
            } else {
                out += "\"sd\":[";
                number(out, hz, 6);
                out += ',';
                number(out, z, 6);
                out += ',';
                number(out, sd, 4);
            }
            out += "],\"hr\":";
            number(out, hr, 3);
            if (written % 50 == 0) {
                out += ",\"codes\":[{\"code\":\"TREE\",\"attributes\":[[\"SPECIES\",\"oak\"],[\"GIRTH\",\"";
                number(out, random.uniform(0.5, 3.0), 2);
                out += "\"]]}]";
            } else {
                out += ",\"code\":\"";
                out += codes[written % 6];
                out += '"';
            }
            Point3 computed;
            target(station, hi, hr, orientation, m, computed);
            computed = {roundTo(computed.n, 4), roundTo(computed.e, 4), roundTo(computed.h, 4)};
            out += ",\"coords\":";
            xyz(out, computed);
            out += i + 1 < count ? "},\n" : "}\n";
            flush();
        }
        out += k < setups ? "]},\n" : "]}\n";
    }
    out += "]}\n";
    output.bytes(out);
}

}  // namespace exportgen::app
