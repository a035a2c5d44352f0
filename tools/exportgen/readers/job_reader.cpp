#include "readers/job_reader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include "cli/errors.h"

namespace exportgen {

namespace {

using json = nlohmann::json;

// "[json.exception.parse_error.101] parse error at line 3, column 5: syntax error ..." becomes
// "SOURCE:3:5: malformed JSON: syntax error ...".
std::string jsonErrorMessage(const std::string& source, const std::string& what) {
    std::string line = "?", column = "?", detail = what;
    const auto at = what.find("at line ");
    if (at != std::string::npos) {
        const auto comma = what.find(", column ", at);
        const auto colon = what.find(": ", at);
        if (comma != std::string::npos && colon != std::string::npos && comma < colon) {
            line = what.substr(at + 8, comma - at - 8);
            column = what.substr(comma + 9, colon - comma - 9);
            detail = what.substr(colon + 2);
        }
    } else if (const auto close = what.find("] "); close != std::string::npos) {
        detail = what.substr(close + 2);
    }
    // The reader quotes the token it stopped at, which may be a whole long text or number.
    constexpr std::size_t kDetail = 160;
    if (detail.size() > kDetail) {
        std::size_t cut = kDetail;
        while (cut > 0 && (static_cast<unsigned char>(detail[cut]) & 0xC0U) == 0x80U) --cut;  // whole UTF-8 characters
        detail = detail.substr(0, cut) + "\u2026";                                            // "…", in UTF-8
    }
    return source + ":" + line + ":" + column + ": malformed JSON: " + detail;
}

// Builds one value from SAX events.
class ValueBuilder {
public:
    void begin() {
        m_root = json();
        m_stack.clear();
        m_hasKey = false;
    }
    template <class Value>
    void value(Value&& v) {
        place(json(std::forward<Value>(v)));
    }
    void startObject() { m_stack.push_back(place(json::object())); }
    void startArray() { m_stack.push_back(place(json::array())); }
    void key(std::string& name) {
        m_key = std::move(name);
        m_hasKey = true;
    }
    /// True when the value just closed was the outermost one.
    bool end() {
        m_stack.pop_back();
        return m_stack.empty();
    }
    bool empty() const { return m_stack.empty(); }
    json take() { return std::move(m_root); }

private:
    json* place(json&& v) {
        if (m_stack.empty()) {
            m_root = std::move(v);
            return &m_root;
        }
        json& parent = *m_stack.back();
        if (parent.is_array()) {
            parent.push_back(std::move(v));
            return &parent.back();
        }
        m_hasKey = false;
        return &(parent[m_key] = std::move(v));
    }

    json m_root;
    std::vector<json*> m_stack;
    std::string m_key;
    bool m_hasKey = false;
};

// The SAX handler: depth 0 is outside the document, 1 inside the root object, 2 inside the
// "setups" array.
class Handler : public json::json_sax_t {
public:
    Handler(JobEvents& events, const std::string& source) : m_events(events), m_source(source) {}

    bool null() override { return scalar(nullptr); }
    bool boolean(bool v) override { return scalar(v); }
    bool number_integer(number_integer_t v) override { return scalar(v); }
    bool number_unsigned(number_unsigned_t v) override { return scalar(v); }
    bool number_float(number_float_t v, const string_t&) override { return scalar(v); }
    bool string(string_t& v) override { return scalar(std::move(v)); }
    bool binary(binary_t&) override { return true; }

    bool start_object(std::size_t) override {
        if (m_building) {
            m_builder.startObject();
            return true;
        }
        if (m_level == 0) {
            m_level = 1;
            return true;
        }
        startValue();
        m_builder.startObject();
        return true;
    }
    bool key(string_t& name) override {
        if (m_building) {
            m_builder.key(name);
        } else {
            m_key = std::move(name);
        }
        return true;
    }
    bool end_object() override {
        if (m_building) {
            if (m_builder.end()) finishValue();
            return true;
        }
        m_level = 0;
        m_events.end();
        return true;
    }
    bool start_array(std::size_t) override {
        if (m_building) {
            m_builder.startArray();
            return true;
        }
        if (m_level == 0) throw HostError(kExitJob, "$: expected an object, found an array");
        if (m_level == 1 && m_key == "setups") {
            m_level = 2;
            m_setupIndex = 0;
            m_events.setupsBegin();
            return true;
        }
        startValue();
        m_builder.startArray();
        return true;
    }
    bool end_array() override {
        if (m_building) {
            if (m_builder.end()) finishValue();
            return true;
        }
        m_level = 1;  // the end of "setups"
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) override {
        throw HostError(kExitJson, jsonErrorMessage(m_source, error.what()));
    }

private:
    template <class Value>
    bool scalar(Value&& v) {
        if (m_level == 0) throw HostError(kExitJob, "$: expected an object");
        if (m_building) {
            m_builder.value(std::forward<Value>(v));
            return true;
        }
        startValue();
        m_builder.value(std::forward<Value>(v));
        finishValue();
        return true;
    }
    void startValue() {
        m_building = true;
        m_builder.begin();
    }
    void finishValue() {
        m_building = false;
        if (m_level == 2) {
            m_events.setup(m_setupIndex++, m_builder.take());
        } else {
            m_events.member(m_key, m_builder.take());
        }
    }

    JobEvents& m_events;
    const std::string& m_source;
    ValueBuilder m_builder;
    bool m_building = false;
    int m_level = 0;
    std::string m_key;
    std::size_t m_setupIndex = 0;
};

// Walks the text for the parser and gives the pages it has passed back to the system every
// 16 MiB, so that a mapped job file does not stay resident behind the reader: memory then
// holds the set-up being converted, not the whole file.
class Releaser {
public:
    explicit Releaser(std::string_view text)
        : m_released(text.data()), m_end(text.data() + text.size()), m_next(checkpoint(text.data())) {}

