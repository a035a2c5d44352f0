#include "replay/replay.h"

#include <cmath>
#include <cstdio>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <tuple>
#include <utility>

#include "base/generators.h"
#include "base/json_document.h"
#include "base/problems.h"
#include "base/text.h"
#include "contracts/text_services.h"
#include "quoltpashk/CQuoltPashkRawDataGenerator.h"
#include "rw5/CRW5Generator.h"
#include "sdr/CSDRRawGenerator.h"
#include "vemra/CApaSimaRawDataGenerator.h"
#include "vemra/CDrevanRawDataGenerator.h"
#include "vemra/CVemraRawDataGenerator.h"

namespace exportgen {

namespace {

using json = nlohmann::json;
using namespace orv::ie;

[[noreturn]] void scriptError(const std::string& message) { throw HostError(kExitScript, message); }

// A name from the script as a message shows it without quotes: escaped and cut like shownName().
std::string plain(const std::string& name) {
    const std::string text = shownName(name);
    return text.substr(1, text.size() - 2);
}

// ---------------------------------------------------------------------------------------------
// Values of a script

double numberValue(const json& value, const std::string& what) {
    if (value.is_number()) return value.get<double>();
    if (value.is_string()) {
        const auto& text = value.get_ref<const std::string&>();
        if (text == "noValue") return orv::ie::noValue;
        if (text == "-noValue") return -orv::ie::noValue;
        if (text == "nan") return std::numeric_limits<double>::quiet_NaN();
        if (text == "inf") return std::numeric_limits<double>::infinity();
        if (text == "-inf") return -std::numeric_limits<double>::infinity();
    }
    scriptError(what + ": expected a number or \"noValue\", \"-noValue\", \"nan\", \"inf\", \"-inf\", found " +
                shown(value));
}

long long integerValue(const json& value, const std::string& what, long long low, long long high) {
    if (value.is_number_integer()) {
        if (value.is_number_unsigned() && value.get<unsigned long long>() > static_cast<unsigned long long>(high)) {
            scriptError(what + ": " + shown(value) + " is out of range");
        }
        const long long number = value.get<long long>();
        if (number < low || number > high) scriptError(what + ": " + shown(value) + " is out of range");
        return number;
    }
    scriptError(what + ": expected an integer, found " + shown(value));
}

COrvStringT textValue(const json& value, const std::string& what) {
    if (!value.is_string()) scriptError(what + ": expected a string, found " + shown(value));
    return wideFromUtf8(value.get_ref<const std::string&>());
}

bool boolValue(const json& value, const std::string& what) {
    if (!value.is_boolean()) scriptError(what + ": expected true or false, found " + shown(value));
    return value.get<bool>();
}

void onlyKeys(const json& object, const std::string& what, std::initializer_list<const char*> keys) {
    if (!object.is_object()) scriptError(what + ": expected an object or null, found " + shown(object));
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool known = false;
        for (const char* key : keys) known = known || it.key() == key;
        if (!known) scriptError(what + ": unknown field " + shownName(it.key()));
    }
}

// ---------------------------------------------------------------------------------------------
// Data objects, built into an arena that lives as long as the script

class Arena {
public:
    const DexTSRawMeasurement* measurement(const json& value, const std::string& what) {
        if (value.is_null()) return nullptr;
        return &m_measurements.emplace_back(makeMeasurement(value, what));
    }

    const DexTSRawDataSightInterface* sight(const json& value, const std::string& what, bool foresightOnly) {
        if (value.is_null()) return nullptr;
        onlyKeys(value, what, {"kind", "target", "measurement", "bsNameMode", "measType", "note", "codes", "bsPoint"});
        const int kind =
            value.contains("kind") ? static_cast<int>(integerValue(value["kind"], what + ".kind", 0, 3)) : 2;
        if (foresightOnly && kind < 2) scriptError(what + ": a foresight must have kind 2 or 3");
        std::unique_ptr<DexTSRawDataSightInterface> sight;
        DexBacksightPoint* backsight = nullptr;
        if (kind == 0) {
            auto bkb = std::make_unique<DexTSRawBkb>();
            backsight = bkb.get();
            sight = std::move(bkb);
        } else if (kind == 1) {
            auto bs = std::make_unique<DexTSRawBS>();
            backsight = bs.get();
            sight = std::move(bs);
        } else {
            auto fs = std::make_unique<DexTSRawFS>(kind);
            if (value.contains("measType")) {
                fs->setMeasType(static_cast<DexTSRawFS::EMeasType>(
                    integerValue(value["measType"], what + ".measType", INT32_MIN, INT32_MAX)));
            }
            sight = std::move(fs);
        }
        if (kind >= 2 && value.contains("bsPoint"))
            scriptError(what + ".bsPoint: only a backsight (kind 0 or 1) has one");
        if (kind < 2 && value.contains("measType"))
            scriptError(what + ".measType: only a foresight (kind 2 or 3) has one");
        if (value.contains("target")) sight->setTargetName(textValue(value["target"], what + ".target"));
        if (value.contains("measurement") && !value["measurement"].is_null()) {
            sight->setMeasurement(makeMeasurement(value["measurement"], what + ".measurement"));
        }
        if (value.contains("bsNameMode")) {
            sight->setBsNameMode(
                static_cast<int>(integerValue(value["bsNameMode"], what + ".bsNameMode", INT32_MIN, INT32_MAX)));
        }
        if (value.contains("note")) sight->setNote(textValue(value["note"], what + ".note"));
        if (value.contains("codes")) fillCodes(sight->codes, value["codes"], what + ".codes");
        if (backsight != nullptr && value.contains("bsPoint") && !value["bsPoint"].is_null()) {
            const json& point = value["bsPoint"];
            onlyKeys(point, what + ".bsPoint", {"codes", "station"});
            DexDesignPoint design;
            if (point.contains("station") && !point["station"].is_null()) {
                design.setStation(makeStation(point["station"], what + ".bsPoint.station"));
            }
            if (point.contains("codes")) fillCodes(design.codes, point["codes"], what + ".bsPoint.codes");
            backsight->setBSPoint(design);
        }
        m_sights.push_back(std::move(sight));
        return m_sights.back().get();
    }

