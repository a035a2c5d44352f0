#include "readers/json_job.h"

#include <cmath>

#include "base/problems.h"
#include "base/text.h"
#include "contracts/text_services.h"
#include "contracts/units.h"
#include "readers/json_schema.h"

namespace exportgen {

namespace {

using namespace orv::ie;

// A text of the job as the outputs will carry it, its errors and warnings naming its path.
COrvStringT checked(JobBuilder& b, TextKind kind, const JsonValue& value, const JsonPath& path) {
    return b.text(kind, value.text(), b.place(value.offset()), [&path] { return path.text(); });
}

// The text member `key` of `object` at `path`, checked; empty when absent or not a text.
COrvStringT textOf(JobBuilder& b, TextKind kind, const JsonValue& object, const char* key, const JsonPath& path) {
    const JsonValue* member = object.find(key);
    if (member == nullptr || !member->isString()) return COrvStringT();
    const JsonPath at{&path, std::string_view(key)};
    return checked(b, kind, *member, at);
}

// Values no instrument gives: a negative distance, a zenith outside a full circle, an
// instrument or target height beyond a kilometre. They are written as given, and reported.
constexpr double kHighestHeight = 1000.0;

void implausible(JobBuilder& b, const std::string& what, const JsonPath& path, std::size_t offset) {
    b.warn("job", what, b.place(offset), [&path] { return path.text(); });
}

void checkHeight(JobBuilder& b, const JsonValue* value, const char* what, const JsonPath& path) {
    if (value == nullptr) return;
    const double height = value->number();
    if (std::fabs(height) > kHighestHeight) {
        implausible(b, std::string(what) + " " + shortestNumber(height) + " m is beyond a kilometre", path,
                    value->offset());
    }
}

// The measurement `values` of kind `key` (sd, hd, angles, hz, dist) at `path`.
void checkMeasurement(JobBuilder& b, std::string_view key, const JsonValue& values, const JsonPath& path) {
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
            implausible(b, "negative distance " + shortestNumber(x), at, v.offset());
        } else if (index == zenith && !(x >= 0.0 && x <= 360.0)) {
            const JsonPath at{&path, index};
            implausible(b, "zenith " + shortestNumber(x) + " is outside 0 to 360 degrees", at, v.offset());
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

Point3 xyz(const JsonValue& value, const JobBuilder& b) {
    return b.point(value.at(0)->number(), value.at(1)->number(), value.at(2)->number());
}

// The codes of a point or an observation from its members "codes" (a list) or "code" (one code
// by name); either may be null. `path` is the path of the point or observation.
void readCodes(JobBuilder& b, const JsonPath& path, const JsonValue* list, const JsonValue* code,
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
            DexCodeDescription description(named ? checked(b, TextKind::code, *name, namePath) : COrvStringT());
            const JsonValue* attributes = entry.find("attributes");
            const JsonPath attributesPath{&entryPath, std::string_view("attributes")};
            if (attributes != nullptr) {
                std::size_t a = 0;
                for (const JsonValue& pair : *attributes) {
                    const JsonPath pairPath{&attributesPath, a++};
                    const JsonPath keyPath{&pairPath, std::size_t{0}};
                    description.addAttribute(checked(b, TextKind::attribute, *pair.at(0), keyPath));
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
                    value.addCodeString(checked(b, TextKind::attribute, string, at));
                }
            }
            if (const JsonValue* control = entry.find("control")) {
                const JsonPath controlPath{&entryPath, std::string_view("control")};
                int i = 0;
                for (const JsonValue& controlCode : *control) {
                    const JsonPath at{&controlPath, static_cast<std::size_t>(i)};
                    value.setControlCode(static_cast<ECodeControlCode>(i++),
                                         checked(b, TextKind::attribute, controlCode, at));
                }
            }
            if (attributes != nullptr) {
                int i = 0;
                for (const JsonValue& pair : *attributes) {
                    const JsonPath pairPath{&attributesPath, static_cast<std::size_t>(i)};
                    const JsonPath valuePath{&pairPath, std::size_t{1}};
                    value.setAttrAt(i++, checked(b, TextKind::attribute, *pair.at(1), valuePath));
                }
            }
            codes.addCode(value);
        }
    } else if (code != nullptr) {
        const JsonPath at{&path, std::string_view("code")};
        firstCode = checked(b, TextKind::code, *code, at);
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

DexTSRawMeasurement measurementOf(int kind, const JsonValue& list, const JobBuilder& b) {
    std::vector<double> values;
    values.reserve(3);
    for (const JsonValue& v : list) {
        const double number = v.number();
        values.push_back(isAngle(kind, values.size()) ? b.angle(number) : b.length(number));
    }
    return DexTSRawMeasurement(kind, std::move(values));
}

// The one measurement of an object (the schema allows one).
bool readMeasurement(const JsonValue& object, DexTSRawMeasurement& m, const JobBuilder& b) {
    for (const JsonValue& member : object) {
        const int kind = member.shadowed() ? -1 : measurementKind(member.key());
        if (kind < 0) continue;
        m = measurementOf(kind, member, b);
        return true;
    }
    return false;
}

// An observation in one walk over its members: a set-up holds thousands of them. `path` is the
// observation's own. A target height carries over to the sights after it (`lastHr`).
void readObservation(JobBuilder& b, const JsonPath& path, const JsonValue& object, Figure& lastHr, Observation& shot) {
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
            lastHr = member.isNull() ? Figure() : Figure::recorded(b.length(member.number()));
            if (lastHr.known() && std::fabs(lastHr.value) > kHighestHeight) {
                checkHeight(b, &member, "target height", JsonPath{&path, key});
            }
        } else if (key == "note") {
            note = &member;
        } else if (key == "codes") {
            codes = &member;
        } else if (key == "code") {
            code = &member;
        } else if (key == "coords") {
            shot.coords.set(xyz(member, b), Origin::recorded);
        } else if (const int kind = measurementKind(key); kind >= 0) {
            shot.sight.setMeasurement(measurementOf(kind, member, b));
            checkMeasurement(b, key, member, JsonPath{&path, key});
        }
    }
    shot.place = b.place(object.offset());
    shot.sight.setTargetName(target != nullptr
                                 ? checked(b, TextKind::name, *target, JsonPath{&path, std::string_view("to")})
                                 : COrvStringT());
    shot.sight.setKind(foresight ? eSightForesight : eSightSideShot);
    shot.hr = lastHr;
    readCodes(b, path, codes, code, shot.sight.codes, shot.code);
    shot.sight.setNote(note != nullptr ? checked(b, TextKind::note, *note, JsonPath{&path, std::string_view("note")})
                                       : COrvStringT());
}

Observation readObservation(JobBuilder& b, const JsonPath& path, const JsonValue& object, Figure& lastHr) {
    Observation shot;
    readObservation(b, path, object, lastHr, shot);
    return shot;
}

// An orientation record: a backsight to a point or by a bearing, with the circle reading on it
// and what was measured to the point. `path` is the record's own.
Backsight readBacksight(JobBuilder& b, const JsonPath& path, const JsonValue& bs, Figure& lastHr) {
    Backsight backsight;
    backsight.place = b.place(bs.offset());
    DexTSRawMeasurement m;
    backsight.measured = readMeasurement(bs, m, b);
    // The backsight starts the set-up's target heights: its own, or 0.
    lastHr = Figure::recorded(0.0);
    if (const JsonValue* hr = bs.find("hr")) {
        lastHr = hr->isNull() ? Figure() : Figure::recorded(b.length(hr->number()));
        if (lastHr.known()) checkHeight(b, hr, "target height", JsonPath{&path, std::string_view("hr")});
    }
    backsight.hr = lastHr;
    for (const JsonValue& member : bs) {
        if (!member.shadowed() && measurementKind(member.key()) >= 0) {
            checkMeasurement(b, member.key(), member, JsonPath{&path, member.key()});
        }
    }
    const JsonValue* bearing = bs.find("bearing");
    if (const JsonValue* point = bs.find("point")) {
        backsight.kind = Backsight::Kind::point;
        backsight.point = checked(b, TextKind::name, *point, JsonPath{&path, std::string_view("point")});
        backsight.sight.setTargetName(backsight.point);
        if (const KnownPoint* known = b.job().find(point->text())) backsight.sight.setBSPoint(known->design);
    } else if (bearing != nullptr) {
        backsight.kind = Backsight::Kind::bearing;
        backsight.bearingSight.setBsNameMode(1);
    } else {
        throw JobError(bs.offset(), path.text() + ": needs a point, a bearing or both");
    }
    // A bearing given with a point is the file's own bearing of the backsight direction.
    if (bearing != nullptr) backsight.azimuth = Figure::recorded(b.angle(bearing->number()));
    // The circle reading on the backsight; a job file that leaves it out read the measured
    // backsight's horizontal angle, or set the circle to zero on the backsight.
    const JsonValue* circle = bs.find("circle");
    if (circle != nullptr && circle->isNull()) {
        backsight.circle = Figure();
    } else {
        backsight.circle = Figure::recorded(circle != nullptr    ? b.angle(circle->number())
                                            : backsight.measured ? m.valueAt(0)
                                                                 : 0.0);
    }
    if (backsight.measured) {
        m.setBacksightTarget(true);
        backsight.sight.setMeasurement(m);
        backsight.bearingSight.setMeasurement(m);
    }
    return backsight;
}

int indexOf(const JsonValue& value, std::initializer_list<const char*> names) { return indexIn(value, names); }

}  // namespace

