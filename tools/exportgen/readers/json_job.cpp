#include "readers/json_job.h"

#include <cmath>

#include "base/problems.h"
#include "base/text.h"
#include "contracts/text_services.h"
#include "contracts/units.h"
#include "job/plausibility.h"
#include "readers/json_schema.h"
#include "readers/json_walk.h"

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

// A value no instrument gives (a negative distance): written as given, and reported.
void implausible(JobBuilder& b, const std::string& what, const JsonPath& path, std::size_t offset) {
    b.warn("job", what, b.place(offset), [&path] { return path.text(); });
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

int indexOf(const JsonValue& value, std::initializer_list<const char*> names) { return indexIn(value, names); }

}  // namespace

void JsonJob::apply(std::string_view key, const JsonValue& value) {
    if (key == "inputUnits") applyInputUnits(value);
    if (key == "codesAsText" && value.boolean()) m_builder.setCodesAsText();
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
    // The schema admits only the words of base/units.h.
    if (const JsonValue* distance = value.find("distance")) {
        units.distance = distanceUnitOfWord(distance->text()).value_or(eMeters);
    }
    if (const JsonValue* angle = value.find("angle"))
        units.angle = angleUnitOfWord(angle->text()).value_or(eDecimalDegrees);
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
                // A sight length is checked as a slope distance alone is.
                const std::string what = implausibleMeasurement(eKindSlopeDistanceOnly, 0, reading.distance.value,
                                                                distance->number(), b.inputUnits());
                if (!what.empty())
                    implausible(b, what, JsonPath{&readingPath, std::string_view("dist")}, distance->offset());
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
          m_setups(builder, m_schema, collect) {}

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

    void setup(std::size_t, JsonParse& parse) override { m_setups.walk(parse, m_index++); }

private:
    JsonJob m_json;
    JobBuilder& m_builder;
    JobProblems* m_collect;
    const JsonSchema& m_schema;
    SetupWalk m_setups;
    std::size_t m_index = 0;
    std::vector<std::string> m_present;
};

}  // namespace

void buildJsonJob(std::string_view text, const std::string& source, bool mapped, JobBuilder& builder,
                  JobProblems* collect) {
    JsonJobReader reader(builder, collect);
    readJob(text, source, reader, mapped);
}

}  // namespace exportgen
