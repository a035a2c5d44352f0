// The Vemra family: the job header (ApaSima: its four entry lines first), then per set-up the
// station record and one observation record per measured sight. Records carry no line end;
// the host ends each with "\r\n". The formats have no level or note records.
#include "writers/vemra_writer.h"

#include <cmath>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <unordered_set>

#include "base/generators.h"
#include "base/problems.h"
#include "base/text.h"
#include "contracts/text_services.h"
#include "vemra/CApaSimaRawDataGenerator.h"
#include "vemra/CDrevanRawDataGenerator.h"
#include "vemra/CVemraRawDataGenerator.h"

namespace exportgen {

using namespace orv::ie;

namespace {

// Measurement kinds as the records number their measurement types: 0 horizontal angle,
// zenith, slope distance; 1 horizontal angle, horizontal distance, height difference;
// 2 angles; 6 a horizontal angle alone; 9 a slope distance alone.
constexpr int kAnglesOnly = eKindAnglesOnly, kHorizontalAngleAlone = eKindHorizontalAngleOnly,
              kSlopeDistanceAlone = eKindSlopeDistanceOnly;

template <class Family>
class VemraWriter : public WriterBase {
public:
    VemraWriter(const exportgen::Generator& generator, const Job& job, RecordSink& sink)
        : WriterBase(generator, job, sink) {
        // Each format of the family has a factory that makes its own generator class.
        m_generator.reset(this->created(static_cast<Family*>(generator.createVemraFamily(this->factoryInputs()))));
    }

private:
    void writeHeader() override {
        entries();
        COrvStringT out;
        m_generator->writeJobHeader(out);
        line(out);
        // The header holds the job's name and third text, the temperature and the pressure; the
        // fields state the units.
        const Where job = [] { return std::string("$.job"); };
        for (const COrvStringT* text : {&m_job.info.jobName, &m_job.info.jobText3}) {
            if (!text->IsEmpty()) wrote(Item::jobText, Fate::recorded, job);
        }
        wrote(
            Item::unit, Fate::recorded, [] { return std::string("$.units"); }, 2);
        const Where observation = [] { return std::string("$.observation"); };
        double value = 0.0;
        ETemperatureUnits temperatureUnits{};
        EPressureUnits pressureUnits{};
        if (m_job.observation.getTemperature(value, temperatureUnits))
            wrote(Item::atmosphere, Fate::recorded, observation);
        if (m_job.observation.getPressure(value, pressureUnits)) wrote(Item::atmosphere, Fate::recorded, observation);
        if (kApaSima && m_job.observation.getPpm(value)) wrote(Item::atmosphere, Fate::recorded, observation);
    }

    void writeSetup(const Setup& s) override {
        atSetup(s);
        // The station record's instrument height has no empty form: a set-up without one is left
        // out whole, every part of it counted.
        if (!s.hi.known()) return this->warn("the set-up has no instrument height and is left out", this->setupPath(s));
        COrvStringT out;
        if (suspect(s.station)) {
            watchName(s.station, m_generator->mappedName(s.station, false), kChanged, false,
                      [this, &s] { return this->setupPath(s) + ".station"; });
        }
        m_item = {&s, "code", kMember};
        checkCode(s.code);
        m_generator->writeStation(out, s.station, s.code, s.hi.value);
        line(out);
        if (!s.code.IsEmpty()) wrote(Item::code, Fate::recorded, [this] { return where(); });
        backsight(s, s.backsight);
        std::size_t i = 0;
        for (const Observation& obs : s.resection) {
            at("resection observation to", &obs.sight.targetName());
            m_item = {&s, "resection", i++};
            observation(obs);
        }
        std::size_t next = 0;  // the next measured reorientation
        i = 0;
        for (const Observation& shot : s.shots) {
            for (; next < s.reorientations.size() && s.reorientations[next].firstShot <= i; ++next) {
                backsight(s, s.reorientations[next]);
            }
            at("observation to", &shot.sight.targetName());
            m_item = {&s, "shots", i++};
            observation(shot);
        }
        for (; next < s.reorientations.size(); ++next) backsight(s, s.reorientations[next]);
        i = 0;
        for (const Stakeout& stake : s.stakeouts) {
            at("stake-out of", &stake.design);
            m_item = {&s, "stakeouts", i++};
            observation(stake.shot);
        }
    }

    void writeLevelRuns() override {}

    const char* notCarried(Item item) const override {
        switch (item) {
            case Item::stationPosition:
            case Item::knownPoint:
            case Item::residual:
            case Item::stakeout:
                return "the format carries no coordinates";
            case Item::orientation:
                return "the format carries no orientation";
            case Item::levelRun:
                return "the format has no level records";
            case Item::note:
                return "the format has no note records";
            case Item::jobText:
                return "the header has no field for the second job text";
            case Item::controlCode:
            case Item::attribute:
                return "the format has no field for them";
            case Item::code:
                return "the format writes one code an observation and has no record of a known point or a level "
                       "reading";
            default:
                return WriterBase::notCarried(item);
        }
    }