    const char* next() const noexcept { return m_next; }
    void release(const char* at) noexcept {
        const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        const auto from = (reinterpret_cast<std::uintptr_t>(m_released) + page - 1) / page * page;
        const auto to = reinterpret_cast<std::uintptr_t>(at) / page * page;
        if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
        m_released = at;
        m_next = checkpoint(at);
    }

private:
    static constexpr std::size_t kStep = std::size_t{16} << 20;
    const char* checkpoint(const char* at) const noexcept {
        return static_cast<std::size_t>(m_end - at) > kStep ? at + kStep : m_end + 1;
    }
    const char* m_released;
    const char* m_end;
    const char* m_next;
};

class ReleasingIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    ReleasingIterator(const char* at, Releaser* releaser) : m_at(at), m_releaser(releaser) {}
    reference operator*() const noexcept { return *m_at; }
    ReleasingIterator& operator++() noexcept {
        if (++m_at == m_releaser->next()) m_releaser->release(m_at);
        return *this;
    }
    ReleasingIterator operator++(int) noexcept {
        ReleasingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const ReleasingIterator& other) const noexcept { return m_at == other.m_at; }
    bool operator!=(const ReleasingIterator& other) const noexcept { return m_at != other.m_at; }

private:
    const char* m_at;
    Releaser* m_releaser;
};

class SaxJobReader : public JobReader {
public:
    void read(std::string_view text, const std::string& source, JobEvents& events, bool mapped) override {
        Handler handler(events, source);
        if (!mapped) {
            json::sax_parse(text.begin(), text.end(), &handler);
            return;
        }
        Releaser releaser(text);
        json::sax_parse(ReleasingIterator(text.data(), &releaser),
                        ReleasingIterator(text.data() + text.size(), &releaser), &handler);
    }
};

// The fast reader: the same walk as Handler, over the text itself. A member's or set-up's value
// is parsed into the compact document whole before it is handed over, as the other reader
// builds its document before handing it over, so that both hand over the same values in the
// same order and refuse (throw) at the same value.
class FastJobReader : public JobReader {
public:
    void read(std::string_view text, const std::string&, JobEvents& events, bool mapped) override {
        CompactDocument document(text);
        std::optional<Releaser> releaser;
        if (mapped) releaser.emplace(text);
        document.skipByteOrderMark();
        if (!document.take('{')) throw CompactJsonRefused("the document is not an object");
        std::string key;
        if (!document.take('}')) {
            do {
                document.string(key);
                if (!document.take(':')) throw CompactJsonRefused("expected ':'");
                if (key == "setups" && document.take('[')) {
                    events.setupsBegin();
                    readSetups(document, events, releaser ? &*releaser : nullptr);
                } else {
                    events.member(key, document.value());
                }
            } while (document.take(','));
            if (!document.take('}')) throw CompactJsonRefused("expected ',' or '}'");
        }
        events.end();
        if (!document.atEnd()) throw CompactJsonRefused("text after the document");
    }

private:
    static void readSetups(CompactDocument& document, JobEvents& events, Releaser* releaser) {
        if (document.take(']')) return;
        std::size_t index = 0;
        do {
            events.setup(index++, document.value());
            if (releaser != nullptr && document.position() >= releaser->next()) releaser->release(document.position());
        } while (document.take(','));
        if (!document.take(']')) throw CompactJsonRefused("expected ',' or ']'");
    }
};

}  // namespace

std::unique_ptr<JobReader> makeJobReader() { return std::make_unique<SaxJobReader>(); }
std::unique_ptr<JobReader> makeFastJobReader() { return std::make_unique<FastJobReader>(); }

json parseDocument(std::string_view text, const std::string& source) {
    try {
        return json::parse(text.begin(), text.end());
    } catch (const json::exception& error) {
        // A syntax error, and a number too large for a double ("1e999"), which the reader
        // reports as out of range rather than as a parse error.
        throw HostError(kExitJson, jsonErrorMessage(source, error.what()));
    }
}

InputText readFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) throw HostError(kExitInput, "cannot read " + path + ": " + std::strerror(errno));
    struct stat info {};
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
        close(fd);
        throw HostError(kExitInput, "cannot read " + path + ": " + std::strerror(error));
    }
    InputText input;
    // A regular file is mapped: no copy, and the pages are the system's file cache.
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
        void* map = mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            close(fd);
            madvise(map, static_cast<std::size_t>(info.st_size), MADV_SEQUENTIAL);
            input.m_map = map;
            input.m_size = static_cast<std::size_t>(info.st_size);
            return input;
        }
    }
    std::string& text = input.m_owned;
    std::size_t done = 0;
    while (true) {
        if (text.size() - done < 65536) text.resize(text.size() + 262144);
        const ssize_t got = ::read(fd, text.data() + done, text.size() - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            close(fd);
            throw HostError(kExitInput, "cannot read " + path + ": " + std::strerror(error));
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    close(fd);
    text.resize(done);
    return input;
}

InputText::InputText(InputText&& other) noexcept
    : m_map(std::exchange(other.m_map, nullptr)), m_size(other.m_size), m_owned(std::move(other.m_owned)) {}

InputText::~InputText() {
    if (m_map != nullptr) munmap(m_map, m_size);
}

std::string_view InputText::text() const noexcept {
    return m_map != nullptr ? std::string_view(static_cast<const char*>(m_map), m_size) : std::string_view(m_owned);
}

}  // namespace exportgen
