#include "job/job.h"

#include <cmath>

#include "cli/errors.h"
#include "job/atmosphere.h"
#include "readers/job_value.h"
#include "output/text.h"

namespace exportgen {

namespace {

using json = nlohmann::json;
using namespace orv::ie;
using namespace jobvalue;

std::string pathText(const std::string& base, const char* key) { return base + "." + key; }
std::string pathText(const std::string& base, std::size_t index) { return base + "[" + std::to_string(index) + "]"; }

[[noreturn]] void unknownPoint(const std::string& path, std::string_view name) {
    throw HostError(kExitJob, path + ": unknown point " + shownName(name));
}

template <class Value>
COrvStringT textOf(const Value& object, const char* key) {
    const Value* member = find(object, key);
    if (member == nullptr || !isString(*member)) return COrvStringT();
    return wideFromUtf8(text(*member));
}

template <class Value>
double numberOf(const Value& object, const char* key, double fallback) {
    const Value* member = find(object, key);
    return member == nullptr ? fallback : number(*member);
}

template <class Value>
int indexIn(const Value& value, std::initializer_list<const char*> names) {
    const std::string_view name = text(value);
    int index = 0;
    for (const char* candidate : names) {
        if (name == candidate) return index;
        ++index;
    }
    return 0;
}

template <class Value>
Point3 xyz(const Value& value) {
    return {number(item(value, 0)), number(item(value, 1)), number(item(value, 2))};
}

// The codes of a point or an observation: "codes" (a list) or "code" (one code by name).
template <class Value>
void readCodes(const Value& object, DexCodesDataInterface& codes, COrvStringT& firstCode) {
    if (const Value* list = find(object, "codes")) {
        for (const Value& entry : *list) {
            if (isNull(entry)) {
                codes.addNullCode();
                continue;
            }
            DexCodeValues value;
            const Value* name = find(entry, "code");
            const bool named = name != nullptr && isString(*name);
            DexCodeDescription description(named ? wideFromUtf8(text(*name)) : COrvStringT());
            const Value* attributes = find(entry, "attributes");
            if (attributes != nullptr) {
                for (const Value& pair : *attributes) description.addAttribute(wideFromUtf8(text(item(pair, 0))));
            }
            if (named) {
                value.setDescription(description);
                if (firstCode.IsEmpty()) firstCode = description.codeName();
            }
            if (const Value* strings = find(entry, "strings")) {
                for (const Value& string : *strings) value.addCodeString(wideFromUtf8(text(string)));
            }
            if (const Value* control = find(entry, "control")) {
                int i = 0;
                for (const Value& code : *control) {
                    value.setControlCode(static_cast<ECodeControlCode>(i++), wideFromUtf8(text(code)));
                }
            }
            if (attributes != nullptr) {
                int i = 0;
                for (const Value& pair : *attributes) value.setAttrAt(i++, wideFromUtf8(text(item(pair, 1))));
            }
            codes.addCode(value);
        }
    } else if (const Value* code = find(object, "code")) {
        firstCode = wideFromUtf8(text(*code));
        if (!firstCode.IsEmpty()) codes.addCode(DexCodeValues(DexCodeDescription(firstCode)));
    }
}

// The one measurement of an object: sd, hd, angles, hz or dist (the schema allows one).
template <class Value>
bool readMeasurement(const Value& object, DexTSRawMeasurement& m) {
    static const std::pair<const char*, int> kinds[] = {{"sd", 0}, {"hd", 1}, {"angles", 2}, {"hz", 6}, {"dist", 9}};
    for (const auto& [key, kind] : kinds) {
        const Value* list = find(object, key);
        if (list == nullptr) continue;
        std::vector<double> values;
        values.reserve(3);
        for (const Value& v : *list) values.push_back(number(v));
        m = DexTSRawMeasurement(kind, std::move(values));
        return true;
    }
    return false;
}

template <class Value>
void readObservation(const Value& object, double& lastHr, Observation& shot) {
    shot.sight.setTargetName(textOf(object, "to"));
    if (const Value* fs = find(object, "fs"); fs != nullptr && boolean(*fs)) {
        shot.sight.setKind(2);
    } else {
        shot.sight.setKind(3);
    }
    DexTSRawMeasurement m;
    if (readMeasurement(object, m)) shot.sight.setMeasurement(m);
    shot.hr = lastHr = numberOf(object, "hr", lastHr);
    readCodes(object, shot.sight.codes, shot.code);
    shot.sight.setNote(textOf(object, "note"));
    if (const Value* coords = find(object, "coords")) {
        shot.hasCoords = true;
        shot.coords = xyz(*coords);
    }
}

template <class Value>
Observation readObservation(const Value& object, double& lastHr) {
    Observation shot;
    readObservation(object, lastHr, shot);
    return shot;
}

}  // namespace

Job::Job() {
    info.appName = L"exportgen";
    info.appVersion = L"1.0";
    info.setDistUnits(eMeters);
}

const KnownPoint* Job::find(std::string_view name) const {
    auto it = m_byName.find(std::string(name));
    return it == m_byName.end() ? nullptr : &points[it->second];
}

template <class Value>
void Job::apply(const std::string& key, const Value& value) {
    if (key == "units") applyUnits(value);
    if (key == "job") applyJob(value);
    if (key == "observation") applyObservation(value);
    if (key == "points") applyPoints(value);
    if (key == "levelRuns") applyLevelRuns(value);
}

template <class Value>
void Job::applyUnits(const Value& value) {
    if (const Value* distance = jobvalue::find(value, "distance")) {
        const auto units =
            static_cast<EDistUnits>(indexIn(*distance, {"metres", "usSurveyFeet", "internationalFeet",
                                                        "usSurveyFeetInches", "internationalFeetInches"}));
        settings.setDistUnits(units);
        info.setDistUnits(units);
    }
    if (const Value* angle = jobvalue::find(value, "angle")) {
        const auto units =
            static_cast<EAngleUnits>(indexIn(*angle, {"degrees", "gons", "mils", "decimalDegrees", "packedDms"}));
        settings.setAngleUnits(units);
        info.setAngleUnits(units);
    }
}

template <class Value>
void Job::applyJob(const Value& value) {
    if (has(value, "application")) info.appName = textOf(value, "application");
    if (has(value, "version")) info.appVersion = textOf(value, "version");
    info.jobName = textOf(value, "name");
    info.jobText2 = textOf(value, "text2");
    info.jobText3 = textOf(value, "text3");
    if (const Value* created = jobvalue::find(value, "created")) {
        info.setCreateTime(textOf(*created, "date"), textOf(*created, "time"));
    }
}

template <class Value>
void Job::applyObservation(const Value& value) {
    observation.instrument = textOf(value, "instrument");
    observation.obsConstant = numberOf(value, "prismConstant", 0.0);
    if (const Value* temperature = jobvalue::find(value, "temperature")) {
        const Value* units = jobvalue::find(value, "temperatureUnits");
        const bool fahrenheit = units != nullptr && text(*units) == "fahrenheit";
        const ETemperatureUnits given = fahrenheit ? eFahrenheit : eCelsius;
        observation.setTemperature(celsiusFrom(number(*temperature), given), given);
    }
    if (const Value* pressure = jobvalue::find(value, "pressure")) {
        const Value* units = jobvalue::find(value, "pressureUnits");
        const int index = units != nullptr ? indexIn(*units, {"hPa", "mmHg", "inHg"}) : 0;
        const auto given = static_cast<EPressureUnits>(index + 1);
        observation.setPressure(hectopascalsFrom(number(*pressure), given), given);
    }
    if (const Value* ppm = jobvalue::find(value, "ppm")) observation.setPpm(number(*ppm));
    if (has(value, "scaleFactor") || has(value, "elevation")) {
        observation.setEllToGridScaleAndElevation(numberOf(value, "scaleFactor", 1.0),
                                                  numberOf(value, "elevation", 0.0));
    }
}

template <class Value>
void Job::applyPoints(const Value& value) {
    for (const Value& entry : value) {
        KnownPoint point;
        point.coords = xyz(*jobvalue::find(entry, "coords"));
        point.design.setStation(
            DexStation(textOf(entry, "name"), point.coords.n, point.coords.e, point.coords.h, textOf(entry, "note")));
        readCodes(entry, point.design.codes, point.code);
        m_byName[std::string(text(*jobvalue::find(entry, "name")))] = points.size();
        points.push_back(std::move(point));
    }
}

template <class Value>
void Job::applyLevelRuns(const Value& value) {
    std::size_t r = 0;
    for (const Value& entry : value) {
        const std::string path = pathText("$.levelRuns", r++);
        LevelRun run;
        run.name = textOf(entry, "name");
        run.description = textOf(entry, "description");
        const std::string start(text(*jobvalue::find(entry, "start")));
        const KnownPoint* known = find(start);
        if (known == nullptr) unknownPoint(pathText(path, "start"), start);
        run.start = wideFromUtf8(start);
        run.startElevation = known->coords.h;
        // Heights carried along the run: a backsight sees a point of known height (the start,
        // a known point or a point a foresight of this run reached).
        std::unordered_map<std::string, double> heights{{start, run.startElevation}};
        double collimation = run.startElevation;
        double previous = run.startElevation;
        std::size_t i = 0;
        for (const Value& item : *jobvalue::find(entry, "readings")) {
            const std::size_t index = i++;
            LevelReading reading;
            const std::string name(text(*jobvalue::find(item, "point")));
            reading.point = wideFromUtf8(name);
            const Value* backsight = jobvalue::find(item, "bs");
            reading.backsight = backsight != nullptr;
            reading.rod = number(reading.backsight ? *backsight : *jobvalue::find(item, "fs"));
            reading.distance = numberOf(item, "dist", kNoValue);
            reading.code = textOf(item, "code");
            if (reading.backsight) {
                auto height = heights.find(name);
                const KnownPoint* point = find(name);
                if (height == heights.end() && point == nullptr) {
                    unknownPoint(pathText(pathText(pathText(path, "readings"), index), "point"), name);
                }
                reading.elevation = height != heights.end() ? height->second : point->coords.h;
                collimation = reading.elevation + reading.rod;
                reading.rise = 0.0;
            } else {
                reading.elevation = collimation - reading.rod;
                reading.rise = reading.elevation - previous;
                heights[name] = reading.elevation;
            }
            reading.collimation = collimation;
            previous = reading.elevation;
            run.readings.push_back(std::move(reading));
        }
        levelRuns.push_back(std::move(run));
    }
}

template <class Value>
Setup Job::makeSetup(const Value& value, std::size_t index) const {
    const std::string path = pathText("$.setups", index);
    Setup setup;
    setup.index = index;
    const std::string_view station = text(*jobvalue::find(value, "station"));
    setup.station = wideFromUtf8(station);
    setup.hi = number(*jobvalue::find(value, "hi"));
    setup.code = textOf(value, "code");
    setup.note = textOf(value, "note");
    if (const Value* coords = jobvalue::find(value, "coords")) {
        setup.coords = xyz(*coords);
    } else if (const KnownPoint* point = find(station)) {
        setup.coords = point->coords;
    } else {
        unknownPoint(pathText(path, "station"), station);
    }
    double lastHr = 0.0;

    if (const Value* bs = jobvalue::find(value, "backsight")) {
        Backsight& backsight = setup.backsight;
        DexTSRawMeasurement m;
        backsight.measured = readMeasurement(*bs, m);
        backsight.hr = lastHr = numberOf(*bs, "hr", 0.0);
        if (const Value* point = jobvalue::find(*bs, "point")) {
            const std::string_view name = text(*point);
            const KnownPoint* known = find(name);
            if (known == nullptr) unknownPoint(pathText(pathText(path, "backsight"), "point"), name);
            backsight.kind = Backsight::Kind::point;
            backsight.point = wideFromUtf8(name);
            backsight.azimuth = azimuth(setup.coords, known->coords);
            backsight.sight.setTargetName(backsight.point);
            backsight.sight.setBSPoint(known->design);
        } else {
            backsight.kind = Backsight::Kind::bearing;
            backsight.azimuth = number(*jobvalue::find(*bs, "bearing"));
            backsight.bearingSight.setBsNameMode(1);
        }
        backsight.circle = numberOf(*bs, "circle", backsight.measured ? m.valueAt(0) : 0.0);
        if (backsight.measured) {
            m.setBacksightTarget(true);
            backsight.sight.setMeasurement(m);
            backsight.bearingSight.setMeasurement(m);
        }
        setup.orientation = backsight.azimuth - backsight.circle;
    }

    if (const Value* resection = jobvalue::find(value, "resection")) {
        double sumSin = 0.0, sumCos = 0.0;
        std::size_t i = 0;
        for (const Value& item : *resection) {
            const std::size_t at = i++;
            Observation obs = readObservation(item, lastHr);
            const std::string_view name = text(*jobvalue::find(item, "to"));
            const KnownPoint* known = find(name);
            if (known == nullptr) unknownPoint(pathText(pathText(pathText(path, "resection"), at), "to"), name);
            obs.hasCoords = true;
            obs.coords = known->coords;
            // The orientation of a resection is the mean of azimuth minus circle reading.
            const double difference =
                (azimuth(setup.coords, known->coords) - obs.measurement().valueAt(0)) * 3.14159265358979323846 / 180.0;
            sumSin += std::sin(difference);
            sumCos += std::cos(difference);
            setup.resection.push_back(std::move(obs));
        }
        if (setup.backsight.kind == Backsight::Kind::none && !setup.resection.empty()) {
            setup.orientation = std::atan2(sumSin, sumCos) * 180.0 / 3.14159265358979323846;
        }
    }

    if (const Value* shots = jobvalue::find(value, "shots")) {
        setup.shots.resize(shots->size());
        std::size_t i = 0;
        for (const Value& item : *shots) readObservation(item, lastHr, setup.shots[i++]);
    }

    if (const Value* stakeouts = jobvalue::find(value, "stakeouts")) {
        std::size_t i = 0;
        for (const Value& item : *stakeouts) {
            const std::size_t at = i++;
            Stakeout stakeout;
            const std::string_view design = text(*jobvalue::find(item, "design"));
            const KnownPoint* known = find(design);
            if (known == nullptr) unknownPoint(pathText(pathText(pathText(path, "stakeouts"), at), "design"), design);
            stakeout.design = wideFromUtf8(design);
            stakeout.designCoords = known->coords;
            stakeout.shot = readObservation(item, lastHr);
            target(setup.coords, setup.hi, stakeout.shot.hr, setup.orientation, stakeout.shot.measurement(),
                   stakeout.staked);
            stakeout.shot.hasCoords = true;
            stakeout.shot.coords = stakeout.staked;
            setup.stakeouts.push_back(std::move(stakeout));
        }
    }
    return setup;
}

// The two documents the readers give.
template void Job::apply<json>(const std::string&, const json&);
template void Job::apply<CompactValue>(const std::string&, const CompactValue&);
template Setup Job::makeSetup<json>(const json&, std::size_t) const;
template Setup Job::makeSetup<CompactValue>(const CompactValue&, std::size_t) const;

}  // namespace exportgen
