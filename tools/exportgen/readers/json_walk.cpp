#include "readers/json_walk.h"

#include <array>
#include <cmath>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "contracts/text_services.h"
#include "job/plausibility.h"
#include "readers/json_value.h"

namespace exportgen {

using namespace orv::ie;
namespace ondemand = simdjson::ondemand;
using Node = JsonSchema::Node;

namespace {

const char* typeName(ondemand::json_type type) {
    switch (type) {
        case ondemand::json_type::null:
            return "null";
        case ondemand::json_type::boolean:
            return "a boolean";
        case ondemand::json_type::number:
            return "a number";
        case ondemand::json_type::string:
            return "a string";
        case ondemand::json_type::array:
            return "an array";
        case ondemand::json_type::object:
            return "an object";
    }
    return "a value";
}

unsigned typeBits(ondemand::json_type type) {
    switch (type) {
        case ondemand::json_type::null:
            return kNull;
        case ondemand::json_type::boolean:
            return kBoolean;
        case ondemand::json_type::number:
            return kNumber;
        case ondemand::json_type::string:
            return kString;
        case ondemand::json_type::array:
            return kArray;
        case ondemand::json_type::object:
            return kObject;
    }
    return 0;
}

// Whether the value at `index` of a measurement of `kind` is an angle (else a distance or a
// height difference): sd [hz, zenith, slope], hd [hz, horizontal, rise], angles [hz, zenith],
// hz [hz], dist [slope].
bool isAngle(int kind, std::size_t index) {
    if (kind == eKindSlopeDistanceOnly) return false;
    if (kind == eKindAngleAndHorizontalDistance) return index == 0;
    return index < 2;
}

// The members of a set-up and its parts the walk reads, by name.
enum class Key : std::uint8_t {
    other,
    station,
    hi,
    coords,
    code,
    codes,
    note,
    backsight,
    reorientations,
    worstResiduals,
    resection,
    shots,
    stakeouts,
    to,
    hr,
    fs,
    measured,
    residual,
    differences,
    design,
    point,
    bearing,
    circle,
    fromShot,
    strings,
    control,
    attributes,
    sd,
    hd,
    angles,
    hz,
    dist,
};

Key keyOf(std::string_view name) {
    static const std::pair<const char*, Key> kNames[] = {{"station", Key::station},
                                                         {"hi", Key::hi},
                                                         {"coords", Key::coords},
                                                         {"code", Key::code},
                                                         {"codes", Key::codes},
                                                         {"note", Key::note},
                                                         {"backsight", Key::backsight},
                                                         {"reorientations", Key::reorientations},
                                                         {"worstResiduals", Key::worstResiduals},
                                                         {"resection", Key::resection},
                                                         {"shots", Key::shots},
                                                         {"stakeouts", Key::stakeouts},
                                                         {"to", Key::to},
                                                         {"hr", Key::hr},
                                                         {"fs", Key::fs},
                                                         {"measured", Key::measured},
                                                         {"residual", Key::residual},
                                                         {"differences", Key::differences},
                                                         {"design", Key::design},
                                                         {"point", Key::point},
                                                         {"bearing", Key::bearing},
                                                         {"circle", Key::circle},
                                                         {"fromShot", Key::fromShot},
                                                         {"strings", Key::strings},
                                                         {"control", Key::control},
                                                         {"attributes", Key::attributes},
                                                         {"sd", Key::sd},
                                                         {"hd", Key::hd},
                                                         {"angles", Key::angles},
                                                         {"hz", Key::hz},
                                                         {"dist", Key::dist}};
    for (const auto& [text, key] : kNames) {
        if (name == text) return key;
    }
    return Key::other;
}

// The measurement kind a member holds; -1 for a member that holds none.
int measurementKind(Key key) {
    switch (key) {
        case Key::sd:
            return eKindAnglesAndSlopeDistance;
        case Key::hd:
            return eKindAngleAndHorizontalDistance;
        case Key::angles:
            return eKindAnglesOnly;
        case Key::hz:
            return eKindHorizontalAngleOnly;
        case Key::dist:
            return eKindSlopeDistanceOnly;
        default:
            return -1;
    }
}

}  // namespace

// What each member of each object of the schema is to the walk, worked out once per object
// schema: a member is then told by its index, not by comparing its name again.
struct SetupWalk::Roles {
    std::deque<std::pair<const Node*, std::vector<Key>>> of;