void JsonJob::apply(std::string_view key, const JsonValue& value) {
    if (key == "inputUnits") applyInputUnits(value);
    if (key == "units") applyUnits(value);
    if (key == "job") applyJob(value);
    if (key == "observation") applyObservation(value);
    if (key == "points") {
        std::size_t i = 0;
        for (const JsonValue& entry : value) applyPoint(entry, i++);
    }
    if (key == "levelRuns") applyLevelRuns(value);
}

void JsonJob::applyUnits(const JsonValue& value) {
    std::optional<EDistUnits> distance;
    std::optional<EAngleUnits> angle;
    if (const JsonValue* given = value.find("distance")) {
        distance = static_cast<EDistUnits>(indexOf(
            *given, {"metres", "usSurveyFeet", "internationalFeet", "usSurveyFeetInches", "internationalFeetInches"}));
    }
    if (const JsonValue* given = value.find("angle")) {
        angle = static_cast<EAngleUnits>(indexOf(*given, {"degrees", "gons", "mils", "decimalDegrees", "packedDms"}));
    }
    m_builder.setUnits(distance, angle);
}

void JsonJob::applyInputUnits(const JsonValue& value) {
    InputUnits units = m_builder.inputUnits();
    if (const JsonValue* distance = value.find("distance")) {
        units.distance = static_cast<EDistUnits>(indexOf(*distance, {"metres", "usSurveyFeet", "internationalFeet",
                                                                     "usSurveyFeetInches", "internationalFeetInches"}));
    }
    if (const JsonValue* angle = value.find("angle")) {
        static constexpr EAngleUnits kUnits[] = {eDecimalDegrees, eGons, eMils, eDegMinSec};
        units.angle = kUnits[indexOf(*angle, {"decimalDegrees", "gons", "mils", "packedDms"})];
    }
    m_builder.setInputUnits(units);
}