    const DexStation* station(const json& value, const std::string& what) {
        if (value.is_null()) return nullptr;
        return &m_stations.emplace_back(makeStation(value, what));
    }

    const DexCodesDataInterface* codes(const json& value, const std::string& what) {
        if (value.is_null()) return nullptr;
        fillCodes(m_codes.emplace_back(), value, what);
        return &m_codes.back();
    }

    const DexCodeStyle* codeStyle(const json& value, const std::string& what) {
        if (value.is_null()) return nullptr;
        onlyKeys(value, what, {"separator"});
        DexCodeStyle& style = m_styles.emplace_back();
        if (value.contains("separator")) style.separator = textValue(value["separator"], what + ".separator");
        return &style;
    }

private:
    static DexTSRawMeasurement makeMeasurement(const json& value, const std::string& what) {
        onlyKeys(value, what, {"kind", "values", "backsightTarget"});
        DexTSRawMeasurement m;
        if (value.contains("kind"))
            m.setKind(static_cast<int>(integerValue(value["kind"], what + ".kind", INT32_MIN, INT32_MAX)));
        if (value.contains("values")) {
            const json& list = value["values"];
            if (!list.is_array()) scriptError(what + ".values: expected an array");
            std::vector<double> values;
            for (std::size_t i = 0; i < list.size(); ++i) {
                values.push_back(numberValue(list[i], what + ".values[" + std::to_string(i) + "]"));
            }
            m.setValues(std::move(values));
        }
        if (value.contains("backsightTarget"))
            m.setBacksightTarget(boolValue(value["backsightTarget"], what + ".backsightTarget"));
        return m;
    }

    static DexStation makeStation(const json& value, const std::string& what) {
        onlyKeys(value, what, {"name", "northing", "easting", "height", "notes"});
        DexStation station;
        if (value.contains("name")) station.setName(textValue(value["name"], what + ".name"));
        if (value.contains("northing")) station.northing = numberValue(value["northing"], what + ".northing");
        if (value.contains("easting")) station.easting = numberValue(value["easting"], what + ".easting");
        if (value.contains("height")) station.setHeight(numberValue(value["height"], what + ".height"));
        if (value.contains("notes")) station.setNotes(textValue(value["notes"], what + ".notes"));
        return station;
    }

    static void fillCodes(DexCodesDataInterface& codes, const json& list, const std::string& what) {
        if (list.is_null()) return;
        if (!list.is_array()) scriptError(what + ": expected an array of codes");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const json& entry = list[i];
            const std::string at = what + "[" + std::to_string(i) + "]";
            if (entry.is_null()) {
                codes.addNullCode();
                continue;
            }
            onlyKeys(entry, at, {"code", "strings", "control", "attributes"});
            DexCodeValues value;
            DexCodeDescription description;
            const bool described = entry.contains("code") && !entry["code"].is_null();
            if (described) description.setCodeName(textValue(entry["code"], at + ".code"));
            if (entry.contains("attributes")) {
                const json& attributes = entry["attributes"];
                if (!attributes.is_array()) scriptError(at + ".attributes: expected an array of [name, value] pairs");
                for (std::size_t k = 0; k < attributes.size(); ++k) {
                    const json& pair = attributes[k];
                    const std::string where = at + ".attributes[" + std::to_string(k) + "]";
                    if (!pair.is_array() || pair.size() != 2) scriptError(where + ": expected [name, value]");
                    description.addAttribute(textValue(pair[0], where));
                    value.setAttrAt(static_cast<int>(k), textValue(pair[1], where));
                }
            }
            if (described) value.setDescription(description);
            if (entry.contains("strings")) {
                for (const auto& text : entry["strings"]) value.addCodeString(textValue(text, at + ".strings"));
            }
            if (entry.contains("control")) {
                const json& control = entry["control"];
                if (!control.is_array() || control.size() > 2) scriptError(at + ".control: expected up to two texts");
                for (std::size_t k = 0; k < control.size(); ++k) {
                    value.setControlCode(static_cast<ECodeControlCode>(k), textValue(control[k], at + ".control"));
                }
            }
            codes.addCode(value);
        }
    }

