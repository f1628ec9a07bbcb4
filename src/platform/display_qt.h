// Display facts taken from the primary screen.
#pragma once

namespace quillora::display {

// Sets the screen depth (any depth of 24 or more is a true-colour screen) and
// the system icon size from the primary screen. Called once at start.
void init_from_primary_screen();

}  // namespace quillora::display
