// SDR: the comment line of the header, coordinate records of the known points, then per
// set-up: station, target height, backsight, resection observations with their residuals,
// observations and stake-outs with their notes; level runs with the level records.
#include "writers/sdr_writer.h"

#include <functional>
#include <string>
#include <unordered_set>

#include "base/generators.h"
#include "base/problems.h"
#include "base/text.h"
#include "sdr/CSDRRawGenerator.h"

namespace exportgen {

using namespace orv::ie;

namespace {

class SdrWriter : public WriterBase {
public:
    SdrWriter(const Generator& generator, const Job& job, RecordSink& sink) : WriterBase(generator, job, sink) {
        // The SDR format's factory makes a CSDRRawGenerator.
        m_generator.reset(created(static_cast<CSDRRawGenerator*>(generator.createRw5Family(factoryInputs()))));
    }

private:
    void writeHeader() override {
        COrvStringT comment, jobLine, mode;
        m_generator->header(comment, jobLine, mode);
        emit(comment);  // the job and mode lines are RW5 records; the SDR file keeps the comment only
        const EAngleUnits angle = m_job.settings.getAngleUnits(m_job.info);
        if (angle == eDegMinSec) {
            warn("angles in packed degrees, minutes and seconds are written as decimal degrees", "$.units.angle");
        }
        // The records state no units: a reader takes the distances for metres and the angles for
        // degrees, which holds when they are.
        const Where units = [] { return std::string("$.units"); };
        if (m_job.settings.getDistUnits(m_job.info) == eMeters) wrote(Item::unit, Fate::recorded, units);
        if (angle == eDegrees || angle == eDecimalDegrees || angle == eDegMinSec) {
            wrote(Item::unit, angle == eDegMinSec ? Fate::derived : Fate::recorded, units);
        }
        std::size_t i = 0;
        for (const KnownPoint& point : m_job.points) {
            const DexStation& station = point.design.getStation();
            at("known point", &station.name());
            name(station.name(), [i] { return "$.points[" + std::to_string(i) + "].name"; });
            const Where where = [i] { return "$.points[" + std::to_string(i) + "]"; };
            ++i;
            // The record's one code field: codes the input wrote as one description go there whole,
            // and so does the rest of a stored point's description, read as its note ("IRON PIN
            // FOUND" is the code "IRON" and the note "PIN FOUND"), for which SDR has no place.
            const bool described = writtenAsDescription(point.design.codes);
            COrvStringT code = described ? codesDescription(point.design.codes) : point.code;
            const COrvStringT& note = station.getNotes();
            const bool noted = m_job.codesAsText && !note.IsEmpty();
            if (noted) {
                if (!code.IsEmpty()) code += L' ';
                code += note;
                noteWritten(note, where);
            }
            codeField(code, where);
            coordinates(station, code, Store::oncePerName);
            wrote(Item::knownPoint, Fate::recorded, where);
            if (described) {
                codesWritten(point.design.codes, true, false, where);
            } else if (!point.code.IsEmpty()) {
                wrote(Item::code, Fate::recorded, where);
            }
        }
    }

    void writeSetup(const Setup& s) override {
        atSetup(s);
        name(s.station, [this, &s] { return setupPath(s) + ".station"; });
        const Point3 place = coordinatesOrNoValue(s.coords);
        emit(m_generator->occupy(L"NM", s.station, s.code, place.n, place.e, place.h, s.hi.orNoValue()));
        emit(m_generator->noteLine(s.note));
        const Where station = [&s] { return utf8(s.station); };
        codeField(s.code, [this, &s] { return setupPath(s); });
        wrote(Item::stationPosition, s.coords.origin, station);
        if (!s.code.IsEmpty()) wrote(Item::code, Fate::recorded, station);
        noteWritten(s.note, station);
        if (s.backsight.kind != Backsight::Kind::none) {
            backsight(s, s.backsight);
        } else {
            // Without a backsight record the orientation is the resection's or the first sight's,
            // and goes with their records; or it is unknown.
            wrote(Item::orientation, s.orientation.origin, station);
        }
        std::size_t i = 0;
        for (const Observation& obs : s.resection) {
            at("resection observation to", &obs.sight.targetName());
            const std::size_t index = i++;
            name(obs.sight.targetName(), [this, &s, index] { return itemPath(s, "resection", index) + ".to"; });
            const Where where = [this, &s, index] { return itemPath(s, "resection", index); };
            observation(obs, where);
            const Point3 miss = coordinatesOrNoValue(obs.residual);
            emit(m_generator->residualNotes(miss.n, miss.e, miss.h));
            if (obs.residual.known()) wrote(Item::residual, obs.residual.origin, where);
        }
        std::size_t next = 0;  // the next reorientation to write
        for (i = 0; i < s.shots.size(); ++i) {
            for (; next < s.reorientations.size() && s.reorientations[next].firstShot <= i; ++next) {
                backsight(s, s.reorientations[next]);
            }
            const Observation& shot = s.shots[i];
            at("observation to", &shot.sight.targetName());
            name(shot.sight.targetName(), [this, &s, i] { return itemPath(s, "shots", i) + ".to"; });
            observation(shot, [this, &s, i] { return itemPath(s, "shots", i); });
        }
        for (; next < s.reorientations.size(); ++next) backsight(s, s.reorientations[next]);
        i = 0;
        for (const Stakeout& stake : s.stakeouts) {
            at("stake-out of", &stake.design);
            const std::size_t index = i++;
            name(stake.shot.sight.targetName(), [this, &s, index] { return itemPath(s, "stakeouts", index) + ".to"; });
            stakeout(stake, [this, &s, index] { return itemPath(s, "stakeouts", index); });
        }
    }

