// Reading the settings file: arbitrary bytes parsed as the file, every value
// read as an integer, a text and a colour, and what parses written back and
// parsed again unchanged. The store reads the same bytes from a file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "platform/error.h"
#include "settings/colour_text.h"
#include "settings/settings_store.h"

using namespace quillora::settings;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/dev/shm/quillora-fuzz-" + std::to_string(::getpid()) + ".reg";
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto parsed = parse_settings_file(text);
    if (!parsed)
        return 0;
    const auto* values = &parsed->values;
    for (const auto& v : *values) {
        if (find_value(*values, v.name) == nullptr)
            __builtin_trap();
        (void)integer_of(&v, 0);
        const std::string t = text_of(&v, "");
        if (t.size() > size)
            __builtin_trap();
        try {
            (void)text_to_colour(t);
        } catch (const quillora::Error&) {
        }
    }
    try {
        const std::string again = format_settings_file(*values);
        auto back = parse_settings_file(again);
        if (!back || back->values != *values || back->passed_over != 0)
            __builtin_trap();  // what was read must survive a write
    } catch (const std::invalid_argument&) {
        // a name holding a line break cannot be written
    }

    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    const SettingsStore store(path);
    for (const char* name :
         {"DirSalvar", "DirBuscar", "Minimizar", "ListCor1", "ListCor2", "LinhasHorizontais"}) {
        if (store.read_integer(name) != integer_of(find_value(*values, name), 0))
            __builtin_trap();
        if (store.read_text(name) != text_of(find_value(*values, name), ""))
            __builtin_trap();
    }
    return 0;
}
