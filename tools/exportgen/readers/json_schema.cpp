#include "readers/json_schema.h"

#include <cmath>
#include <set>
#include <stdexcept>

#include "readers/compact_json.h"
#include "cli/errors.h"
#include "readers/job_value.h"
#include "output/text.h"

namespace exportgen {

namespace {

enum TypeBit : unsigned {
    kNull = 1,
    kBoolean = 2,
    kInteger = 4,
    kNumber = 8,
    kString = 16,
    kArray = 32,
    kObject = 64,
};

unsigned typeBit(const std::string& name) {
    if (name == "null") return kNull;
    if (name == "boolean") return kBoolean;
    if (name == "integer") return kInteger;
    if (name == "number") return kNumber | kInteger;
    if (name == "string") return kString;
    if (name == "array") return kArray;
    if (name == "object") return kObject;
    throw std::runtime_error("job schema: unknown type " + name);
}

unsigned typeOf(const nlohmann::json& value) {
    switch (value.type()) {
        case nlohmann::json::value_t::null:
            return kNull;
        case nlohmann::json::value_t::boolean:
            return kBoolean;
        case nlohmann::json::value_t::number_integer:
        case nlohmann::json::value_t::number_unsigned:
            return kInteger | kNumber;
        case nlohmann::json::value_t::number_float:
            return kNumber;  // check() asks whether it is integral where a schema wants an integer
        case nlohmann::json::value_t::string:
            return kString;
        case nlohmann::json::value_t::array:
            return kArray;
        case nlohmann::json::value_t::object:
            return kObject;
        default:
            return 0;
    }
}

const char* typeName(const nlohmann::json& value) {
    switch (value.type()) {
        case nlohmann::json::value_t::null:
            return "null";
        case nlohmann::json::value_t::boolean:
            return "a boolean";
        case nlohmann::json::value_t::number_integer:
        case nlohmann::json::value_t::number_unsigned:
        case nlohmann::json::value_t::number_float:
            return "a number";
        case nlohmann::json::value_t::string:
            return "a string";
        case nlohmann::json::value_t::array:
            return "an array";
        case nlohmann::json::value_t::object:
            return "an object";
        default:
            return "a value";
    }
}

std::string expectedTypes(unsigned types) {
    static const std::pair<unsigned, const char*> names[] = {
        {kObject, "an object"},   {kArray, "an array"},    {kString, "a string"}, {kNumber, "a number"},
        {kInteger, "an integer"}, {kBoolean, "a boolean"}, {kNull, "null"}};
    std::string text;
    for (const auto& [bit, name] : names) {
        if ((types & bit) == 0) continue;
        if (bit == kInteger && (types & kNumber) != 0) continue;
        if (!text.empty()) text += " or ";
        text += name;
    }
    return text;
}

}  // namespace

std::string JsonPath::text() const {
    std::vector<const JsonPath*> chain;
    for (const JsonPath* at = this; at != nullptr; at = at->parent) chain.push_back(at);
    std::string out = "$";
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const JsonPath* part = *it;
        if (part->parent == nullptr && part->key == nullptr) continue;  // the root itself
        if (part->key != nullptr) {
            // A member whose name is not a plain word (a file can hold any) is quoted.
            const std::string_view key(part->key);
            const bool plain = !key.empty() && key.find_first_not_of(
                                                   "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") ==
                                                   std::string_view::npos;
            if (plain) {
                out += '.';
                out += key;
            } else {
                out += '[' + shownName(key) + ']';
            }
        } else {
            out += '[' + std::to_string(part->index) + ']';
        }
    }
    return out;
}

JsonSchema::JsonSchema(const nlohmann::json& document) {
    if (auto defs = document.find("$defs"); defs != document.end()) {
        for (auto it = defs->begin(); it != defs->end(); ++it) {
            m_definitions[it.key()] = &m_nodes.emplace_back();  // placeholders, filled below
        }
        for (auto it = defs->begin(); it != defs->end(); ++it) {
            Node* target = const_cast<Node*>(m_definitions[it.key()]);
            *target = *compile(it.value());
        }
    }
    m_root = compile(document);
}

