// The message of the quillora::Error a call raises.
#pragma once

#include <string>
#include <utility>

#include "platform/error.h"

namespace quillora::testing {

// The failure's message, or "(no failure)" when `f` returns normally.
template <typename F>
std::string failure_of(F&& f) {
    try {
        std::forward<F>(f)();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no failure)";
}

}  // namespace quillora::testing
