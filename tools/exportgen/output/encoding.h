// The encodings exportgen writes: UTF-8 (its own encoder) and latin1 and cp1252 (iconv).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/record_sink.h"
#include "contracts/orv_string.h"

namespace exportgen {

class Encoder {
public:
    /// `name` is "utf-8", "latin1" or "cp1252" (case and the "-" do not matter; "utf8",
    /// "iso-8859-1" and "windows-1252" are accepted too). Throws HostError(kExitUsage) otherwise.
    explicit Encoder(const std::string& name);
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    /// The canonical name: "utf-8", "latin1" or "cp1252".
    [[nodiscard]] const std::string& name() const noexcept { return m_name; }

    /// Appends `text` in this encoding to `out`. A character the encoding cannot hold throws
    /// HostError(kExitEncoding) naming the character and the place `describe` gives for it.
    void append(std::string& out, const COrvStringT& text, const RecordSink::Describe& describe);

private:
    std::string m_name;
    void* m_iconv = nullptr;  // iconv_t of the target encoding; null for UTF-8
};

}  // namespace exportgen
