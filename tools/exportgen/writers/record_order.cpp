#include "writers/record_order.h"

#include <cmath>
#include <functional>
#include <type_traits>

#include "cli/errors.h"
#include "quoltpashk/CQuoltPashkRawDataGenerator.h"
#include "rw5/CRW5Generator.h"
#include "sdr/CSDRRawGenerator.h"
#include "surface/export_generators.h"
#include "output/text.h"
#include "vemra/CApaSimaRawDataGenerator.h"
#include "vemra/CDrevanRawDataGenerator.h"
#include "vemra/CVemraRawDataGenerator.h"

namespace exportgen {

using namespace orv::ie;

const std::vector<std::string>& formatNames() {
    static const std::vector<std::string> names = {"vemra", "apasima", "drevan", "quoltpashk", "rw5", "sdr"};
    return names;
}

std::string formatSuffix(const std::string& format) { return "." + format; }

namespace {

// Shared by every format: the output, the context of the record being written (for an
// encoding error) and the host's own texts.
class WriterBase : public FormatWriter {
protected:
    WriterBase(const char* format, Job& job, Output& output)
        : m_format(format), m_job(job), m_output(output), m_describe([this] { return describe(); }) {}

    /// Writes a text as the generator returned it; an empty text writes nothing.
    void emit(const COrvStringT& text) {
        if (text.IsEmpty()) return;
        ++m_records;
        m_output.text(text, m_describe);
    }
    /// Writes a record that carries no line end, ended with "\r\n".
    void line(COrvStringT text) {
        if (text.IsEmpty()) return;
        text += L"\r\n";
        emit(text);
    }
    void at(const char* part, const COrvStringT* name) {
        m_part = part;
        m_name = name;
    }
    void atSetup(const Setup& setup) {
        m_setup = &setup;
        at("station", &setup.station);
    }

    std::string describe() const {
        std::string text = std::string(m_format) + " record " + std::to_string(m_records + 1) + " (";
        if (m_setup != nullptr) {
            text += "set-up " + std::to_string(m_setup->index) + " at \"" + utf8(m_setup->station) + "\", ";
        }
        text += m_part;
        if (m_name != nullptr) text += " \"" + utf8(*m_name) + "\"";
        return text + ")";
    }

    /// The host's note on a staked point: the differences staked minus design.
    static COrvStringT stakeText(const Stakeout& stake) {
        COrvStringT text = L"Stake ";
        text += stake.design;
        text += L": dN ";
        text += fixed(stake.staked.n - stake.designCoords.n, 4);
        text += L" dE ";
        text += fixed(stake.staked.e - stake.designCoords.e, 4);
        text += L" dH ";
        text += fixed(stake.staked.h - stake.designCoords.h, 4);
        return text;
    }

    /// The host's note texts of a level run, for formats without level records.
    std::vector<COrvStringT> levelRunTexts() const {
        std::vector<COrvStringT> texts;
        for (const LevelRun& run : m_job.levelRuns) {
            COrvStringT head = L"Level run ";
            head += run.name;
            if (!run.description.IsEmpty()) head += L" " + run.description;
            head += L": start ";
            head += run.start;
            head += L" EL ";
            head += fixed(run.startElevation, 4);
            texts.push_back(head);
            for (const LevelReading& reading : run.readings) {
                COrvStringT text = reading.backsight ? L"BS " : L"FS ";
                text += reading.point;
                text += L" rod ";
                text += fixed(reading.rod, 4);
                text += reading.backsight ? L" HI " : L" EL ";
                text += fixed(reading.backsight ? reading.collimation : reading.elevation, 4);
                texts.push_back(text);
            }
        }
        return texts;
    }

