#include "job/builder.h"

#include "base/atmosphere.h"
#include "base/problems.h"
#include "base/text.h"
#include "job/plausibility.h"

namespace exportgen {

using namespace orv::ie;

JobBuilder::JobBuilder(BuildOptions options, JobListener& listener)
    : m_options(std::move(options)),
      m_listener(listener),
      m_placement(m_job, std::nullopt,
                  [this](const std::string& what, const Place& at) { m_listener.warning("job", what, at, {}); }) {}

COrvStringT JobBuilder::text(TextKind kind, std::string_view utf8, const Place& at, const Describe& describe) {
    if (m_options.rules == nullptr) return wideFromUtf8(utf8);
    std::size_t first = m_options.rules->firstReserved(kind, utf8);
    if (first == std::string_view::npos) {
        if (kind == TextKind::name && m_options.sanitize) nameAsGiven(utf8, at, describe ? describe() : std::string());
        return wideFromUtf8(utf8);
    }
    if (!m_options.sanitize) reservedError(kind, utf8, first, at, describe);
    std::string text(utf8);
    const std::string where = describe ? describe() : std::string();
    const char* firstFormat = nullptr;
    for (std::size_t i = first; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const char* format = m_options.rules->formatReserving(kind, byte);
        if (format == nullptr) continue;
        if (firstFormat == nullptr) firstFormat = format;
        text[i] = kSanitizeReplacement;
        m_listener.warning(
            format,
            "replaced " + shownCharacter(byte) + " in " + textKindName(kind) + " " + shownName(utf8) + " by a blank",
            at, where);
    }
    if (kind == TextKind::name && firstFormat != nullptr) nameMadeSafe(utf8, text, firstFormat, at, where);
    return wideFromUtf8(text);
}

void JobBuilder::nameAsGiven(std::string_view name, const Place& at, const std::string& where) {
    const auto [it, added] = m_namesAsGiven.emplace(name);
    if (!added || m_madeSafe.empty()) return;
    if (const auto safe = m_madeSafe.find(*it); safe != m_madeSafe.end()) {
        namesMeet(safe->second.format, safe->second.given, *it, *it, at, where);
    }
}

void JobBuilder::nameMadeSafe(std::string_view given, const std::string& safe, const char* format, const Place& at,
                              const std::string& where) {
    const auto [it, added] = m_madeSafe.try_emplace(safe, MadeSafe{std::string(given), format});
    if (!added && it->second.given != given) namesMeet(format, it->second.given, std::string(given), safe, at, where);
    if (m_namesAsGiven.count(safe) != 0) namesMeet(format, std::string(given), safe, safe, at, where);
}

void JobBuilder::namesMeet(const char* format, const std::string& first, const std::string& second,
                           const std::string& safe, const Place& at, const std::string& where) {
    // Told once for each pair of names, wherever they meet again.
    if (!m_namesMet.insert(first + '\x1f' + second).second) return;
    m_listener.warning(format,
                       "names " + shownName(first) + " and " + shownName(second) + " are both written as " +
                           shownName(safe) + " once made safe: they are one point there",
                       at, where);
}

void JobBuilder::reservedError(TextKind kind, std::string_view text, std::size_t at, const Place& place,
                               const Describe& describe) const {
    const auto byte = static_cast<unsigned char>(text[at]);
    std::string message = textKindName(kind) + std::string(" ") + shownName(text) + " holds " + shownCharacter(byte) +
                          ", which " + m_options.rules->formatReserving(kind, byte) +
                          " cannot carry there (--sanitize replaces it by a blank)";
    if (describe) message = describe() + ": " + message;
    throw JobError(place.offset, message, kExitJob, place.input);
}

void JobBuilder::warn(const char* source, const std::string& what, const Place& at, const Describe& describe) {
    m_listener.warning(source, what, at, describe ? describe() : std::string());
}

namespace {

// One unit for comparing what a file states with what a user states: degrees of either style
// are degrees, feet shown with inches are feet.
EAngleUnits plain(EAngleUnits unit) { return unit == eDegrees ? eDecimalDegrees : unit; }
EDistUnits plain(EDistUnits unit) {
    return unit == eUSFeetInches ? eUSFeet : unit == eInternationalFeetInches ? eInternationalFeet : unit;
}
bool feet(EDistUnits unit) { return plain(unit) != eMeters; }

// The angle unit as messages name it where angles are read in it.
std::string angleUnitRead(EAngleUnits unit) {
    return unit == eDegMinSec ? "DMS (packed degrees, minutes and seconds)" : unitName(unit);
}

// "the file states no units: distances are read as metres and angles as DMS (...); --input-units
// DIST,ANGLE states them (these are metres,packedDms)": the units the file leaves unstated
// (`distance`, `angle`) and how the values are read instead.
std::string unstatedUnits(bool distance, bool angle, const FileUnits& file, const InputUnits& units) {
    const std::string distances =
        std::string(file.angles ? "distances" : "coordinates") + " are read as " + unitName(units.distance);
    const std::string angles = "as " + angleUnitRead(units.angle) +
                               (file.angleGuess.empty() ? std::string() : ", which " + file.angleGuess + " suggest");
    std::string note;
    std::string words;
    if (distance && angle) {
        note = "the file states no units: " + distances + " and angles " + angles;
        words = std::string(unitWord(units.distance)) + "," + unitWord(units.angle);
    } else if (distance) {
        note = std::string("the file states no ") + (file.angles ? "distance unit: " : "unit: ") + distances;
        words = unitWord(units.distance);
    } else {
        note = "the file states no angle unit: angles are read " + angles;
        words = unitWord(units.angle);
    }
    return note + "; --input-units " +
           (distance && angle ? "DIST,ANGLE states them (these are " : "states it (this is ") + words + ")";
}

}  // namespace

const InputUnits& JobBuilder::setFileUnits(const FileUnits& file) {
    InputUnits units = file.units;
    m_unitNotes.clear();
    m_unitsPlace = file.place;
    m_checkValues = true;
    // What the user states overrules the file; a file that states otherwise is told of.
    if (m_statedUnits.distance) {
        units.distance = *m_statedUnits.distance;
        const bool agrees =
            plain(units.distance) == plain(file.units.distance) || (file.feetOfEitherKind && feet(units.distance));
        if (file.distanceStated && file.distances && !agrees) {
            m_unitNotes.push_back(std::string("the file states distances in ") +
                                  (file.feetOfEitherKind ? "feet" : unitName(file.units.distance)) +
                                  "; they are read as " + unitName(units.distance) + ", as --input-units says");
        }
    }
    if (m_statedUnits.angle) {
        units.angle = *m_statedUnits.angle;
        if (file.angleStated && file.angles && plain(units.angle) != plain(file.units.angle)) {
            m_unitNotes.push_back(std::string("the file states angles in ") + unitName(file.units.angle) +
                                  "; they are read as " + unitName(units.angle) + ", as --input-units says");
        }
    }
    // One warning for what neither the file nor the user states: what is taken, and how to say.
    const bool distance = file.distances && !file.distanceStated && !m_statedUnits.distance;
    const bool angle = file.angles && !file.angleStated && !m_statedUnits.angle;
    if (distance || angle) m_unitNotes.push_back(unstatedUnits(distance, angle, file, units));
    // Feet without saying which: US survey and international feet part by two in a million, which
    // is more than a metre on grid coordinates of a million feet.
    if (file.feetOfEitherKind && file.distances && !m_statedUnits.distance) {
        m_unitNotes.push_back(std::string("the file states feet but not which: ") +
                              (file.angles ? "distances" : "coordinates") + " are read as " + unitName(units.distance) +
                              "; --input-units states them (this is " + unitWord(units.distance) +
                              ", or internationalFeet)");
    }
    m_job.input = units;
    return m_job.input;
}

void JobBuilder::setUnits(std::optional<EDistUnits> distance, std::optional<EAngleUnits> angle) {
    if (distance) {
        m_job.settings.setDistUnits(*distance);
        m_job.info.setDistUnits(*distance);
    }
    if (angle) {
        m_job.settings.setAngleUnits(*angle);
        m_job.info.setAngleUnits(*angle);
    }
}

void JobBuilder::setApplication(const COrvStringT& name, const COrvStringT& version) {
    stated();
    m_job.info.appName = name;
    m_job.info.appVersion = version;
}

void JobBuilder::setJobTexts(const COrvStringT& name, const COrvStringT& text2, const COrvStringT& text3) {
    stated();
    m_job.info.jobName = name;
    m_job.info.jobText2 = text2;
    m_job.info.jobText3 = text3;
}

void JobBuilder::setCreated(const COrvStringT& date, const Place& datePlace, const std::optional<COrvStringT>& time,
                            const Place& timePlace) {
    stated();
    m_job.info.setCreateTime(date, time ? *time : COrvStringT());
    Job::Created& created = m_job.created;
    created.present = true;
    created.date = utf8(date);
    created.datePlace = datePlace;
    created.hasTime = time.has_value();
    created.time = time ? utf8(*time) : std::string();
    created.timePlace = timePlace;
}

void JobBuilder::setInstrument(const COrvStringT& instrument, double prismConstantMillimetres) {
    stated();
    m_job.observation.instrument = instrument;
    m_job.observation.obsConstant = prismConstantMillimetres;
}

void JobBuilder::setTemperature(double value, ETemperatureUnits units) {
    stated();
    m_job.observation.setTemperature(celsiusFrom(value, units), units);
}

void JobBuilder::setPressure(double value, EPressureUnits units) {
    stated();
    m_job.observation.setPressure(hectopascalsFrom(value, units), units);
}

void JobBuilder::setPpm(double ppm) {
    stated();
    m_job.observation.setPpm(ppm);
}

void JobBuilder::setScale(double factor, double elevation) {
    stated();
    m_job.observation.setEllToGridScaleAndElevation(factor, elevation);
}

void JobBuilder::addKnownPoint(KnownPoint point, const Describe& describe) {
    stated();
    const std::string name = utf8(point.design.getStation().name());
    const auto [known, added] = m_job.pointIndex.try_emplace(name, m_job.points.size());
    if (!added) {
        // The same point twice is harmless; two places for one name are not. A point list
        // (--points) may give a height the job's point lacks, or lack one it has.
        KnownPoint& first = m_job.points[known->second];
        const bool otherInput = first.place.input != point.place.input;
        const bool heights = !otherInput || (first.hasHeight && point.hasHeight);
        if (first.coords.n != point.coords.n || first.coords.e != point.coords.e ||
            (heights && first.coords.h != point.coords.h)) {
            std::string message = "point " + shownName(name) + " is defined again with other coordinates than at " +
                                  (m_locate ? m_locate(first.place) : std::string("its first entry"));
            if (const auto safe = m_madeSafe.find(name); safe != m_madeSafe.end()) {
                message += " (--sanitize made " + shownName(safe->second.given) + " this name)";
            }
            if (describe) message = describe() + ": " + message;
            throw JobError(point.place.offset, message, kExitJob, point.place.input);
        }
        if (otherInput) {
            // The job's point and the list's are one: the job's entry stays, written once.
            std::string what = "point " + shownName(name) + " is given again; the entry at " +
                               (m_locate ? m_locate(first.place) : std::string("its first place")) + " is kept";
            if (!first.hasHeight && point.hasHeight) {
                first.hasHeight = true;
                first.coords.h = point.coords.h;
                DexStation station = first.design.getStation();
                station.setHeight(point.coords.h);
                first.design.setStation(station);
                what += " with this entry's height";
            }
            warn("input", what, point.place, describe);
            return;
        }
        known->second = m_job.points.size();
    }
    m_job.points.push_back(std::move(point));
}

void JobBuilder::addLevelRun(LevelRun run) {
    stated();
    if (m_checkValues) {
        for (const LevelReading& reading : run.readings) {
            // A sight length is checked as a slope distance alone is.
            if (!reading.distance.known()) continue;
            const double metres = reading.distance.value;
            const std::string what =
                implausibleMeasurement(eKindSlopeDistanceOnly, 0, metres, m_job.input.fromMetres(metres), m_job.input);
            if (!what.empty()) m_listener.warning("input", what, reading.place, {});
        }
    }
    m_job.levelRuns.push_back(std::move(run));
}

void JobBuilder::headerDone() {
    if (m_headerDone) return;
    m_headerDone = true;
    for (const std::string& note : m_unitNotes) m_listener.warning("input", note, m_unitsPlace, {});
    m_unitNotes.clear();
    m_listener.header(*this);
    countHeader(m_job, m_count);
}

void JobBuilder::addSetup(Setup setup) {
    stated();
    headerDone();
    setup.index = m_setups++;
    if (m_checkValues) checkSetup(setup);
    m_placement.place(setup);
    countSetup(setup, setup.items);
    m_count.add(setup.items);
    m_listener.setup(setup);
}

// The values of a raw file's set-up that no instrument gives, told in the file's units: the
// job file's reader checks its own at their JSON paths.
void JobBuilder::checkSetup(const Setup& setup) {
    checkHeight(setup.hi, "instrument height", setup.place, false);
    const auto backsight = [this](const Backsight& given) {
        if (given.kind == Backsight::Kind::point) checkObservation(given.sight.measurement(), given.place);
    };
    backsight(setup.backsight);
    for (const Backsight& other : setup.reorientations) backsight(other);
    const auto observation = [this](const Observation& sight) {
        checkHeight(sight.hr, "target height", sight.place, true);
        checkObservation(sight.sight.measurement(), sight.place);
    };
    for (const Observation& shot : setup.resection) observation(shot);
    for (const Observation& shot : setup.shots) observation(shot);
    for (const Stakeout& stake : setup.stakeouts) observation(stake.shot);
}

void JobBuilder::checkObservation(const DexTSRawMeasurement* measurement, const Place& at) {
    if (measurement == nullptr) return;
    const int kind = measurement->kind();
    for (std::size_t i = 0; i < 3; ++i) {
        const MeasuredValue value = measuredValue(kind, i);
        if (value != MeasuredValue::distance && value != MeasuredValue::zenith) continue;
        const double converted = measurement->valueAt(static_cast<int>(i));
        const double given =
            value == MeasuredValue::zenith ? m_job.input.fromDegrees(converted) : m_job.input.fromMetres(converted);
        const std::string what = implausibleMeasurement(kind, i, converted, given, m_job.input);
        if (!what.empty()) m_listener.warning("input", what, at, {});
    }
}

void JobBuilder::checkHeight(const Figure& height, const char* what, const Place& at, bool heldOver) {
    if (!height.known()) return;
    // A target height holds until the next in most raw files: told where it changes.
    if (heldOver) {
        if (height.value == m_lastTargetHeight) return;
        m_lastTargetHeight = height.value;
    }
    const std::string message =
        implausibleHeight(what, height.value, m_job.input.fromMetres(height.value), m_job.input);
    if (!message.empty()) m_listener.warning("input", message, at, {});
}

void JobBuilder::finish() {
    headerDone();
    m_placement.levelRuns(m_job.levelRuns);
    countLevelRuns(m_job, m_count);
    m_listener.end(m_job);
}

}  // namespace exportgen