    const std::vector<Key>& roles(const Node* shape) {
        for (const auto& [node, keys] : of) {
            if (node == shape) return keys;
        }
        std::vector<Key> keys;
        keys.reserve(shape->properties.size());
        for (const auto& property : shape->properties) keys.push_back(keyOf(property.first));
        return of.emplace_back(shape, std::move(keys)).second;
    }
};

// One walk: the set-up being built, where the walk is, and what it found wrong.
class SetupWalk::Walk {
public:
    Walk(JobBuilder& builder, JobProblems* collect, JsonParse& parse, Roles& roles)
        : m_b(builder), m_collect(collect), m_parse(parse), m_roles(roles) {}

    bool broken() const noexcept { return m_failures != 0; }

    // ---- checked values
    //
    // A schema node and the definitions it refers to each constrain the value: every check
    // below runs along that chain.

    // The type of `value` against `node`; false (reported) when the node does not allow it. A
    // number stands for an integer here; number() asks whether it is whole.
    bool typed(ondemand::value& value, const Node* node, const JsonPath& path, ondemand::json_type& type) {
        m_parse.check(value.type().get(type), token(value));
        unsigned bits = typeBits(type);
        if (bits == kNumber) bits |= kInteger;
        for (const Node* n = node; n != nullptr; n = n->ref) {
            if (n->types != 0 && (n->types & bits) == 0) {
                return fail(value, path, "expected " + expectedTypes(n->types) + ", found " + typeName(type));
            }
        }
        return true;
    }

    // A number, or false (reported) for another type or a number the node does not allow; a
    // null the node allows gives false without a report and `null` set. Read as a number first:
    // the type is asked only of a value that is none.
    bool number(ondemand::value& value, const Node* node, const JsonPath& path, double& out, bool* null = nullptr) {
        const auto error = value.get_double().get(out);
        if (error != simdjson::SUCCESS) {
            ondemand::json_type type{};
            if (!typed(value, node, path, type)) return false;
            if (type == ondemand::json_type::number) m_parse.check(error, token(value));
            if (type == ondemand::json_type::null && null != nullptr) *null = true;
            return type == ondemand::json_type::null ? false : otherType(value, node, path, type);
        }
        // An integer is converted as an integer: "-0" is +0.
        if (out == 0.0 && value.raw_json_token().find_first_of(".eE") == std::string_view::npos) out = 0.0;
        for (const Node* n = node; n != nullptr; n = n->ref) {
            if (n->types != 0 && (n->types & (kNumber | kInteger)) == 0) {
                return fail(value, path, "expected " + expectedTypes(n->types) + ", found a number");
            }
            // A number written with a fraction or exponent is an integer when its value is whole.
            if ((n->types & (kNumber | kInteger)) == kInteger && !(std::isfinite(out) && std::floor(out) == out)) {
                return fail(value, path, "expected " + expectedTypes(n->types) + ", found a number");
            }
            if (!allowed(n, [&](const nlohmann::json& v) { return v.is_number() && v.get<double>() == out; })) {
                return fail(value, path, shortestNumber(out) + " is not one of " + listed(n));
            }
            if (n->minimum && out < *n->minimum) {
                return fail(value, path, shortestNumber(out) + " is below the minimum " + shortestNumber(*n->minimum));
            }
            if (n->maximum && out > *n->maximum) {
                return fail(value, path, shortestNumber(out) + " is above the maximum " + shortestNumber(*n->maximum));
            }
        }
        return true;
    }

    bool text(ondemand::value& value, const Node* node, const JsonPath& path, std::string_view& out) {
        if (value.get_string().get(out) != simdjson::SUCCESS) {
            ondemand::json_type type{};
            if (!typed(value, node, path, type)) return false;
            if (type == ondemand::json_type::string) m_parse.check(value.get_string().get(out), token(value));
            return otherType(value, node, path, type);
        }
        for (const Node* n = node; n != nullptr; n = n->ref) {
            if (n->types != 0 && (n->types & kString) == 0) {
                return fail(value, path, "expected " + expectedTypes(n->types) + ", found a string");
            }
            if (!allowed(n, [&](const nlohmann::json& v) {
                    return v.is_string() && v.get_ref<const std::string&>() == out;
                })) {
                return fail(value, path, shownName(out) + " is not one of " + listed(n));
            }
            if (n->minLength && out.size() < *n->minLength) {
                return fail(value, path, "text shorter than " + std::to_string(*n->minLength));
            }
        }
        return true;
    }