    const char* m_format;
    Job& m_job;
    Output& m_output;
    std::function<std::string()> m_describe;
    const Setup* m_setup = nullptr;
    const char* m_part = "header";
    const COrvStringT* m_name = nullptr;
    std::size_t m_records = 0;
};

// The figures of a resection observation against its known point.
struct Residual {
    Point3 position;                                     // computed target minus known point
    double horizontal = 0.0, zenith = 0.0, slope = 0.0;  // computed minus measured
};

Residual residualOf(const Setup& setup, const Observation& obs) {
    Residual r;
    const auto& m = obs.measurement();
    Point3 computed;
    target(setup.coords, setup.hi, obs.hr, setup.orientation, m, computed);
    r.position = {computed.n - obs.coords.n, computed.e - obs.coords.e, computed.h - obs.coords.h};
    const double dn = obs.coords.n - setup.coords.n, de = obs.coords.e - setup.coords.e;
    const double dh = obs.coords.h + obs.hr - setup.coords.h - setup.hi;
    const double horizontal = std::hypot(dn, de);
    r.horizontal = signedAngle(azimuth(setup.coords, obs.coords) - setup.orientation - m.valueAt(0));
    r.zenith = std::atan2(horizontal, dh) * 180.0 / 3.14159265358979323846 - m.valueAt(1);
    r.slope = std::hypot(horizontal, dh) - m.valueAt(2);
    return r;
}

DexStation stationAt(const COrvStringT& name, const Point3& p) { return DexStation(name, p.n, p.e, p.h); }

// RW5: header, stored known points, then per set-up: resection, occupy, heights, backsight,
// observations; level runs as notes.
class Rw5Writer : public WriterBase {
public:
    Rw5Writer(Job& job, Output& output) : WriterBase("rw5", job, output) {
        FreeNumericNames names;
        for (const KnownPoint& point : job.points) names.reserve(point.design.getStation().name());
        m_generator.reset(createRw5Generator(&job.settings, &job.info, &names, false, false));
        if (!m_generator) throw HostError(kExitInternal, "cannot create the rw5 generator");
    }

    void begin() override {
        COrvStringT comment, jobLine, mode;
        m_generator->header(comment, jobLine, mode);
        emit(comment);
        emit(jobLine);
        emit(mode);
        for (const KnownPoint& point : m_job.points) {
            const DexStation& station = point.design.getStation();
            at("known point", &station.name());
            COrvStringT note = point.code;
            if (!station.getNotes().IsEmpty()) note += note.IsEmpty() ? station.getNotes() : L" " + station.getNotes();
            emit(m_generator->storePoint(L"SP", station.name(), &station, note, 4, false));
        }
    }

    void setup(const Setup& s) override {
        atSetup(s);
        CRW5Generator& g = *m_generator;
        resection(s);
        at("station", &s.station);
        emit(g.occupy(COrvStringT(), s.station, s.note, s.coords.n, s.coords.e, s.coords.h, s.hi));
        const Backsight& bs = s.backsight;
        if (bs.kind != Backsight::Kind::none) {
            at("backsight", &bs.point);
            emit(g.lsHiHr(bs.hr, true));
            const bool bearing = bs.kind == Backsight::Kind::bearing;
            emit(g.backsight(bs.point, bearing, bs.circle, bs.azimuth));
            if (!bearing && bs.measured) {
                emit(g.backsightObs(bs.point, 0, bs.sight.measurement(), bs.hr) + L"\r\n");
            }
        }
        for (const Observation& shot : s.shots) {
            at("observation to", &shot.sight.targetName());
            observation(shot);
        }
        for (const Stakeout& stake : s.stakeouts) {
            at("stake-out of", &stake.design);
            observation(stake.shot);
            const DexStation staked = stationAt(stake.shot.sight.targetName(), stake.staked);
            emit(g.storePoint(L"SP", staked.name(), &staked, stakeText(stake), 4, true));
        }
    }

    void levelRuns() override {
        m_setup = nullptr;
        at("level run", nullptr);
        for (const COrvStringT& text : levelRunTexts()) emit(m_generator->noteLine(text));
    }

private:
    void observation(const Observation& shot) {
        emit(m_generator->lsHiHr(shot.hr, true));
        emit(m_generator->sightNoteLine(&shot.sight, nullptr));
        emit(m_generator->noteLine(shot.sight.getNote()));
    }

