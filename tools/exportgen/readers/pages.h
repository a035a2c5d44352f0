// The pages of a mapped input file, given back to the system as a reader passes them, so that a
// file of a million observations does not stay resident once it is read.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace exportgen {

class PageReleaser {
public:
    /// `text` is the whole input; nothing is given back unless it is a mapping of a file.
    PageReleaser(std::string_view text, bool mapped) noexcept : m_text(text), m_mapped(mapped) {}

    /// The reader is done with every byte before `offset`: whole pages behind it, in steps of
    /// 16 MiB, are given back (a later read of them reads the file again).
    void passed(std::size_t offset) noexcept {
        if (!m_mapped || offset < m_released + kStep || offset > m_text.size()) return;
        const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        const auto base = reinterpret_cast<std::uintptr_t>(m_text.data());
        const std::uintptr_t from = (base + m_released + page - 1) / page * page;
        const std::uintptr_t to = (base + offset) / page * page;
        if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
        m_released = offset;
    }

    /// A new pass starts at the beginning: what an earlier pass gave back is read again from the
    /// file (from the system's cache, as a rule) and given back again as the new pass passes it.
    void rewind() noexcept { m_released = 0; }

private:
    static constexpr std::size_t kStep = std::size_t{16} << 20;
    std::string_view m_text;
    bool m_mapped;
    std::size_t m_released = 0;
};

}  // namespace exportgen