    bool boolean(ondemand::value& value, const Node* node, const JsonPath& path, bool& out) {
        ondemand::json_type type{};
        if (!typed(value, node, path, type)) return false;
        if (type != ondemand::json_type::boolean) return otherType(value, node, path, type);
        m_parse.check(value.get_bool().get(out), token(value));
        for (const Node* n = node; n != nullptr; n = n->ref) {
            if (!allowed(n, [&](const nlohmann::json& v) { return v.is_boolean() && v.get<bool>() == out; })) {
                return fail(value, path, std::string(out ? "true" : "false") + " is not one of " + listed(n));
            }
        }
        return true;
    }

    // The items of an array, counted against the node's limits before any is read; `each` is
    // called with each item and its path.
    template <class Each>
    bool array(ondemand::value& value, const Node* node, const JsonPath& path, Each&& each) {
        ondemand::json_type type{};
        if (!typed(value, node, path, type)) return false;
        if (type != ondemand::json_type::array) return false;
        ondemand::array items;
        m_parse.check(value.get_array().get(items), token(value));
        const Node* itemNode = nullptr;
        for (const Node* n = node; n != nullptr; n = n->ref) {
            if (itemNode == nullptr) itemNode = n->items;
            if (!n->minItems && !n->maxItems) continue;
            std::size_t count = 0;
            m_parse.check(items.count_elements().get(count), token(value));
            if (n->minItems && n->maxItems && *n->minItems == *n->maxItems && count != *n->minItems) {
                return fail(value, path,
                            "expected " + std::to_string(*n->minItems) + " items, found " + std::to_string(count));
            }
            if (n->minItems && count < *n->minItems) {
                return fail(
                    value, path,
                    "expected at least " + std::to_string(*n->minItems) + " items, found " + std::to_string(count));
            }
            if (n->maxItems && count > *n->maxItems) {
                return fail(
                    value, path,
                    "expected at most " + std::to_string(*n->maxItems) + " items, found " + std::to_string(count));
            }
        }
        std::size_t index = 0;
        for (auto item : items) {
            ondemand::value element;
            m_parse.check(item.get(element), nullptr);
            const JsonPath at{&path, index};
            each(element, itemNode, at, index++);
        }
        return true;
    }

    // The members of an object: each named one to `each` with its schema, an unknown one
    // reported; then the members the node requires, and the one of several it requires (when
    // nothing in the object was wrong). A member named twice counts with its later value.
    // Returns false when the object itself is wrong.
    template <class Each>
    bool object(ondemand::value& value, const Node* node, const JsonPath& path, Each&& each) {
        ondemand::json_type type{};
        if (!typed(value, node, path, type)) return false;
        if (type != ondemand::json_type::object) return false;
        const char* start = token(value);
        const std::size_t before = m_failures;
        ondemand::object members;
        m_parse.check(value.get_object().get(members), start);
        const Node* shape = node;  // the node that names the members
        while (shape->properties.empty() && shape->ref != nullptr) shape = shape->ref;
        const std::vector<Key>& roles = m_roles.roles(shape);
        std::array<const char*, 64> seen{};  // where each property was given last
        for (auto field : members) {
            std::string_view key;
            m_parse.check(field.unescaped_key().get(key), nullptr);
            ondemand::value member;
            m_parse.check(field.value().get(member), nullptr);
            const std::uint64_t tag = nameTag(key);
            std::size_t index = shape->properties.size();
            for (std::size_t i = 0; i < shape->properties.size(); ++i) {
                if (sameName(shape->properties[i].first, shape->propertyTags[i], key, tag)) {
                    index = i;
                    break;
                }
            }
            const JsonPath at{&path, key};
            if (index == shape->properties.size()) {
                if (!shape->additionalProperties) fail(member, at, "unknown field");
                continue;
            }
            if (index < seen.size()) {
                if (seen[index] != nullptr && m_collect != nullptr && m_collect->keeps()) {
                    m_collect->add(m_parse.offset(seen[index]), at.text() + ": named twice; the later value counts",
                                   true);
                }
                seen[index] = token(member);
            }
            each(roles[index], member, shape->properties[index].second, at);
        }
        for (const Node* n = node; n != nullptr; n = n->ref) {
            for (const std::string& name : n->required) {
                if (!given(shape, seen, name))
                    failAt(start, JsonPath{&path, std::string_view(name)}, "missing required field");
            }
        }
        if (m_failures != before) return true;
        for (const Node* n = node; n != nullptr; n = n->ref) {
            if (n->oneOfFields.empty()) continue;
            std::size_t matched = 0;
            for (const std::string& name : n->oneOfFields) matched += given(shape, seen, name) ? 1 : 0;
            if (matched != 1) {
                std::string list;
                for (const auto& field : n->oneOfFields) list += (list.empty() ? "" : ", ") + field;
                failAt(start, path,
                       std::string(matched == 0 ? "needs" : "has more than") + " one of the fields " + list);
            }
        }
        return true;
    }

