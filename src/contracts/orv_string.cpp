#include "contracts/orv_string.h"

#include <algorithm>
#include <cstdarg>
#include <cwchar>

#include "contracts/text_format.h"

namespace {

std::size_t clampIndex(int index, std::size_t size) noexcept {
    if (index <= 0) return 0;
    return std::min(static_cast<std::size_t>(index), size);
}

std::size_t lengthOf(const wchar_t* text) noexcept { return text == nullptr ? 0 : std::wcslen(text); }

}  // namespace

COrvStringT::COrvStringT(const wchar_t* text) : m_text(text == nullptr ? L"" : text) {}

COrvStringT::COrvStringT(wchar_t ch, int count) {
    if (count > 0) m_text.assign(static_cast<std::size_t>(count), ch);
}

COrvStringT::COrvStringT(const wchar_t* text, std::size_t length) {
    if (text != nullptr) m_text.assign(text, length);
}

COrvStringT::COrvStringT(std::wstring_view text) : m_text(text.data(), text.size()) {}

COrvStringT& COrvStringT::operator=(const wchar_t* text) {
    if (text == nullptr) {
        m_text.clear();
    } else {
        m_text.assign(text, lengthOf(text));  // safe even when `text` points into this string
    }
    return *this;
}

COrvStringT& COrvStringT::operator=(wchar_t ch) {
    m_text.assign(1, ch);
    return *this;
}

COrvStringT& COrvStringT::operator+=(const wchar_t* text) {
    if (text != nullptr) m_text.append(text, lengthOf(text));
    return *this;
}

wchar_t COrvStringT::GetAt(int index) const noexcept {
    if (index < 0 || static_cast<std::size_t>(index) >= m_text.size()) return L'\0';
    return m_text[static_cast<std::size_t>(index)];
}

COrvStringT COrvStringT::Left(int count) const {
    return COrvStringT(m_text.data(), clampIndex(count, m_text.size()));
}

COrvStringT COrvStringT::Mid(int first, int count) const {
    std::size_t begin = clampIndex(first, m_text.size());
    std::size_t available = m_text.size() - begin;
    std::size_t length = count < 0 ? available : std::min(available, static_cast<std::size_t>(count));
    return COrvStringT(m_text.data() + begin, length);
}

int COrvStringT::Find(wchar_t ch, int start) const noexcept {
    std::size_t at = m_text.find(ch, clampIndex(start, m_text.size()));
    return at == Storage::npos ? -1 : static_cast<int>(at);
}

int COrvStringT::Find(const wchar_t* text, int start) const noexcept {
    if (text == nullptr) return -1;
    std::size_t at = m_text.find(text, clampIndex(start, m_text.size()), lengthOf(text));
    return at == Storage::npos ? -1 : static_cast<int>(at);
}

int COrvStringT::FindOneOf(const wchar_t* characters) const noexcept {
    if (characters == nullptr || *characters == L'\0') return -1;
    std::size_t at = m_text.find_first_of(characters, 0, lengthOf(characters));
    return at == Storage::npos ? -1 : static_cast<int>(at);
}

int COrvStringT::Delete(int index, int count) {
    if (count > 0 && index >= 0 && static_cast<std::size_t>(index) < m_text.size()) {
        m_text.erase(static_cast<std::size_t>(index), static_cast<std::size_t>(count));
    }
    return GetLength();
}

int COrvStringT::Remove(wchar_t ch, bool) {
    auto end = std::remove(m_text.begin(), m_text.end(), ch);
    int removed = static_cast<int>(m_text.end() - end);
    m_text.erase(end, m_text.end());
    return removed;
}

int COrvStringT::Replace(wchar_t from, wchar_t to, bool) {
    int replaced = 0;
    for (wchar_t& ch : m_text) {
        if (ch == from) {
            ch = to;
            ++replaced;
        }
    }
    return replaced;
}

void COrvStringT::MakeUpper() {
    for (wchar_t& ch : m_text) {
        bool latin = ch >= L'a' && ch <= L'z';
        bool latin1 = ch >= 0xE0 && ch <= 0xFE && ch != 0xF7;  // à..þ without the division sign
        if (latin || latin1) ch = static_cast<wchar_t>(ch - 0x20);
    }
}

int COrvStringT::Compare(const wchar_t* text) const noexcept {
    return view().compare(std::wstring_view(text == nullptr ? L"" : text));
}

int COrvStringT::Compare(const COrvStringT& text) const noexcept { return view().compare(text.view()); }

void COrvStringT::Format(const wchar_t* format, ...) {
    std::va_list args;
    va_start(args, format);
    COrvStringT result;
    orv::detail::formatInto(result, format, args);
    va_end(args);
    *this = std::move(result);
}

wchar_t* COrvStringT::GetBufferSetLength(int length) {
    m_text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return m_text.data();
}

void COrvStringT::ReleaseBuffer(int length) {
    if (length < 0) {
        std::size_t end = m_text.find(L'\0');
        if (end != Storage::npos) m_text.resize(end);
    } else {
        m_text.resize(std::min(static_cast<std::size_t>(length), m_text.size()));
    }
}

COrvStringT operator+(const COrvStringT& a, const COrvStringT& b) {
    COrvStringT result(a);
    result += b;
    return result;
}

COrvStringT operator+(const COrvStringT& a, const wchar_t* b) {
    COrvStringT result(a);
    result += b;
    return result;
}

COrvStringT operator+(const wchar_t* a, const COrvStringT& b) {
    COrvStringT result(a);
    result += b;
    return result;
}

COrvStringT operator+(COrvStringT&& a, const COrvStringT& b) {
    a += b;
    return std::move(a);
}

COrvStringT operator+(COrvStringT&& a, const wchar_t* b) {
    a += b;
    return std::move(a);
}
