#include "readers/json_value.h"

namespace exportgen {

const JsonValue* JsonValue::find(std::string_view name) const noexcept {
    if (m_type != Type::object) return nullptr;
    const std::uint64_t tag = nameTag(name);
    for (const JsonValue& member : *this) {
        if (!member.m_shadowed && sameName(member.key(), member.m_keyTag, name, tag)) return &member;
    }
    return nullptr;
}

const JsonValue* JsonValue::at(std::size_t index) const noexcept {
    if (m_type != Type::array || index >= m_count) return nullptr;
    const JsonValue* item = this + 1;
    for (; index > 0; --index) item += item->m_span;
    return item;
}

}  // namespace exportgen