void JsonJob::applyJob(const JsonValue& value) {
    const JsonPath root;
    const JsonPath path{&root, std::string_view("job")};
    JobBuilder& b = m_builder;
    const Job& job = b.job();
    b.setApplication(
        value.find("application") != nullptr ? textOf(b, TextKind::text, value, "application", path) : job.info.appName,
        value.find("version") != nullptr ? textOf(b, TextKind::text, value, "version", path) : job.info.appVersion);
    b.setJobTexts(textOf(b, TextKind::text, value, "name", path), textOf(b, TextKind::text, value, "text2", path),
                  textOf(b, TextKind::text, value, "text3", path));
    if (const JsonValue* created = value.find("created")) {
        const JsonPath at{&path, std::string_view("created")};
        const JsonValue* date = created->find("date");
        const JsonValue* time = created->find("time");
        std::optional<COrvStringT> timeText;
        if (time != nullptr) timeText = textOf(b, TextKind::text, *created, "time", at);
        b.setCreated(textOf(b, TextKind::text, *created, "date", at), placeOf(date != nullptr ? *date : *created),
                     timeText, placeOf(time != nullptr ? *time : *created));
    }
}

void JsonJob::applyObservation(const JsonValue& value) {
    const JsonPath root;
    const JsonPath path{&root, std::string_view("observation")};
    JobBuilder& b = m_builder;
    b.setInstrument(textOf(b, TextKind::text, value, "instrument", path), numberOf(value, "prismConstant", 0.0));
    if (const JsonValue* temperature = value.find("temperature")) {
        const JsonValue* units = value.find("temperatureUnits");
        const bool fahrenheit = units != nullptr && units->text() == "fahrenheit";
        b.setTemperature(temperature->number(), fahrenheit ? eFahrenheit : eCelsius);
    }
    if (const JsonValue* pressure = value.find("pressure")) {
        const JsonValue* units = value.find("pressureUnits");
        const int index = units != nullptr ? indexOf(*units, {"hPa", "mmHg", "inHg"}) : 0;
        b.setPressure(pressure->number(), static_cast<EPressureUnits>(index + 1));
    }
    if (const JsonValue* ppm = value.find("ppm")) b.setPpm(ppm->number());
    if (value.find("scaleFactor") != nullptr || value.find("elevation") != nullptr) {
        b.setScale(numberOf(value, "scaleFactor", 1.0), b.length(numberOf(value, "elevation", 0.0)));
    }
}

