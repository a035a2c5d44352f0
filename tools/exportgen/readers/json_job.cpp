#include "readers/json_job.h"

#include <cmath>

#include "base/atmosphere.h"
#include "base/problems.h"
#include "base/text.h"
#include "contracts/text_services.h"
#include "contracts/units.h"
#include "readers/json_schema.h"

namespace exportgen {

namespace {

using namespace orv::ie;

std::string pathText(const std::string& base, const char* key) { return base + "." + key; }
std::string pathText(const std::string& base, std::size_t index) { return base + "[" + std::to_string(index) + "]"; }

// A text that holds a character some chosen format reserves in its kind of field: an error
// naming the path, or under --sanitize the text with each such character replaced.
[[noreturn]] void reservedError(const TextCheck& check, TextKind kind, const JsonValue& value, const JsonPath& path,
                                std::size_t at) {
    const std::string_view text = value.text();
    const auto byte = static_cast<unsigned char>(text[at]);
    throw JobError(value.offset(), path.text() + ": " + textKindName(kind) + " " + shownName(text) + " holds " +
                                       shownCharacter(byte) + ", which " + check.rules->formatReserving(kind, byte) +
                                       " cannot carry there (--sanitize replaces it by a blank)");
}

COrvStringT sanitized(const TextCheck& check, TextKind kind, const JsonValue& value, const JsonPath& path,
                      std::size_t at) {
    if (!check.sanitize) reservedError(check, kind, value, path, at);
    const std::string_view original = value.text();
    std::string text(original);
    const std::string where = path.text();
    for (; at < text.size(); ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        const char* format = check.rules->formatReserving(kind, byte);
        if (format == nullptr) continue;
        text[at] = kSanitizeReplacement;
        if (check.warn) {
            check.warn(format,
                       "replaced " + shownCharacter(byte) + " in " + textKindName(kind) + " " + shownName(original) +
                           " by a blank",
                       where, value.offset());
        }
    }
    return wideFromUtf8(text);
}

// A text of the job as the outputs will carry it: one table lookup per byte, nothing more for a
// clean text.
COrvStringT checkedText(const TextCheck& check, TextKind kind, const JsonValue& value, const JsonPath& path) {
    const std::string_view text = value.text();
    if (check.rules != nullptr) {
        const std::size_t at = check.rules->firstReserved(kind, text);
        if (at != std::string_view::npos) return sanitized(check, kind, value, path, at);
    }
    return wideFromUtf8(text);
}

// The text member `key` of `object` at `path`, checked; empty when absent or not a text.
COrvStringT textOf(const TextCheck& check, TextKind kind, const JsonValue& object, const char* key,
                   const JsonPath& path) {
    const JsonValue* member = object.find(key);
    if (member == nullptr || !member->isString()) return COrvStringT();
    const JsonPath at{&path, std::string_view(key)};
    return checkedText(check, kind, *member, at);
}

// Values no instrument gives: a negative distance, a zenith outside a full circle, an
// instrument or target height beyond a kilometre. They are written as given, and reported.
constexpr double kHighestHeight = 1000.0;

void implausible(const TextCheck& check, const std::string& what, const JsonPath& path, std::size_t offset) {
    if (check.warn) check.warn("job", what, path.text(), offset);
}

void checkHeight(const TextCheck& check, const JsonValue* value, const char* what, const JsonPath& path) {
    if (value == nullptr) return;
    const double height = value->number();
    if (std::fabs(height) > kHighestHeight) {
        implausible(check, std::string(what) + " " + shortestNumber(height) + " m is beyond a kilometre", path,
                    value->offset());
    }
}

// The measurement `values` of kind `key` (sd, hd, angles, hz, dist) at `path`.
void checkMeasurement(const TextCheck& check, std::string_view key, const JsonValue& values, const JsonPath& path) {
    std::size_t distance = 99, zenith = 99;
    if (key == "sd") zenith = 1, distance = 2;
    if (key == "hd") distance = 1;
    if (key == "angles") zenith = 1;
    if (key == "dist") distance = 0;
    std::size_t i = 0;
    for (const JsonValue& v : values) {
        const std::size_t index = i++;
        const double x = v.number();
        if (index == distance && x < 0.0) {
            const JsonPath at{&path, index};
            implausible(check, "negative distance " + shortestNumber(x), at, v.offset());
        } else if (index == zenith && !(x >= 0.0 && x <= 360.0)) {
            const JsonPath at{&path, index};
            implausible(check, "zenith " + shortestNumber(x) + " is outside 0 to 360 degrees", at, v.offset());
        }
    }
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
// by name); either may be null. `path` is the path of the point or observation.
void readCodes(const TextCheck& check, const JsonPath& path, const JsonValue* list, const JsonValue* code,
               DexCodesDataInterface& codes, COrvStringT& firstCode) {
    if (list != nullptr) {
        const JsonPath listPath{&path, std::string_view("codes")};
        std::size_t c = 0;
        for (const JsonValue& entry : *list) {
            const JsonPath entryPath{&listPath, c++};
            if (entry.isNull()) {
                codes.addNullCode();
                continue;
            }
            DexCodeValues value;
            const JsonValue* name = entry.find("code");
            const bool named = name != nullptr && name->isString();
            const JsonPath namePath{&entryPath, std::string_view("code")};
            DexCodeDescription description(named ? checkedText(check, TextKind::code, *name, namePath) : COrvStringT());
            const JsonValue* attributes = entry.find("attributes");
            const JsonPath attributesPath{&entryPath, std::string_view("attributes")};
            if (attributes != nullptr) {
                std::size_t a = 0;
                for (const JsonValue& pair : *attributes) {
                    const JsonPath pairPath{&attributesPath, a++};
                    const JsonPath keyPath{&pairPath, std::size_t{0}};
                    description.addAttribute(checkedText(check, TextKind::attribute, *pair.at(0), keyPath));
                }
            }
            if (named) {
                value.setDescription(description);
                if (firstCode.IsEmpty()) firstCode = description.codeName();
            }
            if (const JsonValue* strings = entry.find("strings")) {
                const JsonPath stringsPath{&entryPath, std::string_view("strings")};
                std::size_t k = 0;
                for (const JsonValue& string : *strings) {
                    const JsonPath at{&stringsPath, k++};
                    value.addCodeString(checkedText(check, TextKind::attribute, string, at));
                }
            }
            if (const JsonValue* control = entry.find("control")) {
                const JsonPath controlPath{&entryPath, std::string_view("control")};
                int i = 0;
                for (const JsonValue& controlCode : *control) {
                    const JsonPath at{&controlPath, static_cast<std::size_t>(i)};
                    value.setControlCode(static_cast<ECodeControlCode>(i++),
                                         checkedText(check, TextKind::attribute, controlCode, at));
                }
            }
            if (attributes != nullptr) {
                int i = 0;
                for (const JsonValue& pair : *attributes) {
                    const JsonPath pairPath{&attributesPath, static_cast<std::size_t>(i)};
                    const JsonPath valuePath{&pairPath, std::size_t{1}};
                    value.setAttrAt(i++, checkedText(check, TextKind::attribute, *pair.at(1), valuePath));
                }
            }
            codes.addCode(value);
        }
    } else if (code != nullptr) {
        const JsonPath at{&path, std::string_view("code")};
        firstCode = checkedText(check, TextKind::code, *code, at);
        if (!firstCode.IsEmpty()) codes.addCode(DexCodeValues(DexCodeDescription(firstCode)));
    }
}

// The kind of measurement a member of an observation holds: sd, hd, angles, hz or dist; -1 for
// any other member.
int measurementKind(std::string_view key) {
    if (key == "sd") return eKindAnglesAndSlopeDistance;
    if (key == "hd") return eKindAngleAndHorizontalDistance;
    if (key == "angles") return eKindAnglesOnly;
    if (key == "hz") return eKindHorizontalAngleOnly;
    if (key == "dist") return eKindSlopeDistanceOnly;
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

// An observation in one walk over its members: a set-up holds thousands of them. `path` is the
// observation's own.
void readObservation(const TextCheck& check, const JsonPath& path, const JsonValue& object, double& lastHr,
                     Observation& shot, const InputUnits& units) {
    const JsonValue* target = nullptr;
    const JsonValue* note = nullptr;
    const JsonValue* codes = nullptr;
    const JsonValue* code = nullptr;
    bool foresight = false;
    for (const JsonValue& member : object) {
        if (member.shadowed()) continue;
        const std::string_view key = member.key();
        if (key == "to") {
            target = &member;
        } else if (key == "fs") {
            foresight = member.boolean();
        } else if (key == "hr") {
            lastHr = units.metres(member.number());
            if (std::fabs(lastHr) > kHighestHeight) checkHeight(check, &member, "target height", JsonPath{&path, key});
        } else if (key == "note") {
            note = &member;
        } else if (key == "codes") {
            codes = &member;
        } else if (key == "code") {
            code = &member;
        } else if (key == "coords") {
            shot.hasCoords = true;
            shot.coords = xyz(member, units);
        } else if (const int kind = measurementKind(key); kind >= 0) {
            shot.sight.setMeasurement(measurementOf(kind, member, units));
            checkMeasurement(check, key, member, JsonPath{&path, key});
        }
    }
    shot.sight.setTargetName(target != nullptr
                                 ? checkedText(check, TextKind::name, *target, JsonPath{&path, std::string_view("to")})
                                 : COrvStringT());
    shot.sight.setKind(foresight ? 2 : 3);
    shot.hr = lastHr;
    readCodes(check, path, codes, code, shot.sight.codes, shot.code);
    shot.sight.setNote(note != nullptr
                           ? checkedText(check, TextKind::note, *note, JsonPath{&path, std::string_view("note")})
                           : COrvStringT());
}

Observation readObservation(const TextCheck& check, const JsonPath& path, const JsonValue& object, double& lastHr,
                            const InputUnits& units) {
    Observation shot;
    readObservation(check, path, object, lastHr, shot, units);
    return shot;
}

}  // namespace

JsonJob::JsonJob(Job& job) : m_job(job) {}

void JsonJob::unknownPoint(const JsonValue& at, const std::string& path, std::string_view name) const {
    JobError error(at.offset(), path + ": unknown point " + shownName(name));
    if (problems == nullptr) throw error;
    problems->add(error);
}

void JsonJob::apply(std::string_view key, const JsonValue& value) {
    if (key == "inputUnits") applyInputUnits(value);
    if (key == "units") applyUnits(value);
    if (key == "job") applyJob(value);
    if (key == "observation") applyObservation(value);
    if (key == "points") applyPoints(value);
    if (key == "levelRuns") applyLevelRuns(value);
}

void JsonJob::applyUnits(const JsonValue& value) {
    if (const JsonValue* distance = value.find("distance")) {
        const auto units =
            static_cast<EDistUnits>(indexIn(*distance, {"metres", "usSurveyFeet", "internationalFeet",
                                                        "usSurveyFeetInches", "internationalFeetInches"}));
        m_job.settings.setDistUnits(units);
        m_job.info.setDistUnits(units);
    }
    if (const JsonValue* angle = value.find("angle")) {
        const auto units =
            static_cast<EAngleUnits>(indexIn(*angle, {"degrees", "gons", "mils", "decimalDegrees", "packedDms"}));
        m_job.settings.setAngleUnits(units);
        m_job.info.setAngleUnits(units);
    }
}

void JsonJob::applyInputUnits(const JsonValue& value) {
    if (const JsonValue* distance = value.find("distance")) {
        m_job.input.distance =
            static_cast<EDistUnits>(indexIn(*distance, {"metres", "usSurveyFeet", "internationalFeet",
                                                        "usSurveyFeetInches", "internationalFeetInches"}));
    }
    if (const JsonValue* angle = value.find("angle")) {
        static constexpr EAngleUnits kUnits[] = {eDecimalDegrees, eGons, eMils, eDegMinSec};
        m_job.input.angle = kUnits[indexIn(*angle, {"decimalDegrees", "gons", "mils", "packedDms"})];
    }
}

void JsonJob::applyJob(const JsonValue& value) {
    const JsonPath root;
    const JsonPath path{&root, std::string_view("job")};
    const TextCheck& c = m_check;
    if (value.find("application") != nullptr)
        m_job.info.appName = textOf(c, TextKind::text, value, "application", path);
    if (value.find("version") != nullptr) m_job.info.appVersion = textOf(c, TextKind::text, value, "version", path);
    m_job.info.jobName = textOf(c, TextKind::text, value, "name", path);
    m_job.info.jobText2 = textOf(c, TextKind::text, value, "text2", path);
    m_job.info.jobText3 = textOf(c, TextKind::text, value, "text3", path);
    if (const JsonValue* createdValue = value.find("created")) {
        const JsonPath at{&path, std::string_view("created")};
        m_job.info.setCreateTime(textOf(c, TextKind::text, *createdValue, "date", at),
                                 textOf(c, TextKind::text, *createdValue, "time", at));
        if (const JsonValue* date = createdValue->find("date")) {
            m_job.created.present = true;
            m_job.created.date = std::string(date->text());
            m_job.created.dateOffset = date->offset();
        }
        if (const JsonValue* time = createdValue->find("time")) {
            m_job.created.hasTime = true;
            m_job.created.time = std::string(time->text());
            m_job.created.timeOffset = time->offset();
        }
    }
}

void JsonJob::applyObservation(const JsonValue& value) {
    const JsonPath root;
    const JsonPath path{&root, std::string_view("observation")};
    m_job.observation.instrument = textOf(m_check, TextKind::text, value, "instrument", path);
    m_job.observation.obsConstant = numberOf(value, "prismConstant", 0.0);
    if (const JsonValue* temperature = value.find("temperature")) {
        const JsonValue* units = value.find("temperatureUnits");
        const bool fahrenheit = units != nullptr && units->text() == "fahrenheit";
        const ETemperatureUnits given = fahrenheit ? eFahrenheit : eCelsius;
        m_job.observation.setTemperature(celsiusFrom(temperature->number(), given), given);
    }
    if (const JsonValue* pressure = value.find("pressure")) {
        const JsonValue* units = value.find("pressureUnits");
        const int index = units != nullptr ? indexIn(*units, {"hPa", "mmHg", "inHg"}) : 0;
        const auto given = static_cast<EPressureUnits>(index + 1);
        m_job.observation.setPressure(hectopascalsFrom(pressure->number(), given), given);
    }
    if (const JsonValue* ppm = value.find("ppm")) m_job.observation.setPpm(ppm->number());
    if (value.find("scaleFactor") != nullptr || value.find("elevation") != nullptr) {
        m_job.observation.setEllToGridScaleAndElevation(numberOf(value, "scaleFactor", 1.0),
                                                        m_job.input.metres(numberOf(value, "elevation", 0.0)));
    }
}

void JsonJob::applyPoints(const JsonValue& value) {
    std::size_t i = 0;
    for (const JsonValue& entry : value) applyPoint(entry, i++);
}

void JsonJob::applyPoint(const JsonValue& entry, std::size_t index) {
    const JsonPath root;
    const JsonPath list{&root, std::string_view("points")};
    {
        const JsonPath path{&list, index};
        KnownPoint point;
        point.coords = xyz(*entry.find("coords"), m_job.input);
        const JsonValue& name = *entry.find("name");
        point.design.setStation(DexStation(
            checkedText(m_check, TextKind::name, name, JsonPath{&path, std::string_view("name")}), point.coords.n,
            point.coords.e, point.coords.h, textOf(m_check, TextKind::note, entry, "note", path)));
        readCodes(m_check, path, entry.find("codes"), entry.find("code"), point.design.codes, point.code);
        const auto [known, added] = m_job.pointIndex.try_emplace(std::string(name.text()), m_job.points.size());
        if (!added) {
            // The same point twice is harmless; two places for one name are not.
            const KnownPoint& first = m_job.points[known->second];
            if (first.coords.n != point.coords.n || first.coords.e != point.coords.e ||
                first.coords.h != point.coords.h) {
                const JsonPath firstPath{&list, known->second};
                throw JobError(entry.offset(), path.text() + ": point " + shownName(name.text()) +
                                                   " is defined again with other coordinates than at " +
                                                   firstPath.text());
            }
            known->second = m_job.points.size();
        }
        // A name that --sanitize changed is found by the name the writers see as well.
        if (m_check.sanitize) {
            if (std::string written = utf8(point.design.getStation().name()); written != name.text()) {
                m_job.pointIndex[std::move(written)] = m_job.points.size();
            }
        }
        m_job.points.push_back(std::move(point));
    }
}

void JsonJob::applyLevelRuns(const JsonValue& value) {
    const JsonPath root;
    const JsonPath runs{&root, std::string_view("levelRuns")};
    std::size_t r = 0;
    for (const JsonValue& entry : value) {
        const JsonPath runPath{&runs, r};
        const std::string path = pathText("$.levelRuns", r++);
        LevelRun run;
        run.name = textOf(m_check, TextKind::text, entry, "name", runPath);
        run.description = textOf(m_check, TextKind::text, entry, "description", runPath);
        const std::string start(entry.find("start")->text());
        const KnownPoint* known = m_job.find(start);
        if (known == nullptr) unknownPoint(*entry.find("start"), pathText(path, "start"), start);
        run.start =
            checkedText(m_check, TextKind::name, *entry.find("start"), JsonPath{&runPath, std::string_view("start")});
        const JsonPath readingsPath{&runPath, std::string_view("readings")};
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
            const JsonPath readingPath{&readingsPath, index};
            const std::string name(item.find("point")->text());
            reading.point = checkedText(m_check, TextKind::name, *item.find("point"),
                                        JsonPath{&readingPath, std::string_view("point")});
            const JsonValue* backsight = item.find("bs");
            reading.backsight = backsight != nullptr;
            reading.rod = m_job.input.metres((reading.backsight ? backsight : item.find("fs"))->number());
            const JsonValue* distance = item.find("dist");
            reading.distance = distance != nullptr ? m_job.input.metres(distance->number()) : noValue;
            reading.code = textOf(m_check, TextKind::code, item, "code", readingPath);
            if (reading.distance != noValue && reading.distance < 0.0) {
                implausible(m_check, "negative distance " + shortestNumber(reading.distance),
                            JsonPath{&readingPath, std::string_view("dist")}, item.find("dist")->offset());
            }
            if (reading.backsight) {
                auto height = heights.find(name);
                const KnownPoint* point = m_job.find(name);
                if (height == heights.end() && point == nullptr) {
                    unknownPoint(*item.find("point"), pathText(pathText(pathText(path, "readings"), index), "point"),
                                 name);
                }
                reading.elevation = height != heights.end() ? height->second : point != nullptr ? point->coords.h : 0.0;
                collimation = reading.elevation + reading.rod;
                // A level records the height of collimation it worked out; the run goes on
                // from it.
                if (const JsonValue* recorded = item.find("hi")) collimation = m_job.input.metres(recorded->number());
                reading.rise = 0.0;
            } else {
                reading.elevation = collimation - reading.rod;
                reading.rise = reading.elevation - previous;
                if (const JsonValue* recorded = item.find("elevation"))
                    reading.elevation = m_job.input.metres(recorded->number());
                if (const JsonValue* recorded = item.find("rise"))
                    reading.rise = m_job.input.metres(recorded->number());
                heights[name] = reading.elevation;
            }
            reading.collimation = collimation;
            previous = reading.elevation;
            run.readings.push_back(std::move(reading));
        }
        m_job.levelRuns.push_back(std::move(run));
    }
}

const KnownPoint* JsonJob::findForSetup(std::string_view name) const {
    if (const KnownPoint* point = m_job.find(name)) return point;
    auto it = m_stations.find(std::string(name));
    return it == m_stations.end() ? nullptr : &it->second;
}

// After a set-up: its station, when it is not a known point, is known from now on with the
// set-up's coordinates, and each foresight's target is where its observation puts it (the
// latest observation of a name counts).
void JsonJob::learnStation(const Setup& setup, std::string_view name) {
    if (m_job.find(name) == nullptr) {
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

// A station without coordinates that sights two or more known points of its resection with
// distances stands where those sights put it (least squares, job/geometry).
bool JsonJob::freeStationOf(const JsonValue& value, StationFit& fit) const {
    const JsonValue* resection = value.find("resection");
    if (resection == nullptr || value.find("backsight") != nullptr) return false;
    std::vector<FreeStationSight> sights;
    double hr = 0.0;
    for (const JsonValue& item : *resection) {
        if (const JsonValue* given = item.find("hr")) hr = m_job.input.metres(given->number());  // else the last one
        const JsonValue* to = item.find("to");
        const KnownPoint* known = to != nullptr ? findForSetup(to->text()) : nullptr;
        FreeStationSight sight;
        if (known == nullptr || !readMeasurement(item, sight.measurement, m_job.input)) continue;
        sight.known = known->coords;
        sight.hr = hr;
        sights.push_back(std::move(sight));
    }
    return freeStation(sights, m_job.input.metres(value.find("hi")->number()), fit);
}

Setup JsonJob::makeSetup(const JsonValue& value, std::size_t index) {
    const std::string path = pathText("$.setups", index);
    const JsonPath root;
    const JsonPath setups{&root, std::string_view("setups")};
    const JsonPath here{&setups, index};
    Setup setup;
    setup.index = index;
    const std::string_view station = value.find("station")->text();
    // An unknown station is the first thing to say about a set-up.
    bool located = true;
    StationFit free;
    bool isFree = false;
    if (const JsonValue* coords = value.find("coords")) {
        setup.coords = xyz(*coords, m_job.input);
    } else if (const KnownPoint* point = findForSetup(station)) {
        setup.coords = point->coords;
    } else if (auto observed = m_foresights.find(std::string(station)); observed != m_foresights.end()) {
        setup.coords = observed->second;
    } else if (freeStationOf(value, free)) {
        isFree = true;
        setup.coords = free.station;
    } else {
        located = false;
        unknownPoint(*value.find("station"), pathText(path, "station"), station);
    }
    setup.station =
        checkedText(m_check, TextKind::name, *value.find("station"), JsonPath{&here, std::string_view("station")});
    setup.hi = m_job.input.metres(value.find("hi")->number());
    checkHeight(m_check, value.find("hi"), "instrument height", JsonPath{&here, std::string_view("hi")});
    setup.code = textOf(m_check, TextKind::code, value, "code", here);
    setup.note = textOf(m_check, TextKind::note, value, "note", here);
    double lastHr = 0.0;

    if (const JsonValue* bs = value.find("backsight")) {
        Backsight& backsight = setup.backsight;
        DexTSRawMeasurement m;
        backsight.measured = readMeasurement(*bs, m, m_job.input);
        backsight.hr = lastHr = m_job.input.metres(numberOf(*bs, "hr", 0.0));
        const JsonPath bsPath{&here, std::string_view("backsight")};
        checkHeight(m_check, bs->find("hr"), "target height", JsonPath{&bsPath, std::string_view("hr")});
        for (const JsonValue& member : *bs) {
            if (!member.shadowed() && measurementKind(member.key()) >= 0) {
                checkMeasurement(m_check, member.key(), member, JsonPath{&bsPath, member.key()});
            }
        }
        if (const JsonValue* point = bs->find("point")) {
            const std::string_view name = point->text();
            const KnownPoint* known = findForSetup(name);
            backsight.kind = Backsight::Kind::point;
            backsight.point =
                checkedText(m_check, TextKind::name, *point, JsonPath{&bsPath, std::string_view("point")});
            backsight.sight.setTargetName(backsight.point);
            if (known != nullptr) {
                backsight.azimuth = azimuth(setup.coords, known->coords);
                backsight.sight.setBSPoint(known->design);
            } else {
                unknownPoint(*point, pathText(pathText(path, "backsight"), "point"), name);
            }
        } else {
            backsight.kind = Backsight::Kind::bearing;
            backsight.azimuth = m_job.input.degrees(bs->find("bearing")->number());
            backsight.bearingSight.setBsNameMode(1);
        }
        const JsonValue* circle = bs->find("circle");
        backsight.circle = circle != nullptr    ? m_job.input.degrees(circle->number())
                           : backsight.measured ? m.valueAt(0)
                                                : 0.0;
        if (backsight.measured) {
            m.setBacksightTarget(true);
            backsight.sight.setMeasurement(m);
            backsight.bearingSight.setMeasurement(m);
        }
        setup.orientation = backsight.azimuth - backsight.circle;
    }

    if (const JsonValue* worst = value.find("worstResiduals")) {
        setup.hasWorstResiduals = true;
        setup.worstResiduals.horizontal = m_job.input.degrees(worst->at(0)->number());
        setup.worstResiduals.zenith = m_job.input.degrees(worst->at(1)->number());
        setup.worstResiduals.slope = m_job.input.metres(worst->at(2)->number());
    }
    if (const JsonValue* resection = value.find("resection")) {
        double sumSin = 0.0, sumCos = 0.0;
        const JsonPath list{&here, std::string_view("resection")};
        std::size_t i = 0;
        for (const JsonValue& item : *resection) {
            const std::size_t at = i++;
            Observation obs = readObservation(m_check, JsonPath{&list, at}, item, lastHr, m_job.input);
            const std::string_view name = item.find("to")->text();
            const KnownPoint* known = findForSetup(name);
            if (known == nullptr) {
                unknownPoint(*item.find("to"), pathText(pathText(pathText(path, "resection"), at), "to"), name);
                continue;
            }
            obs.hasCoords = true;
            obs.coords = known->coords;
            if (const JsonValue* residual = item.find("residual")) {
                obs.hasResidual = true;
                obs.residual = xyz(*residual, m_job.input);
            }
            // The orientation of a resection is the mean of azimuth minus circle reading.
            const double difference =
                (azimuth(setup.coords, known->coords) - obs.measurement().valueAt(0)) * kPi / 180.0;
            sumSin += std::sin(difference);
            sumCos += std::cos(difference);
            setup.resection.push_back(std::move(obs));
        }
        if (setup.backsight.kind == Backsight::Kind::none && !setup.resection.empty()) {
            setup.orientation = isFree ? free.orientation : std::atan2(sumSin, sumCos) * 180.0 / kPi;
        }
    }

    if (const JsonValue* shots = value.find("shots")) {
        setup.shots.resize(shots->size());
        const JsonPath list{&here, std::string_view("shots")};
        std::size_t i = 0;
        for (const JsonValue& item : *shots) {
            const JsonPath at{&list, i};
            readObservation(m_check, at, item, lastHr, setup.shots[i++], m_job.input);
        }
    }

    if (const JsonValue* stakeouts = value.find("stakeouts")) {
        const JsonPath list{&here, std::string_view("stakeouts")};
        std::size_t i = 0;
        for (const JsonValue& item : *stakeouts) {
            const std::size_t at = i++;
            const JsonPath itemPath{&list, at};
            Stakeout stakeout;
            const std::string_view design = item.find("design")->text();
            const KnownPoint* known = findForSetup(design);
            if (known == nullptr) {
                unknownPoint(*item.find("design"), pathText(pathText(pathText(path, "stakeouts"), at), "design"),
                             design);
                continue;
            }
            stakeout.design = checkedText(m_check, TextKind::name, *item.find("design"),
                                          JsonPath{&itemPath, std::string_view("design")});
            stakeout.designCoords = known->coords;
            stakeout.shot = readObservation(m_check, itemPath, item, lastHr, m_job.input);
            if (const JsonValue* differences = item.find("differences")) {
                stakeout.hasDifferences = true;
                stakeout.recordedDifferences = xyz(*differences, m_job.input);
            }
            if (const JsonValue* recorded = item.find("coords")) {
                stakeout.staked = xyz(*recorded, m_job.input);
            } else {
                target(setup.coords, setup.hi, stakeout.shot.hr, setup.orientation, stakeout.shot.measurement(),
                       stakeout.staked);
            }
            stakeout.shot.hasCoords = true;
            stakeout.shot.coords = stakeout.staked;
            setup.stakeouts.push_back(std::move(stakeout));
        }
    }
    if (located) learnStation(setup, station);
    return setup;
}

}  // namespace exportgen
