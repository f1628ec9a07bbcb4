// Local file URIs ("file:///...") as the path bytes they stand for.
#pragma once

#include <QUrl>
#include <string>

namespace quillora {

// The path of a local file URI as bytes: its percent-encoded path decoded
// byte by byte, never through text, so a name that is not valid UTF-8 keeps
// its bytes. Empty for any other URI (another scheme, another host, no path).
std::string local_file_bytes(const QUrl& url);

}  // namespace quillora