    std::deque<DexTSRawMeasurement> m_measurements;
    std::deque<std::unique_ptr<DexTSRawDataSightInterface>> m_sights;
    std::deque<DexStation> m_stations;
    std::deque<DexCodesDataInterface> m_codes;
    std::deque<DexCodeStyle> m_styles;
};

// ---------------------------------------------------------------------------------------------
// One call: its arguments in order, its out-parameters, its results

class Call {
public:
    Call(std::size_t index, const std::string& op, const json& args, const json* outTexts, Arena& arena)
        : m_index(index), m_op(op), m_args(args), m_outs(outTexts), m_arena(arena) {}

    [[noreturn]] void fail(const std::string& message) const {
        scriptError("call " + std::to_string(m_index) + " (" + m_op + "): " + message);
    }
    void expectCount(std::size_t inputs, std::size_t outputs) const {
        if (m_args.size() != inputs) {
            fail("expected " + std::to_string(inputs) + " argument" + (inputs == 1 ? "" : "s") + ", got " +
                 std::to_string(m_args.size()));
        }
        if (m_outs != nullptr && m_outs->size() > outputs) {
            fail("expected at most " + std::to_string(outputs) + " out starting text" + (outputs == 1 ? "" : "s") +
                 ", got " + std::to_string(m_outs->size()));
        }
    }
    const json& next() { return m_args[m_next++]; }
    std::string where() const { return "argument " + std::to_string(m_next + 1); }
    const json* nextOut() {
        const std::size_t index = m_nextOut++;
        return m_outs != nullptr && index < m_outs->size() ? &(*m_outs)[index] : nullptr;
    }
    Arena& arena() { return m_arena; }

    // Reading, with the call named in every error.
    template <class F>
    auto guarded(F&& read) {
        try {
            return read();
        } catch (const HostError& error) {
            fail(error.what());
        }
    }

    json result;
    json outs = json::array();
    std::vector<COrvStringT> texts;  // what the host would write, in order
    bool textOut = false;            // an out-parameter or the result is a text

private:
    std::size_t m_index;
    const std::string& m_op;
    const json& m_args;
    const json* m_outs;
    Arena& m_arena;
    std::size_t m_next = 0;
    std::size_t m_nextOut = 0;
};

// How each parameter type of an operation is read from a script and handed to the call.
template <class T>
struct Arg;

