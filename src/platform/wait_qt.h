// Waiting while the windows stay alive.
#pragma once

#include <chrono>

namespace quillora {

// Processes window events until more than `duration` has passed since the
// call, sleeping between events instead of spinning the processor.
void responsive_wait(std::chrono::milliseconds duration);

// The length of the program's paced one-second steps. The program never
// changes it; tests shorten it.
std::chrono::milliseconds pacing_second() noexcept;
void set_pacing_second(std::chrono::milliseconds length) noexcept;

}  // namespace quillora
