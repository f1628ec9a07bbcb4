// The program's own facts: its title and the maker's web addresses.
#pragma once

namespace quillora {

inline constexpr const char* kProgramTitle = "Quillora 1.0";
// The maker's web page (about box) and support page (error window).
inline constexpr const char* kMakerPage = "https://quillora.app";
inline constexpr const char* kSupportPage = "https://quillora.app/suporte";

}  // namespace quillora