    // A value of a type the node allows but the caller does not read (a null where a number
    // may be unknown): false, and reported when an enumeration of the node leaves it out.
    bool otherType(ondemand::value& value, const Node* node, const JsonPath& path, ondemand::json_type type) {
        for (const Node* n = node; n != nullptr; n = n->ref) {
            const bool null = type == ondemand::json_type::null;
            if (!allowed(n, [&](const nlohmann::json& v) { return null && v.is_null(); })) {
                fail(value, path, shown(value, type) + " is not one of " + listed(n));
                return false;
            }
        }
        return false;
    }

    // Whether the enumeration of `n`, if it has one, holds a value `same` matches.
    template <class Same>
    static bool allowed(const Node* n, Same&& same) {
        if (n->enumValues.empty()) return true;
        for (const auto& v : n->enumValues) {
            if (same(v)) return true;
        }
        return false;
    }

    static std::string listed(const Node* n) {
        std::string list;
        for (const auto& v : n->enumValues) list += (list.empty() ? "" : ", ") + v.dump();
        return list;
    }

    // A value as a message quotes it: a text in quotes, an array or object by its size.
    std::string shown(ondemand::value& value, ondemand::json_type type) {
        std::size_t count = 0;
        switch (type) {
            case ondemand::json_type::null:
                return "null";
            case ondemand::json_type::boolean:
            case ondemand::json_type::number:
                return std::string(
                    value.raw_json_token().substr(0, value.raw_json_token().find_first_of(" \t\r\n,]}")));
            case ondemand::json_type::string: {
                std::string_view text;
                m_parse.check(value.get_string().get(text), token(value));
                return shownName(text);
            }
            case ondemand::json_type::array: {
                m_parse.check(value.count_elements().get(count), token(value));
                return "an array of " + std::to_string(count) + (count == 1 ? " item" : " items");
            }
            case ondemand::json_type::object: {
                m_parse.check(value.count_fields().get(count), token(value));
                return "an object of " + std::to_string(count) + (count == 1 ? " member" : " members");
            }
        }
        return {};
    }

    // ---- the set-up's parts