    void entries();

    // A measured backsight point is an observation record with the known point's code; a
    // bearing alone has no record.
    void backsight(const Setup& s, const Backsight& bs) {
        if (bs.kind != Backsight::Kind::point || !bs.measured) return;
        at("backsight", &bs.point);
        m_item = {&s, "backsight", kMember};
        const KnownPoint* known = m_job.find(utf8(bs.point));
        if (record(bs.point, *bs.sight.measurement(), known != nullptr ? known->code : COrvStringT(), bs.hr, nullptr)) {
            wrote(observationItem(bs.sight.measurement()->kind()), Fate::recorded, [this] { return where(); });
        }
    }

    // An observation record with the point's code. The record has one code field: codes the
    // input wrote as one description ("TREE OAK 12") are written there whole.
    void observation(const Observation& shot) {
        if (!shot.measured()) return;  // no record without a measurement
        const DexTSRawMeasurement coords(0, {shot.coords.at.n, shot.coords.at.e, shot.coords.at.h});
        const bool described = writtenAsDescription(shot.sight.codes);
        if (!record(shot.sight.targetName(), shot.measurement(),
                    described ? codesDescription(shot.sight.codes) : shot.code, shot.hr,
                    shot.coords.known() ? &coords : nullptr)) {
            return;
        }
        const Where here = [this] { return where(); };
        observationWritten(shot, here);
        if (described) {
            codesWritten(shot.sight.codes, true, false, here);
        } else if (!shot.code.IsEmpty()) {
            wrote(Item::code, Fate::recorded, here);
        }
    }

    // The record's measurement type is the measurement's kind. Only the Drevan record holds a
    // lone horizontal angle (with the target's coordinates, `coords`, null when unknown) or a
    // lone slope distance; the other dialects leave those sights out, as every dialect leaves
    // out the other kinds. The target height has no empty form: a sight without one is left out.
    // True when the record was written.
    bool record(const COrvStringT& name, const DexTSRawMeasurement& m, const COrvStringT& code, const Figure& hr,
                const DexTSRawMeasurement* coords) {
        const int measType = m.kind();
        const bool recordFor = measType == kHorizontalAngleAlone || measType == kSlopeDistanceAlone
                                   ? kDrevan && (measType == kSlopeDistanceAlone || coords != nullptr)
                                   : measType <= kAnglesOnly;
        if (!recordFor) {
            this->leftOut(observationItem(measType), kNoRecord, [this] { return where(); });
            return false;
        }
        if (!hr.known()) {
            leftOut(observationItem(measType), "its target height is unknown", [this] { return where(); });
            return false;
        }
        if (!name.IsEmpty()) checkTarget(name);
        checkCode(code);
        checkDistances(m);
        if constexpr (kDrevan) {
            if (coords != nullptr && (measType == 0 || measType == kHorizontalAngleAlone))
                checkCoordinates(measType, *coords);
        }
        COrvStringT out;
        m_generator->writeObservation(out, name, measType, m.valueAt(0), m.valueAt(1), m.valueAt(2), code, hr.value,
                                      nullptr, coords);
        line(out);
        return true;
    }

    // A target name longer than the record's 8 characters is looked up by its first 8, and the
    // generator drops "+" and "_" from every name: either can make two names one.
    static constexpr int kNameWidth = 8;
    static constexpr const char* kChanged = "is written without its '+' and '_'";

    static bool suspect(const COrvStringT& name) {
        for (const wchar_t c : name.view()) {
            if (c == L'+' || c == L'_') return true;
        }
        return false;
    }

    void checkTarget(const COrvStringT& name) {
        const bool cut = name.GetLength() > kNameWidth;
        if (!cut && !suspect(name)) {
            if (namesChanged()) watchName(name, name, kChanged, false, [this] { return where(); });
            return;
        }
        const COrvStringT key = cut ? name.Left(kNameWidth) : name;
        watchName(name, m_generator->mappedName(key, false), cut ? "is cut to 8 characters" : kChanged, false,
                  [this] { return where(); });
    }

    // The generator drops "*" and "_" from codes: reported once per code.
    void checkCode(const COrvStringT& code) {
        bool changed = false;
        for (const wchar_t c : code.view()) changed = changed || c == L'*' || c == L'_';
        if (!changed || !m_reportedCodes.insert(utf8(code)).second) return;
        warn("code " + shownName(utf8(code)) +
                 " is written without its '*' and '_': " + shownName(utf8(m_generator->cleanCode(code))),
             where());
    }

