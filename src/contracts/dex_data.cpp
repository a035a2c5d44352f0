#include "contracts/dex_data.h"

#include <climits>

#include "contracts/text_services.h"

namespace orv::ie {

namespace {

template <class Vector>
auto* elementAt(Vector& items, int index) noexcept {
    using Element = decltype(&items[0]);
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return static_cast<Element>(nullptr);
    return &items[static_cast<std::size_t>(index)];
}

}  // namespace

bool DexJobInfo::getDistUnits(EDistUnits& units) const noexcept {
    units = m_distUnits.value_or(eMeters);
    return m_distUnits.has_value();
}

bool DexJobInfo::getCreateTimeString(COrvStringT& date, COrvStringT& time) const {
    if (!m_hasCreateTime) return false;
    date = m_createDate;
    time = m_createTime;
    return true;
}

void DexJobInfo::setCreateTime(const COrvStringT& date, const COrvStringT& time) {
    m_createDate = date;
    m_createTime = time;
    m_hasCreateTime = true;
}

bool DexObservationInfo::getTemperature(double& value, ETemperatureUnits& units) const noexcept {
    if (!m_temperature) return false;
    value = m_temperature->first;
    units = m_temperature->second;
    return true;
}

bool DexObservationInfo::getPressure(double& value, EPressureUnits& units) const noexcept {
    if (!m_pressure) return false;
    value = m_pressure->first;
    units = m_pressure->second;
    return true;
}

bool DexObservationInfo::getPpm(double& value) const noexcept {
    if (!m_ppm) return false;
    value = *m_ppm;
    return true;
}

bool DexObservationInfo::getEllToGridScaleAndElevation(double& scale, double& elevation) const noexcept {
    if (!m_scale) return false;
    scale = m_scale->first;
    elevation = m_scale->second;
    return true;
}

const DexAttrDescription* DexCodeDescription::getAttrDescriptionAt(int index) const noexcept {
    return elementAt(m_attributes, index);
}

COrvStringT DexCodeValues::getCodeStringAt(int index) const {
    const COrvStringT* text = elementAt(m_strings, index);
    return text != nullptr ? *text : COrvStringT();
}

COrvStringT DexCodeValues::getControlCode(ECodeControlCode which) const {
    return which == eControlCode1 || which == eControlCode2 ? m_control[which] : COrvStringT();
}

COrvStringT DexCodeValues::getAttrAt(int index) const {
    const COrvStringT* text = elementAt(m_attributes, index);
    return text != nullptr ? *text : COrvStringT();
}

void DexCodeValues::setControlCode(ECodeControlCode which, const COrvStringT& text) {
    if (which == eControlCode1 || which == eControlCode2) m_control[which] = text;
}

void DexCodeValues::setAttrAt(int index, const COrvStringT& value) {
    if (index < 0) return;
    if (static_cast<std::size_t>(index) >= m_attributes.size())
        m_attributes.resize(static_cast<std::size_t>(index) + 1);
    m_attributes[static_cast<std::size_t>(index)] = value;
}

const DexCodeValues* DexCodesDataInterface::getCode(int index) const noexcept {
    const std::optional<DexCodeValues>* entry = elementAt(m_codes, index);
    return entry != nullptr && entry->has_value() ? &**entry : nullptr;
}

COrvStringT DexCodesDataInterface::getCodesAsCodeStyle(const DexCodeStyle* style, const COrvStringT& note,
                                                       EDexCodeStyleFormat) const {
    const COrvStringT separator = style != nullptr ? style->separator : COrvStringT(L" ");
    COrvStringT text;
    bool first = true;
    auto join = [&](const COrvStringT& item) {
        if (!first) text += separator;
        text += item;
        first = false;
    };
    for (const auto& code : m_codes) {
        if (code && code->getDescription() != nullptr) join(code->getDescription()->codeName());
    }
    if (!note.IsEmpty()) join(note);
    return text;
}

double DexTSRawMeasurement::valueAt(int index) const noexcept {
    if (index < 0 || static_cast<std::size_t>(index) >= m_values.size()) return 0.0;
    return m_values[static_cast<std::size_t>(index)];
}

void FreeNumericNames::init() {
    m_used.clear();
    m_start = 1;
    m_next = 1;
}

void FreeNumericNames::setStart(long long start) {
    m_start = start < 1 ? 1 : start;
    m_next = m_start;
}

long long FreeNumericNames::numberOf(const COrvStringT& name) noexcept {
    const int length = name.GetLength();
    if (length < 1 || length > 9) return 0;
    long long number = 0;
    for (int i = 0; i < length; ++i) {
        wchar_t ch = name.GetAt(i);
        if (ch < L'0' || ch > L'9') return 0;
        number = number * 10 + (ch - L'0');
    }
    return number;  // 0 for "0", "00"…: not numeric
}

void FreeNumericNames::reserve(const COrvStringT& name) {
    long long number = numberOf(name);
    if (number > 0) m_used.insert(number);
}

long long FreeNumericNames::takeFreeNumber() {
    while (m_next < LLONG_MAX && m_used.count(m_next) != 0) ++m_next;
    if (m_used.count(m_next) == 0) {
        const long long number = m_next;
        if (m_next < LLONG_MAX) ++m_next;
        return number;
    }
    // Every number from the start to the top of the range is in use: the smallest free number
    // below the start, so that still no number is handed to two names.
    long long number = 1;
    while (m_used.count(number) != 0) ++number;
    return number;
}

COrvStringT FreeNumericNames::getNameFor(const COrvStringT& name) {
    if (long long number = numberOf(name); number > 0) {
        m_used.insert(number);
        return name;
    }
    long long number = takeFreeNumber();
    m_used.insert(number);
    COrvStringT text;
    orv_formats::AppendInt(text, number);
    return text;
}

}  // namespace orv::ie