    void setup(ondemand::value& value, const Node* node, const JsonPath& here) {
        m_setup.place = place(token(value));
        m_lastHr = Figure::recorded(0.0);  // a target on the point itself until a height is given
        object(value, node, here, [&](Key key, ondemand::value& member, const Node* schema, const JsonPath& at) {
            double figure = 0.0;
            if (key == Key::station) {
                std::string_view name;
                if (text(member, schema, at, name)) m_setup.station = checked(TextKind::name, name, member, at);
            } else if (key == Key::hi) {
                if (number(member, schema, at, figure)) {
                    m_setup.hi = Figure::recorded(m_b.length(figure));
                    height(member, m_setup.hi.value, figure, "instrument height", at);
                }
            } else if (key == Key::coords) {
                coordinates(member, schema, at, m_setup.coords);
            } else if (key == Key::code || key == Key::note) {
                std::string_view given;
                if (!text(member, schema, at, given)) return;
                (key == Key::code ? m_setup.code : m_setup.note) =
                    checked(key == Key::code ? TextKind::code : TextKind::note, given, member, at);
            } else if (key == Key::backsight) {
                Backsight backsight;
                if (this->backsight(member, schema, at, backsight)) m_setup.backsight = std::move(backsight);
            } else if (key == Key::reorientations) {
                m_setup.reorientations.clear();
                array(member, schema, at,
                      [&](ondemand::value& item, const Node* itemNode, const JsonPath& itemPath, std::size_t) {
                          Backsight backsight;
                          if (this->backsight(item, itemNode, itemPath, backsight)) {
                              m_setup.reorientations.push_back(std::move(backsight));
                          }
                      });
            } else if (key == Key::worstResiduals) {
                double values[3] = {0, 0, 0};
                std::size_t count = 0;
                if (numbers(member, schema, at, values, count) && count == 3) {
                    m_setup.worstResiduals.origin = Origin::recorded;
                    m_setup.worstResiduals.value = {
                        {}, m_b.angle(values[0]), m_b.angle(values[1]), m_b.length(values[2])};
                }
            } else if (key == Key::resection) {
                m_setup.resection.clear();
                array(member, schema, at,
                      [&](ondemand::value& item, const Node* itemNode, const JsonPath& itemPath, std::size_t) {
                          Observation obs;
                          observation(item, itemNode, itemPath, obs);
                          m_setup.resection.push_back(std::move(obs));
                      });
            } else if (key == Key::shots) {
                m_setup.shots.clear();
                array(member, schema, at,
                      [&](ondemand::value& item, const Node* itemNode, const JsonPath& itemPath, std::size_t) {
                          m_setup.shots.emplace_back();
                          observation(item, itemNode, itemPath, m_setup.shots.back());
                      });
            } else if (key == Key::stakeouts) {
                m_setup.stakeouts.clear();
                array(member, schema, at,
                      [&](ondemand::value& item, const Node* itemNode, const JsonPath& itemPath, std::size_t) {
                          Stakeout stake;
                          observation(item, itemNode, itemPath, stake.shot, &stake);
                          m_setup.stakeouts.push_back(std::move(stake));
                      });
            }
        });
    }

    Setup take() { return std::move(m_setup); }

private:
    // An observation: a shot, a resection observation, or the staked point of `stake`.
    void observation(ondemand::value& value, const Node* node, const JsonPath& path, Observation& shot,
                     Stakeout* stake = nullptr) {
        shot.place = place(token(value));
        bool foresight = false;
        std::string_view code;
        bool hasCode = false;
        object(value, node, path, [&](Key key, ondemand::value& member, const Node* schema, const JsonPath& at) {
            double figure = 0.0;
            bool null = false;
            if (key == Key::to) {
                std::string_view name;
                if (text(member, schema, at, name)) shot.sight.setTargetName(checked(TextKind::name, name, member, at));
            } else if (key == Key::hr) {
                if (number(member, schema, at, figure, &null)) {
                    m_lastHr = Figure::recorded(m_b.length(figure));
                    height(member, m_lastHr.value, figure, "target height", at);
                } else if (null) {
                    m_lastHr = Figure();
                }
            } else if (key == Key::fs) {
                bool flag = false;
                if (boolean(member, schema, at, flag)) foresight = flag;
            } else if (key == Key::measured) {
                bool flag = false;
                static_cast<void>(boolean(member, schema, at, flag));
            } else if (key == Key::note) {
                std::string_view note;
                if (text(member, schema, at, note)) shot.sight.setNote(checked(TextKind::note, note, member, at));
            } else if (key == Key::code) {
                hasCode = text(member, schema, at, code);
                if (hasCode) shot.code = checked(TextKind::code, code, member, at);
            } else if (key == Key::codes) {
                shot.sight.codes.clear();
                shot.code = COrvStringT();
                codes(member, schema, at, shot.sight.codes, shot.code);
                hasCode = false;
            } else if (key == Key::coords) {
                coordinates(member, schema, at, shot.coords);
            } else if (key == Key::residual) {
                Point3 p;
                if (xyz(member, schema, at, p)) shot.residual.set(p, Origin::recorded);
            } else if (key == Key::differences && stake != nullptr) {
                // In plan only (northing and easting) when the height difference is not known.
                coordinates(member, schema, at, stake->differences);
            } else if (key == Key::design && stake != nullptr) {
                std::string_view design;
                if (text(member, schema, at, design)) stake->design = checked(TextKind::name, design, member, at);
            } else if (const int kind = measurementKind(key); kind >= 0) {
                measurement(member, schema, at, kind, shot.sight);
            }
        });
        if (hasCode && !shot.code.IsEmpty()) shot.sight.codes.addCode(DexCodeValues(DexCodeDescription(shot.code)));
        shot.sight.setKind(foresight ? eSightForesight : eSightSideShot);
        shot.hr = m_lastHr;
    }

