#include "settings/settings_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <unordered_map>

#include "platform/error.h"
#include "platform/files.h"

namespace quillora::settings {

namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";

char lower(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_name(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

bool is_blank(char c) noexcept {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) noexcept {
    while (!s.empty() && is_blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back()))
        s.remove_suffix(1);
    return s;
}

int hex_digit(char c) noexcept {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// 1 to max_digits hex digits, the whole text.
std::optional<std::uint64_t> parse_hex(std::string_view s, std::size_t max_digits) noexcept {
    if (s.empty() || s.size() > max_digits)
        return std::nullopt;
    std::uint64_t v = 0;
    for (char c : s) {
        int d = hex_digit(c);
        if (d < 0)
            return std::nullopt;
        v = (v << 4) | static_cast<std::uint64_t>(d);
    }
    return v;
}

// Splits the text into lines at LF, without a CR before the LF.
class Lines {
  public:
    explicit Lines(std::string_view text) : rest_(text) {}
    bool next(std::string_view& line) {
        if (held_) {
            held_ = false;
            line = last_;
            return true;
        }
        if (done_)
            return false;
        auto lf = rest_.find('\n');
        if (lf == std::string_view::npos) {
            line = rest_;
            done_ = true;
        } else {
            line = rest_.substr(0, lf);
            rest_.remove_prefix(lf + 1);
        }
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        last_ = line;
        return true;
    }
    // Hands the line last taken out again at the next call.
    void put_back() noexcept { held_ = true; }

  private:
    std::string_view rest_;
    std::string_view last_;
    bool done_ = false;
    bool held_ = false;
};

// A quoted text at the front of s: its unescaped content, s advanced past
// the closing quote. nullopt when unterminated or badly escaped.
std::optional<std::string> take_quoted(std::string_view& s) {
    if (s.empty() || s.front() != '"')
        return std::nullopt;
    std::string out;
    std::size_t i = 1;
    while (i < s.size()) {
        char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return out;
        }
        if (c == '\\') {
            if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"'))
                return std::nullopt;
            out.push_back(s[i + 1]);
            i += 2;
            continue;
        }
        out.push_back(c);
        ++i;
    }
    return std::nullopt;
}

// Comma-separated bytes, each 1-2 hex digits with blanks around; empty data
// is no bytes.
std::optional<std::vector<std::uint8_t>> parse_bytes(std::string_view s) {
    std::vector<std::uint8_t> out;
    s = trim(s);
    if (s.empty())
        return out;
    while (true) {
        auto comma = s.find(',');
        auto item = trim(s.substr(0, comma));
        auto byte = parse_hex(item, 2);
        if (!byte)
            return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(*byte));
        if (comma == std::string_view::npos)
            return out;
        s.remove_prefix(comma + 1);
    }
}

void put_le32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::string lower_name(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        c = lower(c);
    return out;
}

// The values of a file as they are read: a later line for a name replaces
// the earlier one in its place, "-" removes it. Each name is found through an
// index, so a file of many values reads in linear time.
class ValueSet {
  public:
    void set(Value value) {
        auto [it, fresh] = index_.emplace(lower_name(value.name), slots_.size());
        if (fresh)
            slots_.emplace_back(std::move(value));
        else
            slots_[it->second] = std::move(value);
    }
    void remove(std::string_view name) {
        auto it = index_.find(lower_name(name));
        if (it == index_.end())
            return;
        slots_[it->second].reset();
        index_.erase(it);
    }
    std::vector<Value> take() {
        std::vector<Value> values;
        values.reserve(index_.size());
        for (auto& slot : slots_) {
            if (slot)
                values.push_back(std::move(*slot));
        }
        return values;
    }