void JsonJob::applyPoint(const JsonValue& entry, std::size_t index) {
    const JsonPath root;
    const JsonPath list{&root, std::string_view("points")};
    const JsonPath path{&list, index};
    JobBuilder& b = m_builder;
    KnownPoint point;
    point.place = placeOf(entry);
    const JsonValue& coords = *entry.find("coords");
    point.hasHeight = coords.size() == 3;
    point.coords =
        b.point(coords.at(0)->number(), coords.at(1)->number(), point.hasHeight ? coords.at(2)->number() : 0.0);
    const JsonValue& name = *entry.find("name");
    point.design.setStation(DexStation(checked(b, TextKind::name, name, JsonPath{&path, std::string_view("name")}),
                                       point.coords.n, point.coords.e, point.hasHeight ? point.coords.h : noValue,
                                       textOf(b, TextKind::note, entry, "note", path)));
    readCodes(b, path, entry.find("codes"), entry.find("code"), point.design.codes, point.code);
    b.addKnownPoint(std::move(point), [&path] { return path.text(); });
}

void JsonJob::applyLevelRuns(const JsonValue& value) {
    const JsonPath root;
    const JsonPath runs{&root, std::string_view("levelRuns")};
    JobBuilder& b = m_builder;
    std::size_t r = 0;
    for (const JsonValue& entry : value) {
        const JsonPath runPath{&runs, r++};
        LevelRun run;
        run.place = placeOf(entry);
        run.name = textOf(b, TextKind::text, entry, "name", runPath);
        run.description = textOf(b, TextKind::text, entry, "description", runPath);
        run.start = checked(b, TextKind::name, *entry.find("start"), JsonPath{&runPath, std::string_view("start")});
        if (const JsonValue* elevation = entry.find("elevation")) {
            run.startElevation = Figure::recorded(b.length(elevation->number()));
        }
        const JsonPath readingsPath{&runPath, std::string_view("readings")};
        std::size_t i = 0;
        for (const JsonValue& item : *entry.find("readings")) {
            LevelReading reading;
            const JsonPath readingPath{&readingsPath, i++};
            reading.place = placeOf(item);
            reading.point =
                checked(b, TextKind::name, *item.find("point"), JsonPath{&readingPath, std::string_view("point")});
            const JsonValue* backsight = item.find("bs");
            reading.backsight = backsight != nullptr;
            reading.rod = b.length((reading.backsight ? backsight : item.find("fs"))->number());
            if (const JsonValue* distance = item.find("dist")) {
                reading.distance = Figure::recorded(b.length(distance->number()));
                if (reading.distance.value < 0.0) {
                    implausible(b, "negative distance " + shortestNumber(reading.distance.value),
                                JsonPath{&readingPath, std::string_view("dist")}, distance->offset());
                }
            }
            reading.code = textOf(b, TextKind::code, item, "code", readingPath);
            // The heights a level recorded; the rest are worked out along the run.
            if (const JsonValue* hi = item.find("hi"); hi != nullptr && reading.backsight) {
                reading.collimation = Figure::recorded(b.length(hi->number()));
            }
            if (!reading.backsight) {
                if (const JsonValue* recorded = item.find("elevation")) {
                    reading.elevation = Figure::recorded(b.length(recorded->number()));
                }
                if (const JsonValue* recorded = item.find("rise")) {
                    reading.rise = Figure::recorded(b.length(recorded->number()));
                }
            }
            run.readings.push_back(std::move(reading));
        }
        b.addLevelRun(std::move(run));
    }
}

