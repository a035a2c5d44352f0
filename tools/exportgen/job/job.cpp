#include "job/job.h"

#include <cmath>

#include "cli/errors.h"
#include "contracts/text_services.h"
#include "job/atmosphere.h"
#include "output/text.h"
#include "readers/json_value.h"

namespace exportgen {

namespace {

using namespace orv::ie;

std::string pathText(const std::string& base, const char* key) { return base + "." + key; }
std::string pathText(const std::string& base, std::size_t index) { return base + "[" + std::to_string(index) + "]"; }

COrvStringT textOf(const JsonValue& object, const char* key) {
    const JsonValue* member = object.find(key);
    if (member == nullptr || !member->isString()) return COrvStringT();
    return wideFromUtf8(member->text());
}

double numberOf(const JsonValue& object, const char* key, double fallback) {
    const JsonValue* member = object.find(key);
    return member == nullptr ? fallback : member->number();
}

int indexIn(const JsonValue& value, std::initializer_list<const char*> names) {
    const std::string_view name = value.text();
    int index = 0;
    for (const char* candidate : names) {
        if (name == candidate) return index;
        ++index;
    }
    return 0;
}

Point3 xyz(const JsonValue& value, const InputUnits& units) {
    return {units.metres(value.at(0)->number()), units.metres(value.at(1)->number()),
            units.metres(value.at(2)->number())};
}

// The codes of a point or an observation from its members "codes" (a list) or "code" (one code
// by name); either may be null.
void readCodes(const JsonValue* list, const JsonValue* code, DexCodesDataInterface& codes, COrvStringT& firstCode) {
    if (list != nullptr) {
        for (const JsonValue& entry : *list) {
            if (entry.isNull()) {
                codes.addNullCode();
                continue;
            }
            DexCodeValues value;
            const JsonValue* name = entry.find("code");
            const bool named = name != nullptr && name->isString();
            DexCodeDescription description(named ? wideFromUtf8(name->text()) : COrvStringT());
            const JsonValue* attributes = entry.find("attributes");
            if (attributes != nullptr) {
                for (const JsonValue& pair : *attributes) description.addAttribute(wideFromUtf8(pair.at(0)->text()));
            }
            if (named) {
                value.setDescription(description);
                if (firstCode.IsEmpty()) firstCode = description.codeName();
            }
            if (const JsonValue* strings = entry.find("strings")) {
                for (const JsonValue& string : *strings) value.addCodeString(wideFromUtf8(string.text()));
            }
            if (const JsonValue* control = entry.find("control")) {
                int i = 0;
                for (const JsonValue& code : *control) {
                    value.setControlCode(static_cast<ECodeControlCode>(i++), wideFromUtf8(code.text()));
                }
            }
            if (attributes != nullptr) {
                int i = 0;
                for (const JsonValue& pair : *attributes) value.setAttrAt(i++, wideFromUtf8(pair.at(1)->text()));
            }
            codes.addCode(value);
        }
    } else if (code != nullptr) {
        firstCode = wideFromUtf8(code->text());
        if (!firstCode.IsEmpty()) codes.addCode(DexCodeValues(DexCodeDescription(firstCode)));
    }
}

// The kind of measurement a member of an observation holds: sd, hd, angles, hz or dist; -1 for
// any other member.
int measurementKind(std::string_view key) {
    if (key == "sd") return 0;
    if (key == "hd") return 1;
    if (key == "angles") return 2;
    if (key == "hz") return 6;
    if (key == "dist") return 9;
    return -1;
}

// Whether the value at `index` of a measurement of `kind` is an angle (else a distance or a
// height difference): sd [hz, zenith, slope], hd [hz, horizontal, rise], angles [hz, zenith],
// hz [hz], dist [slope].
bool isAngle(int kind, std::size_t index) {
    if (kind == 9) return false;
    if (kind == 1) return index == 0;
    return index < 2;
}

DexTSRawMeasurement measurementOf(int kind, const JsonValue& list, const InputUnits& units) {
    std::vector<double> values;
    values.reserve(3);
    for (const JsonValue& v : list) {
        const double number = v.number();
        values.push_back(isAngle(kind, values.size()) ? units.degrees(number) : units.metres(number));
    }
    return DexTSRawMeasurement(kind, std::move(values));
}

// The one measurement of an object (the schema allows one).
bool readMeasurement(const JsonValue& object, DexTSRawMeasurement& m, const InputUnits& units) {
    for (const JsonValue& member : object) {
        const int kind = member.shadowed() ? -1 : measurementKind(member.key());
        if (kind < 0) continue;
        m = measurementOf(kind, member, units);
        return true;
    }
    return false;
}

// An observation in one walk over its members: a set-up holds thousands of them.
void readObservation(const JsonValue& object, double& lastHr, Observation& shot, const InputUnits& units) {
    std::string_view target, note;
    const JsonValue* codes = nullptr;
    const JsonValue* code = nullptr;
    bool foresight = false;
    for (const JsonValue& member : object) {
        if (member.shadowed()) continue;
        const std::string_view key = member.key();
        if (key == "to") {
            target = member.text();
        } else if (key == "fs") {
            foresight = member.boolean();
        } else if (key == "hr") {
            lastHr = units.metres(member.number());
        } else if (key == "note") {
            note = member.text();
        } else if (key == "codes") {
            codes = &member;
        } else if (key == "code") {
            code = &member;
        } else if (key == "coords") {
            shot.hasCoords = true;
            shot.coords = xyz(member, units);
        } else if (const int kind = measurementKind(key); kind >= 0) {
            shot.sight.setMeasurement(measurementOf(kind, member, units));
        }
    }
    shot.sight.setTargetName(wideFromUtf8(target));
    shot.sight.setKind(foresight ? 2 : 3);
    shot.hr = lastHr;
    readCodes(codes, code, shot.sight.codes, shot.code);
    shot.sight.setNote(wideFromUtf8(note));
}

Observation readObservation(const JsonValue& object, double& lastHr, const InputUnits& units) {
    Observation shot;
    readObservation(object, lastHr, shot, units);
    return shot;
}

}  // namespace

double InputUnits::metres(double value) const noexcept {
    switch (distance) {
        case eUSFeet:
        case eUSFeetInches:
            // Multiplying first keeps typical values exact until the one division, as the
            // contracts' conversion the other way does.
            return value * 1200.0 / 3937.0;
        case eInternationalFeet:
        case eInternationalFeetInches:
            return value * 0.3048;
        default:
            return value;
    }
}

double InputUnits::degrees(double value) const noexcept {
    return angle == eDecimalDegrees ? value : utils::angleToDecDeg(value, angle);
}

void Job::unknownPoint(const JsonValue& at, const std::string& path, std::string_view name) const {
    JobError error(at.offset(), path + ": unknown point " + shownName(name));
    if (problems == nullptr) throw error;
    problems->add(error);
}

Job::Job() {
    info.appName = L"exportgen";
    info.appVersion = L"1.0";
    info.setDistUnits(eMeters);
}

const KnownPoint* Job::find(std::string_view name) const {
    auto it = m_byName.find(std::string(name));
    return it == m_byName.end() ? nullptr : &points[it->second];
}

void Job::apply(std::string_view key, const JsonValue& value) {
    if (key == "inputUnits") applyInputUnits(value);
    if (key == "units") applyUnits(value);
    if (key == "job") applyJob(value);
    if (key == "observation") applyObservation(value);
    if (key == "points") applyPoints(value);
    if (key == "levelRuns") applyLevelRuns(value);
}

void Job::applyUnits(const JsonValue& value) {
    if (const JsonValue* distance = value.find("distance")) {
        const auto units =
            static_cast<EDistUnits>(indexIn(*distance, {"metres", "usSurveyFeet", "internationalFeet",
                                                        "usSurveyFeetInches", "internationalFeetInches"}));
        settings.setDistUnits(units);
        info.setDistUnits(units);
    }
    if (const JsonValue* angle = value.find("angle")) {
        const auto units =
            static_cast<EAngleUnits>(indexIn(*angle, {"degrees", "gons", "mils", "decimalDegrees", "packedDms"}));
        settings.setAngleUnits(units);
        info.setAngleUnits(units);
    }
}

void Job::applyInputUnits(const JsonValue& value) {
    if (const JsonValue* distance = value.find("distance")) {
        input.distance = static_cast<EDistUnits>(indexIn(*distance, {"metres", "usSurveyFeet", "internationalFeet",
                                                                     "usSurveyFeetInches", "internationalFeetInches"}));
    }
    if (const JsonValue* angle = value.find("angle")) {
        static constexpr EAngleUnits kUnits[] = {eDecimalDegrees, eGons, eMils, eDegMinSec};
        input.angle = kUnits[indexIn(*angle, {"decimalDegrees", "gons", "mils", "packedDms"})];
    }
}

void Job::applyJob(const JsonValue& value) {
    if (value.find("application") != nullptr) info.appName = textOf(value, "application");
    if (value.find("version") != nullptr) info.appVersion = textOf(value, "version");
    info.jobName = textOf(value, "name");
    info.jobText2 = textOf(value, "text2");
    info.jobText3 = textOf(value, "text3");
    if (const JsonValue* created = value.find("created")) {
        info.setCreateTime(textOf(*created, "date"), textOf(*created, "time"));
        if (const JsonValue* date = created->find("date")) {
            this->created.present = true;
            this->created.date = std::string(date->text());
            this->created.dateOffset = date->offset();
        }
        if (const JsonValue* time = created->find("time")) {
            this->created.hasTime = true;
            this->created.time = std::string(time->text());
            this->created.timeOffset = time->offset();
        }
    }
}

void Job::applyObservation(const JsonValue& value) {
    observation.instrument = textOf(value, "instrument");
    observation.obsConstant = numberOf(value, "prismConstant", 0.0);
    if (const JsonValue* temperature = value.find("temperature")) {
        const JsonValue* units = value.find("temperatureUnits");
        const bool fahrenheit = units != nullptr && units->text() == "fahrenheit";
        const ETemperatureUnits given = fahrenheit ? eFahrenheit : eCelsius;
        observation.setTemperature(celsiusFrom(temperature->number(), given), given);
    }
    if (const JsonValue* pressure = value.find("pressure")) {
        const JsonValue* units = value.find("pressureUnits");
        const int index = units != nullptr ? indexIn(*units, {"hPa", "mmHg", "inHg"}) : 0;
        const auto given = static_cast<EPressureUnits>(index + 1);
        observation.setPressure(hectopascalsFrom(pressure->number(), given), given);
    }
    if (const JsonValue* ppm = value.find("ppm")) observation.setPpm(ppm->number());
    if (value.find("scaleFactor") != nullptr || value.find("elevation") != nullptr) {
        observation.setEllToGridScaleAndElevation(numberOf(value, "scaleFactor", 1.0),
                                                  input.metres(numberOf(value, "elevation", 0.0)));
    }
}

void Job::applyPoints(const JsonValue& value) {
    for (const JsonValue& entry : value) applyPoint(entry);
}

void Job::applyPoint(const JsonValue& entry) {
    KnownPoint point;
    point.coords = xyz(*entry.find("coords"), input);
    point.design.setStation(
        DexStation(textOf(entry, "name"), point.coords.n, point.coords.e, point.coords.h, textOf(entry, "note")));
    readCodes(entry.find("codes"), entry.find("code"), point.design.codes, point.code);
    m_byName[std::string(entry.find("name")->text())] = points.size();
    points.push_back(std::move(point));
}

void Job::applyLevelRuns(const JsonValue& value) {
    std::size_t r = 0;
    for (const JsonValue& entry : value) {
        const std::string path = pathText("$.levelRuns", r++);
        LevelRun run;
        run.name = textOf(entry, "name");
        run.description = textOf(entry, "description");
        const std::string start(entry.find("start")->text());
        const KnownPoint* known = find(start);
        if (known == nullptr) unknownPoint(*entry.find("start"), pathText(path, "start"), start);
        run.start = wideFromUtf8(start);
        run.startElevation = known != nullptr ? known->coords.h : 0.0;
        // Heights carried along the run: a backsight sees a point of known height (the start,
        // a known point or a point a foresight of this run reached).
        std::unordered_map<std::string, double> heights{{start, run.startElevation}};
        double collimation = run.startElevation;
        double previous = run.startElevation;
        std::size_t i = 0;
        for (const JsonValue& item : *entry.find("readings")) {
            const std::size_t index = i++;
            LevelReading reading;
            const std::string name(item.find("point")->text());
            reading.point = wideFromUtf8(name);
            const JsonValue* backsight = item.find("bs");
            reading.backsight = backsight != nullptr;
            reading.rod = input.metres((reading.backsight ? backsight : item.find("fs"))->number());
            const JsonValue* distance = item.find("dist");
            reading.distance = distance != nullptr ? input.metres(distance->number()) : kNoValue;
            reading.code = textOf(item, "code");
            if (reading.backsight) {
                auto height = heights.find(name);
                const KnownPoint* point = find(name);
                if (height == heights.end() && point == nullptr) {
                    unknownPoint(*item.find("point"), pathText(pathText(pathText(path, "readings"), index), "point"),
                                 name);
                }
                reading.elevation = height != heights.end() ? height->second : point != nullptr ? point->coords.h : 0.0;
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

const KnownPoint* Job::findForSetup(std::string_view name) const {
    if (const KnownPoint* point = find(name)) return point;
    auto it = m_stations.find(std::string(name));
    return it == m_stations.end() ? nullptr : &it->second;
}

// After a set-up: its station, when it is not a known point, is known from now on with the
// set-up's coordinates, and each foresight's target is where its observation puts it (the
// latest observation of a name counts).
void Job::learnStation(const Setup& setup, std::string_view name) {
    if (find(name) == nullptr) {
        KnownPoint& point = m_stations[std::string(name)];
        point.coords = setup.coords;
        point.code = setup.code;
        point.design = DexDesignPoint();
        point.design.setStation(DexStation(setup.station, setup.coords.n, setup.coords.e, setup.coords.h, setup.note));
        if (!setup.code.IsEmpty()) point.design.codes.addCode(DexCodeValues(DexCodeDescription(setup.code)));
    }
    for (const Observation& shot : setup.shots) {
        Point3 observed;
        if (shot.sight.sightKind() == 2 &&
            target(setup.coords, setup.hi, shot.hr, setup.orientation, shot.measurement(), observed)) {
            m_foresights[utf8(shot.sight.targetName())] = observed;
        }
    }
}

Setup Job::makeSetup(const JsonValue& value, std::size_t index) {
    const std::string path = pathText("$.setups", index);
    Setup setup;
    setup.index = index;
    const std::string_view station = value.find("station")->text();
    setup.station = wideFromUtf8(station);
    setup.hi = input.metres(value.find("hi")->number());
    setup.code = textOf(value, "code");
    setup.note = textOf(value, "note");
    bool located = true;
    if (const JsonValue* coords = value.find("coords")) {
        setup.coords = xyz(*coords, input);
    } else if (const KnownPoint* point = findForSetup(station)) {
        setup.coords = point->coords;
    } else if (auto observed = m_foresights.find(std::string(station)); observed != m_foresights.end()) {
        setup.coords = observed->second;
    } else {
        located = false;
        unknownPoint(*value.find("station"), pathText(path, "station"), station);
    }
    double lastHr = 0.0;

    if (const JsonValue* bs = value.find("backsight")) {
        Backsight& backsight = setup.backsight;
        DexTSRawMeasurement m;
        backsight.measured = readMeasurement(*bs, m, input);
        backsight.hr = lastHr = input.metres(numberOf(*bs, "hr", 0.0));
        if (const JsonValue* point = bs->find("point")) {
            const std::string_view name = point->text();
            const KnownPoint* known = findForSetup(name);
            backsight.kind = Backsight::Kind::point;
            backsight.point = wideFromUtf8(name);
            backsight.sight.setTargetName(backsight.point);
            if (known != nullptr) {
                backsight.azimuth = azimuth(setup.coords, known->coords);
                backsight.sight.setBSPoint(known->design);
            } else {
                unknownPoint(*point, pathText(pathText(path, "backsight"), "point"), name);
            }
        } else {
            backsight.kind = Backsight::Kind::bearing;
            backsight.azimuth = input.degrees(bs->find("bearing")->number());
            backsight.bearingSight.setBsNameMode(1);
        }
        const JsonValue* circle = bs->find("circle");
        backsight.circle = circle != nullptr    ? input.degrees(circle->number())
                           : backsight.measured ? m.valueAt(0)
                                                : 0.0;
        if (backsight.measured) {
            m.setBacksightTarget(true);
            backsight.sight.setMeasurement(m);
            backsight.bearingSight.setMeasurement(m);
        }
        setup.orientation = backsight.azimuth - backsight.circle;
    }

    if (const JsonValue* resection = value.find("resection")) {
        double sumSin = 0.0, sumCos = 0.0;
        std::size_t i = 0;
        for (const JsonValue& item : *resection) {
            const std::size_t at = i++;
            Observation obs = readObservation(item, lastHr, input);
            const std::string_view name = item.find("to")->text();
            const KnownPoint* known = findForSetup(name);
            if (known == nullptr) {
                unknownPoint(*item.find("to"), pathText(pathText(pathText(path, "resection"), at), "to"), name);
                continue;
            }
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

    if (const JsonValue* shots = value.find("shots")) {
        setup.shots.resize(shots->size());
        std::size_t i = 0;
        for (const JsonValue& item : *shots) readObservation(item, lastHr, setup.shots[i++], input);
    }

    if (const JsonValue* stakeouts = value.find("stakeouts")) {
        std::size_t i = 0;
        for (const JsonValue& item : *stakeouts) {
            const std::size_t at = i++;
            Stakeout stakeout;
            const std::string_view design = item.find("design")->text();
            const KnownPoint* known = findForSetup(design);
            if (known == nullptr) {
                unknownPoint(*item.find("design"), pathText(pathText(pathText(path, "stakeouts"), at), "design"),
                             design);
                continue;
            }
            stakeout.design = wideFromUtf8(design);
            stakeout.designCoords = known->coords;
            stakeout.shot = readObservation(item, lastHr, input);
            target(setup.coords, setup.hi, stakeout.shot.hr, setup.orientation, stakeout.shot.measurement(),
                   stakeout.staked);
            stakeout.shot.hasCoords = true;
            stakeout.shot.coords = stakeout.staked;
            setup.stakeouts.push_back(std::move(stakeout));
        }
    }
    if (located) learnStation(setup, station);
    return setup;
}

}  // namespace exportgen