    // The resection's observations, then the worst residuals over them.
    void resection(const Setup& s) {
        if (s.resection.empty()) return;
        Residual worst;
        for (const Observation& obs : s.resection) {
            at("resection observation to", &obs.sight.targetName());
            emit(m_generator->resection(obs.sight.targetName(), obs.sight.measurement()));
            const Residual r = residualOf(s, obs);
            if (std::fabs(r.horizontal) > std::fabs(worst.horizontal)) worst.horizontal = r.horizontal;
            if (std::fabs(r.zenith) > std::fabs(worst.zenith)) worst.zenith = r.zenith;
            if (std::fabs(r.slope) > std::fabs(worst.slope)) worst.slope = r.slope;
        }
        emit(m_generator->worstResidualNotes(worst.horizontal, worst.zenith, worst.slope));
    }

    std::unique_ptr<CRW5Generator> m_generator;
};

// SDR: the comment line of the header, coordinate records of the known points, then per
// set-up: station, target height, backsight and observations with their notes; level runs
// with the level records.
class SdrWriter : public WriterBase {
public:
    SdrWriter(Job& job, Output& output) : WriterBase("sdr", job, output) {
        m_generator.reset(createSdrRawGenerator(&job.settings, &job.info));
        if (!m_generator) throw HostError(kExitInternal, "cannot create the sdr generator");
    }

    void begin() override {
        COrvStringT comment, jobLine, mode;
        m_generator->header(comment, jobLine, mode);
        emit(comment);  // the job and mode lines are RW5 records; the SDR file keeps the comment only
        for (const KnownPoint& point : m_job.points) {
            const DexStation& station = point.design.getStation();
            at("known point", &station.name());
            emit(m_generator->coordinateRecord(L"08TP", station.name(), &station, point.code, 4, false, false));
        }
    }

    void setup(const Setup& s) override {
        atSetup(s);
        CSDRRawGenerator& g = *m_generator;
        emit(g.occupy(L"NM", s.station, s.code, s.coords.n, s.coords.e, s.coords.h, s.hi));
        emit(g.noteLine(s.note));
        const Backsight& bs = s.backsight;
        if (bs.kind != Backsight::Kind::none) {
            at("backsight", &bs.point);
            emit(g.lsHiHr(bs.hr, true));
            const bool bearing = bs.kind == Backsight::Kind::bearing;
            emit(g.backsight(bs.point, bearing, bs.azimuth, bs.circle));
            if (!bearing && bs.measured) emit(g.sightNoteLine(&bs.sight, nullptr));
        }
        for (const Observation& obs : s.resection) {
            at("resection observation to", &obs.sight.targetName());
            observation(obs);
            const Residual r = residualOf(s, obs);
            emit(g.residualNotes(r.position.n, r.position.e, r.position.h));
        }
        for (const Observation& shot : s.shots) {
            at("observation to", &shot.sight.targetName());
            observation(shot);
        }
        for (const Stakeout& stake : s.stakeouts) {
            at("stake-out of", &stake.design);
            observation(stake.shot);
            emit(g.stakeoutNotes(stake.design, stake.shot.sight.targetName(), stake.staked.n - stake.designCoords.n,
                                 stake.staked.e - stake.designCoords.e, stake.staked.h - stake.designCoords.h));
            const DexStation staked = stationAt(stake.shot.sight.targetName(), stake.staked);
            emit(g.coordinateRecord(L"08TP", staked.name(), &staked, stake.shot.code, 4, true, false));
        }
    }

    void levelRuns() override {
        m_setup = nullptr;
        CSDRRawGenerator& g = *m_generator;
        int number = 0;
        for (const LevelRun& run : m_job.levelRuns) {
            at("level run", &run.name);
            emit(g.levelRunNote(run.name, run.description));
            emit(g.levelStartRecords(run.start, run.startElevation, COrvStringT(), ++number));
            int index = 0;
            for (const LevelReading& reading : run.readings) {
                at("level reading on", &reading.point);
                // 63LV backsight / 64LV foresight: rod reading, sight length, code, reading
                // number, backsight flag, height of collimation; a foresight adds the point's
                // height and its rise from the previous point.
                const DexTSRawMeasurement values(reading.backsight ? 0 : 1,
                                                 {reading.elevation, reading.distance, reading.rise});
                emit(g.levelReadingRecord(reading.point, reading.rod, &values, reading.collimation, reading.code,
                                          reading.backsight, ++index));
            }
        }
    }

