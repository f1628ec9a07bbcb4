// The reading rules of stored values: finding a value by name and reading it
// as an integer or a text, whatever type it was stored with.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/reg_file.h"

namespace quillora::settings {

// The value named `name` (compared without regard to ASCII case), or nullptr.
const Value* find_value(const std::vector<Value>& values, std::string_view name) noexcept;

// Puts the value in place of the one of the same name (compared as above),
// or after the others when there is none.
void set_value(std::vector<Value>& values, Value value);

// The integer a value reads as: nullptr gives `fallback`; a REG_DWORD,
// REG_QWORD or REG_BINARY of at most 8 bytes gives the low 32 bits of its
// little-endian bytes; a REG_SZ or REG_EXPAND_SZ whose text is an integer
// (parse_integer_text) gives its low 32 bits; anything else gives `fallback`.
std::int32_t integer_of(const Value* value, std::int32_t fallback) noexcept;

// The text a value reads as: nullptr gives `fallback`; a REG_SZ,
// REG_EXPAND_SZ (not expanded) or REG_BINARY gives its stored bytes less the
// last one (the terminating zero of a text); anything else gives `fallback`.
std::string text_of(const Value* value, std::string_view fallback);

// An integer text: an optional sign and decimal digits, or "$" and 1 to 16
// hexadecimal digits (either case), nothing else (no blanks). Decimal must
// fit in 64 signed bits; hex gives the 64 bits as written.
std::optional<std::int64_t> parse_integer_text(std::string_view text) noexcept;

}  // namespace quillora::settings
