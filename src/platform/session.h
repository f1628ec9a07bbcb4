// Facts of the user and the process the program runs for: the home folder
// and whether messages go to a terminal.
#pragma once

#include <string>

namespace quillora::session {

// The user's home folder: $HOME when it is set and not empty, else the home
// the user database gives the process's real user; empty when neither has one.
std::string home_folder();

// True when the process's standard error is a terminal.
bool standard_error_is_terminal() noexcept;

}  // namespace quillora::session