    // A distance field holds 8 digits with 3 decimals in the output's unit: a distance of
    // 100 km or more (about 328,000 ft) loses its last digits.
    void checkDistances(const DexTSRawMeasurement& m) {
        struct Field {
            int kind, index;
            const char* name;
        };
        static constexpr Field kFields[] = {{eKindAnglesAndSlopeDistance, 2, "slope distance"},
                                            {eKindAngleAndHorizontalDistance, 1, "horizontal distance"},
                                            {eKindAngleAndHorizontalDistance, 2, "height difference"},
                                            {eKindSlopeDistanceOnly, 0, "slope distance"}};
        const EDistUnits units = m_job.settings.getDistUnits(m_job.info);
        for (const Field& field : kFields) {
            if (field.kind != m.kind()) continue;
            const double metres = m.valueAt(field.index);
            if (std::fabs(metres) == noValue || !std::isfinite(metres)) continue;
            const double written = utils::fromMetersFactor(metres, units);
            if (!(std::fabs(written) >= 99999.9995)) continue;
            const bool feet = units == eUSFeet || units == eUSFeetInches || units == eInternationalFeet ||
                              units == eInternationalFeetInches;
            const bool us = units == eUSFeet || units == eUSFeetInches;
            warn(std::string(field.name) + " " + shortestNumber(std::round(written * 1000.0) / 1000.0) +
                     (us     ? " US ft"
                      : feet ? " ft"
                             : " m") +
                     " is too wide for its 8-digit field: written cut",
                 where());
        }
    }

    // Drevan's coordinate fields: 10 digits with 4 decimals beside a slope distance, 8 with 3
    // beside a direction alone. A value with more integer digits than that takes the sign's place
    // (a negative one loses its sign) or is cut.
    void checkCoordinates(int measType, const DexTSRawMeasurement& coords) {
        const int precision = measType == 0 ? 4 : 3;
        const int width = measType == 0 ? 10 : 8;
        const double limit = std::pow(10.0, width - precision) - 0.5 * std::pow(10.0, -precision);
        static const char* const kAxes[] = {"northing", "easting", "height"};
        for (int i = 0; i < 3; ++i) {
            const double value = coords.valueAt(i);
            if (!(std::fabs(value) >= limit)) continue;
            warn(std::string(kAxes[i]) + " " + shortestNumber(value) + " is too wide for its " + std::to_string(width) +
                     "-digit field: written " + (value < 0.0 ? "without its sign" : "without room for a sign") +
                     (std::fabs(value) >= 10.0 * limit ? " and cut" : ""),
                 where());
        }
    }

    // The place of the sight being written.
    std::string where() const {
        if (m_item.setup == nullptr) return std::string();
        if (m_item.index == kMember) return setupPath(*m_item.setup) + "." + m_item.list;
        return itemPath(*m_item.setup, m_item.list, m_item.index);
    }

    std::unordered_set<std::string> m_reportedCodes;

    struct Current {
        const Setup* setup = nullptr;
        const char* list = nullptr;
        std::size_t index = 0;  ///< kMember: `list` names a member of the set-up
    } m_item;                   ///< the sight being written
    static constexpr std::size_t kMember = static_cast<std::size_t>(-1);

    static constexpr bool kDrevan = std::is_same_v<Family, CDrevanRawDataGenerator>;
    static constexpr bool kApaSima = std::is_same_v<Family, CApaSimaRawDataGenerator>;

    std::unique_ptr<Family> m_generator;
};

template <class Family>
void VemraWriter<Family>::entries() {}

// ApaSima's program, job, atmosphere and constant entries, each a line of its texts joined by
// commas, ahead of the job header.
template <>
void VemraWriter<CApaSimaRawDataGenerator>::entries() {
    auto joined = [](std::initializer_list<const COrvStringT*> parts) {
        COrvStringT text;
        for (const COrvStringT* part : parts) {
            if (part != *parts.begin()) text += L",";
            text += *part;
        }
        return text;
    };
    COrvStringT a, b, c, d, e, f;
    m_generator->writeProgramInfo(a, b);
    line(joined({&a, &b}));
    m_generator->writeJobInfo(a, b, c, d, e);
    line(joined({&a, &b, &c, &d, &e}));
    m_generator->writeAtmosphere(a, b, c, d, e, f);
    line(joined({&a, &b, &c, &d, &e, &f}));
    m_generator->writeObsConstant(1, a);
    line(a);
}

}  // namespace

std::unique_ptr<FormatWriter> makeVemraWriter(const Generator& generator, const Job& job, RecordSink& sink) {
    return std::make_unique<VemraWriter<CVemraRawDataGenerator>>(generator, job, sink);
}

std::unique_ptr<FormatWriter> makeApaSimaWriter(const Generator& generator, const Job& job, RecordSink& sink) {
    return std::make_unique<VemraWriter<CApaSimaRawDataGenerator>>(generator, job, sink);
}

std::unique_ptr<FormatWriter> makeDrevanWriter(const Generator& generator, const Job& job, RecordSink& sink) {
    return std::make_unique<VemraWriter<CDrevanRawDataGenerator>>(generator, job, sink);
}

}  // namespace exportgen
