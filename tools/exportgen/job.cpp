#include "job.h"

#include <cmath>

#include "errors.h"
#include "text.h"

namespace exportgen {

namespace {

using json = nlohmann::json;
using namespace orv::ie;

std::string pathText(const std::string& base, const char* key) { return base + "." + key; }
std::string pathText(const std::string& base, std::size_t index) {
    return base + "[" + std::to_string(index) + "]";
}

[[noreturn]] void unknownPoint(const std::string& path, const std::string& name) {
    throw HostError(kExitJob, path + ": unknown point \"" + name + "\"");
}

COrvStringT textOf(const json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return COrvStringT();
    return wideFromUtf8(it->get_ref<const std::string&>());
}

double numberOf(const json& object, const char* key, double fallback) {
    auto it = object.find(key);
    return it == object.end() ? fallback : it->get<double>();
}

int indexIn(const json& value, std::initializer_list<const char*> names) {
    const auto& text = value.get_ref<const std::string&>();
    int index = 0;
    for (const char* name : names) {
        if (text == name) return index;
        ++index;
    }
    return 0;
}

Point3 xyz(const json& value) { return {value[0].get<double>(), value[1].get<double>(), value[2].get<double>()}; }

// The codes of a point or an observation: "codes" (a list) or "code" (one code by name).
void readCodes(const json& object, DexCodesDataInterface& codes, COrvStringT& firstCode) {
    if (auto list = object.find("codes"); list != object.end()) {
        for (const auto& entry : *list) {
            if (entry.is_null()) {
                codes.addNullCode();
                continue;
            }
            DexCodeValues value;
            auto name = entry.find("code");
            DexCodeDescription description(name != entry.end() && name->is_string()
                                               ? wideFromUtf8(name->get_ref<const std::string&>())
                                               : COrvStringT());
            if (auto attributes = entry.find("attributes"); attributes != entry.end()) {
                for (const auto& pair : *attributes) description.addAttribute(wideFromUtf8(pair[0].get<std::string>()));
            }
            if (name != entry.end() && name->is_string()) {
                value.setDescription(description);
                if (firstCode.IsEmpty()) firstCode = description.codeName();
            }
            if (auto strings = entry.find("strings"); strings != entry.end()) {
                for (const auto& text : *strings) value.addCodeString(wideFromUtf8(text.get<std::string>()));
            }
            if (auto control = entry.find("control"); control != entry.end()) {
                for (std::size_t i = 0; i < control->size(); ++i) {
                    value.setControlCode(static_cast<ECodeControlCode>(i), wideFromUtf8((*control)[i].get<std::string>()));
                }
            }
            if (auto attributes = entry.find("attributes"); attributes != entry.end()) {
                int i = 0;
                for (const auto& pair : *attributes) value.setAttrAt(i++, wideFromUtf8(pair[1].get<std::string>()));
            }
            codes.addCode(value);
        }
    } else if (auto code = object.find("code"); code != object.end()) {
        firstCode = wideFromUtf8(code->get_ref<const std::string&>());
        if (!firstCode.IsEmpty()) codes.addCode(DexCodeValues(DexCodeDescription(firstCode)));
    }
}

// The one measurement of an object: sd, hd, angles, hz or dist (the schema allows one).
bool readMeasurement(const json& object, DexTSRawMeasurement& m) {
    static const std::pair<const char*, int> kinds[] = {{"sd", 0}, {"hd", 1}, {"angles", 2}, {"hz", 6}, {"dist", 9}};
    for (const auto& [key, kind] : kinds) {
        auto it = object.find(key);
        if (it == object.end()) continue;
        std::vector<double> values;
        values.reserve(3);
        for (const auto& v : *it) values.push_back(v.get<double>());
        m = DexTSRawMeasurement(kind, std::move(values));
        return true;
    }
    return false;
}

void readObservation(const json& object, double& lastHr, Observation& shot) {
    shot.sight.setTargetName(textOf(object, "to"));
    if (auto fs = object.find("fs"); fs != object.end() && fs->get<bool>()) {
        shot.sight.setKind(2);
    } else {
        shot.sight.setKind(3);
    }
    DexTSRawMeasurement m;
    if (readMeasurement(object, m)) shot.sight.setMeasurement(m);
    shot.hr = lastHr = numberOf(object, "hr", lastHr);
    readCodes(object, shot.sight.codes, shot.code);
    shot.sight.setNote(textOf(object, "note"));
    if (auto coords = object.find("coords"); coords != object.end()) {
        shot.hasCoords = true;
        shot.coords = xyz(*coords);
    }
}

Observation readObservation(const json& object, double& lastHr) {
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

const KnownPoint* Job::find(const std::string& name) const {
    auto it = m_byName.find(name);
    return it == m_byName.end() ? nullptr : &points[it->second];
}

void Job::apply(const std::string& key, const json& value) {
    if (key == "units") applyUnits(value);
    if (key == "job") applyJob(value);
    if (key == "observation") applyObservation(value);
    if (key == "points") applyPoints(value);
    if (key == "levelRuns") applyLevelRuns(value);
}

void Job::applyUnits(const json& value) {
    if (auto distance = value.find("distance"); distance != value.end()) {
        const auto units = static_cast<EDistUnits>(indexIn(*distance, {"metres", "usSurveyFeet", "internationalFeet",
                                                                        "usSurveyFeetInches", "internationalFeetInches"}));
        settings.setDistUnits(units);
        info.setDistUnits(units);
    }
    if (auto angle = value.find("angle"); angle != value.end()) {
        const auto units =
            static_cast<EAngleUnits>(indexIn(*angle, {"degrees", "gons", "mils", "decimalDegrees", "packedDms"}));
        settings.setAngleUnits(units);
        info.setAngleUnits(units);
    }
}

void Job::applyJob(const json& value) {
    if (value.contains("application")) info.appName = textOf(value, "application");
    if (value.contains("version")) info.appVersion = textOf(value, "version");
    info.jobName = textOf(value, "name");
    info.jobText2 = textOf(value, "text2");
    info.jobText3 = textOf(value, "text3");
    if (auto created = value.find("created"); created != value.end()) {
        info.setCreateTime(textOf(*created, "date"), textOf(*created, "time"));
    }
}

void Job::applyObservation(const json& value) {
    observation.instrument = textOf(value, "instrument");
    observation.obsConstant = numberOf(value, "prismConstant", 0.0);
    if (value.contains("temperature")) {
        const bool fahrenheit = value.contains("temperatureUnits") && value["temperatureUnits"] == "fahrenheit";
        observation.setTemperature(value["temperature"].get<double>(), fahrenheit ? eFahrenheit : eCelsius);
    }
    if (value.contains("pressure")) {
        const int units = value.contains("pressureUnits") ? indexIn(value["pressureUnits"], {"hPa", "mmHg", "inHg"}) : 0;
        observation.setPressure(value["pressure"].get<double>(), static_cast<EPressureUnits>(units + 1));
    }
    if (value.contains("ppm")) observation.setPpm(value["ppm"].get<double>());
    if (value.contains("scaleFactor") || value.contains("elevation")) {
        observation.setEllToGridScaleAndElevation(numberOf(value, "scaleFactor", 1.0), numberOf(value, "elevation", 0.0));
    }
}

void Job::applyPoints(const json& value) {
    for (const auto& entry : value) {
        KnownPoint point;
        point.coords = xyz(entry["coords"]);
        point.design.setStation(DexStation(textOf(entry, "name"), point.coords.n, point.coords.e, point.coords.h,
                                           textOf(entry, "note")));
        readCodes(entry, point.design.codes, point.code);
        m_byName[entry["name"].get<std::string>()] = points.size();
        points.push_back(std::move(point));
    }
}

void Job::applyLevelRuns(const json& value) {
    for (std::size_t r = 0; r < value.size(); ++r) {
        const json& entry = value[r];
        const std::string path = pathText("$.levelRuns", r);
        LevelRun run;
        run.name = textOf(entry, "name");
        run.description = textOf(entry, "description");
        const auto& start = entry["start"].get_ref<const std::string&>();
        const KnownPoint* known = find(start);
        if (known == nullptr) unknownPoint(pathText(path, "start"), start);
        run.start = wideFromUtf8(start);
        run.startElevation = known->coords.h;
        // Heights carried along the run: a backsight sees a point of known height (the start,
        // a known point or a point a foresight of this run reached).
        std::unordered_map<std::string, double> heights{{start, run.startElevation}};
        double collimation = run.startElevation;
        double previous = run.startElevation;
        const json& readings = entry["readings"];
        for (std::size_t i = 0; i < readings.size(); ++i) {
            const json& item = readings[i];
            LevelReading reading;
            const auto& name = item["point"].get_ref<const std::string&>();
            reading.point = wideFromUtf8(name);
            reading.backsight = item.contains("bs");
            reading.rod = item[reading.backsight ? "bs" : "fs"].get<double>();
            reading.distance = numberOf(item, "dist", kNoValue);
            reading.code = textOf(item, "code");
            if (reading.backsight) {
                auto height = heights.find(name);
                const KnownPoint* point = find(name);
                if (height == heights.end() && point == nullptr) {
                    unknownPoint(pathText(pathText(pathText(path, "readings"), i), "point"), name);
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

Setup Job::makeSetup(const json& value, std::size_t index) const {
    const std::string path = pathText("$.setups", index);
    Setup setup;
    setup.index = index;
    const auto& station = value["station"].get_ref<const std::string&>();
    setup.station = wideFromUtf8(station);
    setup.hi = value["hi"].get<double>();
    setup.code = textOf(value, "code");
    setup.note = textOf(value, "note");
    if (auto coords = value.find("coords"); coords != value.end()) {
        setup.coords = xyz(*coords);
    } else if (const KnownPoint* point = find(station)) {
        setup.coords = point->coords;
    } else {
        unknownPoint(pathText(path, "station"), station);
    }
    double lastHr = 0.0;

    if (auto bs = value.find("backsight"); bs != value.end()) {
        Backsight& backsight = setup.backsight;
        DexTSRawMeasurement m;
        backsight.measured = readMeasurement(*bs, m);
        backsight.hr = lastHr = numberOf(*bs, "hr", 0.0);
        if (auto point = bs->find("point"); point != bs->end()) {
            const auto& name = point->get_ref<const std::string&>();
            const KnownPoint* known = find(name);
            if (known == nullptr) unknownPoint(pathText(pathText(path, "backsight"), "point"), name);
            backsight.kind = Backsight::Kind::point;
            backsight.point = wideFromUtf8(name);
            backsight.azimuth = azimuth(setup.coords, known->coords);
            backsight.sight.setTargetName(backsight.point);
            backsight.sight.setBSPoint(known->design);
        } else {
            backsight.kind = Backsight::Kind::bearing;
            backsight.azimuth = (*bs)["bearing"].get<double>();
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

    if (auto resection = value.find("resection"); resection != value.end()) {
        double sumSin = 0.0, sumCos = 0.0;
        for (std::size_t i = 0; i < resection->size(); ++i) {
            const json& item = (*resection)[i];
            Observation obs = readObservation(item, lastHr);
            const auto& name = item["to"].get_ref<const std::string&>();
            const KnownPoint* known = find(name);
            if (known == nullptr) {
                unknownPoint(pathText(pathText(pathText(path, "resection"), i), "to"), name);
            }
            obs.hasCoords = true;
            obs.coords = known->coords;
            // The orientation of a resection is the mean of azimuth minus circle reading.
            const double difference = (azimuth(setup.coords, known->coords) - obs.measurement().valueAt(0)) *
                                      3.14159265358979323846 / 180.0;
            sumSin += std::sin(difference);
            sumCos += std::cos(difference);
            setup.resection.push_back(std::move(obs));
        }
        if (setup.backsight.kind == Backsight::Kind::none && !setup.resection.empty()) {
            setup.orientation = std::atan2(sumSin, sumCos) * 180.0 / 3.14159265358979323846;
        }
    }

    if (auto shots = value.find("shots"); shots != value.end()) {
        setup.shots.reserve(shots->size());
        setup.shots.resize(shots->size());
        for (std::size_t i = 0; i < shots->size(); ++i) readObservation((*shots)[i], lastHr, setup.shots[i]);
    }

    if (auto stakeouts = value.find("stakeouts"); stakeouts != value.end()) {
        for (std::size_t i = 0; i < stakeouts->size(); ++i) {
            const json& item = (*stakeouts)[i];
            Stakeout stakeout;
            const auto& design = item["design"].get_ref<const std::string&>();
            const KnownPoint* known = find(design);
            if (known == nullptr) {
                unknownPoint(pathText(pathText(pathText(path, "stakeouts"), i), "design"), design);
            }
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

}  // namespace exportgen
