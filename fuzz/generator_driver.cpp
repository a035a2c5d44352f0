#include "generator_driver.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "contracts/dex_data.h"
#include "contracts/heap.h"
#include "contracts/text_services.h"
#include "fuzz_input.h"
#include "quoltpashk/CQuoltPashkRawDataGenerator.h"
#include "rw5/CRW5Generator.h"
#include "sdr/CSDRRawGenerator.h"
#include "surface/export_generators.h"
#include "vemra/CApaSimaRawDataGenerator.h"
#include "vemra/CDrevanRawDataGenerator.h"

namespace fuzzing {

namespace {

using namespace orv::ie;  // NOLINT(google-build-using-namespace): the driver speaks the library's types

// ---------------------------------------------------------------------------------------------
// Checks of what comes back

// The text, printable, for a failure message: the first characters with anything outside
// printable ASCII as \x{…}.
std::string shown(const COrvStringT& text) {
    std::string result;
    const int length = text.GetLength();
    for (int i = 0; i < length && i < 160; ++i) {
        const auto code = static_cast<unsigned long>(static_cast<std::uint32_t>(text.GetAt(i)));
        if (code >= 0x20 && code < 0x7F) {
            result += static_cast<char>(code);
        } else {
            char escaped[24];
            std::snprintf(escaped, sizeof escaped, "\\x{%lx}", code);
            result += escaped;
        }
    }
    if (length > 160) result += "...";
    return result;
}

[[noreturn]] void fail(const char* operation, const char* what, const COrvStringT& text) {
    std::fprintf(stderr, "generator check failed in %s: %s; text (%d characters): \"%s\"\n", operation, what,
                 text.GetLength(), shown(text).c_str());
    std::abort();
}

bool endsWithLineEnd(const COrvStringT& text) {
    const int length = text.GetLength();
    return length >= 2 && text.GetAt(length - 2) == L'\r' && text.GetAt(length - 1) == L'\n';
}

// A whole-line record: empty, or ended by "\r\n".
void expectLines(const char* operation, const COrvStringT& text) {
    if (!text.IsEmpty() && !endsWithLineEnd(text)) fail(operation, "a whole-line record lacks its \\r\\n", text);
}

// A whole-line record that always has a text.
void expectLine(const char* operation, const COrvStringT& text) {
    if (!endsWithLineEnd(text)) fail(operation, "a record lacks its \\r\\n", text);
}

void expectLength(const char* operation, const COrvStringT& text, long long length) {
    if (text.GetLength() != length) fail(operation, "a fixed-width text has the wrong length", text);
}

void expectLengthOrEmpty(const char* operation, const COrvStringT& text, long long length) {
    if (!text.IsEmpty()) expectLength(operation, text, length);
}

void expect(const char* operation, bool condition, const char* what) {
    if (!condition) fail(operation, what, COrvStringT());
}

// ---------------------------------------------------------------------------------------------
// Decoding of arguments and data objects

// Point names repeat in a job (a station is later a backsight, a target is observed twice), so
// a name is often one seen before in the same input.
class Context {
public:
    explicit Context(FuzzInput& input) : in(input) {}

    FuzzInput& in;

    double number() { return in.number(); }
    int integer() { return in.integer(); }
    bool flag() { return in.flag(); }
    COrvStringT text() { return in.text(); }

    COrvStringT name() {
        const std::size_t choice = in.pick(8);
        if (choice < 3 && !m_names.empty()) return m_names[in.pick(m_names.size())];
        COrvStringT fresh = choice == 3 ? digits() : in.text();
        if (m_names.size() < 12) m_names.push_back(fresh);
        return fresh;
    }

    // A numeric point name (one to nine digits), or a run of digits one too long for one.
    COrvStringT digits() {
        COrvStringT result;
        const int length = 1 + in.count(9);
        for (int i = 0; i < length; ++i) result += static_cast<wchar_t>(L'0' + in.pick(10));
        return result;
    }

    // A precision or width: mostly one the records use, else any int.
    int precision() { return in.pick(4) == 0 ? in.integer() : in.count(12); }

    // Whether the next operation runs with an allocation failing on the way, and which.
    void chooseFailure() {
        m_failure = in.pick(24) == 0;
        m_skip = static_cast<std::size_t>(in.count(12));
    }