const JsonSchema::Node* JsonSchema::definition(const std::string& name) {
    auto found = m_definitions.find(name);
    if (found == m_definitions.end()) throw std::runtime_error("job schema: no definition " + name);
    return found->second;
}

const JsonSchema::Node* JsonSchema::compile(const nlohmann::json& schema) {
    Node node;
    static const std::set<std::string> comments = {"$schema", "$id",      "title", "description",
                                                   "default", "examples", "$defs", "$comment"};
    for (auto it = schema.begin(); it != schema.end(); ++it) {
        const std::string& key = it.key();
        const nlohmann::json& value = it.value();
        if (comments.count(key) != 0) continue;
        if (key == "type") {
            if (value.is_string()) {
                node.types = typeBit(value.get<std::string>());
            } else {
                for (const auto& name : value) node.types |= typeBit(name.get<std::string>());
            }
        } else if (key == "properties") {
            for (auto property = value.begin(); property != value.end(); ++property) {
                node.properties.emplace_back(property.key(), compile(property.value()));
                node.propertyTags.push_back(nameTag(property.key()));
            }
        } else if (key == "required") {
            node.required = value.get<std::vector<std::string>>();
        } else if (key == "additionalProperties") {
            node.additionalProperties = value.get<bool>();
        } else if (key == "items") {
            node.items = compile(value);
        } else if (key == "minItems") {
            node.minItems = value.get<std::size_t>();
        } else if (key == "maxItems") {
            node.maxItems = value.get<std::size_t>();
        } else if (key == "minLength") {
            node.minLength = value.get<std::size_t>();
        } else if (key == "minimum") {
            node.minimum = value.get<double>();
        } else if (key == "maximum") {
            node.maximum = value.get<double>();
        } else if (key == "enum") {
            node.enumValues = value.get<std::vector<nlohmann::json>>();
        } else if (key == "oneOf") {
            bool allSingleFields = true;
            for (const auto& branch : value) {
                node.oneOf.push_back(compile(branch));
                const auto required = branch.find("required");
                if (branch.size() == 1 && required != branch.end() && required->size() == 1) {
                    node.oneOfFields.push_back(required->at(0).get<std::string>());
                } else {
                    allSingleFields = false;
                }
            }
            if (!allSingleFields) node.oneOfFields.clear();
        } else if (key == "$ref") {
            const auto name = value.get<std::string>();
            const std::string prefix = "#/$defs/";
            if (name.compare(0, prefix.size(), prefix) != 0) {
                throw std::runtime_error("job schema: unsupported reference " + name);
            }
            node.ref = definition(name.substr(prefix.size()));
        } else {
            throw std::runtime_error("job schema: unsupported keyword " + key);
        }
    }
    return &m_nodes.emplace_back(std::move(node));
}

const JsonSchema::Node* JsonSchema::property(const Node* node, const std::string& name) const {
    while (node != nullptr && node->ref != nullptr) node = node->ref;
    if (node == nullptr) return nullptr;
    for (const auto& [key, schema] : node->properties) {
        if (key == name) return schema;
    }
    return nullptr;
}

const JsonSchema::Node* JsonSchema::items(const Node* node) const {
    while (node != nullptr && node->ref != nullptr) node = node->ref;
    return node != nullptr ? node->items : nullptr;
}

// What a check found wrong, and where. A message is made only when one is wanted: the
// branches of a oneOf are tried without one, and a compact value never gets one.
struct JsonSchema::Failure {
    enum Problem {
        kType,
        kEnum,
        kMinimum,
        kMaximum,
        kMinLength,
        kItemCount,
        kMinItems,
        kMaxItems,
        kMissing,
        kUnknown,
        kOneOfFields,
        kOneOfForms,
    };
    bool failed = false;
    std::string* message = nullptr;  // where the message goes, or null

    void report(const JsonPath& at, Problem problem, const Node* node, const nlohmann::json& value,
                std::size_t count = 0) {
        failed = true;
        if (message != nullptr) *message = at.text() + ": " + describe(problem, node, value, count);
    }
    void report(const JsonPath&, Problem, const Node*, const CompactValue&, std::size_t = 0) { failed = true; }

