#include "settings/reg_file.h"

#include <cstdio>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "platform/text.h"

namespace quillora::settings {

namespace {

using text::parse_hex;
using text::same_name;
using text::trim;

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";

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

// The values of a file as they are read: a later line for a name replaces
// the earlier one in its place, "-" removes it. Each name is found through an
// index, so a file of many values reads in linear time.
class ValueSet {
  public:
    void set(Value value) {
        auto [it, fresh] = index_.emplace(text::ascii_lowered(value.name), slots_.size());
        if (fresh)
            slots_.emplace_back(std::move(value));
        else
            slots_[it->second] = std::move(value);
    }
    void remove(std::string_view name) {
        auto it = index_.find(text::ascii_lowered(name));
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

// A line that starts something of its own: a value, a key or a comment. A
// hex value's continuation never does.
bool starts_an_entry(std::string_view line) noexcept {
    line = trim(line);
    return line.empty() || line.front() == '"' || line.front() == '@' || line.front() == '[' ||
           line.front() == ';';
}

// Quoted data: a REG_SZ.
std::optional<Value> parse_text_data(std::string_view s) {
    auto quoted = take_quoted(s);
    if (!quoted || !trim(s).empty())
        return std::nullopt;
    Value value;
    value.type = kRegSz;
    value.data.assign(quoted->begin(), quoted->end());
    value.data.push_back(0);
    return value;
}

// The hex digits after "dword:".
std::optional<Value> parse_dword_data(std::string_view digits) {
    auto number = parse_hex(digits, 8);
    if (!number)
        return std::nullopt;
    Value value;
    value.type = kRegDword;
    put_le32(value.data, static_cast<std::uint32_t>(*number));
    return value;
}

// The bytes of hex data with the lines a trailing "\" continues, taken from
// `lines`. nullopt when the text ends first or the next line starts an entry
// of its own (that line is left in `lines`).
std::optional<std::string> join_continued(std::string_view s, Lines& lines) {
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
    return joined;
}

// What follows "hex": an optional "(type)", ":" and the bytes.
std::optional<Value> parse_hex_data(std::string_view s, Lines& lines) {
    Value value;
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
    auto joined = join_continued(s.substr(1), lines);
    if (!joined)
        return std::nullopt;
    auto bytes = parse_bytes(*joined);
    if (!bytes)
        return std::nullopt;
    value.data = std::move(*bytes);
    return value;
}

// The data of a value line (what follows "="): its type and stored bytes,
// or nullopt when the data cannot be read.
std::optional<Value> parse_value_data(std::string_view s, Lines& lines) {
    if (!s.empty() && s.front() == '"')
        return parse_text_data(s);
    if (s.substr(0, 6) == "dword:")
        return parse_dword_data(s.substr(6));
    if (s.substr(0, 3) == "hex")
        return parse_hex_data(s.substr(3), lines);
    return std::nullopt;
}

// Reads the lines after the header. A line that cannot be read is passed
// over and counted; every other line keeps its meaning.
class Parser {
  public:
    explicit Parser(Lines& lines) : lines_(lines) {}

    ParsedSettings run() {
        std::string_view line;
        while (lines_.next(line)) {
            std::string_view s = trim(line);
            if (s.empty() || s.front() == ';')
                continue;
            if (s.front() == '[')
                key_line(s);
            else if (!value_line(s))
                ++parsed_.passed_over;
        }
        parsed_.values = values_.take();
        return std::move(parsed_);
    }

  private:
    void key_line(std::string_view s) {
        // A key whose name cannot be read may be any key: what follows it is
        // not taken for the settings key's.
        const bool closed = s.back() == ']';
        in_section_ = closed && same_name(s.substr(1, s.size() - 2), kSettingsSection);
        if (!closed)
            ++parsed_.passed_over;
    }

    // False when the line cannot be read.
    bool value_line(std::string_view s) {
        std::string name;
        if (s.front() == '@') {
            s.remove_prefix(1);
        } else if (auto quoted = take_quoted(s)) {
            name = std::move(*quoted);
        } else {
            return false;
        }
        s = trim(s);
        if (s.empty() || s.front() != '=')
            return false;
        s = trim(s.substr(1));
        if (s == "-") {
            if (in_section_)
                values_.remove(name);
            return true;
        }
        auto value = parse_value_data(s, lines_);
        if (!value)
            return false;
        value->name = std::move(name);
        if (in_section_)
            values_.set(std::move(*value));
        return true;
    }

    Lines& lines_;
    ParsedSettings parsed_;
    ValueSet values_;
    bool in_section_ = false;
};

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

void put_name(std::string& out, const std::string& name) {
    if (name.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        throw std::invalid_argument("value name holds a line break or a zero byte");
    if (name.empty())
        out.push_back('@');  // the key's unnamed value
    else
        put_quoted(out, name);
}

// A value's data as a quoted text, a dword, or hex bytes with its type.
void put_data(std::string& out, const Value& v) {
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
    return Parser(lines).run();
}

std::string format_settings_file(const std::vector<Value>& values) {
    std::string out;
    out.append(kHeader4).append("\n\n[").append(kSettingsSection).append("]\n");
    for (const auto& v : values) {
        put_name(out, v.name);
        out.push_back('=');
        put_data(out, v);
        out.push_back('\n');
    }
    return out;
}

}  // namespace quillora::settings