    // Runs `call` with the chosen allocation failing; false when it threw std::bad_alloc.
    template <class Call>
    bool run(Call&& call) {
        if (m_failure) orv::heap::failAllocations(m_skip, 1);
        bool completed = true;
        try {
            call();
        } catch (const std::bad_alloc&) {
            completed = false;  // the documented outcome of an exhausted heap inside a record
        }
        orv::heap::failAllocations(0, 0);
        return completed;
    }

private:
    std::vector<COrvStringT> m_names;
    bool m_failure = false;
    std::size_t m_skip = 0;
};

template <class T>
const T* pointerTo(const std::optional<T>& object) {
    return object ? &*object : nullptr;
}

// Any value of an enumeration with an int underlying type: mostly a defined one.
template <class Enumeration>
Enumeration enumeration(Context& c, int defined) {
    return static_cast<Enumeration>(c.in.pick(4) == 0 ? c.integer() : c.in.count(defined));
}

std::optional<DexTSRawMeasurement> measurement(Context& c) {
    if (c.in.pick(10) == 0) return std::nullopt;
    const int kind = c.in.pick(6) == 0 ? c.integer() : c.in.count(11);
    std::vector<double> values(static_cast<std::size_t>(c.in.count(4)));
    for (double& value : values) value = c.number();
    return DexTSRawMeasurement(kind, std::move(values), c.flag());
}

void fillCodes(Context& c, DexCodesDataInterface& codes) {
    const int count = c.in.count(3);
    for (int i = 0; i < count; ++i) {
        if (c.in.pick(5) == 0) {
            codes.addNullCode();
            continue;
        }
        DexCodeValues value;
        if (c.in.pick(5) != 0) {
            DexCodeDescription description(c.text());
            const int attributes = c.in.count(3);
            for (int a = 0; a < attributes; ++a) description.addAttribute(c.text());
            value.setDescription(description);
        }
        const int strings = c.in.count(2);
        for (int s = 0; s < strings; ++s) value.addCodeString(c.text());
        if (c.flag()) value.setControlCode(eControlCode1, c.text());
        if (c.flag()) value.setControlCode(eControlCode2, c.text());
        const int filled = c.in.count(3);
        for (int a = 0; a < filled; ++a) value.setAttrAt(c.in.count(4) - 1, c.text());
        codes.addCode(value);
    }
}

std::optional<DexStation> station(Context& c) {
    if (c.in.pick(8) == 0) return std::nullopt;
    COrvStringT name = c.name();
    const double northing = c.number();
    const double easting = c.number();
    const double height = c.number();
    return DexStation(std::move(name), northing, easting, height, c.text());
}

std::optional<DexCodesDataInterface> codes(Context& c) {
    if (c.in.pick(8) == 0) return std::nullopt;
    DexCodesDataInterface list;
    fillCodes(c, list);
    return list;
}

std::optional<DexCodeStyle> codeStyle(Context& c) {
    if (c.flag()) return std::nullopt;
    DexCodeStyle style;
    if (c.flag()) style.separator = c.text();
    return style;
}

void fillSight(Context& c, DexTSRawDataSightInterface& sight) {
    sight.setTargetName(c.name());
    if (auto m = measurement(c)) sight.setMeasurement(*m);
    sight.setBsNameMode(c.in.pick(4) == 0 ? c.integer() : c.in.count(2));
    if (c.flag()) sight.setNote(c.text());
    fillCodes(c, sight.codes);
}

void fillBacksightPoint(Context& c, DexBacksightPoint& backsight) {
    if (c.flag()) return;
    DexDesignPoint point;
    if (auto s = station(c)) point.setStation(*s);
    fillCodes(c, point.codes);
    backsight.setBSPoint(point);
}

std::unique_ptr<DexTSRawFS> foresight(Context& c) {
    if (c.in.pick(8) == 0) return nullptr;
    auto sight = std::make_unique<DexTSRawFS>(c.in.pick(5) == 0 ? c.integer()
                                                                : eSightForesight + static_cast<int>(c.in.pick(2)));
    fillSight(c, *sight);
    sight->setMeasType(enumeration<DexTSRawFS::EMeasType>(c, 7));
    return sight;
}

// A sight of any class: a backsight by bearing, a backsight to a point, or a foresight of any
// kind; or none.
std::unique_ptr<DexTSRawDataSightInterface> sight(Context& c) {
    switch (c.in.pick(5)) {
        case 0:
            return nullptr;
        case 1: {
            auto bkb = std::make_unique<DexTSRawBkb>();
            fillSight(c, *bkb);
            fillBacksightPoint(c, *bkb);
            return bkb;
        }
        case 2: {
            auto bs = std::make_unique<DexTSRawBS>();
            fillSight(c, *bs);
            fillBacksightPoint(c, *bs);
            return bs;
        }
        default:
            return foresight(c);
    }
}

// ---------------------------------------------------------------------------------------------
// The job a generator borrows

struct Job {
    DexSettings settings;
    DexJobInfo info;
    DexObservationInfo observation;
    FreeNumericNames names;
};

void fillJobInfo(Context& c, DexJobInfo& info) {
    info.appName = c.text();
    info.appVersion = c.text();
    info.jobName = c.text();
    info.jobText2 = c.text();
    info.jobText3 = c.text();
    info.setAngleUnits(enumeration<EAngleUnits>(c, 5));
    if (c.flag()) {
        info.setDistUnits(enumeration<EDistUnits>(c, 5));
    } else {
        info.clearDistUnits();
    }
    if (c.flag()) {
        COrvStringT date = c.text();
        info.setCreateTime(date, c.text());
    } else {
        info.clearCreateTime();
    }
}

void fillObservation(Context& c, DexObservationInfo& observation) {
    observation.instrument = c.text();
    observation.obsConstant = c.number();
    if (c.flag()) observation.setTemperature(c.number(), enumeration<ETemperatureUnits>(c, 3));
    if (c.flag()) observation.setPressure(c.number(), enumeration<EPressureUnits>(c, 4));
    if (c.flag()) observation.setPpm(c.number());
    if (c.flag()) {
        const double scale = c.number();
        observation.setEllToGridScaleAndElevation(scale, c.number());
    }
}

void fillNames(Context& c, FreeNumericNames& names) {
    if (c.flag()) {
        // Any start: a small one, the edge of the nine-digit names, the top of the range, any.
        static const long long kStarts[] = {1, 0, -1, 999999999, 1000000000, LLONG_MAX - 1, LLONG_MAX, LLONG_MIN};
        switch (c.in.pick(3)) {
            case 0:
                names.setStart(kStarts[c.in.pick(sizeof kStarts / sizeof kStarts[0])]);
                break;
            case 1:
                names.setStart(static_cast<long long>(c.in.raw(8)));
                break;
            default:
                names.setStart(c.integer());
                break;
        }
    }
    const int reserved = c.in.count(6);
    for (int i = 0; i < reserved; ++i) names.reserve(c.flag() ? c.digits() : c.text());
}

void fillJob(Context& c, Job& job) {
    job.settings.setDistUnits(enumeration<EDistUnits>(c, 5));
    job.settings.setAngleUnits(enumeration<EAngleUnits>(c, 5));
    fillJobInfo(c, job.info);
    fillObservation(c, job.observation);
    fillNames(c, job.names);
}

// The device clock and short-date pattern that the headers read.
void setDevice(Context& c) {
    const int year = c.in.pick(4) == 0 ? c.integer() : 1990 + c.in.count(60);
    const int month = c.in.pick(4) == 0 ? c.integer() : 1 + c.in.count(11);
    const int day = c.in.pick(4) == 0 ? c.integer() : 1 + c.in.count(30);
    const int hour = c.in.pick(4) == 0 ? c.integer() : c.in.count(23);
    const int minute = c.in.pick(4) == 0 ? c.integer() : c.in.count(59);
    const int second = c.in.pick(4) == 0 ? c.integer() : c.in.count(59);
    base::CTime::SetFixedCurrentTime(base::CTime(year, month, day, hour, minute, second));
    if (c.flag()) {
        const COrvStringT pattern = c.text();
        orv::platform::SetShortDatePattern(pattern.GetString());
    } else {
        orv::platform::SetShortDatePattern(nullptr);
    }
}

// ---------------------------------------------------------------------------------------------
// Operations of the Vemra family

using VemraOp = void (*)(CVemraRawDataGenerator&, Context&);

// The field widths of the Vemra fixed-width number fields.
constexpr int kVemraAngleDigits = 7;

const VemraOp kVemraOps[] = {
    // 1 writeStation
    [](CVemraRawDataGenerator& g, Context& c) {
        COrvStringT out = c.text();
        COrvStringT name = c.name();
        COrvStringT code = c.text();
        const double height = c.number();
        c.run([&] { g.writeStation(out, name, code, height); });
    },
    // 2 writeObservation
    [](CVemraRawDataGenerator& g, Context& c) {
        COrvStringT out = c.text();
        COrvStringT name = c.name();
        const int type = c.in.pick(3) == 0 ? c.integer() : c.in.count(12);
        const double v1 = c.number();
        const double v2 = c.number();
        const double v3 = c.number();
        COrvStringT code = c.text();
        const double height = c.number();
        const auto extra = measurement(c);
        const auto coordinates = measurement(c);
        c.run([&] {
            g.writeObservation(out, name, type, v1, v2, v3, code, height, pointerTo(extra), pointerTo(coordinates));
        });
    },
    // 3 writeJobHeader
    [](CVemraRawDataGenerator& g, Context& c) {
        COrvStringT out = c.text();
        c.run([&] { g.writeJobHeader(out); });
    },
    // 4 angleUnitsLetter
    [](CVemraRawDataGenerator& g, Context& c) {
        const bool upper = c.flag();
        COrvStringT letter;
        if (c.run([&] { letter = g.angleUnitsLetter(upper); })) expectLength("angleUnitsLetter", letter, 1);
    },
    // 5 angleToString
    [](CVemraRawDataGenerator& g, Context& c) {
        const double degrees = c.number();
        const int precision = c.precision();
        c.run([&] { (void)g.angleToString(degrees, precision); });
    },
    // 6 distUnitsLetter
    [](CVemraRawDataGenerator& g, Context& c) {
        const bool upper = c.flag();
        COrvStringT letter;
        if (c.run([&] { letter = g.distUnitsLetter(upper); })) expectLength("distUnitsLetter", letter, 1);
    },
    // 7 distToString
    [](CVemraRawDataGenerator& g, Context& c) {
        const double metres = c.number();
        const int precision = c.precision();
        c.run([&] { (void)g.distToString(metres, precision); });
    },
    // 8 distField: sign, exactly `width` digits, unit letter
    [](CVemraRawDataGenerator& g, Context& c) {
        const double metres = c.number();
        const bool withSign = c.flag();
        const bool withUnit = c.flag();
        const int precision = c.precision();
        const int width = c.precision();
        COrvStringT field;
        if (c.run([&] { field = g.distField(metres, withSign, withUnit, precision, width); }) && width <= 4096) {
            expectLength("distField", field, (withSign ? 1 : 0) + (width > 0 ? width : 0) + (withUnit ? 1 : 0));
        }
    },
    // 9 angleField: sign, seven digits, unit letter
    [](CVemraRawDataGenerator& g, Context& c) {
        const double degrees = c.number();
        const bool withSign = c.flag();
        const bool withUnit = c.flag();
        const int precision = c.precision();
        COrvStringT field;
        if (c.run([&] { field = g.angleField(degrees, withSign, withUnit, precision); })) {
            expectLength("angleField", field, (withSign ? 1 : 0) + kVemraAngleDigits + (withUnit ? 1 : 0));
        }
    },
    // 10 isNameMapped
    [](CVemraRawDataGenerator& g, Context& c) {
        const COrvStringT name = c.name();
        c.run([&] { (void)g.isNameMapped(name); });
    },
    // 11 mappedName: the same name maps to the same name while remembered
    [](CVemraRawDataGenerator& g, Context& c) {
        const COrvStringT name = c.name();
        const bool remember = c.flag();
        COrvStringT first;
        COrvStringT second;
        if (c.run([&] {
                first = g.mappedName(name, remember);
                second = g.mappedName(name, remember);
            }) &&
            remember) {
            if (first != second) fail("mappedName", "a remembered name maps to two names", name);
        }
    },
    // 12 makeUniqueName
    [](CVemraRawDataGenerator& g, Context& c) {
        const COrvStringT name = c.name();
        c.run([&] { (void)g.makeUniqueName(name); });
    },
    // 13 cleanCode: no field opener or terminator is left
    [](CVemraRawDataGenerator& g, Context& c) {
        const COrvStringT code = c.text();
        COrvStringT clean;
        if (c.run([&] { clean = g.cleanCode(code); })) {
            if (clean.Find(L'*') >= 0 || clean.Find(L'_') >= 0) fail("cleanCode", "a separator survived", clean);
        }
    },
};

using ApaSimaOp = void (*)(CApaSimaRawDataGenerator&, Context&);

const ApaSimaOp kApaSimaOps[] = {
    // 14 writeProgramInfo
    [](CApaSimaRawDataGenerator& g, Context& c) {
        COrvStringT program = c.text();
        COrvStringT version = c.text();
        c.run([&] { g.writeProgramInfo(program, version); });
    },
    // 15 writeJobInfo
    [](CApaSimaRawDataGenerator& g, Context& c) {
        COrvStringT out[5] = {c.text(), c.text(), c.text(), c.text(), c.text()};
        c.run([&] { g.writeJobInfo(out[0], out[1], out[2], out[3], out[4]); });
    },
    // 16 writeAtmosphere
    [](CApaSimaRawDataGenerator& g, Context& c) {
        COrvStringT out[6];
        if (c.run([&] { g.writeAtmosphere(out[0], out[1], out[2], out[3], out[4], out[5]); })) {
            expect("writeAtmosphere", out[0] == L"1" && out[1] == L"1" && out[5] == L"1", "fixed entries changed");
        }
    },
    // 17 writeObsConstant
    [](CApaSimaRawDataGenerator& g, Context& c) {
        const int kind = c.in.pick(3) == 0 ? c.integer() : c.in.count(4);
        COrvStringT out = c.text();
        c.run([&] { g.writeObsConstant(kind, out); });
    },
    // extractField (public helper of the dialect)
    [](CApaSimaRawDataGenerator&, Context& c) {
        COrvStringT out = c.text();
        const COrvStringT text = c.text();
        const int index = c.in.pick(3) == 0 ? c.integer() : c.in.count(4);
        const wchar_t separator = c.in.character();
        const bool nullText = c.in.pick(8) == 0;
        c.run([&] {
            CApaSimaRawDataGenerator::extractField(out, nullText ? nullptr : text.GetString(), index, separator);
        });
    },
};

using DrevanOp = void (*)(CDrevanRawDataGenerator&, Context&);

const DrevanOp kDrevanOps[] = {
    // coordField (public helper of the dialect): `width` digits, or width + 1 without sign
    [](CDrevanRawDataGenerator& g, Context& c) {
        const double value = c.number();
        const bool withSign = c.flag();
        const bool withUnit = c.flag();
        const int precision = c.precision();
        const int width = c.precision();
        c.run([&] { (void)g.coordField(value, withSign, withUnit, precision, width); });
    },
};

using QuoltPashkOp = void (*)(CQuoltPashkRawDataGenerator&, Context&);

const QuoltPashkOp kQuoltPashkOps[] = {
    // 14 writeHeaderRecords
    [](CQuoltPashkRawDataGenerator& g, Context& c) {
        COrvStringT lines[7];
        if (c.run(
                [&] { g.writeHeaderRecords(lines[0], lines[1], lines[2], lines[3], lines[4], lines[5], lines[6]); })) {
            for (const COrvStringT& line : lines) expectLine("writeHeaderRecords", line);
        }
    },
    // 15 writeBacksightBearing
    [](CQuoltPashkRawDataGenerator& g, Context& c) {
        COrvStringT out = c.text();
        const bool generate = c.flag();
        COrvStringT name = c.name();
        const double first = c.number();
        const double second = c.number();
        if (c.run([&] { g.writeBacksightBearing(out, generate, name, first, second); })) {
            expectLine("writeBacksightBearing", out);
        }
    },
    // 16 writeSight
    [](CQuoltPashkRawDataGenerator& g, Context& c) {
        COrvStringT out = c.text();
        const int kind = c.in.pick(4) == 0 ? c.integer() : c.in.count(4);
        const bool generate = c.flag();
        COrvStringT name = c.name();
        COrvStringT code = c.text();
        COrvStringT second = c.text();
        const double height = c.number();
        if (c.run([&] { g.writeSight(out, kind, generate, name, code, second, height); })) {
            expectLine("writeSight", out);
        }
    },
    // 17 writeMissingLine
    [](CQuoltPashkRawDataGenerator& g, Context& c) {
        COrvStringT out = c.text();
        COrvStringT from = c.name();
        COrvStringT to = c.name();
        const double d1 = c.number();
        const double d2 = c.number();
        const double d3 = c.number();
        if (c.run([&] { g.writeMissingLine(out, from, to, d1, d2, d3); })) expectLine("writeMissingLine", out);
    },
    // 18 writeResectionObservation
    [](CQuoltPashkRawDataGenerator& g, Context& c) {
        COrvStringT out = c.text();
        COrvStringT name = c.name();
        const int number = c.integer();
        const double value = c.number();
        if (c.run([&] { g.writeResectionObservation(out, name, number, value); })) {
            expectLine("writeResectionObservation", out);
        }
    },
    // 19 writeMeasurement
    [](CQuoltPashkRawDataGenerator& g, Context& c) {
        COrvStringT out = c.text();
        const int kind = c.in.pick(4) == 0 ? c.integer() : c.in.count(5);
        const int subKind = c.in.pick(4) == 0 ? c.integer() : c.in.count(3);
        const double v1 = c.number();
        const double v2 = c.number();
        const double v3 = c.number();
        if (c.run([&] { g.writeMeasurement(out, kind, subKind, v1, v2, v3); }) && kind >= 0 && kind <= 4) {
            expectLine("writeMeasurement", out);
        }
    },
    // 20 xyzLine
    [](CQuoltPashkRawDataGenerator& g, Context& c) {
        const double x = c.number();
        const double y = c.number();
        const double z = c.number();
        COrvStringT line;
        if (c.run([&] { line = g.xyzLine(x, y, z); })) expectLine("xyzLine", line);
    },
    // 21 stationLineIfNew
    [](CQuoltPashkRawDataGenerator& g, Context& c) {
        const COrvStringT name = c.name();
        const bool enabled = c.flag();
        const COrvStringT code = c.text();
        const double height = c.number();
        COrvStringT line;
        if (c.run([&] { line = g.stationLineIfNew(name, enabled, code, height); })) {
            expectLines("stationLineIfNew", line);
        }
    },
    // 22 writeControlCodes
    [](CQuoltPashkRawDataGenerator& g, Context& c) {
        COrvStringT out = c.text();
        COrvStringT t1 = c.text();
        COrvStringT t2 = c.text();
        COrvStringT t3 = c.text();
        if (c.run([&] { g.writeControlCodes(out, t1, t2, t3); })) expectLines("writeControlCodes", out);
    },
    // 23 writeNote
    [](CQuoltPashkRawDataGenerator& g, Context& c) {
        COrvStringT out;
        COrvStringT note = c.text();
        if (c.run([&] { g.writeNote(out, note); })) expectLines("writeNote", out);
    },
    // 24 outputName: a non-empty name keeps its output name
    [](CQuoltPashkRawDataGenerator& g, Context& c) {
        const COrvStringT name = c.name();
        COrvStringT first;
        COrvStringT second;
        if (c.run([&] {
                first = g.outputName(name);
                second = g.outputName(name);
            }) &&
            !name.IsEmpty() && first != second) {
            fail("outputName", "a name was given two output names", name);
        }
    },
    // elevationFactor (static helper)
    [](CQuoltPashkRawDataGenerator&, Context& c) {
        const double elevation = c.number();
        const double radius = c.number();
        (void)CQuoltPashkRawDataGenerator::elevationFactor(elevation, radius);
    },
};

// ---------------------------------------------------------------------------------------------
// Operations of the RW5 family

using Rw5Op = void (*)(CRW5Generator&, Context&);

template <class Call>
void line(Context& c, const char* operation, Call&& call) {
    COrvStringT text;
    if (c.run([&] { text = call(); })) expectLines(operation, text);
}

template <class Call>
void part(Context& c, Call&& call) {
    c.run([&] { (void)call(); });
}

const Rw5Op kRw5Ops[] = {
    // 1 header
    [](CRW5Generator& g, Context& c) {
        COrvStringT lines[3] = {c.text(), c.text(), c.text()};
        if (c.run([&] { g.header(lines[0], lines[1], lines[2]); })) {
            for (const COrvStringT& text : lines) expectLine("header", text);
        }
    },
    // 2 occupy
    [](CRW5Generator& g, Context& c) {
        const COrvStringT derivation = c.text();
        const COrvStringT name = c.name();
        const COrvStringT note = c.text();
        const double n = c.number();
        const double e = c.number();
        const double z = c.number();
        const double hi = c.number();
        line(c, "occupy", [&] { return g.occupy(derivation, name, note, n, e, z, hi); });
    },
    // 3 coords
    [](CRW5Generator& g, Context& c) {
        const COrvStringT head = c.text();
        const double n = c.number();
        const double e = c.number();
        const double z = c.number();
        const COrvStringT tail = c.text();
        part(c, [&] { return g.coords(head, n, e, z, tail); });
    },
    // 4 sightNoteLine
    [](CRW5Generator& g, Context& c) {
        const auto s = sight(c);
        const auto style = codeStyle(c);
        line(c, "sightNoteLine", [&] { return g.sightNoteLine(s.get(), pointerTo(style)); });
    },
    // 5 emptyText
    [](CRW5Generator& g, Context& c) {
        COrvStringT text;
        if (c.run([&] { text = g.emptyText(); })) expectLength("emptyText", text, 0);
    },
    // 6 resectionErrorNotes
    [](CRW5Generator& g, Context& c) {
        double v[6];
        for (double& value : v) value = c.number();
        line(c, "resectionErrorNotes", [&] { return g.resectionErrorNotes(v[0], v[1], v[2], v[3], v[4], v[5]); });
    },
    // 7 worstResidualNotes
    [](CRW5Generator& g, Context& c) {
        const double h = c.number();
        const double z = c.number();
        const double sd = c.number();
        line(c, "worstResidualNotes", [&] { return g.worstResidualNotes(h, z, sd); });
    },
    // 8 targetHeightNote
    [](CRW5Generator& g, Context& c) {
        const double height = c.number();
        line(c, "targetHeightNote", [&] { return g.targetHeightNote(height); });
    },
    // 9 lsHiHr
    [](CRW5Generator& g, Context& c) {
        const double height = c.number();
        const bool onlyIfChanged = c.flag();
        line(c, "lsHiHr", [&] { return g.lsHiHr(height, onlyIfChanged); });
    },
    // 10 lsHiHrIfHrChanged
    [](CRW5Generator& g, Context& c) {
        const double height = c.number();
        line(c, "lsHiHrIfHrChanged", [&] { return g.lsHiHrIfHrChanged(height); });
    },
    // 11 backsight
    [](CRW5Generator& g, Context& c) {
        const COrvStringT name = c.name();
        const bool bearingOnly = c.flag();
        const double first = c.number();
        const double second = c.number();
        line(c, "backsight", [&] { return g.backsight(name, bearingOnly, first, second); });
    },
    // 12 backsightCheckNotes
    [](CRW5Generator& g, Context& c) {
        const COrvStringT name = c.name();
        double v[6];
        for (double& value : v) value = c.number();
        line(c, "backsightCheckNotes", [&] { return g.backsightCheckNotes(name, v[0], v[1], v[2], v[3], v[4], v[5]); });
    },
    // 13 storePoint
    [](CRW5Generator& g, Context& c) {
        const COrvStringT head = c.text();
        const COrvStringT name = c.name();
        const auto point = station(c);
        const COrvStringT note = c.text();
        const int precision = c.precision();
        const bool force = c.flag();
        line(c, "storePoint", [&] { return g.storePoint(head, name, pointerTo(point), note, precision, force); });
    },
    // 14 hasName
    [](CRW5Generator& g, Context& c) {
        const COrvStringT name = c.name();
        c.run([&] { (void)g.hasName(name); });
    },
    // 15 cachedName: once mapped, a name keeps its output name
    [](CRW5Generator& g, Context& c) {
        const COrvStringT name = c.name();
        COrvStringT first;
        COrvStringT second;
        if (c.run([&] {
                first = g.cachedName(name);
                second = g.cachedName(name);
            }) &&
            first != second) {
            fail("cachedName", "a name was given two output names", name);
        }
    },
    // 16 pointName
    [](CRW5Generator& g, Context& c) {
        const COrvStringT name = c.name();
        part(c, [&] { return g.pointName(name); });
    },
    // 17 noteLine
    [](CRW5Generator& g, Context& c) {
        const COrvStringT text = c.text();
        line(c, "noteLine", [&] { return g.noteLine(text); });
    },
    // 18 offsetRecord
    [](CRW5Generator& g, Context& c) {
        const auto s = foresight(c);
        const int mode = c.in.pick(4) == 0 ? c.integer() : c.in.count(3);
        const COrvStringT tail = c.text();
        COrvStringT text;
        if (c.run([&] { text = g.offsetRecord(s.get(), mode, tail); }) && s != nullptr && s->measurement() != nullptr) {
            expectLine("offsetRecord", text);
        }
    },
    // 19 foresightFull
    [](CRW5Generator& g, Context& c) {
        const COrvStringT name = c.name();
        const auto s = sight(c);
        const auto m = measurement(c);
        const double height = c.number();
        part(c, [&] { return g.foresightFull(name, s.get(), pointerTo(m), height); });
    },
    // 20 foresightAngles
    [](CRW5Generator& g, Context& c) {
        const COrvStringT name = c.name();
        const auto s = sight(c);
        const auto m = measurement(c);
        const double height = c.number();
        part(c, [&] { return g.foresightAngles(name, s.get(), pointerTo(m), height); });
    },
    // 21 foresightHd
    [](CRW5Generator& g, Context& c) {
        const COrvStringT name = c.name();
        const auto s = sight(c);
        const auto m = measurement(c);
        const double height = c.number();
        part(c, [&] { return g.foresightHd(name, s.get(), pointerTo(m), height); });
    },
    // 22 backsightObs
    [](CRW5Generator& g, Context& c) {
        const COrvStringT name = c.name();
        const int ignored = c.integer();
        const auto m = measurement(c);
        const double height = c.number();
        part(c, [&] { return g.backsightObs(name, ignored, pointerTo(m), height); });
    },
    // 23 foresight
    [](CRW5Generator& g, Context& c) {
        const COrvStringT type = c.text();
        const COrvStringT name = c.name();
        const auto m = measurement(c);
        const bool withCodes = c.flag();
        part(c, [&] { return g.foresight(type, name, pointerTo(m), withCodes); });
    },
    // 24 angleFields
    [](CRW5Generator& g, Context& c) {
        const auto m = measurement(c);
        const bool b1 = c.flag();
        const bool b2 = c.flag();
        const bool b3 = c.flag();
        const bool b4 = c.flag();
        part(c, [&] { return g.angleFields(pointerTo(m), b1, b2, b3, b4); });
    },
    // 25 resection
    [](CRW5Generator& g, Context& c) {
        const COrvStringT name = c.name();
        const auto m = measurement(c);
        line(c, "resection", [&] { return g.resection(name, pointerTo(m)); });
    },
    // 26 hdFields
    [](CRW5Generator& g, Context& c) {
        const auto m = measurement(c);
        part(c, [&] { return g.hdFields(pointerTo(m)); });
    },
    // 27 fullFields
    [](CRW5Generator& g, Context& c) {
        const auto m = measurement(c);
        part(c, [&] { return g.fullFields(pointerTo(m)); });
    },
    // 28 distanceOffsets
    [](CRW5Generator& g, Context& c) {
        const auto m = measurement(c);
        const bool asText = c.flag();
        const bool asNote = c.flag();
        part(c, [&] { return g.distanceOffsets(pointerTo(m), asText, asNote); });
    },
    // 29 noteField
    [](CRW5Generator& g, Context& c) {
        const COrvStringT text = c.text();
        part(c, [&] { return g.noteField(text); });
    },
    // 30 noteLine (the second slot, a plain wide text)
    [](CRW5Generator& g, Context& c) {
        const COrvStringT text = c.text();
        const bool nullText = c.in.pick(8) == 0;
        line(c, "noteLine", [&] { return g.noteLine(nullText ? nullptr : text.GetString()); });
    },
    // 31 emptyText (the second slot)
    [](CRW5Generator& g, Context& c) {
        const int ignored = c.integer();
        COrvStringT text;
        if (c.run([&] { text = g.emptyText(ignored); })) expectLength("emptyText", text, 0);
    },
    // 32 lsHr
    [](CRW5Generator& g, Context& c) {
        const double height = c.number();
        line(c, "lsHr", [&] { return g.lsHr(height); });
    },
    // 33 backsightHeightNote
    [](CRW5Generator& g, Context& c) {
        const double height = c.number();
        line(c, "backsightHeightNote", [&] { return g.backsightHeightNote(height); });
    },
    // 34 hrField
    [](CRW5Generator& g, Context& c) {
        const double height = c.number();
        part(c, [&] { return g.hrField(height); });
    },
    // 35 beginMarker
    [](CRW5Generator& g, Context& c) { line(c, "beginMarker", [&] { return g.beginMarker(); }); },
    // 36 endMarker
    [](CRW5Generator& g, Context& c) { line(c, "endMarker", [&] { return g.endMarker(); }); },
    // 37 recallList
    [](CRW5Generator& g, Context& c) {
        const COrvStringTVector items = c.in.texts(6);
        line(c, "recallList", [&] { return g.recallList(items); });
    },
    // 38 codesText
    [](CRW5Generator& g, Context& c) {
        const auto list = codes(c);
        const auto style = codeStyle(c);
        const COrvStringT note = c.text();
        part(c, [&] { return g.codesText(pointerTo(list), pointerTo(style), note); });
    },
    // 39 d
    [](CRW5Generator& g, Context& c) {
        const double metres = c.number();
        const int precision = c.precision();
        part(c, [&] { return g.d(metres, precision); });
    },
    // 40 a
    [](CRW5Generator& g, Context& c) {
        const double degrees = c.number();
        const int precision = c.precision();
        part(c, [&] { return g.a(degrees, precision); });
    },
    // 41 notePrefix
    [](CRW5Generator& g, Context& c) { part(c, [&] { return g.notePrefix(); }); },
    // 42 angleOnlyFields
    [](CRW5Generator& g, Context& c) {
        const auto m = measurement(c);
        part(c, [&] { return g.angleOnlyFields(pointerTo(m)); });
    },
    // 43 typeFor
    [](CRW5Generator& g, Context& c) {
        const int kind = c.integer();
        COrvStringT type;
        if (c.run([&] { type = g.typeFor(kind); })) expectLength("typeFor", type, 2);
    },
    // 44 recordType
    [](CRW5Generator& g, Context& c) {
        const auto m = measurement(c);
        const int kind = c.in.pick(4) == 0 ? c.integer() : c.in.count(3);
        COrvStringT type;
        if (c.run([&] { type = g.recordType(pointerTo(m), kind); })) expectLength("recordType", type, 2);
    },
    // 45 sightRecordType
    [](CRW5Generator& g, Context& c) {
        const auto s = sight(c);
        COrvStringT type;
        if (c.run([&] { type = g.sightRecordType(s.get()); })) expectLengthOrEmpty("sightRecordType", type, 2);
    },
    // 46 verticalSightDistance
    [](CRW5Generator& g, Context& c) {
        const auto m = measurement(c);
        const int precision = c.precision();
        const bool withDistance = c.flag();
        double distance = 0.0;
        c.run([&] { (void)g.verticalSightDistance(pointerTo(m), precision, withDistance ? &distance : nullptr); });
    },
    // 47 isFace1
    [](CRW5Generator& g, Context& c) {
        const auto m = measurement(c);
        c.run([&] { (void)g.isFace1(pointerTo(m)); });
    },
};

using SdrOp = void (*)(CSDRRawGenerator&, Context&);

// SDR field widths: names, values and codes 16 characters, notes 60.
constexpr int kSdrField = 16;
constexpr int kSdrNote = 60;

const SdrOp kSdrOps[] = {
    // 48 valueFields: three 16-character fields
    [](CSDRRawGenerator& g, Context& c) {
        const double v1 = c.number();
        const double v2 = c.number();
        const double v3 = c.number();
        const bool angular = c.flag();
        COrvStringT fields;
        if (c.run([&] { fields = g.valueFields(v1, v2, v3, angular); })) {
            expectLength("valueFields", fields, 3 * kSdrField);
        }
    },
    // 49 attributeNotes
    [](CSDRRawGenerator& g, Context& c) {
        const auto list = codes(c);
        line(c, "attributeNotes", [&] { return g.attributeNotes(pointerTo(list)); });
    },
    // 50 coordinateRecord: head, name, three values, code, line end
    [](CSDRRawGenerator& g, Context& c) {
        const COrvStringT head = c.text();
        const COrvStringT name = c.name();
        const auto point = station(c);
        const COrvStringT code = c.text();
        const int precision = c.precision();
        const bool force = c.flag();
        const bool angular = c.flag();
        COrvStringT record;
        if (c.run(
                [&] { record = g.coordinateRecord(head, name, pointerTo(point), code, precision, force, angular); })) {
            expectLengthOrEmpty("coordinateRecord", record, head.GetLength() + 5 * kSdrField + 2);
            expectLines("coordinateRecord", record);
        }
    },
    // 51 coordinateFields
    [](CSDRRawGenerator& g, Context& c) {
        const COrvStringT head = c.text();
        const COrvStringT name = c.name();
        const auto point = station(c);
        const int spare = c.integer();
        const bool force = c.flag();
        const bool angular = c.flag();
        part(c, [&] { return g.coordinateFields(head, name, pointerTo(point), spare, force, angular); });
    },
    // 52 anglePairFields
    [](CSDRRawGenerator& g, Context& c) {
        const auto m = measurement(c);
        COrvStringT fields;
        if (c.run([&] { fields = g.anglePairFields(pointerTo(m)); })) {
            expectLengthOrEmpty("anglePairFields", fields, 3 * kSdrField);
        }
    },
    // 53 observationFields
    [](CSDRRawGenerator& g, Context& c) {
        const double h = c.number();
        const double z = c.number();
        const double sd = c.number();
        COrvStringT fields;
        if (c.run([&] { fields = g.observationFields(h, z, sd); })) {
            expectLength("observationFields", fields, 3 * kSdrField);
        }
    },
    // 54 levelRunNote
    [](CSDRRawGenerator& g, Context& c) {
        const COrvStringT run = c.text();
        const COrvStringT description = c.text();
        line(c, "levelRunNote", [&] { return g.levelRunNote(run, description); });
    },
    // 55 levelStartRecords
    [](CSDRRawGenerator& g, Context& c) {
        const COrvStringT name = c.name();
        const double elevation = c.number();
        const COrvStringT text = c.text();
        const int number = c.integer();
        line(c, "levelStartRecords", [&] { return g.levelStartRecords(name, elevation, text, number); });
    },
    // 56 levelReadingRecord
    [](CSDRRawGenerator& g, Context& c) {
        const COrvStringT name = c.name();
        const double first = c.number();
        const auto reading = measurement(c);
        const double second = c.number();
        const COrvStringT text = c.text();
        const bool flag = c.flag();
        const int number = c.integer();
        COrvStringT record;
        if (c.run(
                [&] { record = g.levelReadingRecord(name, first, pointerTo(reading), second, text, flag, number); }) &&
            reading) {
            // "63LV"/"64LV", name, two values, text, three flags, one or three values, line end
            const int values = reading->kind() != 0 ? 3 : 1;
            expectLength("levelReadingRecord", record, 4 + 4 * kSdrField + 3 * 5 + values * kSdrField + 2);
        }
    },
    // 57 stakeoutNotes
    [](CSDRRawGenerator& g, Context& c) {
        const COrvStringT design = c.text();
        const COrvStringT staked = c.name();
        const double dn = c.number();
        const double de = c.number();
        const double cut = c.number();
        line(c, "stakeoutNotes", [&] { return g.stakeoutNotes(design, staked, dn, de, cut); });
    },
    // 58 noteRecord: "13", two letters, a 60-character text, line end; nothing for kind 18 on
    [](CSDRRawGenerator& g, Context& c) {
        const COrvStringT text = c.text();
        const auto kind = static_cast<unsigned int>(c.in.pick(3) == 0 ? c.integer() : c.in.count(20));
        COrvStringT record;
        if (c.run([&] { record = g.noteRecord(text, kind); })) {
            if (kind < 18) {
                expectLength("noteRecord", record, 4 + kSdrNote + 2);
            } else {
                expectLength("noteRecord", record, 0);
            }
        }
    },
    // 59 anglePointRecords
    [](CSDRRawGenerator& g, Context& c) {
        const auto point = station(c);
        const auto m = measurement(c);
        const COrvStringT code = c.text();
        line(c, "anglePointRecords", [&] { return g.anglePointRecords(pointerTo(point), pointerTo(m), code); });
    },
    // 60 offsetPointRecords
    [](CSDRRawGenerator& g, Context& c) {
        const auto point = station(c);
        const auto m = measurement(c);
        const COrvStringT code = c.text();
        line(c, "offsetPointRecords", [&] { return g.offsetPointRecords(pointerTo(point), pointerTo(m), code); });
    },
    // 61 residualNotes
    [](CSDRRawGenerator& g, Context& c) {
        const double n = c.number();
        const double e = c.number();
        const double h = c.number();
        line(c, "residualNotes", [&] { return g.residualNotes(n, e, h); });
    },
    // 62 backsightName
    [](CSDRRawGenerator& g, Context& c) { part(c, [&] { return g.backsightName(); }); },
    // 63 codeFieldWidth
    [](CSDRRawGenerator& g, Context&) { expect("codeFieldWidth", g.codeFieldWidth() == kSdrField, "not 16"); },
    // 64 recordNumber
    [](CSDRRawGenerator& g, Context& c) {
        const int number = c.in.pick(3) == 0 ? c.integer() : c.in.count(99);
        COrvStringT text;
        if (c.run([&] { text = g.recordNumber(number); }) && number >= 0 && number <= 99) {
            expectLength("recordNumber", text, 2);
        }
    },
    // guardedField (public helper): exactly `width` characters
    [](CSDRRawGenerator& g, Context& c) {
        const int width = c.precision();
        const bool alignRight = c.flag();
        const COrvStringT text = c.text();
        COrvStringT field;
        if (c.run([&] { field = g.guardedField(width, alignRight, text); }) && width <= 4096) {
            expectLength("guardedField", field, width > 0 ? width : 0);
        }
    },
};

// Whole SDR records whose width the format fixes; checked on top of the RW5 operations.
void checkSdrShapes(CSDRRawGenerator& g, Context& c) {
    switch (c.in.pick(3)) {
        case 0: {  // the station record: number, derivation, name, four values, code, line end
            const COrvStringT derivation = c.text();
            const COrvStringT name = c.name();
            const COrvStringT code = c.text();
            const double n = c.number();
            const double e = c.number();
            const double z = c.number();
            const double hi = c.number();
            COrvStringT record;
            if (c.run([&] { record = g.occupy(derivation, name, code, n, e, z, hi); })) {
                expectLength("SDR occupy", record, 2 + derivation.GetLength() + 6 * kSdrField + 2);
            }
            break;
        }
        case 1: {  // the target-height record
            const double height = c.number();
            COrvStringT record;
            if (c.run([&] { record = g.lsHiHr(height, false); })) expectLength("SDR lsHiHr", record, 4 + kSdrField + 2);
            break;
        }
        default: {  // the backsight record: number, "TP", two names, two angles, line end
            const COrvStringT name = c.name();
            const bool bearingOnly = c.flag();
            const double first = c.number();
            const double second = c.number();
            COrvStringT record;
            if (c.run([&] { record = g.backsight(name, bearingOnly, first, second); })) {
                expectLength("SDR backsight", record, 4 + 4 * kSdrField + 2);
            }
            expect("reportStatus", g.reportStatus() == 0 || g.reportStatus() == CSDRRawGenerator::kFieldOverflow,
                   "a status other than 0 and 18");
            break;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Dispatch

template <class T, std::size_t N>
constexpr std::size_t countOf(const T (&)[N]) noexcept {
    return N;
}

constexpr std::size_t kVemraCount = countOf(kVemraOps);
constexpr std::size_t kRw5Count = countOf(kRw5Ops);

enum Generator { vemra, apasima, drevan, quoltpashk, rw5, sdr, generatorKinds };

void vemraOperation(Generator kind, CVemraRawDataGenerator& g, Context& c) {
    std::size_t extra = 0;
    if (kind == apasima) extra = countOf(kApaSimaOps);
    if (kind == drevan) extra = countOf(kDrevanOps);
    if (kind == quoltpashk) extra = countOf(kQuoltPashkOps);
    const std::size_t op = c.in.pick(kVemraCount + extra);
    c.chooseFailure();
    if (op < kVemraCount) {
        kVemraOps[op](g, c);
    } else if (kind == apasima) {
        kApaSimaOps[op - kVemraCount](static_cast<CApaSimaRawDataGenerator&>(g), c);
    } else if (kind == drevan) {
        kDrevanOps[op - kVemraCount](static_cast<CDrevanRawDataGenerator&>(g), c);
    } else {
        kQuoltPashkOps[op - kVemraCount](static_cast<CQuoltPashkRawDataGenerator&>(g), c);
    }
}

void rw5Operation(Generator kind, CRW5Generator& g, Context& c) {
    const std::size_t extra = kind == sdr ? countOf(kSdrOps) + 1 : 0;
    const std::size_t op = c.in.pick(kRw5Count + extra);
    c.chooseFailure();
    if (op < kRw5Count) {
        kRw5Ops[op](g, c);
    } else if (op - kRw5Count < countOf(kSdrOps)) {
        kSdrOps[op - kRw5Count](static_cast<CSDRRawGenerator&>(g), c);
    } else {
        checkSdrShapes(static_cast<CSDRRawGenerator&>(g), c);
    }
}

// Creates a generator through its factory; sometimes first with one allocation of the
// construction failing, which must give null (and leak nothing) or a whole generator.
template <class Create>
auto create(Context& c, Create&& factory) -> decltype(factory()) {
    if (c.in.pick(4) == 0) {
        orv::heap::failAllocations(static_cast<std::size_t>(c.in.count(40)), 1);
        auto* generator = factory();
        orv::heap::failAllocations(0, 0);
        if (generator != nullptr) return generator;
    }
    return factory();
}

// A cap on the calls of one input keeps every run short.
constexpr int kMaxOperations = 96;

// Restores the device clock and short date whatever happens to the run.
struct DeviceReset {
    DeviceReset() = default;
    DeviceReset(const DeviceReset&) = delete;
    DeviceReset& operator=(const DeviceReset&) = delete;
    ~DeviceReset() {
        base::CTime::ClearFixedCurrentTime();
        orv::platform::SetShortDatePattern(nullptr);
        orv::heap::failAllocations(0, 0);
    }
};

}  // namespace

void runGeneratorInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    Context c(input);
    DeviceReset reset;

    const auto kind = static_cast<Generator>(input.pick(generatorKinds));
    Job job;
    fillJob(c, job);
    setDevice(c);
    // Any of the borrowed objects may be missing.
    DexSettings* settings = input.pick(8) == 0 ? nullptr : &job.settings;
    DexJobInfo* info = input.pick(8) == 0 ? nullptr : &job.info;
    DexObservationInfo* observation = input.pick(8) == 0 ? nullptr : &job.observation;
    const FreeNumericNames* names = input.flag() ? nullptr : &job.names;
    const bool flag1 = input.flag();
    const bool flag2 = input.flag();

    if (kind <= quoltpashk) {
        std::unique_ptr<CVemraRawDataGenerator> generator;
        switch (kind) {
            case vemra:
                generator.reset(create(c, [&] { return createVemraRawDataGenerator(settings, info, observation); }));
                break;
            case apasima:
                generator.reset(create(c, [&] { return createApaSimaRawDataGenerator(settings, info, observation); }));
                break;
            case drevan:
                generator.reset(create(c, [&] { return createDrevanRawDataGenerator(settings, info, observation); }));
                break;
            default:
                generator.reset(create(
                    c, [&] { return createQuoltPashkRawDataGenerator(settings, info, observation, names, flag1); }));
                break;
        }
        if (generator == nullptr) fail("factory", "no generator on a healthy heap", COrvStringT());
        for (int i = 0; i < kMaxOperations && !input.exhausted(); ++i) {
            if (input.pick(32) == 0) fillJobInfo(c, job.info);  // the host may change the job it lends
            vemraOperation(kind, *generator, c);
        }
    } else {
        std::unique_ptr<CRW5Generator> generator;
        if (kind == rw5) {
            generator.reset(create(c, [&] { return createRw5Generator(settings, info, names, flag1, flag2); }));
        } else {
            generator.reset(create(c, [&] { return createSdrRawGenerator(settings, info); }));
        }
        if (generator == nullptr) fail("factory", "no generator on a healthy heap", COrvStringT());
        for (int i = 0; i < kMaxOperations && !input.exhausted(); ++i) rw5Operation(kind, *generator, c);
    }
}

}  // namespace fuzzing
