// Decoding of fuzz input: the bytes a fuzzer (or a stored regression input) hands over are read
// as a stream of choices, numbers and texts. Every reader is total: an exhausted input reads as
// zeros, so any byte string decodes to some sequence of calls.
//
// The readers lean towards the values that break number and text code in the field: NaN,
// infinities, the largest double (the no-value mark), negative zero, subnormals, INT_MIN and
// INT_MAX, and texts that are empty, very long, full of field separators and control
// characters, or hold characters outside the Basic Multilingual Plane and lone surrogates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "contracts/orv_string.h"

namespace fuzzing {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) noexcept : m_data(data), m_size(size) {}

    [[nodiscard]] bool exhausted() const noexcept { return m_position >= m_size; }

    /// The next byte, 0 once the input is exhausted.
    std::uint8_t byte() noexcept;
    /// A choice among `count` (> 0) alternatives.
    std::size_t pick(std::size_t count) noexcept;
    bool flag() noexcept { return (byte() & 1U) != 0; }
    /// `bytes` raw bytes (at most 8) as an unsigned number, little-endian.
    std::uint64_t raw(int bytes) noexcept;

    /// A double: mostly one of the values that break number code, else any bit pattern.
    double number() noexcept;
    /// An int: mostly a small or boundary value, else any bit pattern.
    int integer() noexcept;
    /// A small count in [0, limit].
    int count(int limit) noexcept;
    /// One character, mostly one with a meaning in some format or outside plain ASCII.
    wchar_t character() noexcept;
    /// A text: empty, a few characters, or a long run (up to a few thousand characters).
    COrvStringT text();
    /// A list of texts.
    std::vector<COrvStringT> texts(int limit);

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

}  // namespace fuzzing
