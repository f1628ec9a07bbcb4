#include "app/frm_sobre.h"

#include <QCoreApplication>
#include <QDir>
#include <QIcon>

#include "platform/default_button_qt.h"
#include "platform/maker.h"
#include "ui_frm_sobre.h"

namespace quillora {

Tform_sobre::Tform_sobre(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::Tform_sobre>()) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());
    ui_->image->setPixmap(QIcon(QStringLiteral(":/sobre_logo.svg")).pixmap(32, 32));
    QFont title(QStringLiteral("MS Sans Serif"), 12);
    title.setBold(true);
    ui_->Label1->setFont(title);
    ui_->urlsite->setText(QString::fromUtf8(kMakerPage));
    ui_->btok->setIcon(QIcon(QStringLiteral(":/passo_feito.svg")));
    enter_presses_default(*this);
}

Tform_sobre::~Tform_sobre() = default;

QString help_file_path() {
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QStringLiteral("ajuda_quillora.chm"));
}

}  // namespace quillora
