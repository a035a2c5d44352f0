// The geometry round trip: a synthetic job converted to RW5 and SDR, read back with a small
// reader of each format, lands every fully measured target on the job's own coordinates
// within what the written digits allow.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "host/host_test_support.h"

namespace {

constexpr double kRadians = 3.14159265358979323846 / 180.0;

struct Xyz {
    double n = 0, e = 0, h = 0;
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        out.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "every line ends with \\r\\n";
    return out;
}

// The known coordinates of every target of the job.
std::map<std::string, Xyz> targetsOf(const std::string& job) {
    std::map<std::string, Xyz> targets;
    const auto document = nlohmann::json::parse(job);
    for (const auto& setup : document["setups"]) {
        for (const auto& shot : setup["shots"]) {
            const auto& c = shot["coords"];
            targets[shot["to"]] = {c[0], c[1], c[2]};
        }
    }
    return targets;
}

// Checks one observation; `tolerance` grows with the distance by the angular resolution.
struct Checker {
    const std::map<std::string, Xyz>& known;
    int checked = 0;
    void check(const std::string& name, const Xyz& station, double hi, double hr, double orientation, double hz,
               double zenith, double slope, double angularResolution) {
        const double horizontal = slope * std::sin(zenith * kRadians);
        const double direction = (hz + orientation) * kRadians;
        const Xyz computed{station.n + horizontal * std::cos(direction), station.e + horizontal * std::sin(direction),
                           station.h + hi + slope * std::cos(zenith * kRadians) - hr};
        auto found = known.find(name);
        ASSERT_NE(found, known.end()) << name;
        const double tolerance = std::fabs(slope) * angularResolution * kRadians + 0.0003;
        EXPECT_NEAR(computed.n, found->second.n, tolerance) << name;
        EXPECT_NEAR(computed.e, found->second.e, tolerance) << name;
        EXPECT_NEAR(computed.h, found->second.h, tolerance) << name;
        ++checked;
    }
};

// RW5 angles are packed degrees-minutes-seconds D.MMSSs….
double packedDms(const std::string& text) {
    const auto point = text.find('.');
    const std::string digits = text.substr(point + 1) + "0000";
    return std::stod(text.substr(0, point)) + std::stod(digits.substr(0, 2)) / 60.0 +
           std::stod(digits.substr(2, 2) + "." + digits.substr(4)) / 3600.0;
}

std::map<std::string, std::string> rw5Fields(const std::string& line) {
    std::map<std::string, std::string> fields;
    std::stringstream parts(line);
    std::string part;
    std::getline(parts, part, ',');
    fields["type"] = part;
    while (std::getline(parts, part, ',')) {
        if (part.size() < 2) continue;
        std::string tag = part.substr(0, 2);
        if (tag[1] == ' ') tag.pop_back();  // the coordinate tags "N " and "E "
        fields[tag] = part.substr(2);
    }
    return fields;
}

std::string sampleJob(const std::string& dir) {
    const auto sample = hosttest::run({"sample", "--shots", "700", "--seed", "7"});
    EXPECT_EQ(sample.code, 0) << sample.err;
    hosttest::writeFile(dir + "/synthetic.json", sample.out);
    return sample.out;
}

TEST(GeometryRoundTrip, Rw5TargetsLandOnTheirCoordinates) {
    const std::string dir = hosttest::freshDirectory("geometry-rw5");
    const auto targets = targetsOf(sampleJob(dir));
    const auto rw5 = hosttest::run({"convert", dir + "/synthetic.json", "--format", "rw5"});
    ASSERT_EQ(rw5.code, 0) << rw5.err;
    Checker checker{targets};
    Xyz station;
    double hi = 0, hr = 0, orientation = 0;
    for (const auto& line : lines(rw5.out)) {
        auto f = rw5Fields(line);
        const std::string& type = f["type"];
        if (type == "OC") {
            station = {std::stod(f["N"]), std::stod(f["E"]), std::stod(f["EL"])};
        } else if (type == "LS") {
            hi = std::stod(f["HI"]);
            hr = std::stod(f["HR"]);
        } else if (type == "BK") {
            orientation = packedDms(f["BS"]) - packedDms(f["BC"]);
        } else if ((type == "FD" || type == "FR") && (!f["SD"].empty() || f.count("HD") != 0)) {
            if (f.count("ZE") != 0 && f["ZE"].empty()) continue;     // a horizontal angle alone
            if (f.count("AR") == 0 && f.count("AL") == 0) continue;  // a slope distance alone
            const double hz = f.count("AR") != 0 ? packedDms(f["AR"]) : -packedDms(f["AL"]);
            if (f.count("HD") != 0) {  // horizontal distance and height difference
                const double horizontal = std::stod(f["HD"]), rise = std::stod(f["CE"]);
                checker.check(f["FP"], station, hi, hr, orientation, hz, std::atan2(horizontal, rise) / kRadians,
                              std::hypot(horizontal, rise), 1.0 / 3600);
            } else if (f.count("ZE") != 0) {
                // 0.5" of the 1" backsight azimuth and 0.05" of each observed angle
                checker.check(f["FP"], station, hi, hr, orientation, hz, packedDms(f["ZE"]), std::stod(f["SD"]),
                              0.6 / 3600);
            }
        }
    }
    EXPECT_GT(checker.checked, 500);
}

std::string column(const std::string& line, std::size_t from, std::size_t width) {
    std::string text = line.substr(from, width);
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

TEST(GeometryRoundTrip, SdrTargetsLandOnTheirCoordinates) {
    const std::string dir = hosttest::freshDirectory("geometry-sdr");
    const auto targets = targetsOf(sampleJob(dir));
    const auto sdr = hosttest::run({"convert", dir + "/synthetic.json", "--format", "sdr"});
    ASSERT_EQ(sdr.code, 0) << sdr.err;
    Checker checker{targets};
    Xyz station;
    double hi = 0, hr = 0, orientation = 0;
    for (const auto& line : lines(sdr.out)) {
        const std::string head = line.substr(0, 4);
        if (head == "02NM") {
            station = {std::stod(column(line, 20, 16)), std::stod(column(line, 36, 16)),
                       std::stod(column(line, 52, 16))};
            hi = std::stod(column(line, 68, 16));
        } else if (head == "03NM") {
            hr = std::stod(column(line, 4, 16));
        } else if (head == "07TP") {
            orientation = std::stod(column(line, 36, 16)) - std::stod(column(line, 52, 16));
        } else if ((head == "09F1" || head == "09F2") && line.size() >= 84) {
            const std::string sd = column(line, 36, 16), zenith = column(line, 52, 16), hz = column(line, 68, 16);
            if (sd.empty() || zenith.empty() || hz.empty()) continue;
            if (targets.count(column(line, 20, 16)) == 0) continue;  // the backsight observation
            checker.check(column(line, 20, 16), station, hi, hr, orientation, std::stod(hz), std::stod(zenith),
                          std::stod(sd), 3 * 0.5e-6);
        }
    }
    EXPECT_GT(checker.checked, 500);
}

}  // namespace