template <>
struct Arg<COrvStringT> {
    static constexpr std::size_t inputs = 1, outputs = 0;
    using Holder = COrvStringT;
    static Holder read(Call& c) {
        return c.guarded([&] {
            const std::string at = c.where();
            return textValue(c.next(), at);
        });
    }
    static COrvStringT pass(Holder& h) { return h; }
    static void collect(Holder&, Call&) {}
};
template <>
struct Arg<const COrvStringT&> : Arg<COrvStringT> {
    static const COrvStringT& pass(Holder& h) { return h; }
};
template <>
struct Arg<const wchar_t*> : Arg<COrvStringT> {
    static const wchar_t* pass(Holder& h) { return h.GetString(); }
};
template <>
struct Arg<COrvStringT&> {
    static constexpr std::size_t inputs = 0, outputs = 1;
    using Holder = COrvStringT;
    static Holder read(Call& c) {
        const json* start = c.nextOut();
        return start == nullptr ? COrvStringT() : c.guarded([&] { return textValue(*start, "out starting text"); });
    }
    static COrvStringT& pass(Holder& h) { return h; }
    static void collect(Holder& h, Call& c) {
        c.outs.push_back(utf8(h));
        c.texts.push_back(h);
        c.textOut = true;
    }
};
template <>
struct Arg<double*> {
    static constexpr std::size_t inputs = 0, outputs = 1;
    using Holder = double;
    static Holder read(Call& c) {
        const json* start = c.nextOut();
        return start == nullptr ? 0.0 : c.guarded([&] { return numberValue(*start, "out starting value"); });
    }
    static double* pass(Holder& h) { return &h; }
    static void collect(Holder& h, Call& c) {
        c.outs.push_back(std::isfinite(h) && std::fabs(h) != orv::ie::noValue ? json(h) : json(shortestNumber(h)));
        c.texts.push_back(wideFromUtf8(shortestNumber(h)));
    }
};
template <>
struct Arg<double> {
    static constexpr std::size_t inputs = 1, outputs = 0;
    using Holder = double;
    static Holder read(Call& c) {
        return c.guarded([&] {
            const std::string at = c.where();
            return numberValue(c.next(), at);
        });
    }
    static double pass(Holder h) { return h; }
    static void collect(Holder, Call&) {}
};
template <>
struct Arg<int> {
    static constexpr std::size_t inputs = 1, outputs = 0;
    using Holder = int;
    static Holder read(Call& c) {
        return c.guarded([&] {
            const std::string at = c.where();
            return static_cast<int>(integerValue(c.next(), at, INT32_MIN, INT32_MAX));
        });
    }
    static int pass(Holder h) { return h; }
    static void collect(Holder, Call&) {}
};
template <>
struct Arg<unsigned int> {
    static constexpr std::size_t inputs = 1, outputs = 0;
    using Holder = unsigned int;
    static Holder read(Call& c) {
        return c.guarded([&] {
            const std::string at = c.where();
            return static_cast<unsigned int>(integerValue(c.next(), at, 0, UINT32_MAX));
        });
    }
    static unsigned int pass(Holder h) { return h; }
    static void collect(Holder, Call&) {}
};
template <>
struct Arg<bool> {
    static constexpr std::size_t inputs = 1, outputs = 0;
    using Holder = bool;
    static Holder read(Call& c) {
        return c.guarded([&] {
            const std::string at = c.where();
            return boolValue(c.next(), at);
        });
    }
    static bool pass(Holder h) { return h; }
    static void collect(Holder, Call&) {}
};
template <>
struct Arg<const COrvStringTVector&> {
    static constexpr std::size_t inputs = 1, outputs = 0;
    using Holder = COrvStringTVector;
    static Holder read(Call& c) {
        return c.guarded([&] {
            const std::string at = c.where();
            const json& list = c.next();
            if (!list.is_array()) scriptError(at + ": expected an array of texts");
            Holder items;
            for (const auto& item : list) items.push_back(textValue(item, at));
            return items;
        });
    }
    static const COrvStringTVector& pass(Holder& h) { return h; }
    static void collect(Holder&, Call&) {}
};

// Data-object parameters: built from the argument (null gives a null pointer).
template <class T, class Make>
struct ObjectArg {
    static constexpr std::size_t inputs = 1, outputs = 0;
    using Holder = const T*;
    static Holder read(Call& c) {
        return c.guarded([&] {
            const std::string at = c.where();
            return Make::make(c.arena(), c.next(), at);
        });
    }
    static const T* pass(Holder h) { return h; }
    static void collect(Holder, Call&) {}
};
struct MakeMeasurement {
    static const DexTSRawMeasurement* make(Arena& a, const json& v, const std::string& w) {
        return a.measurement(v, w);
    }
};
struct MakeSight {
    static const DexTSRawDataSightInterface* make(Arena& a, const json& v, const std::string& w) {
        return a.sight(v, w, false);
    }
};
struct MakeForesight {
    static const DexTSRawFS* make(Arena& a, const json& v, const std::string& w) {
        return static_cast<const DexTSRawFS*>(a.sight(v, w, true));
    }
};
struct MakeStation {
    static const DexStation* make(Arena& a, const json& v, const std::string& w) { return a.station(v, w); }
};
struct MakeCodes {
    static const DexCodesDataInterface* make(Arena& a, const json& v, const std::string& w) { return a.codes(v, w); }
};
struct MakeCodeStyle {
    static const DexCodeStyle* make(Arena& a, const json& v, const std::string& w) { return a.codeStyle(v, w); }
};
template <>
struct Arg<const DexTSRawMeasurement*> : ObjectArg<DexTSRawMeasurement, MakeMeasurement> {};
template <>
struct Arg<const DexTSRawDataSightInterface*> : ObjectArg<DexTSRawDataSightInterface, MakeSight> {};
template <>
struct Arg<const DexTSRawFS*> : ObjectArg<DexTSRawFS, MakeForesight> {};
template <>
struct Arg<const DexStation*> : ObjectArg<DexStation, MakeStation> {};
template <>
struct Arg<const DexCodesDataInterface*> : ObjectArg<DexCodesDataInterface, MakeCodes> {};
template <>
struct Arg<const DexCodeStyle*> : ObjectArg<DexCodeStyle, MakeCodeStyle> {};

