// The floor of a conversion: the least work any converter of a job file must do. It parses the
// job with simdjson's On-Demand parser (the whole file at once) and writes the RW5 foresight line
// of every slope-distance shot with std::to_chars (bench/baseline.cpp), nothing else: no schema,
// no job model, no generator, no other record. bench/end_to_end.sh reports exportgen's times as
// ratios to this program's, measured in the same run.
//
//   exportgen_floor JOB.json OUT
#include <simdjson.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "baseline.h"

namespace {

namespace ondemand = simdjson::ondemand;

int fail(const char* what, simdjson::error_code error) {
    std::fprintf(stderr, "exportgen_floor: %s: %s\n", what, simdjson::error_message(error));
    return 1;
}

// The shots of one set-up: the foresight line of each that has a slope distance.
simdjson::error_code writeShots(ondemand::array shots, std::string_view station, std::vector<char>& out) {
    char line[bench::baseline::kLineCapacity];
    for (auto item : shots) {
        ondemand::object shot;
        if (auto error = item.get_object().get(shot)) return error;
        bench::baseline::Shot values;
        values.station = station;
        bool slope = false;
        for (auto field : shot) {
            std::string_view key;
            if (auto error = field.unescaped_key().get(key)) return error;
            if (key == "to") {
                if (auto error = field.value().get_string().get(values.target)) return error;
            } else if (key == "code") {
                if (auto error = field.value().get_string().get(values.code)) return error;
            } else if (key == "sd") {
                double v[3] = {};
                int i = 0;
                for (auto number : field.value().get_array()) {
                    if (i < 3 && number.get_double().get(v[i++]) != simdjson::SUCCESS) return simdjson::NUMBER_ERROR;
                }
                values.horizontal = v[0];
                values.zenith = v[1];
                values.slope = v[2];
                slope = true;
            }
        }
        if (!slope) continue;
        const std::size_t length = bench::baseline::rw5ForesightLine(line, values);
        out.insert(out.end(), line, line + length);
    }
    return simdjson::SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: exportgen_floor JOB.json OUT\n");
        return 2;
    }
    simdjson::padded_string text;
    if (auto error = simdjson::padded_string::load(argv[1]).get(text)) return fail("load", error);
    ondemand::parser parser;
    ondemand::document job;
    if (auto error = parser.iterate(text).get(job)) return fail("parse", error);
    ondemand::array setups;
    if (auto error = job["setups"].get_array().get(setups)) return fail("setups", error);
    std::FILE* file = std::fopen(argv[2], "wb");
    if (file == nullptr) return fail("open", simdjson::IO_ERROR);
    std::vector<char> out;
    for (auto item : setups) {
        ondemand::object setup;
        if (auto error = item.get_object().get(setup)) return fail("set-up", error);
        std::string station;
        for (auto field : setup) {
            std::string_view key;
            if (auto error = field.unescaped_key().get(key)) return fail("key", error);
            if (key == "station") {
                std::string_view name;
                if (auto error = field.value().get_string().get(name)) return fail("station", error);
                station = name;
            } else if (key == "shots") {
                ondemand::array shots;
                if (auto error = field.value().get_array().get(shots)) return fail("shots", error);
                if (auto error = writeShots(shots, station, out)) return fail("shot", error);
            }
        }
        if (out.size() > (std::size_t{1} << 20)) {
            std::fwrite(out.data(), 1, out.size(), file);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), file);
    return std::fclose(file) == 0 ? 0 : 1;
}
