#include "app/translations_qt.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace quillora {

QString qt_translations_folder() {
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

QTranslator* load_qt_translation(const QString& folder) {
    auto* application = QCoreApplication::instance();
    if (application == nullptr)
        return nullptr;
    auto translator = std::make_unique<QTranslator>();
    // The name without locale fallbacks: the interface is Portuguese
    // whatever language the session speaks.
    if (!translator->load(QStringLiteral("qtbase_pt_BR"), folder) ||
        !QCoreApplication::installTranslator(translator.get())) {
        return nullptr;
    }
    translator->setParent(application);
    return translator.release();
}

}  // namespace quillora
