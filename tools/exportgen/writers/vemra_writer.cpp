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

    void begin() override {
        entries();
        COrvStringT out;
        m_generator->writeJobHeader(out);
        line(out);
    }

    void setup(const Setup& s) override {
        atSetup(s);
        COrvStringT out;
        if (suspect(s.station)) {
            watchName(s.station, m_generator->mappedName(s.station, false), kChanged, false,
                      [&s] { return setupPath(s) + ".station"; });
        }
        m_item = {&s, "code", kMember};
        checkCode(s.code);
        m_generator->writeStation(out, s.station, s.code, s.hi);
        line(out);
        backsight(s);
        std::size_t i = 0;
        for (const Observation& obs : s.resection) {
            at("resection observation to", &obs.sight.targetName());
            m_item = {&s, "resection", i++};
            observation(obs);
        }
        i = 0;
        for (const Observation& shot : s.shots) {
            at("observation to", &shot.sight.targetName());
            m_item = {&s, "shots", i++};
            observation(shot);
        }
        i = 0;
        for (const Stakeout& stake : s.stakeouts) {
            at("stake-out of", &stake.design);
            m_item = {&s, "stakeouts", i++};
            observation(stake.shot);
        }
    }

    void levelRuns() override {}

private:
    void entries();

    // A measured backsight point is an observation record with the known point's code; a
    // bearing alone has no record.
    void backsight(const Setup& s) {
        const Backsight& bs = s.backsight;
        if (bs.kind != Backsight::Kind::point || !bs.measured) return;
        at("backsight", &bs.point);
        m_item = {&s, "backsight", kMember};
        const KnownPoint* known = m_job.find(utf8(bs.point));
        record(bs.point, *bs.sight.measurement(), known != nullptr ? known->code : COrvStringT(), bs.hr, nullptr);
    }

    void observation(const Observation& shot) {
        const DexTSRawMeasurement coords(0, {shot.coords.n, shot.coords.e, shot.coords.h});
        record(shot.sight.targetName(), shot.measurement(), shot.code, shot.hr, shot.hasCoords ? &coords : nullptr);
    }

    // The record's measurement type is the measurement's kind. Only the Drevan record holds a
    // lone horizontal angle (with the target's coordinates, `coords`, null when unknown) or a
    // lone slope distance; the other dialects leave those sights out, as every dialect leaves
    // out the other kinds.
    void record(const COrvStringT& name, const DexTSRawMeasurement& m, const COrvStringT& code, double hr,
                const DexTSRawMeasurement* coords) {
        const int measType = m.kind();
        if (measType == kHorizontalAngleAlone || measType == kSlopeDistanceAlone) {
            if (!kDrevan || (measType == kHorizontalAngleAlone && coords == nullptr)) return leftOut(measType, where());
        } else if (measType > kAnglesOnly) {
            return leftOut(measType, where());
        }
        if (!name.IsEmpty()) checkTarget(name);
        checkCode(code);
        if constexpr (kDrevan) {
            if (coords != nullptr && (measType == 0 || measType == kHorizontalAngleAlone))
                checkCoordinates(measType, *coords);
        }
        COrvStringT out;
        m_generator->writeObservation(out, name, measType, m.valueAt(0), m.valueAt(1), m.valueAt(2), code, hr, nullptr,
                                      coords);
        line(out);
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
        warn("code \"" + utf8(code) + "\" is written without its '*' and '_': \"" + utf8(m_generator->cleanCode(code)) +
                 "\"",
             where());
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

    // The JSON path of the sight being written.
    std::string where() const {
        if (m_item.setup == nullptr) return std::string();
        if (m_item.index == kMember) return setupPath(*m_item.setup) + "." + m_item.list;
        return itemPath(*m_item.setup, m_item.list, m_item.index);
    }

    std::unordered_set<std::string> m_reportedCodes;

    struct Item {
        const Setup* setup = nullptr;
        const char* list = nullptr;
        std::size_t index = 0;  ///< kMember: `list` names a member of the set-up
    } m_item;
    static constexpr std::size_t kMember = static_cast<std::size_t>(-1);

    static constexpr bool kDrevan = std::is_same_v<Family, CDrevanRawDataGenerator>;

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
