#include "readers/job_document.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "readers/raw_input.h"

namespace exportgen {

JobDocument::JobDocument() : m_hasItems{false} {}

void JobDocument::from(std::size_t offset) {
    if (!m_marks.empty() && m_marks.back().first == m_json.size()) {
        m_marks.back().second = offset;
        return;
    }
    m_marks.emplace_back(m_json.size(), offset);
}

void JobDocument::separate() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_hasItems.back()) m_json += ',';
    m_hasItems.back() = true;
}

void JobDocument::beginObject() {
    separate();
    m_json += '{';
    m_hasItems.push_back(false);
}

void JobDocument::endObject() {
    m_json += '}';
    if (m_hasItems.size() > 1) m_hasItems.pop_back();
}

void JobDocument::beginArray() {
    separate();
    m_json += '[';
    m_hasItems.push_back(false);
}

void JobDocument::endArray() {
    m_json += ']';
    if (m_hasItems.size() > 1) m_hasItems.pop_back();
}

JobDocument& JobDocument::key(std::string_view name) {
    separate();
    quote(name);
    m_json += ':';
    m_afterKey = true;
    return *this;
}

void JobDocument::text(std::string_view value) {
    separate();
    quote(value);
}

void JobDocument::quote(std::string_view value) {
    static const char hex[] = "0123456789abcdef";
    m_json += '"';
    for (std::size_t i = 0; i < value.size();) {
        const auto byte = static_cast<unsigned char>(value[i]);
        if (byte == '"' || byte == '\\') {
            m_json += '\\';
            m_json += static_cast<char>(byte);
            ++i;
        } else if (byte < 0x20 || byte == 0x7F) {
            m_json += "\\u00";
            m_json += hex[byte >> 4];
            m_json += hex[byte & 15];
            ++i;
        } else if (const std::size_t length = characterLength(value, i); byte < 0x80 || length > 1) {
            m_json.append(value.data() + i, length);
            i += length;
        } else {
            // A byte of a single-byte encoding: the character of that number.
            m_json += static_cast<char>(0xC0 | (byte >> 6));
            m_json += static_cast<char>(0x80 | (byte & 0x3F));
            ++i;
        }
    }
    m_json += '"';
}

void JobDocument::number(double value) {
    if (!std::isfinite(value)) return null();
    separate();
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    m_json.append(buffer, result.ptr);
}

bool JobDocument::decimal(std::string_view digits) {
    std::size_t at = 0;
    bool negative = false;
    if (at < digits.size() && (digits[at] == '+' || digits[at] == '-')) negative = digits[at++] == '-';
    const std::size_t intStart = at;
    while (at < digits.size() && digits[at] >= '0' && digits[at] <= '9') ++at;
    std::string_view whole = digits.substr(intStart, at - intStart);
    std::string_view fraction;
    if (at < digits.size() && digits[at] == '.') {
        const std::size_t fracStart = ++at;
        while (at < digits.size() && digits[at] >= '0' && digits[at] <= '9') ++at;
        fraction = digits.substr(fracStart, at - fracStart);
    }
    if (at != digits.size() || (whole.empty() && fraction.empty())) return false;
    while (whole.size() > 1 && whole.front() == '0') whole.remove_prefix(1);
    separate();
    if (negative) m_json += '-';
    if (whole.empty()) {
        m_json += '0';
    } else {
        m_json += whole;
    }
    if (!fraction.empty()) {
        m_json += '.';
        m_json += fraction;
    }
    return true;
}

void JobDocument::boolean(bool value) {
    separate();
    m_json += value ? "true" : "false";
}

void JobDocument::null() {
    separate();
    m_json += "null";
}

void JobDocument::reserve(std::size_t bytes, std::size_t marks) {
    m_json.reserve(bytes);
    m_marks.reserve(marks);
}

void JobDocument::append(const JobDocument& items) {
    if (items.m_json.empty()) return;
    separate();
    const std::size_t shift = m_json.size();
    const std::size_t first = m_marks.size();
    m_marks.insert(m_marks.end(), items.m_marks.begin(), items.m_marks.end());
    for (std::size_t i = first; i < m_marks.size(); ++i) m_marks[i].first += shift;
    m_json += items.m_json;
}

std::size_t JobDocument::sourceOffset(std::size_t at) const noexcept {
    const auto after = std::upper_bound(m_marks.begin(), m_marks.end(), at,
                                        [](std::size_t offset, const auto& mark) { return offset < mark.first; });
    return after == m_marks.begin() ? 0 : std::prev(after)->second;
}

void unitsMembers(JobDocument& members, const char* distance, const char* inputAngle, const char* angle) {
    members.key("inputUnits").beginObject();
    members.member("distance", distance);
    members.member("angle", inputAngle);
    members.endObject();
    members.key("units").beginObject();
    members.member("distance", distance);
    members.member("angle", angle);
    members.endObject();
}

JobDocument assemble(const JobParts& parts) {
    JobDocument document;
    std::size_t bytes = 64, marks = 0;
    for (const JobDocument* part : {&parts.members, &parts.points, &parts.setups, &parts.levelRuns}) {
        bytes += part->m_json.size();
        marks += part->m_marks.size();
    }
    document.reserve(bytes, marks);
    document.beginObject();
    document.append(parts.members);
    if (!parts.points.empty()) {
        document.key("points").beginArray();
        document.append(parts.points);
        document.endArray();
    }
    if (!parts.levelRuns.empty()) {
        document.key("levelRuns").beginArray();
        document.append(parts.levelRuns);
        document.endArray();
    }
    document.key("setups").beginArray();
    document.append(parts.setups);
    document.endArray();
    document.endObject();
    return document;
}

}  // namespace exportgen
