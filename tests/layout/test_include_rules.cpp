// The layers of src/, checked on the #include lines of every file:
//  - platform < imaging < core (engine, filelist, settings, tools) < forms
//    (app); cli sits beside the forms on top of the core;
//  - a core file (one in those folders, or in cli/, whose name is neither
//    frm_* nor *_qt.*) includes no Qt header and no Qt-side header;
//  - platform/ includes nothing from the folders above it, imaging/ nothing
//    from engine/, filelist/, settings/, tools/, app/ or cli/, and no folder
//    but app/ includes app/ (nor cli/ but cli/).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The rank of each folder of src/; a file may include only folders of its
// own rank or below (app and cli are apart: neither includes the other).
int rank_of(const std::string& folder) {
    if (folder == "platform")
        return 0;
    if (folder == "imaging")
        return 1;
    if (folder == "engine" || folder == "filelist" || folder == "settings" || folder == "tools")
        return 2;
    if (folder == "app" || folder == "cli")
        return 3;
    return -1;
}

bool qt_side(const std::string& name) {
    return name.rfind("frm_", 0) == 0 || name.find("_qt.") != std::string::npos ||
           name.rfind("ui_", 0) == 0;
}

// What is wrong with `file` (folder/name, as under src/) including `header`
// (as written between the quotes or brackets); empty when nothing is.
std::string violation(const std::string& file, const std::string& header, bool angled) {
    const std::string folder = file.substr(0, file.find('/'));
    const std::string name = file.substr(file.find('/') + 1);
    const bool core = folder != "app" && !qt_side(name);
    if (angled) {
        const bool qt = header.rfind("Q", 0) == 0 || header.rfind("qt", 0) == 0;
        return core && qt ? "a core file includes Qt" : "";
    }
    const auto slash = header.find('/');
    if (slash == std::string::npos)
        return core && qt_side(header) ? "a core file includes a Qt-side header" : "";
    const std::string target = header.substr(0, slash);
    const std::string target_name = header.substr(header.rfind('/') + 1);
    if (rank_of(target) < 0)
        return "";
    if (core && qt_side(target_name))
        return "a core file includes a Qt-side header";
    if (rank_of(target) > rank_of(folder))
        return "includes a layer above its own";
    if (rank_of(target) == 3 && target != folder)
        return "includes another top-level program";
    return "";
}

struct Include {
    std::string file, header;
    bool angled;
};

std::vector<Include> includes_under(const fs::path& src) {
    static const std::regex line(R"(^\s*#\s*include\s*([<"])([^">]+)[">])");
    std::vector<Include> found;
    for (const auto& entry : fs::recursive_directory_iterator(src)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h"))
            continue;
        const std::string file = fs::relative(entry.path(), src).generic_string();
        std::ifstream in(entry.path());
        std::string text;
        std::smatch m;
        while (std::getline(in, text)) {
            if (std::regex_search(text, m, line))
                found.push_back({file, m[2].str(), m[1].str() == "<"});
        }
    }
    return found;
}

TEST(IncludeRules, TheRulesRefuseWhatTheyShould) {
    struct Case {
        const char* file;
        const char* header;
        bool angled;
        bool allowed;
    } cases[] = {
        {"imaging/bmp.cpp", "platform/bytes.h", false, true},
        {"imaging/bmp.cpp", "QImage", true, false},
        {"imaging/bmp.cpp", "engine/modes.h", false, false},
        {"imaging/bmp.cpp", "settings/settings_store.h", false, false},
        {"platform/files.cpp", "imaging/bitmap.h", false, false},
        {"platform/dialogs_qt.cpp", "QMessageBox", true, true},
        {"platform/dialogs_qt.cpp", "app/frm_principal.h", false, false},
        {"tools/frm_screen.cpp", "app/maker.h", false, false},
        {"tools/frm_screen.cpp", "QWidget", true, true},
        {"engine/converters.cpp", "engine/frm_progresso.h", false, false},
        {"engine/converters.cpp", "platform/display_qt.h", false, false},
        {"engine/batch_run.cpp", "filelist/list_file.h", false, true},
        {"cli/convert_cli.cpp", "QString", true, false},
        {"cli/convert_cli.cpp", "app/frm_principal.h", false, false},
        {"app/frm_principal.cpp", "tools/frm_screen.h", false, true},
        {"app/main.cpp", "QApplication", true, true},
        {"settings/colour_text.cpp", "ui_frm_config.h", false, false},
        {"filelist/list_file.cpp", "vector", true, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(violation(c.file, c.header, c.angled).empty(), c.allowed)
            << c.file << " including " << c.header;
}

TEST(IncludeRules, EveryFileOfTheSourceTreeKeepsThem) {
    const std::vector<Include> includes = includes_under(QUILLORA_SOURCE_DIR "/src");
    std::set<std::string> folders;
    for (const Include& i : includes)
        folders.insert(i.file.substr(0, i.file.find('/')));
    // Guards against reading the wrong folder and passing on nothing.
    for (const char* folder :
         {"platform", "imaging", "engine", "filelist", "settings", "tools", "app", "cli"})
        EXPECT_TRUE(folders.count(folder)) << "no file read in src/" << folder;
    for (const Include& i : includes) {
        const std::string wrong = violation(i.file, i.header, i.angled);
        EXPECT_TRUE(wrong.empty()) << i.file << " includes " << i.header << ": " << wrong;
    }
}

}  // namespace
