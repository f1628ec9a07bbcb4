// The full-size preview: a modal window showing a picture at its own size.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

namespace quillora {

// Builds the preview window for the picture at `path` (loaded by its
// extension; fails as the loader does), sized to the picture, centred on the
// screen and captioned with the file name. The caller shows it modally.
std::unique_ptr<QDialog> make_preview(const std::string& path);

}  // namespace quillora
