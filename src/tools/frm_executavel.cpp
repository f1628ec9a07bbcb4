#include "tools/frm_executavel.h"

#include <QAction>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include "imaging/exe_icons.h"
#include "imaging/icon_writer.h"
#include "platform/action_table_qt.h"
#include "platform/default_button_qt.h"
#include "platform/dialogs_qt.h"
#include "platform/error.h"
#include "platform/maker.h"
#include "ui_frm_executavel.h"

namespace quillora {

QImage icon_to_image(const IconImage& icon) {
    QImage image(icon.width(), icon.height(), QImage::Format_ARGB32);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(icon.width()) * 4);
    for (int y = 0; y < icon.height(); ++y) {
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        const std::uint8_t* colour = icon.colour.row(y);
        row_to_bgrx(icon.colour, y, row.data());
        const std::uint8_t* mask = icon.mask.empty() ? nullptr : icon.mask.row(y);
        for (int x = 0; x < icon.width(); ++x) {
            const std::uint8_t* p = row.data() + x * 4;
            int alpha = 255;
            if (icon.alpha && icon.colour.bpp() == 32) {
                alpha = colour[x * 4 + 3];
            } else if (mask && (mask[x / 8] >> (7 - x % 8) & 1)) {
                // Shows the background where the mask says so (a coloured
                // pixel there would invert the screen; shown as its colour).
                alpha = p[0] == 0 && p[1] == 0 && p[2] == 0 ? 0 : 255;
            }
            out[x] = qRgba(p[2], p[1], p[0], alpha);
        }
    }
    return image;
}

Tform_executavel::Tform_executavel(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::Tform_executavel>()) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());
    ui_->bt_open->setIcon(QIcon(QStringLiteral(":/list_abrir.svg")));
    ui_->bt_salvar->setIcon(QIcon(QStringLiteral(":/list_salvar.svg")));
    // The program's own OK and cancel pictures, as on the about box and the
    // progress window.
    ui_->bt_ok->setIcon(QIcon(QStringLiteral(":/passo_feito.svg")));
    ui_->bt_cancelar->setIcon(QIcon(QStringLiteral(":/cancelar.svg")));
    QPalette blue = ui_->ntotal->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    ui_->ntotal->setPalette(blue);
    ui_->ntotal->hide();

    acao2_ = std::make_unique<ActionTable>(this);
    acao_salvar_ = new QAction(this);
    acao_salvar_->setObjectName(QStringLiteral("acao_salvar"));
    acao2_->add(
        acao_salvar_, [this] { acao_salvarExecute(); },
        [this] { return !ui_->nomearquivo->text().isEmpty(); });
    acao2_->bind(ui_->bt_salvar, acao_salvar_);
    acao2_->update_all();

    connect(ui_->bt_open, &QToolButton::clicked, this, &Tform_executavel::bt_openClick);
    connect(ui_->nicon, &QSpinBox::valueChanged, this, &Tform_executavel::niconChange);
    enter_presses_default(*this);
}

Tform_executavel::~Tform_executavel() = default;

void Tform_executavel::show_icon(int index) {
    icon_ =
        exe_icons::extract_exe_icon(ui_->nomearquivo->text().toLocal8Bit().toStdString(), index);
    if (icon_) {
        ui_->Icone->setPixmap(QPixmap::fromImage(icon_to_image(*icon_)));
    } else {
        ui_->Icone->clear();
    }
}

void Tform_executavel::bt_openClick() {
    const auto chosen = dialogs().open_executable(this, last_open_);
    if (!chosen)
        return;
    last_open_ = *chosen;
    const std::string path = chosen->toLocal8Bit().toStdString();
    const int count = CountIconsInFile(
        path, [](const std::string& file) { return exe_icons::count_exe_icons(file); });
    ui_->ntotal->setText(QString::fromUtf8("%1 Ícone(s) Encontrado(s)").arg(count));
    ui_->nomearquivo->setText(*chosen);
    show_icon(0);
    ui_->ntotal->show();
    ui_->nicon->setEnabled(true);
    {
        // The first icon is already on show: no second extraction for it.
        const QSignalBlocker quiet(ui_->nicon);
        ui_->nicon->setValue(1);
        ui_->nicon->setRange(1, std::max(1, count));
    }
}

void Tform_executavel::niconChange(int number) {
    show_icon(number - 1);
}

void Tform_executavel::acao_salvarExecute() {
    const auto chosen = dialogs().save_icon(this, last_save_);
    if (!chosen)
        return;
    last_save_ = *chosen;
    try {
        SaveIconAsIcoFile(icon(), chosen->toLocal8Bit().toStdString());
    } catch (const Error& failure) {
        // Nothing is written; the dialog and the program go on.
        dialogs().warn(this, QString::fromUtf8(kProgramTitle),
                       QString::fromLocal8Bit(failure.what()));
    }
}

}  // namespace quillora
