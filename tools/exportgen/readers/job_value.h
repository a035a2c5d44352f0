// Reading the values of a job from either of the host's two documents: nlohmann::json (the
// reader that reports errors) and CompactValue (the fast reader). The job model is built by
// one piece of code written against these functions, so both readers give the same job.
// Every value has passed the job schema before it is read here.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string_view>

#include "readers/compact_json.h"

namespace exportgen::jobvalue {

using json = nlohmann::json;

/// The member `key` of an object; null when there is none.
inline const json* find(const json& object, const char* key) {
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}
inline const CompactValue* find(const CompactValue& object, const char* key) { return object.find(key); }

inline bool has(const json& object, const char* key) { return find(object, key) != nullptr; }
inline bool has(const CompactValue& object, const char* key) { return object.find(key) != nullptr; }

inline bool isString(const json& value) { return value.is_string(); }
inline bool isString(const CompactValue& value) { return value.isString(); }

inline bool isNull(const json& value) { return value.is_null(); }
inline bool isNull(const CompactValue& value) { return value.isNull(); }

/// A string's text.
inline std::string_view text(const json& value) { return value.get_ref<const std::string&>(); }
inline std::string_view text(const CompactValue& value) { return value.text(); }

/// A number's value.
inline double number(const json& value) { return value.get<double>(); }
inline double number(const CompactValue& value) { return value.number(); }

inline bool boolean(const json& value) { return value.get<bool>(); }
inline bool boolean(const CompactValue& value) { return value.boolean(); }

/// The item at `index` of an array the schema has given at least `index + 1` items.
inline const json& item(const json& array, std::size_t index) { return array.at(index); }
inline const CompactValue& item(const CompactValue& array, std::size_t index) {
    const CompactValue* found = array.at(index);
    if (found == nullptr) throw CompactJsonRefused("an array shorter than its schema");
    return *found;
}

}  // namespace exportgen::jobvalue
