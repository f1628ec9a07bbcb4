// Qt's own texts (standard dialogs, message-box buttons) in Brazilian
// Portuguese, as the rest of the interface.
#pragma once

#include <QString>

class QTranslator;

namespace quillora {

// Where Qt keeps its translations on this system.
QString qt_translations_folder();

// Loads Qt's "qtbase_pt_BR" translation from `folder`, whatever the user's
// locale, and installs it in the application, which owns it. Returns the
// installed translator (deleting it uninstalls it), or nullptr without a
// word when the file is missing or unreadable: Qt's texts stay English.
QTranslator* load_qt_translation(const QString& folder = qt_translations_folder());

}  // namespace quillora
