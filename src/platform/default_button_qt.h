// Enter presses a dialog's default button wherever the keyboard focus is.
#pragma once

class QDialog;

namespace quillora {

// No other push button of `dialog` takes Enter for itself (nor becomes the
// default one when it gets the focus), and a text box that would turn Enter
// into a new line hands it to the default button instead. Call once the
// dialog's controls exist.
void enter_presses_default(QDialog& dialog);

}  // namespace quillora