  private:
    std::vector<std::optional<Value>> slots_;
    std::unordered_map<std::string, std::size_t> index_;
};

void set_value(std::vector<Value>& values, Value value) {
    for (auto& v : values) {
        if (same_name(v.name, value.name)) {
            v = std::move(value);
            return;
        }
    }
    values.push_back(std::move(value));
}

void put_quoted(std::string& out, std::string_view s) {
    out.push_back('"');
    for (char c : s) {
        if (c == '\\' || c == '"')
            out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

bool fits_quoted(std::string_view s) noexcept {
    for (char c : s) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return false;
    }
    return true;
}

void put_hex_byte(std::string& out, std::uint8_t b) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
}

void put_bytes(std::string& out, const std::vector<std::uint8_t>& data) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i > 0)
            out.push_back(',');
        put_hex_byte(out, data[i]);
    }
}

// A file descriptor closed when it goes.
class Fd {
  public:
    explicit Fd(int fd) noexcept : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const noexcept { return fd_; }

  private:
    int fd_;
};

// The file's bytes, or nullopt when it cannot be read or is too big.
std::optional<std::string> read_bounded(const std::string& path) {
    if (path.empty())
        return std::nullopt;
    // O_NONBLOCK: a FIFO put in the file's place must not hang the program.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0)
        return std::nullopt;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        static_cast<std::uint64_t>(st.st_size) > kMaxSettingsFileSize) {
        return std::nullopt;
    }
    // Read at most one byte past the limit, whatever the size said: the file
    // may grow while it is read.
    std::string data(static_cast<std::size_t>(st.st_size) + 1, '\0');
    std::size_t have = 0;
    while (true) {
        if (have == data.size()) {
            if (data.size() > kMaxSettingsFileSize)
                return std::nullopt;
            data.resize(std::min(data.size() * 2, kMaxSettingsFileSize + 1));
        }
        ssize_t got = ::read(fd.get(), data.data() + have, data.size() - have);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            break;
        have += static_cast<std::size_t>(got);
    }
    if (have > kMaxSettingsFileSize)
        return std::nullopt;
    data.resize(have);
    return data;
}

std::string folder_of(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    return path.substr(0, slash);
}

// Creates the folder and its missing parents (0700, as configuration folders
// are made). Returns 0 or the errno of the failure.
int make_folders(const std::string& folder) {
    if (folder.empty())
        return 0;
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (int err = make_folders(folder_of(folder)); err != 0)
        return err;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

}  // namespace

Value text_value(std::string_view name, std::string_view text) {
    Value v{std::string(name), kRegSz, {text.begin(), text.end()}};
    v.data.push_back(0);
    return v;
}

Value integer_value(std::string_view name, std::int32_t number) {
    Value v{std::string(name), kRegDword, {}};
    put_le32(v.data, static_cast<std::uint32_t>(number));
    return v;
}

namespace {

// A line that starts something of its own: a value, a key or a comment. A
// hex value's continuation never does.
bool starts_an_entry(std::string_view line) noexcept {
    line = trim(line);
    return line.empty() || line.front() == '"' || line.front() == '@' || line.front() == '[' ||
           line.front() == ';';
}

// The data of a value line (what follows "="): its type and stored bytes.
// Continuation lines of hex data are taken from `lines`. nullopt when the
// data cannot be read; a line that turns out to start an entry of its own is
// left in `lines`.
std::optional<Value> parse_value_data(std::string_view s, Lines& lines) {
    Value value;
    if (!s.empty() && s.front() == '"') {
        auto quoted = take_quoted(s);
        if (!quoted || !trim(s).empty())
            return std::nullopt;
        value.type = kRegSz;
        value.data.assign(quoted->begin(), quoted->end());
        value.data.push_back(0);
        return value;
    }
    if (s.substr(0, 6) == "dword:") {
        auto number = parse_hex(s.substr(6), 8);
        if (!number)
            return std::nullopt;
        value.type = kRegDword;
        put_le32(value.data, static_cast<std::uint32_t>(*number));
        return value;
    }
    if (s.substr(0, 3) != "hex")
        return std::nullopt;
    s.remove_prefix(3);
    value.type = kRegBinary;
    if (!s.empty() && s.front() == '(') {
        auto close = s.find(')');
        if (close == std::string_view::npos)
            return std::nullopt;
        auto type = parse_hex(s.substr(1, close - 1), 8);
        if (!type)
            return std::nullopt;
        value.type = static_cast<std::uint32_t>(*type);
        s.remove_prefix(close + 1);
    }
    if (s.empty() || s.front() != ':')
        return std::nullopt;
    s.remove_prefix(1);
    // The bytes, with the lines a trailing "\" continues.
    std::string joined;
    while (!s.empty() && s.back() == '\\') {
        joined.append(s.substr(0, s.size() - 1));
        std::string_view more;
        if (!lines.next(more))
            return std::nullopt;
        if (starts_an_entry(more)) {
            lines.put_back();
            return std::nullopt;
        }
        s = trim(more);
    }
    joined.append(s);
    auto bytes = parse_bytes(joined);
    if (!bytes)
        return std::nullopt;
    value.data = std::move(*bytes);
    return value;
}

}  // namespace

