// A compact validator for the subset of JSON Schema (draft 2020-12) that the job schema uses:
// type, properties, required, additionalProperties (true or false), items, minItems,
// maxItems, minLength, enum, minimum, maximum, oneOf and "$ref" to "#/$defs/NAME". Other
// keywords (title, description, $schema, $id, default, examples) are read as comments.
//
// The schema is compiled once into a tree, so that validating a million observations costs
// no more than walking their values. A failed check names the JSON path of the value and its
// byte offset in the file, from which the reader gives the line and column.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace exportgen {

/// The JSON types a schema node allows, as bits of JsonSchema::Node::types.
enum TypeBit : unsigned {
    kNull = 1,
    kBoolean = 2,
    kInteger = 4,
    kNumber = 8,
    kString = 16,
    kArray = 32,
    kObject = 64,
};

/// The types of `types` for a message: "a number or null".
std::string expectedTypes(unsigned types);

class JsonValue;
class JobProblems;

/// A position in a JSON document, built as the validator descends; turned into a path text
/// ("$.setups[3].shots[0].hr") only when an error is reported.
struct JsonPath {
    JsonPath() = default;
    JsonPath(const JsonPath* up, std::string_view member) noexcept : parent(up), key(member), isKey(true) {}
    JsonPath(const JsonPath* up, std::size_t item) noexcept : parent(up), index(item) {}

    const JsonPath* parent = nullptr;
    std::string_view key;   ///< an object member, or
    std::size_t index = 0;  ///< an array index when isKey is false
    bool isKey = false;
    std::string text() const;
};

class JsonSchema {
public:
    struct Node {
        unsigned types = 0;  // 0: any type
        std::vector<std::pair<std::string, const Node*>> properties;
        std::vector<std::uint64_t> propertyTags;  // nameTag() of each property's name
        std::vector<std::string> required;
        bool additionalProperties = true;
        const Node* items = nullptr;
        std::optional<std::size_t> minItems, maxItems, minLength;
        std::optional<double> minimum, maximum;
        std::vector<nlohmann::json> enumValues;
        std::vector<const Node*> oneOf;
        std::vector<std::string> oneOfFields;  // the single required field of each oneOf branch, when all are so
        const Node* ref = nullptr;
    };

    /// Compiles `document`; throws std::runtime_error for a keyword this validator lacks.
    explicit JsonSchema(const nlohmann::json& document);

    [[nodiscard]] const Node* root() const noexcept { return m_root; }
    /// The schema of a property of `node` (null when the node names none).
    [[nodiscard]] const Node* property(const Node* node, const std::string& name) const;
    /// The items schema of an array node (null when it has none).
    [[nodiscard]] const Node* items(const Node* node) const;
    /// The node itself, or the definition it refers to.
    [[nodiscard]] static const Node* resolved(const Node* node) noexcept {
        while (node != nullptr && node->ref != nullptr) node = node->ref;
        return node;
    }

    /// Checks `value` against `node`; throws JobError with the JSON path of the first violation
    /// and the offset of the value that breaks it.
    void validate(const Node* node, const JsonValue& value, const JsonPath& path) const;
    /// Checks `value` against `node` and goes on past a violation to the value's next member or
    /// item, adding each violation to `problems`; returns the number found.
    std::size_t collect(const Node* node, const JsonValue& value, const JsonPath& path, JobProblems& problems) const;
    /// Checks only the "required" keyword of `node` against the keys seen; a missing one is a
    /// JobError at `offset` (the object's).
    void checkRequired(const Node* node, const std::vector<std::string>& present, const JsonPath& path,
                       std::size_t offset) const;

private:
    struct Failure;
    const Node* compile(const nlohmann::json& schema);
    const Node* definition(const std::string& name);
    [[nodiscard]] bool matches(const Node* node, const JsonValue& value) const;
    void check(const Node* node, const JsonValue& value, const JsonPath& path, Failure& failure) const;

    std::deque<Node> m_nodes;
    std::map<std::string, const Node*> m_definitions;
    const Node* m_root = nullptr;
};

/// The job schema, compiled once from the text embedded in the program.
const JsonSchema& jobSchema();

}  // namespace exportgen