    // The generator notes the first name or field longer than its column; the text was cut.
    std::string warning() const override {
        return m_generator->reportStatus() == CSDRRawGenerator::kFieldOverflow
                   ? "sdr: a name or field was longer than its 16-character column and was cut to fit"
                   : std::string();
    }

private:
    void observation(const Observation& shot) {
        emit(m_generator->lsHiHr(shot.hr, true));
        emit(m_generator->sightNoteLine(&shot.sight, nullptr));
        emit(m_generator->noteLine(shot.sight.getNote()));
    }

    std::unique_ptr<CSDRRawGenerator> m_generator;
};

// Quolt/Pashk: the seven header lines, then per set-up: station, backsight, resection,
// sights each followed by its measurement, coordinates, control codes and note.
class QuoltPashkWriter : public WriterBase {
public:
    QuoltPashkWriter(Job& job, Output& output) : WriterBase("quoltpashk", job, output) {
        m_generator.reset(createQuoltPashkRawDataGenerator(&job.settings, &job.info, &job.observation, nullptr, false));
        if (!m_generator) throw HostError(kExitInternal, "cannot create the quoltpashk generator");
    }

    void begin() override {
        COrvStringT lines[7];
        m_generator->writeHeaderRecords(lines[0], lines[1], lines[2], lines[3], lines[4], lines[5], lines[6]);
        for (const auto& text : lines) emit(text);
    }

    void setup(const Setup& s) override {
        atSetup(s);
        CQuoltPashkRawDataGenerator& g = *m_generator;
        COrvStringT out;
        g.writeStation(out, s.station, s.code, s.hi);
        emit(out);
        note(s.note);
        const Backsight& bs = s.backsight;
        if (bs.kind != Backsight::Kind::none) {
            at("backsight", &bs.point);
            const bool bearing = bs.kind == Backsight::Kind::bearing;
            g.writeBacksightBearing(out, bearing, bs.point, bs.azimuth, bs.circle);
            emit(out);
            if (!bearing) {
                g.writeSight(out, 1, false, bs.point, COrvStringT(), COrvStringT(), bs.hr);
                emit(out);
                if (bs.measured) measurement(*bs.sight.measurement());
            }
        }
        int number = 0;
        for (const Observation& obs : s.resection) {
            at("resection observation to", &obs.sight.targetName());
            g.writeResectionObservation(out, obs.sight.targetName(), ++number, obs.measurement().valueAt(2));
            emit(out);
            measurement(obs.measurement());
        }
        for (const Observation& shot : s.shots) {
            at("observation to", &shot.sight.targetName());
            observation(shot);
        }
        for (const Stakeout& stake : s.stakeouts) {
            at("stake-out of", &stake.design);
            observation(stake.shot);
            note(stakeText(stake));
        }
    }

    void levelRuns() override {
        m_setup = nullptr;
        at("level run", nullptr);
        for (const COrvStringT& text : levelRunTexts()) note(text);
    }

private:
    void note(const COrvStringT& text) {
        COrvStringT out;
        m_generator->writeNote(out, text);
        emit(out);
    }

    // SD, HD and HV lines for the kinds that have them; a horizontal angle or a distance alone
    // has no measurement record in this format.
    void measurement(const DexTSRawMeasurement& m) {
        const int kind = m.kind() == 0 ? 0 : m.kind() == 1 ? 1 : m.kind() == 2 ? 2 : -1;
        if (kind < 0) return;
        COrvStringT out;
        m_generator->writeMeasurement(out, kind, 0, m.valueAt(0), m.valueAt(1), m.valueAt(2));
        emit(out);
    }