std::optional<ParsedSettings> parse_settings_file(std::string_view text) {
    if (text.size() > kMaxSettingsFileSize)
        return std::nullopt;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    Lines lines(text);
    std::string_view line;
    if (!lines.next(line))
        return std::nullopt;
    line = trim(line);
    if (line != kHeader4 && line != kHeader5)
        return std::nullopt;

    // A line that cannot be read is passed over and counted; every other
    // line keeps its meaning.
    ParsedSettings parsed;
    ValueSet values;
    bool in_section = false;
    while (lines.next(line)) {
        std::string_view s = trim(line);
        if (s.empty() || s.front() == ';')
            continue;
        if (s.front() == '[') {
            // A key whose name cannot be read may be any key: what follows it
            // is not taken for the settings key's.
            in_section = s.back() == ']' && same_name(s.substr(1, s.size() - 2), kSettingsSection);
            if (s.back() != ']')
                ++parsed.passed_over;
            continue;
        }
        std::string name;
        if (s.front() == '@') {
            s.remove_prefix(1);
        } else if (auto quoted = take_quoted(s)) {
            name = std::move(*quoted);
        } else {
            ++parsed.passed_over;
            continue;
        }
        s = trim(s);
        if (s.empty() || s.front() != '=') {
            ++parsed.passed_over;
            continue;
        }
        s = trim(s.substr(1));
        if (s == "-") {
            if (in_section)
                values.remove(name);
            continue;
        }
        auto value = parse_value_data(s, lines);
        if (!value) {
            ++parsed.passed_over;
            continue;
        }
        value->name = std::move(name);
        if (in_section)
            values.set(std::move(*value));
    }
    parsed.values = values.take();
    return parsed;
}

std::string format_settings_file(const std::vector<Value>& values) {
    std::string out;
    out.append(kHeader4).append("\n\n[").append(kSettingsSection).append("]\n");
    for (const auto& v : values) {
        if (v.name.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
            throw std::invalid_argument("value name holds a line break or a zero byte");
        if (v.name.empty())
            out.push_back('@');  // the key's unnamed value
        else
            put_quoted(out, v.name);
        out.push_back('=');
        std::string_view text(reinterpret_cast<const char*>(v.data.data()), v.data.size());
        if (v.type == kRegSz && !text.empty() && text.back() == '\0' &&
            fits_quoted(text.substr(0, text.size() - 1))) {
            put_quoted(out, text.substr(0, text.size() - 1));
        } else if (v.type == kRegDword && v.data.size() == 4) {
            std::uint32_t n = 0;
            for (int i = 3; i >= 0; --i)
                n = (n << 8) | v.data[static_cast<std::size_t>(i)];
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "dword:%08x", n);
            out.append(buffer);
        } else {
            if (v.type == kRegBinary) {
                out.append("hex:");
            } else {
                char buffer[24];
                std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(v.type));
                out.append(buffer);
            }
            put_bytes(out, v.data);
        }
        out.push_back('\n');
    }
    return out;
}

const Value* find_value(const std::vector<Value>& values, std::string_view name) noexcept {
    for (const auto& v : values) {
        if (same_name(v.name, name))
            return &v;
    }
    return nullptr;
}