    void writeLevelRuns() override {
        int number = 0;
        for (const LevelRun& run : m_job.levelRuns) {
            atLevelRuns(&run.name);
            const int r = number;
            name(run.start, [r] { return "$.levelRuns[" + std::to_string(r) + "].start"; });
            emit(m_generator->levelRunNote(run.name, run.description));
            emit(m_generator->levelStartRecords(run.start, run.startElevation.orNoValue(), COrvStringT(), ++number));
            int index = 0;
            Origin origin = run.startElevation.known() ? Origin::recorded : Origin::absent;
            for (const LevelReading& reading : run.readings) {
                at("level reading on", &reading.point);
                const int k = index;
                name(reading.point, [r, k] {
                    return "$.levelRuns[" + std::to_string(r) + "].readings[" + std::to_string(k) + "].point";
                });
                levelReading(reading, ++index);
                codeField(reading.code, [this, r, k, &reading] {
                    return readingPath(static_cast<std::size_t>(r), static_cast<std::size_t>(k), reading.place);
                });
                for (const Figure* figure : {&reading.collimation, &reading.elevation}) {
                    if (figure->origin == Origin::absent) origin = Origin::absent;
                    if (figure->origin == Origin::derived && origin == Origin::recorded) origin = Origin::derived;
                }
            }
            const Where where = [r] { return "$.levelRuns[" + std::to_string(r) + "]"; };
            wrote(Item::levelRun, origin, where);
            for (const LevelReading& reading : run.readings) {
                if (!reading.code.IsEmpty()) wrote(Item::code, Fate::recorded, where);
            }
        }
    }

    // The generator notes that some field was longer than its column; the names were reported
    // one by one, anything else is reported here.
    void writeEnd() override {
        if (m_generator->reportStatus() == CSDRRawGenerator::kFieldOverflow && !namesChanged()) {
            warn("a field was longer than its 16-character column and was cut to fit",
                 "the generator does not say which");
        }
    }

    const char* notCarried(Item item) const override {
        switch (item) {
            case Item::unit:
                return "SDR does not state its units: a reader takes its distances for metres and its angles for "
                       "degrees";
            case Item::residual:
                return "SDR writes each resection observation's residuals, not the worst";
            case Item::controlCode:
                return "SDR has no field for them";
            case Item::note:
                return "SDR writes no note of a known point";
            default:
                return WriterBase::notCarried(item);
        }
    }

    // Names are written in 16-character columns: a longer one is cut, and two names that share
    // their first 16 characters become one.
    static constexpr int kNameWidth = 16;

    void name(const COrvStringT& text, const std::function<std::string()>& where) {
        const int length = text.GetLength();
        if (length < kNameWidth && !namesChanged()) return;
        watchName(text, length > kNameWidth ? text.Left(kNameWidth) : text, "is cut to its 16-character column",
                  length == kNameWidth, where);
    }

    void coordinates(const DexStation& station, const COrvStringT& code, Store store) {
        emit(m_generator->coordinateRecord(L"08TP", station.name(), &station, code, 4, store == Store::always, false));
    }

    // The backsight by point or by bearing, and the measurement to a backsight point; an angle
    // that is unknown is written as the empty field of the no-value.
    void backsight(const Setup& s, const Backsight& bs) {
        at("backsight", &bs.point);
        if (bs.kind == Backsight::Kind::point) name(bs.point, [this, &s] { return setupPath(s) + ".backsight.point"; });
        emit(m_generator->lsHiHr(bs.hr.orNoValue(), true));
        const bool bearingOnly = bs.kind == Backsight::Kind::bearing;
        emit(m_generator->backsight(bs.point, bearingOnly, bs.azimuth.orNoValue(), bs.circle.orNoValue()));
        const Where station = [&s] { return utf8(s.station); };
        wrote(Item::orientation, bs.orientation().origin, station);
        if (!bearingOnly && bs.measured) {
            // SDR books a horizontal angle as a circle reading: an angle left reads round from zero.
            DexTSRawBS scratch;
            emit(m_generator->sightNoteLine(&withCircleReading(bs.sight, scratch), nullptr));
            wrote(observationItem(bs.sight.measurement()->kind()), Fate::recorded, station);
        }
    }