// The result of an operation.
void record(Call& c, const COrvStringT& text) {
    c.result = utf8(text);
    c.texts.insert(c.texts.begin(), text);
    c.textOut = true;
}
void record(Call& c, bool value) {
    c.result = value;
    if (!c.textOut) c.texts.insert(c.texts.begin(), COrvStringT(value ? L"true" : L"false"));
}
[[maybe_unused]] void record(Call& c, int value) {
    c.result = value;
    if (!c.textOut) c.texts.insert(c.texts.begin(), orv_formats::IntToString(value));
}

template <class C, class R, class... A, std::size_t... I>
void invokeWith(C* self, R (C::*fn)(A...), Call& call, std::index_sequence<I...>) {
    call.expectCount((0 + ... + Arg<A>::inputs), (0 + ... + Arg<A>::outputs));
    // A braced list evaluates its elements in order, so the arguments are read left to right.
    std::tuple<typename Arg<A>::Holder...> holders{Arg<A>::read(call)...};
    R result = (self->*fn)(Arg<A>::pass(std::get<I>(holders))...);
    (Arg<A>::collect(std::get<I>(holders), call), ...);
    record(call, result);
}

// ---------------------------------------------------------------------------------------------
// Operation tables: each operation once, by its member-function pointer

template <class Root>
using Invoke = std::function<void(Root*, Call&)>;
template <class Root>
using Table = std::map<std::string, Invoke<Root>>;

template <class Root, class C, class R, class... A>
void add(Table<Root>& table, const char* name, R (C::*fn)(A...)) {
    table[name] = [fn](Root* root, Call& call) {
        invokeWith(static_cast<C*>(root), fn, call, std::index_sequence_for<A...>{});
    };
}

template <class Root>
void addRw5(Table<Root>& t) {
    using G = CRW5Generator;
    add(t, "header", &G::header);
    add(t, "occupy", &G::occupy);
    add(t, "coords", &G::coords);
    add(t, "sightNoteLine", &G::sightNoteLine);
    add(t, "emptyText", static_cast<COrvStringT (G::*)()>(&G::emptyText));
    add(t, "resectionErrorNotes", &G::resectionErrorNotes);
    add(t, "worstResidualNotes", &G::worstResidualNotes);
    add(t, "targetHeightNote", &G::targetHeightNote);
    add(t, "lsHiHr", &G::lsHiHr);
    add(t, "lsHiHrIfHrChanged", &G::lsHiHrIfHrChanged);
    add(t, "backsight", &G::backsight);
    add(t, "backsightCheckNotes", &G::backsightCheckNotes);
    add(t, "storePoint", &G::storePoint);
    add(t, "hasName", &G::hasName);
    add(t, "cachedName", &G::cachedName);
    add(t, "pointName", &G::pointName);
    add(t, "noteLine", static_cast<COrvStringT (G::*)(const COrvStringT&)>(&G::noteLine));
    add(t, "offsetRecord", &G::offsetRecord);
    add(t, "foresightFull", &G::foresightFull);
    add(t, "foresightAngles", &G::foresightAngles);
    add(t, "foresightHd", &G::foresightHd);
    add(t, "backsightObs", &G::backsightObs);
    add(t, "foresight", &G::foresight);
    add(t, "angleFields", &G::angleFields);
    add(t, "resection", &G::resection);
    add(t, "hdFields", &G::hdFields);
    add(t, "fullFields", &G::fullFields);
    add(t, "distanceOffsets", &G::distanceOffsets);
    add(t, "noteField", &G::noteField);
    add(t, "lsHr", &G::lsHr);
    add(t, "backsightHeightNote", &G::backsightHeightNote);
    add(t, "hrField", &G::hrField);
    add(t, "beginMarker", &G::beginMarker);
    add(t, "endMarker", &G::endMarker);
    add(t, "recallList", &G::recallList);
    add(t, "codesText", &G::codesText);
    add(t, "d", &G::d);
    add(t, "a", &G::a);
    add(t, "notePrefix", &G::notePrefix);
    add(t, "angleOnlyFields", &G::angleOnlyFields);
    add(t, "typeFor", &G::typeFor);
    add(t, "recordType", &G::recordType);
    add(t, "sightRecordType", &G::sightRecordType);
    add(t, "verticalSightDistance", &G::verticalSightDistance);
    add(t, "isFace1", &G::isFace1);
}

void addSdr(Table<CRW5Generator>& t) {
    using G = CSDRRawGenerator;
    add(t, "valueFields", &G::valueFields);
    add(t, "attributeNotes", &G::attributeNotes);
    add(t, "coordinateRecord", &G::coordinateRecord);
    add(t, "coordinateFields", &G::coordinateFields);
    add(t, "anglePairFields", &G::anglePairFields);
    add(t, "observationFields", &G::observationFields);
    add(t, "levelRunNote", &G::levelRunNote);
    add(t, "levelStartRecords", &G::levelStartRecords);
    add(t, "levelReadingRecord", &G::levelReadingRecord);
    add(t, "stakeoutNotes", &G::stakeoutNotes);
    add(t, "noteRecord", &G::noteRecord);
    add(t, "anglePointRecords", &G::anglePointRecords);
    add(t, "offsetPointRecords", &G::offsetPointRecords);
    add(t, "residualNotes", &G::residualNotes);
    add(t, "backsightName", &G::backsightName);
    add(t, "codeFieldWidth", &G::codeFieldWidth);
    add(t, "recordNumber", &G::recordNumber);
    add(t, "guardedField", &G::guardedField);
}