    // A measurement of `kind`: its values, angles and lengths in the job's input units.
    void measurement(ondemand::value& value, const Node* node, const JsonPath& path, int kind,
                     DexTSRawDataSightInterface& sight) {
        double values[3] = {0, 0, 0};
        const char* where[3] = {nullptr, nullptr, nullptr};
        std::size_t count = 0;
        if (!numbers(value, node, path, values, count, where)) return;
        std::vector<double> converted;
        converted.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            const double v = values[i];
            converted.push_back(isAngle(kind, i) ? m_b.angle(v) : m_b.length(v));
            // A negative distance or a zenith outside a full circle: written as given, and
            // reported in the job's input units.
            const std::string implausible = implausibleMeasurement(kind, i, converted.back(), v, m_b.inputUnits());
            if (!implausible.empty()) warnAt(where[i], JsonPath{&path, i}, implausible);
        }
        sight.setMeasurement(DexTSRawMeasurement(kind, std::move(converted)));
    }

    // A backsight: by a point, a bearing or both, the circle reading on it, its target height
    // (which starts the set-up's target heights) and one measurement to it.
    bool backsight(ondemand::value& value, const Node* node, const JsonPath& path, Backsight& backsight) {
        backsight.place = place(token(value));
        // Unknown unless given: a backsight by bearing, or one never measured, may have none.
        Figure hr;
        bool given = false;
        bool hasPoint = false, hasBearing = false, hasCircle = false, nullCircle = false;
        double circle = 0.0, bearing = 0.0;
        DexTSRawBS measured;
        const bool ok =
            object(value, node, path, [&](Key key, ondemand::value& member, const Node* schema, const JsonPath& at) {
                double figure = 0.0;
                bool null = false;
                if (key == Key::point) {
                    std::string_view name;
                    if (!text(member, schema, at, name)) return;
                    hasPoint = true;
                    backsight.point = checked(TextKind::name, name, member, at);
                    if (const KnownPoint* known = m_b.job().find(name)) backsight.sight.setBSPoint(known->design);
                } else if (key == Key::bearing) {
                    hasBearing = number(member, schema, at, bearing);
                } else if (key == Key::circle) {
                    hasCircle = number(member, schema, at, circle, &null);
                    nullCircle = null;
                } else if (key == Key::hr) {
                    if (number(member, schema, at, figure, &null)) {
                        hr = Figure::recorded(m_b.length(figure));
                        height(member, hr.value, figure, "target height", at);
                    }
                    given = true;
                } else if (key == Key::fromShot) {
                    if (number(member, schema, at, figure)) backsight.firstShot = static_cast<std::size_t>(figure);
                } else if (const int kind = measurementKind(key); kind >= 0) {
                    measurement(member, schema, at, kind, measured);
                }
            });
        if (!ok) return false;
        if (hasPoint) {
            backsight.kind = Backsight::Kind::point;
            backsight.sight.setTargetName(backsight.point);
        } else if (hasBearing) {
            backsight.kind = Backsight::Kind::bearing;
            backsight.bearingSight.setBsNameMode(1);
        } else {
            fail(value, path, "needs a point, a bearing or both");
            return false;
        }
        // A bearing given with a point is the file's own bearing of the backsight direction.
        if (hasBearing) backsight.azimuth = Figure::recorded(m_b.angle(bearing));
        backsight.hr = hr;
        // A target height given (null: unknown) is the set-up's last: the sights after it keep it.
        if (given) m_lastHr = hr;
        backsight.measured = measured.measurement() != nullptr;
        // The circle reading on the backsight; a job file that leaves it out read the measured
        // backsight's horizontal angle, or set the circle to zero on the backsight (a distance
        // alone reads no circle).
        const bool turned = backsight.measured && measured.measurement()->kind() != eKindSlopeDistanceOnly;
        if (nullCircle) {
            backsight.circle = Figure();
        } else {
            backsight.circle = Figure::recorded(hasCircle ? m_b.angle(circle)
                                                : turned  ? measured.measurement()->valueAt(0)
                                                          : 0.0);
        }
        if (backsight.measured) {
            DexTSRawMeasurement m = *measured.measurement();
            m.setBacksightTarget(true);
            backsight.sight.setMeasurement(m);
            backsight.bearingSight.setMeasurement(m);
        }
        return true;
    }