    // A sight without a measurement is written with its values empty. The record has one code
    // field, with a "13FC" note that holds a code too long for it: codes the input wrote as one
    // description ("TREE OAK 12") are written there whole, with every code's attributes.
    void observation(const Observation& shot, const Where& where) {
        emit(m_generator->lsHiHr(shot.hr.orNoValue(), true));
        const bool described = writtenAsDescription(shot.sight.codes);
        DexTSRawFS scratch;
        const DexTSRawFS* sight = &shot.sight;
        if (!shot.measured()) {
            scratch = shot.sight;
            scratch.setMeasurement(DexTSRawMeasurement(eKindAnglesAndSlopeDistance, {noValue, noValue, noValue}));
            sight = &scratch;
        } else {
            sight = &withCircleReading(shot.sight, scratch);
        }
        if (described) {
            if (sight != &scratch) scratch = shot.sight;
            scratch.codes = codesAsOne(shot.sight.codes);
            sight = &scratch;
        }
        codeInNote(sight->codes, where);
        emit(m_generator->sightNoteLine(sight, nullptr));
        if (shot.measured()) {
            observationWritten(shot, where);
        } else {
            wrote(Item::observationUnmeasured, Fate::noValue, where);
        }
        emit(m_generator->noteLine(shot.sight.getNote()));
        codesWritten(shot.sight.codes, described, true, where);
        noteWritten(shot.sight.getNote(), where);
    }

    // A code field holds 16 characters. An observation's longer code is written whole in its
    // "13FC" note, up to the note's 60; any other is cut to the field. Either cut is reported
    // once per code.
    static constexpr int kCodeWidth = 16, kNoteWidth = 60;

    void codeField(const COrvStringT& code, const Where& where) {
        if (code.GetLength() > kCodeWidth) codeCut(code, kCodeWidth, "its 16-character column", where);
    }

    void codeInNote(const DexCodesDataInterface& codes, const Where& where) {
        const DexCodeValues* first = codes.getCode(0);
        const DexCodeDescription* description = first != nullptr ? first->getDescription() : nullptr;
        if (description != nullptr && description->codeName().GetLength() > kNoteWidth) {
            codeCut(description->codeName(), kNoteWidth, "the 60 characters of its \"13FC\" note", where);
        }
    }

    void codeCut(const COrvStringT& code, int width, const char* to, const Where& where) {
        if (!m_cutCodes.insert(utf8(code)).second) return;
        warn("code " + shownName(utf8(code)) + " is cut to " + to + ", losing " + shownName(utf8(code.Mid(width))),
             where());
    }

    // The staked point as measured, the generator's notes of where it landed against the
    // design, and its coordinates.
    void stakeout(const Stakeout& stake, const Where& where) {
        observation(stake.shot, where);
        const Point3 delta = coordinatesOrNoValue(stake.differences);
        emit(m_generator->stakeoutNotes(stake.design, stake.shot.sight.targetName(), delta.n, delta.e, delta.h));
        const Point3 landed = coordinatesOrNoValue(stake.shot.coords);
        const DexStation staked(stake.shot.sight.targetName(), landed.n, landed.e, landed.h);
        // The staked point's code as its observation's code field shows it; the observation's
        // note holds it whole.
        const bool described = writtenAsDescription(stake.shot.sight.codes);
        coordinates(staked, described ? codesDescription(stake.shot.sight.codes) : stake.shot.code, Store::always);
        wrote(Item::stakeout, stake.differences.origin, where);
    }

    // 63LV backsight / 64LV foresight: rod reading, sight length, code, reading number,
    // backsight flag, height of collimation; a foresight adds the point's height and its rise
    // from the previous point.
    void levelReading(const LevelReading& reading, int index) {
        const DexTSRawMeasurement values(
            reading.backsight ? 0 : 1,
            {reading.elevation.orNoValue(), reading.distance.orNoValue(), reading.rise.orNoValue()});
        emit(m_generator->levelReadingRecord(reading.point, reading.rod, &values, reading.collimation.orNoValue(),
                                             reading.code, reading.backsight, index));
    }

    std::unique_ptr<CSDRRawGenerator> m_generator;
    std::unordered_set<std::string> m_cutCodes;  // codes reported cut
};

}  // namespace

std::unique_ptr<FormatWriter> makeSdrWriter(const Generator& generator, const Job& job, RecordSink& sink) {
    return std::make_unique<SdrWriter>(generator, job, sink);
}

}  // namespace exportgen