void JsonJob::addSetup(const JsonValue& value, std::size_t index) {
    const JsonPath root;
    const JsonPath setups{&root, std::string_view("setups")};
    const JsonPath here{&setups, index};
    JobBuilder& b = m_builder;
    Setup setup;
    setup.place = placeOf(value);
    setup.station = checked(b, TextKind::name, *value.find("station"), JsonPath{&here, std::string_view("station")});
    if (const JsonValue* coords = value.find("coords")) setup.coords.set(xyz(*coords, b), Origin::recorded);
    if (const JsonValue* hi = value.find("hi")) {
        setup.hi = Figure::recorded(b.length(hi->number()));
        checkHeight(b, hi, "instrument height", JsonPath{&here, std::string_view("hi")});
    }
    setup.code = textOf(b, TextKind::code, value, "code", here);
    setup.note = textOf(b, TextKind::note, value, "note", here);
    // A job file's sight without "hr" has the last target height given before it in its set-up,
    // or 0 (a target on the point itself).
    Figure lastHr = Figure::recorded(0.0);

    if (const JsonValue* bs = value.find("backsight")) {
        setup.backsight = readBacksight(b, JsonPath{&here, std::string_view("backsight")}, *bs, lastHr);
    }
    if (const JsonValue* worst = value.find("worstResiduals")) {
        setup.worstResiduals.origin = Origin::recorded;
        setup.worstResiduals.value.horizontal = b.angle(worst->at(0)->number());
        setup.worstResiduals.value.zenith = b.angle(worst->at(1)->number());
        setup.worstResiduals.value.slope = b.length(worst->at(2)->number());
    }
    if (const JsonValue* resection = value.find("resection")) {
        const JsonPath list{&here, std::string_view("resection")};
        std::size_t i = 0;
        for (const JsonValue& item : *resection) {
            Observation obs = readObservation(b, JsonPath{&list, i++}, item, lastHr);
            if (const JsonValue* residual = item.find("residual")) {
                obs.residual.set(xyz(*residual, b), Origin::recorded);
            }
            setup.resection.push_back(std::move(obs));
        }
    }
    if (const JsonValue* shots = value.find("shots")) {
        setup.shots.resize(shots->size());
        const JsonPath list{&here, std::string_view("shots")};
        std::size_t i = 0;
        for (const JsonValue& item : *shots) {
            const JsonPath at{&list, i};
            readObservation(b, at, item, lastHr, setup.shots[i++]);
        }
    }
    if (const JsonValue* again = value.find("reorientations")) {
        const JsonPath list{&here, std::string_view("reorientations")};
        std::size_t i = 0;
        for (const JsonValue& item : *again) {
            Backsight backsight = readBacksight(b, JsonPath{&list, i++}, item, lastHr);
            backsight.firstShot = static_cast<std::size_t>(item.find("fromShot")->number());
            setup.reorientations.push_back(std::move(backsight));
        }
    }
    if (const JsonValue* stakeouts = value.find("stakeouts")) {
        const JsonPath list{&here, std::string_view("stakeouts")};
        std::size_t i = 0;
        for (const JsonValue& item : *stakeouts) {
            const JsonPath itemPath{&list, i++};
            Stakeout stakeout;
            stakeout.design =
                checked(b, TextKind::name, *item.find("design"), JsonPath{&itemPath, std::string_view("design")});
            stakeout.shot = readObservation(b, itemPath, item, lastHr);
            if (const JsonValue* differences = item.find("differences")) {
                stakeout.differences.set(xyz(*differences, b), Origin::recorded);
            }
            setup.stakeouts.push_back(std::move(stakeout));
        }
    }
    b.addSetup(std::move(setup));
}