    // The codes of a point or an observation, "codes" (a list): a null entry is an empty code
    // slot, "code": null a code without description.
    void codes(ondemand::value& value, const Node* node, const JsonPath& path, DexCodesDataInterface& codes,
               COrvStringT& firstCode) {
        array(value, node, path, [&](ondemand::value& entry, const Node* entryNode, const JsonPath& at, std::size_t) {
            ondemand::json_type type{};
            if (!typed(entry, entryNode, at, type)) return;
            if (type == ondemand::json_type::null) {
                codes.addNullCode();
                return;
            }
            DexCodeValues code;
            DexCodeDescription description;
            bool named = false;
            std::vector<COrvStringT> attributeValues;
            object(
                entry, entryNode, at,
                [&](Key key, ondemand::value& member, const Node* schema, const JsonPath& memberPath) {
                    if (key == Key::code) {
                        ondemand::json_type codeType{};
                        if (!typed(member, schema, memberPath, codeType) || codeType == ondemand::json_type::null)
                            return;
                        std::string_view name;
                        if (!text(member, schema, memberPath, name)) return;
                        description.setCodeName(checked(TextKind::code, name, member, memberPath));
                        named = true;
                    } else if (key == Key::strings) {
                        array(member, schema, memberPath,
                              [&](ondemand::value& item, const Node* itemNode, const JsonPath& itemPath, std::size_t) {
                                  std::string_view string;
                                  if (text(item, itemNode, itemPath, string)) {
                                      code.addCodeString(checked(TextKind::attribute, string, item, itemPath));
                                  }
                              });
                    } else if (key == Key::control) {
                        array(
                            member, schema, memberPath,
                            [&](ondemand::value& item, const Node* itemNode, const JsonPath& itemPath, std::size_t i) {
                                std::string_view control;
                                if (text(item, itemNode, itemPath, control) && i < 2) {
                                    code.setControlCode(static_cast<ECodeControlCode>(i),
                                                        checked(TextKind::attribute, control, item, itemPath));
                                }
                            });
                    } else if (key == Key::attributes) {
                        array(member, schema, memberPath,
                              [&](ondemand::value& pair, const Node* pairNode, const JsonPath& pairPath, std::size_t) {
                                  array(pair, pairNode, pairPath,
                                        [&](ondemand::value& item, const Node* itemNode, const JsonPath& itemPath,
                                            std::size_t i) {
                                            std::string_view part;
                                            if (!text(item, itemNode, itemPath, part)) return;
                                            const COrvStringT checkedPart =
                                                checked(TextKind::attribute, part, item, itemPath);
                                            if (i == 0) description.addAttribute(checkedPart);
                                            if (i == 1) attributeValues.push_back(checkedPart);
                                        });
                              });
                    }
                });
            if (named) {
                code.setDescription(description);
                if (firstCode.IsEmpty()) firstCode = description.codeName();
            }
            for (std::size_t i = 0; i < attributeValues.size(); ++i)
                code.setAttrAt(static_cast<int>(i), attributeValues[i]);
            codes.addCode(code);
        });
    }

    // Up to three numbers of an array (a measurement, coordinates, residuals) as given.
    // `where`, if given, gets the token of each.
    bool numbers(ondemand::value& value, const Node* node, const JsonPath& path, double* out, std::size_t& count,
                 const char** where = nullptr) {
        count = 0;
        bool good = true;
        const bool ok = array(value, node, path,
                              [&](ondemand::value& item, const Node* itemNode, const JsonPath& at, std::size_t index) {
                                  double figure = 0.0;
                                  if (!number(item, itemNode, at, figure)) {
                                      good = false;
                                      return;
                                  }
                                  if (index < 3) out[index] = figure;
                                  if (index < 3 && where != nullptr) where[index] = token(item);
                                  count = index + 1;
                              });
        return ok && good;
    }