    static std::string describe(Problem problem, const Node* node, const nlohmann::json& value, std::size_t count) {
        switch (problem) {
            case kType:
                return "expected " + expectedTypes(node->types) + ", found " + typeName(value);
            case kEnum: {
                std::string list;
                for (const auto& allowed : node->enumValues) list += (list.empty() ? "" : ", ") + allowed.dump();
                return shown(value) + " is not one of " + list;
            }
            case kMinimum:
                return value.dump() + " is below the minimum " + nlohmann::json(*node->minimum).dump();
            case kMaximum:
                return value.dump() + " is above the maximum " + nlohmann::json(*node->maximum).dump();
            case kMinLength:
                return "text shorter than " + std::to_string(*node->minLength);
            case kItemCount:
                return "expected " + std::to_string(*node->minItems) + " items, found " + std::to_string(count);
            case kMinItems:
                return "expected at least " + std::to_string(*node->minItems) + " items, found " +
                       std::to_string(count);
            case kMaxItems:
                return "expected at most " + std::to_string(*node->maxItems) + " items, found " + std::to_string(count);
            case kMissing:
                return "missing required field";
            case kUnknown:
                return "unknown field";
            case kOneOfFields: {
                std::string list;
                for (const auto& field : node->oneOfFields) list += (list.empty() ? "" : ", ") + field;
                return std::string(count == 0 ? "needs" : "has more than") + " one of the fields " + list;
            }
            case kOneOfForms:
                return "matches " + std::to_string(count) + " of the allowed forms, expected exactly one";
        }
        return {};
    }
};

namespace {

// The operations the checks need, on both documents. A compact number's type is kNumber, as is
// a float's of the other document: check() asks whether it is whole only where a schema wants an
// integer.
unsigned typeOf(const CompactValue& value) {
    switch (value.type()) {
        case CompactValue::Type::null:
            return kNull;
        case CompactValue::Type::boolean:
            return kBoolean;
        case CompactValue::Type::number:
            return kNumber;
        case CompactValue::Type::string:
            return kString;
        case CompactValue::Type::array:
            return kArray;
        case CompactValue::Type::object:
            return kObject;
    }
    return 0;
}

double numberOf(const nlohmann::json& value) { return value.get<double>(); }
double numberOf(const CompactValue& value) { return value.number(); }

std::size_t textLength(const nlohmann::json& value) { return value.get_ref<const std::string&>().size(); }
std::size_t textLength(const CompactValue& value) { return value.text().size(); }

bool equal(const nlohmann::json& allowed, const nlohmann::json& value) { return allowed == value; }
bool equal(const nlohmann::json& allowed, const CompactValue& value) {
    switch (allowed.type()) {
        case nlohmann::json::value_t::string:
            return value.isString() && value.text() == allowed.get_ref<const std::string&>();
        case nlohmann::json::value_t::boolean:
            return value.type() == CompactValue::Type::boolean && value.boolean() == allowed.get<bool>();
        case nlohmann::json::value_t::null:
            return value.isNull();
        default:
            // Numbers compare as integers or doubles depending on how each was written, and
            // arrays and objects member by member: not worth doing twice for a job schema.
            throw CompactJsonRefused("an enum the compact reader does not compare");
    }
}

// Calls `visit(name, nameTag(name), value)` for every member of an object.
template <class Visit>
void forEachMember(const nlohmann::json& object, Visit&& visit) {
    for (auto it = object.begin(); it != object.end(); ++it) visit(it.key(), nameTag(it.key()), it.value());
}
template <class Visit>
void forEachMember(const CompactValue& object, Visit&& visit) {
    for (const CompactValue& member : object) {
        if (!member.shadowed()) visit(member.key(), member.keyTag(), member);
    }
}

// The path of an object member. A compact value is only ever checked for acceptance, so its
// paths are never shown and its members keep their object's path.
JsonPath memberPath(const JsonPath& object, const std::string& name) { return {&object, name.c_str()}; }
const JsonPath& memberPath(const JsonPath& object, std::string_view) { return object; }

}  // namespace

template <class Value>
bool JsonSchema::matches(const Node* node, const Value& value) const {
    Failure failure;
    JsonPath root;
    check(node, value, root, failure);
    return !failure.failed;
}

void JsonSchema::validate(const Node* node, const nlohmann::json& value, const JsonPath& path) const {
    std::string error;
    Failure failure;
    failure.message = &error;
    check(node, value, path, failure);
    if (failure.failed) throw HostError(kExitJob, error);
}