void addVemra(Table<CVemraRawDataGenerator>& t) {
    using G = CVemraRawDataGenerator;
    add(t, "writeStation", &G::writeStation);
    add(t, "writeObservation", &G::writeObservation);
    add(t, "writeJobHeader", &G::writeJobHeader);
    add(t, "angleUnitsLetter", &G::angleUnitsLetter);
    add(t, "angleToString", &G::angleToString);
    add(t, "distUnitsLetter", &G::distUnitsLetter);
    add(t, "distToString", &G::distToString);
    add(t, "distField", &G::distField);
    add(t, "angleField", &G::angleField);
    add(t, "isNameMapped", &G::isNameMapped);
    add(t, "mappedName", &G::mappedName);
    add(t, "makeUniqueName", &G::makeUniqueName);
    add(t, "cleanCode", &G::cleanCode);
}

void addApaSima(Table<CVemraRawDataGenerator>& t) {
    using G = CApaSimaRawDataGenerator;
    add(t, "writeProgramInfo", &G::writeProgramInfo);
    add(t, "writeJobInfo", &G::writeJobInfo);
    add(t, "writeAtmosphere", &G::writeAtmosphere);
    add(t, "writeObsConstant", &G::writeObsConstant);
}

void addDrevan(Table<CVemraRawDataGenerator>& t) { add(t, "coordField", &CDrevanRawDataGenerator::coordField); }

void addQuoltPashk(Table<CVemraRawDataGenerator>& t) {
    using G = CQuoltPashkRawDataGenerator;
    add(t, "writeHeaderRecords", &G::writeHeaderRecords);
    add(t, "writeBacksightBearing", &G::writeBacksightBearing);
    add(t, "writeSight", &G::writeSight);
    add(t, "writeMissingLine", &G::writeMissingLine);
    add(t, "writeResectionObservation", &G::writeResectionObservation);
    add(t, "writeMeasurement", &G::writeMeasurement);
    add(t, "xyzLine", &G::xyzLine);
    add(t, "stationLineIfNew", &G::stationLineIfNew);
    add(t, "writeControlCodes", &G::writeControlCodes);
    add(t, "writeNote", &G::writeNote);
    add(t, "outputName", &G::outputName);
}

// ---------------------------------------------------------------------------------------------
// The script's settings, job information and flags

struct Context {
    DexSettings settings;
    DexJobInfo job;
    DexObservationInfo observation;
    FreeNumericNames names;
    bool hasNames = false;
    bool forceNames = false, rbMode = false, useNumericNames = false;
};

EDistUnits distUnits(const json& v, const std::string& what) {
    return static_cast<EDistUnits>(integerValue(v, what, INT32_MIN, INT32_MAX));
}
EAngleUnits angleUnits(const json& v, const std::string& what) {
    return static_cast<EAngleUnits>(integerValue(v, what, INT32_MIN, INT32_MAX));
}

