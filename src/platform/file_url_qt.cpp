#include "platform/file_url_qt.h"

#include <QByteArray>

namespace quillora {

std::string local_file_bytes(const QUrl& url) {
    if (!url.isValid() || !url.isLocalFile())
        return {};
    if (!url.host().isEmpty() && url.host() != QLatin1String("localhost"))
        return {};
    // The fully encoded path is ASCII: every byte outside it is a %XX.
    const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
    return QByteArray::fromPercentEncoding(encoded).toStdString();
}

}  // namespace quillora
