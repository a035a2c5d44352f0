#include "readers/json_schema.h"

#include <cmath>
#include <set>
#include <stdexcept>

#include "base/embedded.h"
#include "base/problems.h"
#include "base/text.h"
#include "readers/json_value.h"

namespace exportgen {

namespace {

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

const char* typeName(const JsonValue& value) {
    switch (value.type()) {
        case JsonValue::Type::null:
            return "null";
        case JsonValue::Type::boolean:
            return "a boolean";
        case JsonValue::Type::number:
            return "a number";
        case JsonValue::Type::string:
            return "a string";
        case JsonValue::Type::array:
            return "an array";
        case JsonValue::Type::object:
            return "an object";
    }
    return "a value";
}

// A value as an error message quotes it: a number, true, false or null as written (shortest
// form), a text in quotes, an array or object by its size.
std::string shown(const JsonValue& value) {
    switch (value.type()) {
        case JsonValue::Type::null:
            return "null";
        case JsonValue::Type::boolean:
            return value.boolean() ? "true" : "false";
        case JsonValue::Type::number:
            return shortestNumber(value.number());
        case JsonValue::Type::string:
            return shownName(value.text());
        case JsonValue::Type::array:
            return "an array of " + std::to_string(value.size()) + (value.size() == 1 ? " item" : " items");
        case JsonValue::Type::object:
            return "an object of " + std::to_string(value.size()) + (value.size() == 1 ? " member" : " members");
    }
    return {};
}

}  // namespace

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

std::string JsonPath::text() const {
    std::vector<const JsonPath*> chain;
    for (const JsonPath* at = this; at != nullptr; at = at->parent) chain.push_back(at);
    std::string out = "$";
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const JsonPath* part = *it;
        if (part->parent == nullptr && !part->isKey) continue;  // the root itself
        if (part->isKey) {
            // A member whose name is not a plain word (a file can hold any) is quoted.
            const std::string_view name = part->key;
            const bool plain =
                !name.empty() &&
                name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") ==
                    std::string_view::npos;
            if (plain) {
                out += '.';
                out += name;
            } else {
                out += '[' + shownName(name) + ']';
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
    std::size_t failures = 0;         // how many checks failed (more than one only when collecting)
    std::string* message = nullptr;   // where the message goes, or null
    JobProblems* problems = nullptr;  // when collecting: every failure goes here, and the check goes on
    std::size_t offset = 0;           // the offset of the value that broke the check

    void report(const JsonPath& at, Problem problem, const Node* node, const JsonValue& value, std::size_t count = 0) {
        failed = true;
        ++failures;
        offset = value.offset();
        if (problems != nullptr) {
            if (problems->keeps()) {
                problems->add(offset, at.text() + ": " + describe(problem, node, value, count));
            } else {
                problems->count();
            }
        } else if (message != nullptr) {
            *message = at.text() + ": " + describe(problem, node, value, count);
        }
    }
    // True when the check must stop: any failure, unless collecting, where only the
    // value that failed stops and its siblings are still checked.
    [[nodiscard]] bool stop() const noexcept { return failed && problems == nullptr; }

    static std::string describe(Problem problem, const Node* node, const JsonValue& value, std::size_t count) {
        switch (problem) {
            case kType:
                return "expected " + expectedTypes(node->types) + ", found " + typeName(value);
            case kEnum: {
                std::string list;
                for (const auto& allowed : node->enumValues) list += (list.empty() ? "" : ", ") + allowed.dump();
                return shown(value) + " is not one of " + list;
            }
            case kMinimum:
                return shown(value) + " is below the minimum " + shortestNumber(*node->minimum);
            case kMaximum:
                return shown(value) + " is above the maximum " + shortestNumber(*node->maximum);
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

unsigned typeOf(const JsonValue& value) {
    switch (value.type()) {
        case JsonValue::Type::null:
            return kNull;
        case JsonValue::Type::boolean:
            return kBoolean;
        case JsonValue::Type::number:
            return kNumber;  // check() asks whether it is whole where a schema wants an integer
        case JsonValue::Type::string:
            return kString;
        case JsonValue::Type::array:
            return kArray;
        case JsonValue::Type::object:
            return kObject;
    }
    return 0;
}

bool equal(const nlohmann::json& allowed, const JsonValue& value) {
    switch (allowed.type()) {
        case nlohmann::json::value_t::string:
            return value.isString() && value.text() == allowed.get_ref<const std::string&>();
        case nlohmann::json::value_t::boolean:
            return value.type() == JsonValue::Type::boolean && value.boolean() == allowed.get<bool>();
        case nlohmann::json::value_t::null:
            return value.isNull();
        case nlohmann::json::value_t::number_integer:
        case nlohmann::json::value_t::number_unsigned:
        case nlohmann::json::value_t::number_float:
            return value.type() == JsonValue::Type::number && value.number() == allowed.get<double>();
        default:
            return false;  // the job schema lists no arrays or objects in an enum
    }
}

}  // namespace

bool JsonSchema::matches(const Node* node, const JsonValue& value) const {
    Failure failure;
    JsonPath root;
    check(node, value, root, failure);
    return !failure.failed;
}

void JsonSchema::validate(const Node* node, const JsonValue& value, const JsonPath& path) const {
    std::string error;
    Failure failure;
    failure.message = &error;
    check(node, value, path, failure);
    if (failure.failed) throw JobError(failure.offset, error);
}

std::size_t JsonSchema::collect(const Node* node, const JsonValue& value, const JsonPath& path,
                                JobProblems& problems) const {
    Failure failure;
    failure.problems = &problems;
    check(node, value, path, failure);
    return failure.failures;
}

void JsonSchema::checkRequired(const Node* node, const std::vector<std::string>& present, const JsonPath& path,
                               std::size_t offset) const {
    while (node->ref != nullptr) node = node->ref;
    for (const auto& name : node->required) {
        bool found = false;
        for (const auto& key : present) found = found || key == name;
        if (!found) {
            JsonPath field{&path, std::string_view(name)};
            throw JobError(offset, field.text() + ": missing required field");
        }
    }
}

void JsonSchema::check(const Node* node, const JsonValue& value, const JsonPath& path, Failure& failure) const {
    const std::size_t before = failure.failures;
    if (node->ref != nullptr) {
        check(node->ref, value, path, failure);
        if (failure.failures != before) return;
    }
    unsigned type = typeOf(value);
    // A number written with a fraction or exponent is an integer when its value is whole.
    if (type == kNumber && (node->types & (kNumber | kInteger)) == kInteger) {
        const double number = value.number();
        if (std::isfinite(number) && std::floor(number) == number) type |= kInteger;
    }
    if (node->types != 0 && (node->types & type) == 0) return failure.report(path, Failure::kType, node, value);
    if (!node->enumValues.empty()) {
        bool found = false;
        for (const auto& allowed : node->enumValues) found = found || equal(allowed, value);
        if (!found) return failure.report(path, Failure::kEnum, node, value);
    }
    if ((type & kNumber) != 0) {
        const double number = value.number();
        if (node->minimum && number < *node->minimum) return failure.report(path, Failure::kMinimum, node, value);
        if (node->maximum && number > *node->maximum) return failure.report(path, Failure::kMaximum, node, value);
    }
    if (type == kString && node->minLength && value.text().size() < *node->minLength) {
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
                JsonPath itemPath{&path, index++};
                check(node->items, item, itemPath, failure);
                if (failure.stop()) return;
            }
        }
    }
    if (type == kObject) {
        for (const auto& name : node->required) {
            if (value.find(name) == nullptr) {
                JsonPath field{&path, std::string_view(name)};
                return failure.report(field, Failure::kMissing, node, value);
            }
        }
        for (const JsonValue& member : value) {
            if (member.shadowed()) continue;
            const std::string_view key = member.key();
            const std::uint64_t tag = member.keyTag();
            const Node* schema = nullptr;
            for (std::size_t i = 0; i < node->properties.size(); ++i) {
                if (sameName(node->properties[i].first, node->propertyTags[i], key, tag)) {
                    schema = node->properties[i].second;
                    break;
                }
            }
            const JsonPath field{&path, key};
            if (schema == nullptr) {
                if (!node->additionalProperties) {
                    failure.report(field, Failure::kUnknown, node, member);
                    if (failure.stop()) return;
                }
                continue;
            }
            check(schema, member, field, failure);
            if (failure.stop()) return;
        }
    }
    if (failure.failures != before) return;
    if (!node->oneOf.empty()) {
        std::size_t matched = 0;
        if (type == kObject && !node->oneOfFields.empty()) {
            // Each branch only requires its one field: an object matches it when it has the field.
            for (const auto& field : node->oneOfFields) matched += value.find(field) != nullptr ? 1 : 0;
        } else {
            for (const Node* branch : node->oneOf) matched += matches(branch, value) ? 1 : 0;
        }
        if (matched != 1) {
            return failure.report(path, node->oneOfFields.empty() ? Failure::kOneOfForms : Failure::kOneOfFields, node,
                                  value, matched);
        }
    }
}

const JsonSchema& jobSchema() {
    static const nlohmann::json document = nlohmann::json::parse(jobSchemaText());
    static const JsonSchema schema(document);
    return schema;
}

}  // namespace exportgen