std::optional<std::int64_t> parse_integer_text(std::string_view text) noexcept {
    if (text.empty())
        return std::nullopt;
    if (text.front() == '$') {
        auto v = parse_hex(text.substr(1), 16);
        if (!v)
            return std::nullopt;
        return static_cast<std::int64_t>(*v);
    }
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    // Accumulate as a negative number: its range holds the most negative value.
    std::int64_t v = 0;
    constexpr std::int64_t kMin = INT64_MIN;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        int d = c - '0';
        if (v < (kMin + d) / 10)
            return std::nullopt;
        v = v * 10 - d;
    }
    if (!negative) {
        if (v == kMin)
            return std::nullopt;
        v = -v;
    }
    return v;
}

std::int32_t integer_of(const Value* value, std::int32_t fallback) noexcept {
    if (value == nullptr)
        return fallback;
    switch (value->type) {
        case kRegDword:
        case kRegQword:
        case kRegBinary: {
            if (value->data.size() > 8)
                return fallback;
            std::uint32_t n = 0;
            for (std::size_t i = 0; i < value->data.size() && i < 4; ++i)
                n |= static_cast<std::uint32_t>(value->data[i]) << (8 * i);
            return static_cast<std::int32_t>(n);
        }
        case kRegSz:
        case kRegExpandSz: {
            std::string_view text(reinterpret_cast<const char*>(value->data.data()),
                                  value->data.size());
            if (!text.empty())
                text.remove_suffix(1);
            auto n = parse_integer_text(text);
            if (!n)
                return fallback;
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(*n));
        }
        default:
            return fallback;
    }
}

std::string text_of(const Value* value, std::string_view fallback) {
    if (value == nullptr ||
        (value->type != kRegSz && value->type != kRegExpandSz && value->type != kRegBinary)) {
        return std::string(fallback);
    }
    if (value->data.empty())
        return {};
    return std::string(value->data.begin(), value->data.end() - 1);
}

std::string settings_file_path() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        std::string home_dir = (home != nullptr && home[0] != '\0') ? home : "";
        if (home_dir.empty()) {
            if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
                home_dir = pw->pw_dir;
        }
        if (home_dir.empty())
            return {};
        base = home_dir + "/.config";
    }
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/Quillora/Config.reg";
}

std::vector<Value> SettingsStore::read_values() const {
    return read_file().values;
}

ParsedSettings SettingsStore::read_file() const {
    auto data = read_bounded(file_);
    if (!data)
        return {};
    auto parsed = parse_settings_file(*data);
    if (!parsed)
        return {};
    if (parsed->passed_over > 0)
        parsed->text = std::move(*data);
    return std::move(*parsed);
}

bool SettingsStore::value_exists(std::string_view name) const {
    return find_value(read_values(), name) != nullptr;
}

std::int32_t SettingsStore::read_integer(std::string_view name, std::int32_t fallback) const {
    return integer_of(find_value(read_values(), name), fallback);
}

std::string SettingsStore::read_text(std::string_view name, std::string_view fallback) const {
    return text_of(find_value(read_values(), name), fallback);
}

void SettingsStore::write_integer(std::string_view name, std::int32_t number) {
    write_value(integer_value(name, number));
}

void SettingsStore::write_text(std::string_view name, std::string_view text) {
    write_value(text_value(name, text));
}

void SettingsStore::write_value(Value value) {
    if (file_.empty())
        throw Error("Failed to create key " + std::string(kSettingsKey));
    if (int err = make_folders(folder_of(file_)); err != 0)
        throw Error("Failed to create key " + std::string(kSettingsKey) + ". " +
                    system_error_text(err));
    const std::string name = value.name;
    try {
        ParsedSettings parsed = read_file();
        // Lines that could not be read are not written again: the file as it
        // was is kept beside the new one, so nothing written by hand is lost.
        if (parsed.passed_over > 0)
            files::write_file(file_ + ".bak", parsed.text.data(), parsed.text.size());
        set_value(parsed.values, std::move(value));
        const std::string text = format_settings_file(parsed.values);
        files::write_file(file_, text.data(), text.size());
    } catch (const std::exception& e) {
        throw Error("Failed to set data for '" + name + "' in " + std::string(kSettingsKey) + ". " +
                    e.what());
    }
}

}  // namespace quillora::settings
