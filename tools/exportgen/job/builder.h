// The one way a job is filled. Every reader (the job file's, the raw formats', the point
// lists') hands what it reads to a JobBuilder in typed calls, each value with its place in the
// reader's input; the builder checks the texts against what the chosen formats can carry, keeps
// the header, places each set-up (job/placement.h) and hands it on as soon as it is complete,
// so a job of a million observations is never held whole.
//
// A reader calls, in this order: the header's parts (units, texts, atmosphere, known points,
// level runs) in any order, headerDone(), the set-ups one by one with setup(), then finish().
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/units.h"
#include "job/job.h"
#include "job/ledger.h"
#include "job/placement.h"
#include "job/text_rules.h"

namespace exportgen {

class JobBuilder;

/// What the builder hands on as the job is read.
class JobListener {
public:
    virtual ~JobListener() = default;
    /// The header is complete (units, texts, atmosphere, known points); the listener may still
    /// add known points (a point list) through the builder before it returns.
    virtual void header(JobBuilder& builder) = 0;
    /// A set-up, placed and oriented; the listener may take it (the builder is done with it).
    virtual void setup(Setup& setup) = 0;
    /// Every set-up was given; the level runs' heights are worked out.
    virtual void end(const Job& job) = 0;
    /// Something the builder let pass: a reserved character replaced (`source` the format that
    /// reserves it), or what placement noticed (`source` "job"). `where` names the place in
    /// the reader's terms, or is empty when the place's line and column do.
    virtual void warning(const char* source, const std::string& what, const Place& at, const std::string& where) = 0;
};

/// How a raw input came by its units: what its file states, and what its reader takes where the
/// file states nothing.
struct FileUnits {
    InputUnits units;             ///< as the file states them, else as the reader takes them
    bool distanceStated = false;  ///< the file states its distance unit (a header, a unit record)
    bool angleStated = false;     ///< the file states its angle unit
    /// The file says feet but not which: `units.distance` is the reader's choice, and units
    /// stated as either feet agree with the file.
    bool feetOfEitherKind = false;
    /// What told the reader an angle unit the file does not state, for the warning ("the zeniths
    /// of most sights (near 100 gons)"); empty: the format's usual unit, taken without looking.
    std::string angleGuess;
    /// The input has distances, and angles, to read: what it has none of needs no unit (a
    /// point list has no angles, and its warning names coordinates alone).
    bool distances = true;
    bool angles = true;
    /// Where the file states its units, or its first line when it states none.
    Place place;
};

struct BuildOptions {
    /// The characters the chosen formats reserve in each kind of text; null: texts are not
    /// checked.
    const TextRules* rules = nullptr;
    /// A reserved character is replaced by kSanitizeReplacement, with a warning, instead of
    /// being an error.
    bool sanitize = false;
};

class JobBuilder {
public:
    /// Names a place for a message in the reader's own terms ("$.setups[2].station"); an empty
    /// function or text: the place's line and column do.
    using Describe = std::function<std::string()>;

    JobBuilder(BuildOptions options, JobListener& listener);
    JobBuilder(const JobBuilder&) = delete;
    JobBuilder& operator=(const JobBuilder&) = delete;

    /// The job as built so far (the header, the level runs).
    [[nodiscard]] const Job& job() const noexcept { return m_job; }
    /// What the job holds so far, kind by kind.
    [[nodiscard]] const JobCount& count() const noexcept { return m_count; }
    /// True once the input being read (setInput) has given anything beyond its units: a text, a
    /// date, the atmosphere, a point, a set-up or a level run.
    [[nodiscard]] bool anythingStated() const noexcept { return (m_stated & inputBit()) != 0; }

    // ---- values as they enter the job

    /// The input being read from now on (kJobInput, or a point list), for the places of its values.
    void setInput(std::uint32_t input) noexcept { m_input = input; }
    /// The place of the byte at `offset` of the input being read.
    [[nodiscard]] Place place(std::size_t offset) const noexcept { return {m_input, offset}; }

    /// The units the input gives its distances and angles in, for length() and angle(): a job
    /// file's "inputUnits", taken as they are.
    void setInputUnits(const InputUnits& units) { m_job.input = units; }
    /// The units the user states for the job's own input (--input-units), before it is read:
    /// each one given takes the place of what a raw reader's file states or its reader assumes
    /// (setFileUnits).
    void stateUnits(const StatedUnits& units) noexcept { m_statedUnits = units; }
    /// A raw reader's units, before it reads a value of the job's own input (again when a later
    /// record states them; the last call counts). The units stated with stateUnits() take the
    /// place of the file's; the units the values are read in are returned and are inputUnits()
    /// from now on. At headerDone() the builder warns once of what the file does not state (what
    /// is taken instead, and how to state it), and of units the file states that the stated ones
    /// overrule. From this call on, the values of the set-ups and level runs added are checked
    /// for plausibility (job/plausibility.h), as the job file's reader checks its own.
    const InputUnits& setFileUnits(const FileUnits& file);
    /// From now on the values of the set-ups and level runs added are checked for plausibility,
    /// in the units given to setInputUnits: for a reader whose file states its units in full.
    void checkValues() noexcept { m_checkValues = true; }
    /// True while the job's own input is read (not a point list of --points).
    [[nodiscard]] bool readingJobInput() const noexcept { return m_input == kJobInput; }
    [[nodiscard]] const InputUnits& inputUnits() const noexcept { return m_job.input; }
    /// A distance, height or coordinate of the input, in metres.
    [[nodiscard]] double length(double value) const noexcept { return m_job.input.metres(value); }
    [[nodiscard]] Point3 point(double n, double e, double h) const noexcept {
        return {length(n), length(e), length(h)};
    }
    /// A direction, zenith, bearing or circle reading of the input, in decimal degrees.
    [[nodiscard]] double angle(double value) const noexcept { return m_job.input.degrees(value); }
    /// A text of the input (UTF-8) as the outputs carry it. A character that a chosen format
    /// reserves in this kind of text is an error (JobError at `at`) or, with sanitize, replaced by
    /// a blank with a warning.
    [[nodiscard]] COrvStringT text(TextKind kind, std::string_view utf8, const Place& at,
                                   const Describe& describe = {});
    /// A warning about what the reader let pass.
    void warn(const char* source, const std::string& what, const Place& at, const Describe& describe = {});