namespace {

// A member named twice counts with its last value; a check says so.
void reportShadowed(const JsonValue& value, const JsonPath& path, JobProblems& problems) {
    if (value.isObject()) {
        for (const JsonValue& member : value) {
            const JsonPath field{&path, member.key()};
            if (member.shadowed()) {
                problems.add(member.offset(), field.text() + ": named twice; the later value counts", true);
            } else {
                reportShadowed(member, field, problems);
            }
        }
    } else if (value.isArray()) {
        std::size_t index = 0;
        for (const JsonValue& item : value) reportShadowed(item, JsonPath{&path, index++}, problems);
    }
}

// The job file's members and set-ups as the job reader finds them, checked and told to the
// builder.
class JsonJobReader : public JobEvents {
public:
    JsonJobReader(JobBuilder& builder, JobProblems* collect)
        : m_json(builder),
          m_builder(builder),
          m_collect(collect),
          m_schema(jobSchema()),
          m_setupSchema(m_schema.items(m_schema.property(m_schema.root(), "setups"))) {}

    void member(std::string_view key, const JsonValue& value) override {
        const std::string name(key);
        const JsonPath root;
        const JsonPath path{&root, key};
        const JsonSchema::Node* schema = m_schema.property(m_schema.root(), name);
        m_present.push_back(name);
        if (m_collect == nullptr) {
            if (schema == nullptr) throw JobError(value.offset(), path.text() + ": unknown field");
            m_schema.validate(schema, value, path);
            m_json.apply(key, value);
            return;
        }
        if (schema == nullptr) return m_collect->add(value.offset(), path.text() + ": unknown field");
        reportShadowed(value, path, *m_collect);
        try {
            if (key == "points" && value.isArray()) {
                // Each good point is known to the set-ups, so that one bad point does not make
                // every point a set-up names unknown.
                const JsonSchema::Node* item = m_schema.items(schema);
                std::size_t index = 0;
                for (const JsonValue& entry : value) {
                    const JsonPath at{&path, index};
                    if (m_schema.collect(item, entry, at, *m_collect) == 0) m_json.applyPoint(entry, index);
                    ++index;
                }
                return;
            }
            if (m_schema.collect(schema, value, path, *m_collect) == 0) m_json.apply(key, value);
        } catch (const JobError& error) {
            if (error.input() != kJobInput) throw;
            m_collect->add(error);
        }
    }

    void setupsBegin(bool hasSetups, std::size_t root) override {
        if (hasSetups) m_present.emplace_back("setups");
        const JsonPath path;
        try {
            m_schema.checkRequired(m_schema.root(), m_present, path, root);
        } catch (const JobError& error) {
            if (m_collect == nullptr) throw;
            m_collect->add(error);
        }
        m_builder.setRoot(m_builder.place(root));
        m_builder.headerDone();
    }

    void setup(std::size_t index, const JsonValue& value) override {
        const JsonPath root;
        const JsonPath setups{&root, std::string_view("setups")};
        const JsonPath path{&setups, index};
        if (m_collect == nullptr) {
            m_schema.validate(m_setupSchema, value, path);
            m_json.addSetup(value, index);
            return;
        }
        reportShadowed(value, path, *m_collect);
        if (m_schema.collect(m_setupSchema, value, path, *m_collect) != 0) return;
        try {
            m_json.addSetup(value, index);
        } catch (const JobError& error) {
            if (error.input() != kJobInput) throw;
            m_collect->add(error);
        }
    }

private:
    JsonJob m_json;
    JobBuilder& m_builder;
    JobProblems* m_collect;
    const JsonSchema& m_schema;
    const JsonSchema::Node* m_setupSchema;
    std::vector<std::string> m_present;
};

}  // namespace

void buildJsonJob(std::string_view text, const std::string& source, bool mapped, const Locator& locate,
                  JobBuilder& builder, JobProblems* collect) {
    JsonJobReader reader(builder, collect);
    readJob(text, source, reader, mapped, locate);
}

}  // namespace exportgen