    void observation(const Observation& shot) {
        CQuoltPashkRawDataGenerator& g = *m_generator;
        COrvStringT out;
        g.writeSight(out, shot.sight.sightKind(), false, shot.sight.targetName(), shot.code, COrvStringT(), shot.hr);
        emit(out);
        measurement(shot.measurement());
        if (shot.hasCoords) {
            g.writeMeasurement(out, 4, 0, shot.coords.n, shot.coords.e, shot.coords.h);
            emit(out);
        }
        if (const DexCodeValues* code = shot.sight.codes.getCode(0)) {
            out.Empty();
            g.writeControlCodes(out, code->getControlCode(eControlCode1), code->getControlCode(eControlCode2),
                                code->getCodeStringAt(0));
            emit(out);
        }
        note(shot.sight.getNote());
    }

    std::unique_ptr<CQuoltPashkRawDataGenerator> m_generator;
};

// The Vemra family: the job header (ApaSima: its four entry lines first), then per set-up
// the station record and one observation record per measured sight. Records carry no line
// end; the host ends each with "\r\n".
template <class Generator>
class VemraWriter : public WriterBase {
public:
    VemraWriter(const char* format, Generator* generator, Job& job, Output& output)
        : WriterBase(format, job, output), m_generator(generator) {
        if (!m_generator) throw HostError(kExitInternal, std::string("cannot create the ") + format + " generator");
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
        const Backsight& bs = s.backsight;
        if (bs.kind == Backsight::Kind::point && bs.measured) {
            at("backsight", &bs.point);
            const KnownPoint* known = m_job.find(utf8(bs.point));
            observation(bs.point, *bs.sight.measurement(), known != nullptr ? known->code : COrvStringT(), bs.hr,
                        nullptr);
        }
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

    void levelRuns() override {}  // the format has no level or note records

private:
    void entries();

    void observation(const Observation& shot) {
        const DexTSRawMeasurement coords(0, {shot.coords.n, shot.coords.e, shot.coords.h});
        observation(shot.sight.targetName(), shot.measurement(), shot.code, shot.hr,
                    shot.hasCoords ? &coords : nullptr);
    }

    // Measurement types: kind 0 → 0 (horizontal angle, zenith, slope distance), 1 → 1
    // (horizontal angle, horizontal distance, height difference), 2 → 2 (angles). Only the
    // Drevan record holds a lone horizontal angle (6, with the target's coordinates) or a lone
    // slope distance (9); the other dialects leave those sights out.
    void observation(const COrvStringT& name, const DexTSRawMeasurement& m, const COrvStringT& code, double hr,
                     const DexTSRawMeasurement* coords) {
        const int measType = m.kind();  // the kinds 0, 1, 2, 6 and 9 share their numbers
        if (measType == 6 || measType == 9) {
            if (!kDrevan || (measType == 6 && coords == nullptr)) return;
        } else if (measType > 2) {
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

std::unique_ptr<FormatWriter> makeFormatWriter(const std::string& format, Job& job, Output& output) {
    if (format == "rw5") return std::make_unique<Rw5Writer>(job, output);
    if (format == "sdr") return std::make_unique<SdrWriter>(job, output);
    if (format == "quoltpashk") return std::make_unique<QuoltPashkWriter>(job, output);
    if (format == "vemra") {
        return std::make_unique<VemraWriter<CVemraRawDataGenerator>>(
            "vemra", createVemraRawDataGenerator(&job.settings, &job.info, &job.observation), job, output);
    }
    if (format == "apasima") {
        return std::make_unique<VemraWriter<CApaSimaRawDataGenerator>>(
            "apasima", createApaSimaRawDataGenerator(&job.settings, &job.info, &job.observation), job, output);
    }
    if (format == "drevan") {
        return std::make_unique<VemraWriter<CDrevanRawDataGenerator>>(
            "drevan", createDrevanRawDataGenerator(&job.settings, &job.info, &job.observation), job, output);
    }
    throw HostError(kExitUsage, "unknown format " + format);
}

}  // namespace exportgen