void readContext(const json& script, Context& c) {
    onlyKeys(script, "script",
             {"generator", "settings", "job", "observation", "numericNames", "forceNames", "rbMode", "useNumericNames",
              "clock", "shortDate", "calls"});
    if (auto s = script.find("settings"); s != script.end() && !s->is_null()) {
        onlyKeys(*s, "settings", {"distUnits", "angleUnits"});
        if (s->contains("distUnits")) c.settings.setDistUnits(distUnits((*s)["distUnits"], "settings.distUnits"));
        if (s->contains("angleUnits")) c.settings.setAngleUnits(angleUnits((*s)["angleUnits"], "settings.angleUnits"));
    }
    if (auto j = script.find("job"); j != script.end() && !j->is_null()) {
        onlyKeys(*j, "job",
                 {"appName", "appVersion", "jobName", "jobText2", "jobText3", "angleUnits", "distUnits", "createdDate",
                  "createdTime"});
        auto text = [&](const char* key) {
            return j->contains(key) ? textValue((*j)[key], std::string("job.") + key) : COrvStringT();
        };
        c.job.appName = text("appName");
        c.job.appVersion = text("appVersion");
        c.job.jobName = text("jobName");
        c.job.jobText2 = text("jobText2");
        c.job.jobText3 = text("jobText3");
        if (j->contains("angleUnits")) c.job.setAngleUnits(angleUnits((*j)["angleUnits"], "job.angleUnits"));
        if (j->contains("distUnits")) c.job.setDistUnits(distUnits((*j)["distUnits"], "job.distUnits"));
        if (j->contains("createdDate")) c.job.setCreateTime(text("createdDate"), text("createdTime"));
    }
    if (auto o = script.find("observation"); o != script.end() && !o->is_null()) {
        onlyKeys(*o, "observation",
                 {"instrument", "obsConstant", "temperature", "temperatureUnits", "pressure", "pressureUnits", "ppm",
                  "scaleFactor", "elevation"});
        auto number = [&](const char* key, double fallback) {
            return o->contains(key) ? numberValue((*o)[key], std::string("observation.") + key) : fallback;
        };
        auto units = [&](const char* key) {
            return o->contains(key) ? static_cast<int>(integerValue((*o)[key], std::string("observation.") + key,
                                                                    INT32_MIN, INT32_MAX))
                                    : 1;
        };
        if (o->contains("instrument"))
            c.observation.instrument = textValue((*o)["instrument"], "observation.instrument");
        c.observation.obsConstant = number("obsConstant", 0.0);
        if (o->contains("temperature")) {
            c.observation.setTemperature(number("temperature", 0),
                                         static_cast<ETemperatureUnits>(units("temperatureUnits")));
        }
        if (o->contains("pressure")) {
            c.observation.setPressure(number("pressure", 0), static_cast<EPressureUnits>(units("pressureUnits")));
        }
        if (o->contains("ppm")) c.observation.setPpm(number("ppm", 0));
        if (o->contains("scaleFactor") || o->contains("elevation")) {
            c.observation.setEllToGridScaleAndElevation(number("scaleFactor", 1.0), number("elevation", 0.0));
        }
    }
    if (auto n = script.find("numericNames"); n != script.end() && !n->is_null()) {
        onlyKeys(*n, "numericNames", {"start", "reserved"});
        c.hasNames = true;
        if (n->contains("start")) c.names.setStart(integerValue((*n)["start"], "numericNames.start", 1, 999999999));
        if (n->contains("reserved")) {
            for (const auto& name : (*n)["reserved"]) c.names.reserve(textValue(name, "numericNames.reserved"));
        }
    }
    auto flag = [&](const char* key) { return script.contains(key) && boolValue(script[key], key); };
    c.forceNames = flag("forceNames");
    c.rbMode = flag("rbMode");
    c.useNumericNames = flag("useNumericNames");
}

void setClock(const json& script) {
    base::CTime::ClearFixedCurrentTime();
    orv::platform::SetShortDatePattern(nullptr);
    if (auto clock = script.find("clock"); clock != script.end() && !clock->is_null()) {
        const std::string text = clock->is_string() ? clock->get<std::string>() : std::string();
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
        char tail = 0;
        if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6) {
            scriptError("clock: expected a local time YYYY-MM-DDThh:mm:ss, found " + shown(*clock));
        }
        base::CTime::SetFixedCurrentTime(base::CTime(y, mo, d, h, mi, s));
    }
    if (auto pattern = script.find("shortDate"); pattern != script.end() && !pattern->is_null()) {
        orv::platform::SetShortDatePattern(textValue(*pattern, "shortDate").GetString());
    }
}

// Runs the calls on one generator, whose operations are in `table`.
template <class Root>
json runCalls(Root* generator, const Table<Root>& table, const json& calls, Output& output, bool asJson) {
    json results = json::array();
    Arena arena;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const json& entry = calls[i];
        if (!entry.is_object() || !entry.contains("op") || !entry["op"].is_string()) {
            scriptError("call " + std::to_string(i) + ": expected {\"op\": NAME, \"args\": [...]}");
        }
        const std::string op = entry["op"].get<std::string>();
        auto found = table.find(op);
        if (found == table.end()) scriptError("call " + std::to_string(i) + " (" + plain(op) + "): unknown operation");
        for (auto it = entry.begin(); it != entry.end(); ++it) {
            if (it.key() != "op" && it.key() != "args" && it.key() != "out") {
                scriptError("call " + std::to_string(i) + " (" + op + "): unknown field " + shownName(it.key()));
            }
        }
        static const json noArgs = json::array();
        const json& args = entry.contains("args") ? entry["args"] : noArgs;
        const json* outs = entry.contains("out") ? &entry["out"] : nullptr;
        Call call(i, op, args, outs, arena);
        if (!args.is_array()) call.fail("\"args\" must be an array");
        if (outs != nullptr && !outs->is_array()) call.fail("\"out\" must be an array");
        found->second(generator, call);
        if (asJson) {
            results.push_back({{"op", op}, {"result", call.result}, {"out", call.outs}});
            continue;
        }
        for (COrvStringT& text : call.texts) {
            if (text.IsEmpty()) continue;
            if (text.GetAt(text.GetLength() - 1) != L'\n') text += L"\r\n";
            output.text(text, [&](std::size_t) { return "the result of call " + std::to_string(i) + " (" + op + ")"; });
        }
    }
    return results;
}