bool JsonSchema::accepts(const Node* node, const CompactValue& value) const { return matches(node, value); }

void JsonSchema::checkRequired(const Node* node, const std::vector<std::string>& present, const JsonPath& path) const {
    while (node->ref != nullptr) node = node->ref;
    for (const auto& name : node->required) {
        bool found = false;
        for (const auto& key : present) found = found || key == name;
        if (!found) {
            JsonPath field{&path, name.c_str()};
            throw HostError(kExitJob, field.text() + ": missing required field");
        }
    }
}

template <class Value>
void JsonSchema::check(const Node* node, const Value& value, const JsonPath& path, Failure& failure) const {
    if (node->ref != nullptr) {
        check(node->ref, value, path, failure);
        if (failure.failed) return;
    }
    unsigned type = typeOf(value);
    // A number written with a fraction or exponent is an integer when its value is whole.
    if (type == kNumber && (node->types & (kNumber | kInteger)) == kInteger) {
        const double number = numberOf(value);
        if (std::isfinite(number) && std::floor(number) == number) type |= kInteger;
    }
    if (node->types != 0 && (node->types & type) == 0) return failure.report(path, Failure::kType, node, value);
    if (!node->enumValues.empty()) {
        bool found = false;
        for (const auto& allowed : node->enumValues) found = found || equal(allowed, value);
        if (!found) return failure.report(path, Failure::kEnum, node, value);
    }
    if ((type & kNumber) != 0) {
        const double number = numberOf(value);
        if (node->minimum && number < *node->minimum) return failure.report(path, Failure::kMinimum, node, value);
        if (node->maximum && number > *node->maximum) return failure.report(path, Failure::kMaximum, node, value);
    }
    if (type == kString && node->minLength && textLength(value) < *node->minLength) {
        return failure.report(path, Failure::kMinLength, node, value);
    }
    if (type == kArray) {
        const std::size_t count = value.size();
        if (node->minItems && node->maxItems && *node->minItems == *node->maxItems && count != *node->minItems) {
            return failure.report(path, Failure::kItemCount, node, value, count);
        }
        if (node->minItems && count < *node->minItems)
            return failure.report(path, Failure::kMinItems, node, value, count);
        if (node->maxItems && count > *node->maxItems)
            return failure.report(path, Failure::kMaxItems, node, value, count);
        if (node->items != nullptr) {
            std::size_t index = 0;
            for (const auto& item : value) {
                JsonPath itemPath{&path, nullptr, index++};
                check(node->items, item, itemPath, failure);
                if (failure.failed) return;
            }
        }
    }
    if (type == kObject) {
        for (const auto& name : node->required) {
            if (!jobvalue::has(value, name.c_str())) {
                JsonPath field{&path, name.c_str()};
                return failure.report(field, Failure::kMissing, node, value);
            }
        }
        forEachMember(value, [&](const auto& key, std::uint64_t tag, const Value& member) {
            if (failure.failed) return;
            const Node* schema = nullptr;
            for (std::size_t i = 0; i < node->properties.size(); ++i) {
                if (sameName(node->properties[i].first, node->propertyTags[i], key, tag)) {
                    schema = node->properties[i].second;
                    break;
                }
            }
            const JsonPath& field = memberPath(path, key);
            if (schema == nullptr) {
                if (!node->additionalProperties) failure.report(field, Failure::kUnknown, node, member);
                return;
            }
            check(schema, member, field, failure);
        });
        if (failure.failed) return;
    }
    if (!node->oneOf.empty()) {
        std::size_t matched = 0;
        if (type == kObject && !node->oneOfFields.empty()) {
            // Each branch only requires its one field: an object matches it when it has the field.
            for (const auto& field : node->oneOfFields) matched += jobvalue::has(value, field.c_str()) ? 1 : 0;
        } else {
            for (const Node* branch : node->oneOf) matched += matches(branch, value) ? 1 : 0;
        }
        if (matched != 1) {
            return failure.report(path, node->oneOfFields.empty() ? Failure::kOneOfForms : Failure::kOneOfFields, node,
                                  value, matched);
        }
    }
}

}  // namespace exportgen