    // ---- the header

    /// Where the job begins in the input (the offset of a job file's object).
    void setRoot(const Place& root) { m_job.root = root; }
    void setUnits(std::optional<orv::ie::EDistUnits> distance, std::optional<orv::ie::EAngleUnits> angle);
    void setApplication(const COrvStringT& name, const COrvStringT& version);
    void setJobTexts(const COrvStringT& name, const COrvStringT& text2, const COrvStringT& text3);
    /// The job's creation date (day/month/year) and time as the input writes them.
    void setCreated(const COrvStringT& date, const Place& datePlace, const std::optional<COrvStringT>& time,
                    const Place& timePlace);
    void setInstrument(const COrvStringT& instrument, double prismConstantMillimetres);
    /// The input writes a point's codes as one description (Job::codesAsText).
    void setCodesAsText() noexcept { m_job.codesAsText = true; }
    void setTemperature(double value, orv::ie::ETemperatureUnits units);
    void setPressure(double value, orv::ie::EPressureUnits units);
    void setPpm(double ppm);
    /// The grid scale factor and the elevation it holds at (metres).
    void setScale(double factor, double elevation);
    /// A known point. The same name again at the same coordinates is the same point (the last
    /// entry's texts count); at other coordinates it is an error naming both places.
    void addKnownPoint(KnownPoint point, const Describe& describe = {});
    void addLevelRun(LevelRun run);
    /// The header is complete: the listener is told.
    void headerDone();
    /// --assume: the local frame (metres, degrees) of the first set-up nothing else places.
    void assume(const AssumedFrame& frame) { m_placement.assume(frame); }

    // ---- the set-ups

    /// A set-up, complete: placed, counted and handed on. Its index is its number in the job.
    void addSetup(Setup setup);
    /// The end of the input: the level runs are worked out and the listener told.
    void finish();

    /// "a place the reader named, else the line and column" for errors the builder throws
    /// about two places.
    using Locate = std::function<std::string(const Place& at)>;
    void setLocator(Locate locate) { m_locate = std::move(locate); }

private:
    [[nodiscard]] std::uint32_t inputBit() const noexcept { return m_input < 32 ? 1u << m_input : 0u; }
    void stated() noexcept { m_stated |= inputBit(); }
    /// With --sanitize: a point name as given, and one made safe; either warns when the two
    /// meet (a name made safe is another name of the job, so two points become one).
    void nameAsGiven(std::string_view name, const Place& at, const std::string& where);
    void nameMadeSafe(std::string_view given, const std::string& safe, const char* format, const Place& at,
                      const std::string& where);
    void namesMeet(const char* format, const std::string& first, const std::string& second, const std::string& safe,
                   const Place& at, const std::string& where);
    void checkSetup(const Setup& setup);
    void checkObservation(const orv::ie::DexTSRawMeasurement* measurement, const Place& at);
    /// `heldOver`: the height holds from sight to sight, and is checked where it changes.
    void checkHeight(const Figure& height, const char* what, const Place& at, bool heldOver);
    [[noreturn]] void reservedError(TextKind kind, std::string_view text, std::size_t at, const Place& place,
                                    const Describe& describe) const;

    Job m_job;
    BuildOptions m_options;
    JobListener& m_listener;
    Placement m_placement;
    JobCount m_count;
    Locate m_locate;
    std::unordered_set<std::string> m_namesAsGiven;  ///< with --sanitize only
    struct MadeSafe {
        std::string given;
        const char* format;
    };
    std::unordered_map<std::string, MadeSafe> m_madeSafe;  ///< a safe name: the first name made it
    std::unordered_set<std::string> m_namesMet;            ///< the pairs reported
    std::size_t m_setups = 0;
    std::uint32_t m_input = kJobInput;
    std::uint32_t m_stated = 0;  ///< a bit for each input that stated anything
    bool m_headerDone = false;
    StatedUnits m_statedUnits;
    /// What setFileUnits() has to say at headerDone(), at the place of the file's units.
    std::vector<std::string> m_unitNotes;
    Place m_unitsPlace;
    bool m_checkValues = false;       ///< set-ups and level runs are checked for plausibility here
    double m_lastTargetHeight = 0.0;  ///< the last target height checked (raw files repeat it)
};

}  // namespace exportgen