template <class Root>
std::unique_ptr<Root> checked(Root* generator, const std::string& name) {
    if (generator == nullptr) throw HostError(kExitInternal, "cannot create the " + name + " generator");
    return std::unique_ptr<Root>(generator);
}

// The operations of a generator's classes (GeneratorClasses) on its family's root class.
void addGroups(unsigned groups, Table<CRW5Generator>& t) {
    if (groups & kRw5Class) addRw5(t);
    if (groups & kSdrClass) addSdr(t);
}
void addGroups(unsigned groups, Table<CVemraRawDataGenerator>& t) {
    if (groups & kVemraClass) addVemra(t);
    if (groups & kApaSimaClass) addApaSima(t);
    if (groups & kDrevanClass) addDrevan(t);
    if (groups & kQuoltPashkClass) addQuoltPashk(t);
}

// The operations a script may call on `generator`, built once per generator.
template <class Root>
const Table<Root>& operationsOf(const Generator& generator) {
    static const std::map<const Generator*, Table<Root>> tables = [] {
        std::map<const Generator*, Table<Root>> all;
        for (const Generator& entry : generators()) addGroups(entry.classes, all[&entry]);
        return all;
    }();
    return tables.at(&generator);
}

// The generators' names as a list for people: "vemra, ... or sdr".
std::string generatorNames() {
    const auto& all = generators();
    std::string list;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (i > 0) list += i + 1 == all.size() ? " or " : ", ";
        list += all[i].name;
    }
    return list;
}

// Creates the generator of `format` for the script's context and runs the calls on it.
json runScript(const Generator& format, Context& c, const json& calls, Output& output, bool asJson, int& reportStatus) {
    GeneratorInputs inputs;
    inputs.settings = &c.settings;
    inputs.job = &c.job;
    inputs.observation = &c.observation;
    inputs.names = c.hasNames ? &c.names : nullptr;
    inputs.forceNames = c.forceNames;
    inputs.rbMode = c.rbMode;
    inputs.useNumericNames = c.useNumericNames;
    if (format.family == GeneratorFamily::rw5) {
        auto g = checked(format.createRw5Family(inputs), format.name);
        json results = runCalls<CRW5Generator>(g.get(), operationsOf<CRW5Generator>(format), calls, output, asJson);
        if (format.reportStatus != nullptr) reportStatus = format.reportStatus(*g);
        return results;
    }
    auto g = checked(format.createVemraFamily(inputs), format.name);
    return runCalls<CVemraRawDataGenerator>(g.get(), operationsOf<CVemraRawDataGenerator>(format), calls, output,
                                            asJson);
}

}  // namespace

std::vector<std::string> replayOperations(const std::string& generator) {
    std::vector<std::string> names;
    auto collect = [&](const auto& table) {
        for (const auto& entry : table) names.push_back(entry.first);
    };
    const Generator* format = findGenerator(generator.c_str());
    if (format == nullptr) return names;
    if (format->family == GeneratorFamily::rw5) {
        collect(operationsOf<CRW5Generator>(*format));
    } else {
        collect(operationsOf<CVemraRawDataGenerator>(*format));
    }
    return names;
}

void replay(std::string_view text, const std::string& source, bool asJson, Output& output) {
    const json script = parseDocument(text, source);
    if (!script.is_object()) scriptError("script: expected a JSON object");
    if (!script.contains("generator") || !script["generator"].is_string()) {
        scriptError("script: \"generator\" must name " + generatorNames());
    }
    const std::string name = script["generator"].get<std::string>();
    Context c;
    readContext(script, c);
    static const json noCalls = json::array();
    const json& calls = script.contains("calls") ? script["calls"] : noCalls;
    if (!calls.is_array()) scriptError("script: \"calls\" must be an array");

    setClock(script);
    struct ClockReset {
        ~ClockReset() {
            base::CTime::ClearFixedCurrentTime();
            orv::platform::SetShortDatePattern(nullptr);
        }
    } reset;

    const Generator* format = findGenerator(name.c_str());
    if (format == nullptr) {
        scriptError("unknown generator " + shownName(name) + " (expected " + generatorNames() + ")");
    }
    int reportStatus = -1;
    const json results = runScript(*format, c, calls, output, asJson, reportStatus);
    if (asJson) {
        json document = {{"results", results}};
        if (reportStatus >= 0) document["reportStatus"] = reportStatus;
        output.bytes(document.dump(2) + "\n");
    }
}

}  // namespace exportgen