    // A point: northing, easting, height in the job's input units.
    bool xyz(ondemand::value& value, const Node* node, const JsonPath& path, Point3& p) {
        double values[3] = {0, 0, 0};
        std::size_t count = 0;
        if (!numbers(value, node, path, values, count) || count < 3) return false;
        p = m_b.point(values[0], values[1], values[2]);
        return true;
    }

    // Coordinates of a station or a target: in three dimensions, or in plan only.
    void coordinates(ondemand::value& value, const Node* node, const JsonPath& path, Located& located) {
        double values[3] = {0, 0, 0};
        std::size_t count = 0;
        if (!numbers(value, node, path, values, count) || count < 2) return;
        located.set(m_b.point(values[0], values[1], count == 3 ? values[2] : 0.0), Origin::recorded, count == 3);
    }

    // An instrument or target height (`what`): `metres` as the job holds it, `given` as the file.
    void height(ondemand::value& value, double metres, double given, const char* what, const JsonPath& path) {
        const std::string implausible = implausibleHeight(what, metres, given, m_b.inputUnits());
        if (!implausible.empty()) warnAt(value, path, implausible);
    }

    COrvStringT checked(TextKind kind, std::string_view text, ondemand::value& value, const JsonPath& path) {
        return m_b.text(kind, text, place(token(value)), [&path] { return path.text(); });
    }

    void warnAt(ondemand::value& value, const JsonPath& path, const std::string& what) {
        warnAt(token(value), path, what);
    }
    void warnAt(const char* at, const JsonPath& path, const std::string& what) {
        m_b.warn("job", what, place(at), [&path] { return path.text(); });
    }

    bool given(const Node* node, const std::array<const char*, 64>& seen, const std::string& name) const {
        for (std::size_t i = 0; i < node->properties.size() && i < seen.size(); ++i) {
            if (node->properties[i].first == name) return seen[i] != nullptr;
        }
        return false;
    }

    static const char* token(ondemand::value& value) { return value.raw_json_token().data(); }
    Place place(const char* token) const { return m_b.place(m_parse.offset(token)); }

    bool fail(ondemand::value& value, const JsonPath& path, const std::string& what) {
        failAt(token(value), path, what);
        return false;
    }

    void failAt(const char* token, const JsonPath& path, const std::string& what) {
        ++m_failures;
        const std::size_t offset = m_parse.offset(token);
        if (m_collect == nullptr) throw JobError(offset, path.text() + ": " + what);
        if (m_collect->keeps()) {
            m_collect->add(offset, path.text() + ": " + what);
        } else {
            m_collect->count();
        }
    }

    JobBuilder& m_b;
    JobProblems* m_collect;
    JsonParse& m_parse;
    Roles& m_roles;
    Setup m_setup;
    Figure m_lastHr;
    std::size_t m_failures = 0;
};

SetupWalk::SetupWalk(JobBuilder& builder, const JsonSchema& schema, JobProblems* collect)
    : m_builder(builder), m_schema(schema), m_collect(collect), m_roles(std::make_unique<Roles>()) {}

SetupWalk::~SetupWalk() = default;

void SetupWalk::walk(JsonParse& parse, std::size_t index) {
    const JsonPath root;
    const JsonPath setups{&root, std::string_view("setups")};
    const JsonPath path{&setups, index};
    Walk walk(m_builder, m_collect, parse, *m_roles);
    walk.setup(parse.value(), m_schema.items(m_schema.property(m_schema.root(), "setups")), path);
    if (walk.broken()) return;
    if (m_collect == nullptr) return m_builder.addSetup(walk.take());
    try {
        m_builder.addSetup(walk.take());
    } catch (const JobError& error) {
        // A set-up placement refuses (a free station its resection cannot fix) is one of the
        // job's errors: the check goes on with the next set-up.
        if (error.input() != kJobInput) throw;
        m_collect->add(error);
    }
}

}  // namespace exportgen
