#include "settings/frm_config.h"

#include <QIcon>
#include <QLineEdit>
#include <QProxyStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>
#include <initializer_list>

#include "platform/default_button_qt.h"
#include "platform/dialogs_qt.h"
#include "settings/colour_text.h"
#include "settings/settings_store.h"
#include "ui_frm_config.h"

namespace quillora {
namespace {

// Page tabs 24 pixels high.
class PageTabStyle : public QProxyStyle {
  public:
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type == CT_TabBarTab)
            result.setHeight(24);
        return result;
    }
};

QString local_text(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string local_bytes(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

// The layout is drawn for the program's usual font. At a larger one the
// texts of the labels, check boxes and page tabs would be cut at the right:
// the pages, their full-width controls and the dialog grow by what the
// widest text lacks, and the buttons stay centred below.
void widen_for_font(Ui::Tform_config& ui, QDialog& dialog) {
    QTabWidget* pages = ui.paginas;
    int lacking = pages->tabBar()->sizeHint().width() - pages->width();
    for (QWidget* text :
         std::initializer_list<QWidget*>{ui.c_salvar, ui.c_buscar, ui.manter_subpastas,
                                         ui.minimizar, ui.c_cor1, ui.c_cor2, ui.linhash}) {
        lacking = std::max(lacking, text->sizeHint().width() - text->width());
    }
    if (lacking <= 0)
        return;
    for (QWidget* wide : std::initializer_list<QWidget*>{
             ui.c_salvar, ui.dir_salvar, ui.c_buscar, ui.dir_buscar, ui.manter_subpastas,
             ui.minimizar, ui.c_cor1, ui.c_cor2, ui.linhash, pages, &dialog}) {
        wide->resize(wide->width() + lacking, wide->height());
    }
    for (QWidget* button : std::initializer_list<QWidget*>{ui.bt_ok, ui.bt_cancelar})
        button->move(button->x() + lacking / 2, button->y());
}

}  // namespace

Tform_config::Tform_config(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::Tform_config>()) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    widen_for_font(*ui_, *this);
    setFixedSize(size());

    QTabBar* tabs = ui_->paginas->tabBar();
    auto* tab_style = new PageTabStyle;
    tab_style->setParent(tabs);
    tabs->setStyle(tab_style);
    tabs->setAttribute(Qt::WA_Hover);
    tabs->setFocusPolicy(Qt::NoFocus);
    ui_->paginas->setCurrentIndex(0);

    for (QLineEdit* field : {ui_->dir_salvar, ui_->dir_buscar}) {
        QAction* browse = field->addAction(QIcon(":/pasta.svg"), QLineEdit::TrailingPosition);
        browse->setObjectName(field == ui_->dir_salvar ? "procurar_salvar" : "procurar_buscar");
        browse->setToolTip(QString::fromUtf8("Procurar Pasta"));
        connect(browse, &QAction::triggered, this, [this, field] {
            if (auto chosen = dialogs().pick_folder(this, field->text()))
                field->setText(*chosen);
        });
    }
    ui_->cor1->set_colour(settings::kRed);
    ui_->cor2->set_colour(settings::kYellow);

    connect(ui_->bt_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->bt_cancelar, &QPushButton::clicked, this, &QDialog::reject);
    // Enter on a colour button presses OK; Space still opens its palette.
    enter_presses_default(*this);
}

Tform_config::~Tform_config() = default;

void Tform_config::read_settings(const settings::SettingsStore& REG) {
    ui_->dir_buscar->setText(local_text(REG.read_text("DirBuscar")));
    ui_->dir_salvar->setText(local_text(REG.read_text("DirSalvar")));
    ui_->minimizar->setChecked(REG.read_integer("Minimizar", 0) == 1);
    ui_->cor1->set_colour(settings::read_colour(REG, "ListCor1", ui_->cor1->colour()));
    ui_->cor2->set_colour(settings::read_colour(REG, "ListCor2", ui_->cor2->colour()));
    ui_->linhash->setChecked(REG.read_integer("LinhasHorizontais", 0) == 1);
    ui_->manter_subpastas->setChecked(REG.read_integer("ManterSubpastas", 0) == 1);
}

void Tform_config::write_settings(settings::SettingsStore& REG) const {
    REG.write_text("DirBuscar", local_bytes(ui_->dir_buscar->text()));
    REG.write_text("DirSalvar", local_bytes(ui_->dir_salvar->text()));
    REG.write_integer("Minimizar", ui_->minimizar->isChecked() ? 1 : 0);
    REG.write_text("ListCor1", settings::colour_to_text(ui_->cor1->colour()));
    REG.write_text("ListCor2", settings::colour_to_text(ui_->cor2->colour()));
    REG.write_integer("LinhasHorizontais", ui_->linhash->isChecked() ? 1 : 0);
    REG.write_integer("ManterSubpastas", ui_->manter_subpastas->isChecked() ? 1 : 0);
}

bool Tform_config::grid_lines() const {
    return ui_->linhash->isChecked();
}

void Tform_config::set_automatic_colours(const QColor& background, const QColor& text) {
    ui_->cor1->set_automatic_colour(background);
    ui_->cor2->set_automatic_colour(text);
}

}  // namespace quillora
