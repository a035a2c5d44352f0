// The Vemra family: the job header (ApaSima: its four entry lines first), then per set-up the
// station record and one observation record per measured sight. Records carry no line end;
// the host ends each with "\r\n". The formats have no level or note records.
#include "writers/vemra_writer.h"

#include <initializer_list>
#include <string>
#include <type_traits>

#include "cli/errors.h"
#include "output/text.h"
#include "vemra/CApaSimaRawDataGenerator.h"
#include "vemra/CDrevanRawDataGenerator.h"
#include "vemra/CVemraRawDataGenerator.h"
#include "writers/registry.h"

namespace exportgen {

using namespace orv::ie;

namespace {

// Measurement kinds as the records number their measurement types: 0 horizontal angle,
// zenith, slope distance; 1 horizontal angle, horizontal distance, height difference;
// 2 angles; 6 a horizontal angle alone; 9 a slope distance alone.
constexpr int kAnglesOnly = eKindAnglesOnly, kHorizontalAngleAlone = eKindHorizontalAngleOnly,
              kSlopeDistanceAlone = eKindSlopeDistanceOnly;

template <class Generator>
class VemraWriter : public WriterBase {
public:
    VemraWriter(const FormatEntry& format, Job& job, Output& output) : WriterBase(format, job, output) {
        GeneratorInputs inputs;
        inputs.settings = &job.settings;
        inputs.job = &job.info;
        inputs.observation = &job.observation;
        // Each format of the family has a factory that makes its own generator class.
        m_generator.reset(static_cast<Generator*>(format.createVemraFamily(inputs)));
        if (!m_generator)
            throw HostError(kExitInternal, std::string("cannot create the ") + format.name + " generator");
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
        m_generator->writeStation(out, s.station, s.code, s.hi);
        line(out);
        backsight(s.backsight);
        for (const Observation& obs : s.resection) {
            at("resection observation to", &obs.sight.targetName());
            observation(obs);
        }
        for (const Observation& shot : s.shots) {
            at("observation to", &shot.sight.targetName());
            observation(shot);
        }
        for (const Stakeout& stake : s.stakeouts) {
            at("stake-out of", &stake.design);
            observation(stake.shot);
        }
    }

    void levelRuns() override {}

private:
    void entries();

    // A measured backsight point is an observation record with the known point's code; a
    // bearing alone has no record.
    void backsight(const Backsight& bs) {
        if (bs.kind != Backsight::Kind::point || !bs.measured) return;
        at("backsight", &bs.point);
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
            if (!kDrevan || (measType == kHorizontalAngleAlone && coords == nullptr)) return;
        } else if (measType > kAnglesOnly) {
            return;
        }
        COrvStringT out;
        m_generator->writeObservation(out, name, measType, m.valueAt(0), m.valueAt(1), m.valueAt(2), code, hr, nullptr,
                                      coords);
        line(out);
    }

    static constexpr bool kDrevan = std::is_same_v<Generator, CDrevanRawDataGenerator>;

    std::unique_ptr<Generator> m_generator;
};

template <class Generator>
void VemraWriter<Generator>::entries() {}

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

std::unique_ptr<FormatWriter> makeVemraWriter(const FormatEntry& format, Job& job, Output& output) {
    return std::make_unique<VemraWriter<CVemraRawDataGenerator>>(format, job, output);
}

std::unique_ptr<FormatWriter> makeApaSimaWriter(const FormatEntry& format, Job& job, Output& output) {
    return std::make_unique<VemraWriter<CApaSimaRawDataGenerator>>(format, job, output);
}

std::unique_ptr<FormatWriter> makeDrevanWriter(const FormatEntry& format, Job& job, Output& output) {
    return std::make_unique<VemraWriter<CDrevanRawDataGenerator>>(format, job, output);
}

}  // namespace exportgen
