#include "writers/job_file_writer.h"

#include <nlohmann/json.hpp>

#include "base/atmosphere.h"
#include "base/text.h"

namespace exportgen {

using namespace orv::ie;

namespace {

using Json = nlohmann::ordered_json;

std::string text(const COrvStringT& value) { return utf8(value); }

// A figure the input recorded; null for one it did not (a figure worked out is worked out again
// when the file is read).
Json figure(const Figure& value) { return value.origin == Origin::recorded ? Json(value.value) : Json(); }

Json xyz(const Point3& p) { return Json::array({p.n, p.e, p.h}); }

// A station's or a target's coordinates, in plan only when the height is not known.
Json coordinates(const Located& located) {
    return located.hasHeight ? xyz(located.at) : Json::array({located.at.n, located.at.e});
}

const char* measurementKey(int kind) {
    switch (kind) {
        case eKindAnglesAndSlopeDistance:
            return "sd";
        case eKindAngleAndHorizontalDistance:
            return "hd";
        case eKindAnglesOnly:
            return "angles";
        case eKindHorizontalAngleOnly:
            return "hz";
        case eKindSlopeDistanceOnly:
            return "dist";
        default:
            return nullptr;
    }
}

// The measurement's member, or "measured": false for a sight without one.
void measurement(Json& object, const DexTSRawMeasurement* m) {
    const char* key = m != nullptr ? measurementKey(m->kind()) : nullptr;
    if (key == nullptr) {
        object["measured"] = false;
        return;
    }
    const int count = m->kind() == eKindAnglesOnly                                                   ? 2
                      : m->kind() == eKindHorizontalAngleOnly || m->kind() == eKindSlopeDistanceOnly ? 1
                                                                                                     : 3;
    Json values = Json::array();
    for (int i = 0; i < count; ++i) values.push_back(m->valueAt(i));
    object[key] = values;
}

Json codeList(const DexCodesDataInterface& codes) {
    Json list = Json::array();
    for (int i = 0; i < codes.getNumberOfCodes(); ++i) {
        const DexCodeValues* code = codes.getCode(i);
        if (code == nullptr) {
            list.push_back(nullptr);
            continue;
        }
        Json entry;
        const DexCodeDescription* description = code->getDescription();
        entry["code"] = description != nullptr ? Json(text(description->codeName())) : Json();
        if (code->getNumberOfTheCodeStrings() > 0) {
            Json strings = Json::array();
            for (int k = 0; k < code->getNumberOfTheCodeStrings(); ++k)
                strings.push_back(text(code->getCodeStringAt(k)));
            entry["strings"] = strings;
        }
        const COrvStringT first = code->getControlCode(eControlCode1);
        const COrvStringT second = code->getControlCode(eControlCode2);
        if (!first.IsEmpty() || !second.IsEmpty()) entry["control"] = Json::array({text(first), text(second)});
        if (description != nullptr && description->getSize() > 0) {
            Json attributes = Json::array();
            for (int a = 0; a < description->getSize(); ++a) {
                attributes.push_back(
                    Json::array({text(description->getAttrDescriptionAt(a)->text), text(code->getAttrAt(a))}));
            }
            entry["attributes"] = attributes;
        }
        list.push_back(entry);
    }
    return list;
}

// A sight's codes: one code by name when that says all, else the whole list.
void codes(Json& object, const DexCodesDataInterface& list) {
    if (list.getNumberOfCodes() == 0) return;
    const DexCodeValues* first = list.getCode(0);
    const bool plain = list.getNumberOfCodes() == 1 && first != nullptr && first->getDescription() != nullptr &&
                       first->getDescription()->getSize() == 0 && first->getNumberOfTheCodeStrings() == 0 &&
                       first->getControlCode(eControlCode1).IsEmpty() && first->getControlCode(eControlCode2).IsEmpty();
    if (plain) {
        object["code"] = text(first->getDescription()->codeName());
    } else {
        object["codes"] = codeList(list);
    }
}

Json sight(const Observation& obs) {
    Json object;
    object["to"] = text(obs.sight.targetName());
    measurement(object, obs.sight.measurement());
    object["hr"] = figure(obs.hr);
    if (obs.sight.sightKind() == eSightForesight) object["fs"] = true;
    codes(object, obs.sight.codes);
    if (!obs.sight.getNote().IsEmpty()) object["note"] = text(obs.sight.getNote());
    if (obs.coords.origin == Origin::recorded) object["coords"] = coordinates(obs.coords);
    return object;
}

Json backsight(const Backsight& bs) {
    Json object;
    if (bs.kind == Backsight::Kind::point) object["point"] = text(bs.point);
    if (bs.azimuth.origin == Origin::recorded) object["bearing"] = bs.azimuth.value;
    object["circle"] = figure(bs.circle);
    object["hr"] = figure(bs.hr);
    if (bs.measured && bs.sight.measurement() != nullptr) measurement(object, bs.sight.measurement());
    return object;
}

const char* distanceName(EDistUnits units) {
    static const char* const kNames[] = {"metres", "usSurveyFeet", "internationalFeet", "usSurveyFeetInches",
                                         "internationalFeetInches"};
    return units >= 0 && units <= 4 ? kNames[units] : "metres";
}

const char* angleName(EAngleUnits units) {
    static const char* const kNames[] = {"degrees", "gons", "mils", "decimalDegrees", "packedDms"};
    return units >= 0 && units <= 4 ? kNames[units] : "degrees";
}

}  // namespace

JobFileWriter::JobFileWriter(const Job& job, RecordSink& sink) : m_job(job), m_sink(sink) {}

void JobFileWriter::begin() {
    Json head;
    if (m_job.codesAsText) head["codesAsText"] = true;
    head["units"] = {{"distance", distanceName(m_job.settings.getDistUnits(m_job.info))},
                     {"angle", angleName(m_job.settings.getAngleUnits(m_job.info))}};
    Json job;
    job["application"] = text(m_job.info.appName);
    job["version"] = text(m_job.info.appVersion);
    job["name"] = text(m_job.info.jobName);
    if (!m_job.info.jobText2.IsEmpty()) job["text2"] = text(m_job.info.jobText2);
    if (!m_job.info.jobText3.IsEmpty()) job["text3"] = text(m_job.info.jobText3);
    if (m_job.created.present) {
        job["created"] = {{"date", m_job.created.date}};
        if (m_job.created.hasTime) job["created"]["time"] = m_job.created.time;
    }
    head["job"] = job;
    head["observation"] = observation();
    Json points = Json::array();
    for (const KnownPoint& point : m_job.points) {
        const DexStation& station = point.design.getStation();
        Json entry;
        entry["name"] = text(station.name());
        entry["coords"] = point.hasHeight ? xyz(point.coords) : Json::array({point.coords.n, point.coords.e});
        codes(entry, point.design.codes);
        if (!station.getNotes().IsEmpty()) entry["note"] = text(station.getNotes());
        points.push_back(entry);
    }
    head["points"] = points;
    std::string out = head.dump(1, '\t');
    out.pop_back();  // the closing brace: the set-ups follow
    out += ",\n\t\"setups\": [";
    write(out);
}

Json JobFileWriter::observation() const {
    Json info = Json::object();
    const DexObservationInfo& o = m_job.observation;
    if (!o.instrument.IsEmpty()) info["instrument"] = text(o.instrument);
    if (o.obsConstant != 0.0) info["prismConstant"] = o.obsConstant;
    double value = 0.0, elevation = 0.0;
    ETemperatureUnits temperatureUnits{};
    if (o.getTemperature(value, temperatureUnits)) {
        const bool fahrenheit = temperatureUnits == eFahrenheit;
        info["temperature"] = fahrenheit ? value / 5.0 * 9.0 + 32.0 : value;
        info["temperatureUnits"] = fahrenheit ? "fahrenheit" : "celsius";
    }
    EPressureUnits pressureUnits{};
    if (o.getPressure(value, pressureUnits)) {
        static const char* const kNames[] = {"hPa", "mmHg", "inHg"};
        const int index = pressureUnits == eMillimetresHg ? 1 : pressureUnits == eInchesHg ? 2 : 0;
        info["pressure"] = index == 1 ? value * 0.750061683 : index == 2 ? value * 0.0295299831 : value;
        info["pressureUnits"] = kNames[index];
    }
    if (o.getPpm(value)) info["ppm"] = value;
    if (o.getEllToGridScaleAndElevation(value, elevation)) {
        info["scaleFactor"] = value;
        info["elevation"] = elevation;
    }
    return info;
}

void JobFileWriter::setup(const Setup& s) {
    Json object;
    object["station"] = text(s.station);
    if (s.coords.origin == Origin::recorded && m_job.find(utf8(s.station)) == nullptr) {
        object["coords"] = coordinates(s.coords);
    }
    if (s.hi.origin == Origin::recorded) object["hi"] = s.hi.value;
    if (!s.code.IsEmpty()) object["code"] = text(s.code);
    if (!s.note.IsEmpty()) object["note"] = text(s.note);
    if (s.backsight.kind != Backsight::Kind::none) object["backsight"] = backsight(s.backsight);
    if (!s.resection.empty()) {
        Json list = Json::array();
        for (const Observation& obs : s.resection) {
            // A resection sight is to a known point, which gives its coordinates.
            Json item = sight(obs);
            item.erase("coords");
            if (obs.residual.origin == Origin::recorded) item["residual"] = xyz(obs.residual.at);
            list.push_back(item);
        }
        object["resection"] = list;
    }
    if (s.worstResiduals.origin == Origin::recorded) {
        const Residual& worst = s.worstResiduals.value;
        object["worstResiduals"] = Json::array({worst.horizontal, worst.zenith, worst.slope});
    }
    Json shots = Json::array();
    for (const Observation& shot : s.shots) shots.push_back(sight(shot));
    if (!shots.empty()) object["shots"] = shots;
    if (!s.reorientations.empty()) {
        Json list = Json::array();
        for (const Backsight& again : s.reorientations) {
            Json item = backsight(again);
            item["fromShot"] = again.firstShot;
            list.push_back(item);
        }
        object["reorientations"] = list;
    }
    if (!s.stakeouts.empty()) {
        Json list = Json::array();
        for (const Stakeout& stake : s.stakeouts) {
            Json item;
            item["design"] = text(stake.design);
            Json shot = sight(stake.shot);
            for (auto it = shot.begin(); it != shot.end(); ++it) item[it.key()] = it.value();
            if (stake.differences.origin == Origin::recorded) item["differences"] = coordinates(stake.differences);
            list.push_back(item);
        }
        object["stakeouts"] = list;
    }
    write(std::string(m_setups++ == 0 ? "\n\t\t" : ",\n\t\t") + object.dump());
}

void JobFileWriter::levelRuns() {
    Json runs = Json::array();
    for (const LevelRun& run : m_job.levelRuns) {
        Json object;
        object["name"] = text(run.name);
        if (!run.description.IsEmpty()) object["description"] = text(run.description);
        object["start"] = text(run.start);
        if (run.startElevation.origin == Origin::recorded && m_job.find(utf8(run.start)) == nullptr) {
            object["elevation"] = run.startElevation.value;
        }
        Json readings = Json::array();
        for (const LevelReading& reading : run.readings) {
            Json item;
            item["point"] = text(reading.point);
            item[reading.backsight ? "bs" : "fs"] = reading.rod;
            if (reading.distance.origin == Origin::recorded) item["dist"] = reading.distance.value;
            if (!reading.code.IsEmpty()) item["code"] = text(reading.code);
            if (reading.backsight && reading.collimation.origin == Origin::recorded) {
                item["hi"] = reading.collimation.value;
            }
            if (!reading.backsight && reading.elevation.origin == Origin::recorded) {
                item["elevation"] = reading.elevation.value;
            }
            if (!reading.backsight && reading.rise.origin == Origin::recorded) item["rise"] = reading.rise.value;
            readings.push_back(item);
        }
        object["readings"] = readings;
        runs.push_back(object);
    }
    write(std::string(m_setups == 0 ? "" : "\n\t") + "],\n\t\"levelRuns\": " + runs.dump() + "\n}\n");
}

void JobFileWriter::write(const std::string& bytes) {
    m_sink.bytes(bytes);
    for (const char c : bytes) m_lines += c == '\n' ? 1 : 0;
}

}  // namespace exportgen
