#include "app/frm_principal.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QResizeEvent>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabBar>
#include <QToolButton>
#include <QUrl>

#include "app/frm_erro.h"
#include "app/frm_sobre.h"
#include "app/progress_bar_qt.h"
#include "engine/batch_run_qt.h"
#include "engine/frm_carregar.h"
#include "engine/frm_progresso.h"
#include "engine/paths.h"
#include "engine/run_report.h"
#include "engine/step_list_qt.h"
#include "filelist/directory_search.h"
#include "filelist/frm_buscar.h"
#include "filelist/frm_definir.h"
#include "filelist/info_panel_qt.h"
#include "filelist/list_delegate_qt.h"
#include "filelist/list_drop_qt.h"
#include "filelist/list_file.h"
#include "filelist/picture_image_qt.h"
#include "filelist/preview_qt.h"
#include "platform/action_table_qt.h"
#include "platform/centre_qt.h"
#include "platform/dialogs_qt.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/maker.h"
#include "platform/wait_qt.h"
#include "settings/colour_qt.h"
#include "settings/colour_text.h"
#include "settings/frm_config.h"
#include "tools/desktop_capture_qt.h"
#include "tools/frm_executavel.h"
#include "tools/frm_screen.h"
#include "ui_frm_principal.h"

namespace quillora {
namespace {

// The most paths a directory search hands to the list at once.
constexpr std::size_t kSearchBatch = 512;

// Tabs with narrow side margins, so the four modes fit the strip's width
// with the style's own look.
class TabStyle : public QProxyStyle {
  public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_TabBarTabHSpace)
            return 10;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
    // The tab under the pointer is lit: a tint of the highlight colour with
    // a line of it along the tab's top edge.
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        QProxyStyle::drawControl(element, option, painter, widget);
        if (element != CE_TabBarTabShape || !option->state.testFlag(State_MouseOver) ||
            !option->state.testFlag(State_Enabled))
            return;
        const QRect tab = option->rect.adjusted(1, 2, -1, 0);
        QColor tint = option->palette.color(QPalette::Highlight);
        painter->save();
        painter->fillRect(tab.adjusted(0, 2, 0, 0),
                          QColor(tint.red(), tint.green(), tint.blue(), 40));
        painter->fillRect(QRect(tab.left(), tab.top(), tab.width(), 2), tint);
        painter->restore();
    }
};

// Disables every visible, enabled window but one; returns those it disabled.
std::vector<QPointer<QWidget>> disable_other_windows(const QWidget* except) {
    std::vector<QPointer<QWidget>> disabled;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != except && window->isVisible() && window->isEnabled()) {
            window->setEnabled(false);
            disabled.emplace_back(window);
        }
    }
    return disabled;
}

// Enables again the windows that still exist.
void enable_again(const std::vector<QPointer<QWidget>>& windows) {
    for (const QPointer<QWidget>& window : windows) {
        if (window)
            window->setEnabled(true);
    }
}

}  // namespace

Tform_principal::Tform_principal(QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::Tform_principal>()) {
    ui_->setupUi(this);
    set_failure_main_window(this);
    // A frame with a system menu and a minimise button, no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(":/quillora.svg"));
    ui_->imlogo->setPixmap(QIcon(":/banner.svg").pixmap(590, 80));
    build_status_bar();
    build_buttons();

    for (const ModeInfo& mode : mode_table()) {
        ui_->Tab->addTab(
            QString::fromUtf8(mode.tab_caption.data(), static_cast<int>(mode.tab_caption.size())));
    }
    const char* tab_pictures[] = {":/tab0_bmp_jpg.svg", ":/tab1_jpg_bmp.svg", ":/tab2_ico_bmp.svg",
                                  ":/tab3_ico_jpg.svg"};
    auto* tab_style = new TabStyle;
    tab_style->setParent(ui_->Tab);
    ui_->Tab->setStyle(tab_style);
    ui_->Tab->setIconSize(QSize(35, 16));
    for (int i = 0; i < kModeCount; ++i)
        ui_->Tab->setTabIcon(i, QIcon(tab_pictures[i]));
    ui_->Tab->setFocusPolicy(Qt::NoFocus);
    ui_->Tab->setAttribute(Qt::WA_Hover);
    ui_->Tab->setExpanding(false);
    ui_->Tab->setDrawBase(false);
    connect(ui_->Tab, &QTabBar::currentChanged, this, [this](int index) {
        TabChanging(shown_tab_);
        shown_tab_ = index;
        TabChange();
    });

    delegate_ = new ListDelegate(ui_->lista_arquivos);  // installs itself on the list
    ui_->lista_arquivos->setFocusPolicy(Qt::ClickFocus);
    ui_->lista_arquivos->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(ui_->lista_arquivos, &QListWidget::currentRowChanged, this, [this](int) {
        if (!selecting_by_program_)
            lista_arquivosClick();
    });
    accept_file_drops(ui_->lista_arquivos, [this](const std::vector<DroppedItem>& dropped) {
        lista_arquivosDragDrop(dropped);
    });

    info_ = std::make_unique<InfoPanel>(ui_->n_arquivo, ui_->n_tamanho, ui_->n_criado,
                                        ui_->n_resolucao, ui_->ver);
    ui_->bt_aumentar->setIcon(QIcon(":/bt_aumentar.svg"));

    for (QLineEdit* field : {ui_->diretorio_salvar, ui_->diretorio_buscar}) {
        QAction* browse = field->addAction(QIcon(":/pasta.svg"), QLineEdit::TrailingPosition);
        browse->setObjectName(field == ui_->diretorio_salvar ? "procurar_salvar"
                                                             : "procurar_buscar");
        browse->setToolTip(QString::fromUtf8("Procurar Pasta"));
        connect(browse, &QAction::triggered, this, [this, field] { browse_folder(field); });
    }

    actions_ = std::make_unique<ActionTable>(this);
    build_actions();
    FormCreate();
}

Tform_principal::~Tform_principal() {
    set_failure_main_window(nullptr);
}

void Tform_principal::FormCreate() {
    place_window();
    for (auto& list : stored_)
        list.clear();
    shown_tab_ = ui_->Tab->currentIndex();
    TabChange(/*at_creation=*/true);
    REG_.open_settings_key();
    apply_settings();
    actions_->update_all();
}

void Tform_principal::apply_settings() {
    delegate_->set_grid_lines(REG_.read_integer("LinhasHorizontais", 0) == 1);
    apply_folders();
    apply_selection_colours();
}

void Tform_principal::apply_folders() {
    ui_->diretorio_salvar->setText(QString::fromLocal8Bit(REG_.read_text("DirSalvar").c_str()));
    ui_->diretorio_buscar->setText(QString::fromLocal8Bit(REG_.read_text("DirBuscar").c_str()));
}

void Tform_principal::apply_selection_colours() {
    // A colour text that is not a colour fails here, as at every reading;
    // an empty one keeps the colour the list has.
    const auto background = settings::read_colour(
        REG_, "ListCor1", settings::from_qcolor(delegate_->selection_background()));
    const auto text =
        settings::read_colour(REG_, "ListCor2", settings::from_qcolor(delegate_->selection_text()));
    // "Automatic" is the system's own selection colours.
    delegate_->set_selection_colours(
        settings::to_qcolor(background, palette().color(QPalette::Highlight), palette()),
        settings::to_qcolor(text, palette().color(QPalette::HighlightedText), palette()));
}

void Tform_principal::b05Click() {
    REG_.open_settings_key();
    // A fresh dialog for every opening, freed when it closes.
    Tform_config dialog(this);
    dialog.set_automatic_colours(palette().color(QPalette::Highlight),
                                 palette().color(QPalette::HighlightedText));
    dialog.move(frameGeometry().center() - dialog.rect().center());
    dialog.read_settings(REG_);
    if (dialog.exec() != QDialog::Accepted)
        return;
    try {
        dialog.write_settings(REG_);
    } catch (const Error& failure) {
        // The values written before the failing one stay stored; the main
        // window keeps what it shows, and the program (with the user's
        // lists) goes on.
        dialogs().warn(this, QString::fromUtf8(kProgramTitle),
                       QString::fromUtf8("As opções não puderam ser gravadas.\n") +
                           QString::fromLocal8Bit(failure.what()));
        return;
    }
    delegate_->set_grid_lines(dialog.grid_lines());
    apply_selection_colours();
    apply_folders();
    actions_->update_all();
}

void Tform_principal::create_windows() {
    // All hidden, in this order.
    definir_ = new Tform_definir(this);
    definir_->hide();
    // The search and progress windows are not children of the main window:
    // they stay enabled while it is disabled.
    buscar_ = std::make_unique<Tform_buscar>();
    buscar_->hide();
    carregar_ = new Tform_carregar(this);
    carregar_->hide();
    progresso_ = std::make_unique<Tform_progresso>();
    progresso_->hide();
    connect(progresso_.get(), &Tform_progresso::cancel_clicked, this, [this] { cancel_ = true; });
    connect(progresso_.get(), &Tform_progresso::shown, this, [this] { cancel_ = false; });
    connect(progresso_.get(), &Tform_progresso::closed, this, [this] { cancel_ = false; });
    screen_ = new Tform_screen(this);
    screen_->hide();
    sobre_ = new Tform_sobre(this);
    sobre_->hide();
    // Never shown itself unless memory runs out: see the failure handler.
    erro_ = new TFormErro(this);
    erro_->hide();
    set_standby_error_window(erro_);
}

void Tform_principal::place_window() {
    // Centred on the primary screen by the outer size once, at creation (and
    // again when the window manager has added the frame); never placed again.
    centre_on_screen(*this);
}

void Tform_principal::build_status_bar() {
    QStatusBar* bar = ui_->barra_estado;
    bar->setFixedHeight(21);
    auto* panel = new QWidget(bar);
    panel->setFixedSize(210, 19);
    progress_ = new ProgressoBar(panel);
    progress_->setObjectName("progressobar");
    progress_->setGeometry(1, 1, 208, 17);
    bar->addWidget(panel);
    auto* title = new QLabel(QString::fromUtf8(kProgramTitle), bar);
    title->setObjectName("barra_estado_titulo");
    title->setFrameShape(QFrame::StyledPanel);
    title->setFrameShadow(QFrame::Sunken);
    bar->addWidget(title, 1);
}

void Tform_principal::build_buttons() {
    const std::pair<QToolButton*, const char*> pictures[] = {
        {ui_->b01, ":/b01_nova.svg"},        {ui_->b02, ":/b02_iniciar.svg"},
        {ui_->b03, ":/b03_extrair.svg"},     {ui_->b04, ":/b04_capturar.svg"},
        {ui_->b05, ":/b05_opcoes.svg"},      {ui_->b06, ":/b06_ajuda.svg"},
        {ui_->d_02, ":/list_excluir.svg"},   {ui_->d_01, ":/list_limpar.svg"},
        {ui_->d_03, ":/list_abrir.svg"},     {ui_->d_04, ":/list_salvar.svg"},
        {ui_->bt_buscar, ":/bt_buscar.svg"},
    };
    for (auto [button, picture] : pictures)
        button->setIcon(QIcon(picture));

    pop_ = new QMenu(this);
    pop_->setObjectName("pop");
    pop_->addAction(ui_->Ajuda1);
    pop_->addAction(ui_->Sobre1);
    pop_->addAction(ui_->Sair1);
    ui_->b06->setMenu(pop_);
    ui_->b06->setPopupMode(QToolButton::InstantPopup);
}

void Tform_principal::build_actions() {
    ActionTable& table = *actions_;
    auto* list = ui_->lista_arquivos;
    table.add(ui_->acao_infoshow, [this] { info_->show(); });
    table.add(ui_->acao_infohide, [this] { info_->hide(); });
    table.add(
        ui_->acao_list_delete, [this] { acao_list_deleteExecute(); },
        [list] { return list->currentRow() != -1; });
    table.add(
        ui_->acao_list_limpa, [this] { acao_list_limpaExecute(); },
        [list] { return list->count() > 0; });
    table.add(ui_->acao_novaconversao, [this] { acao_novaconversaoExecute(); });
    table.bind(ui_->d_02, ui_->acao_list_delete);
    table.bind(ui_->d_01, ui_->acao_list_limpa);
    table.bind(ui_->b01, ui_->acao_novaconversao);
    connect(ui_->Sair1, &QAction::triggered, this, &Tform_principal::Sair1Click);

    table.add(
        ui_->acao_converter, [this] { acao_converterExecute(); },
        [this, list] { return list->count() > 0 && !ui_->diretorio_salvar->text().isEmpty(); });
    table.bind(ui_->b02, ui_->acao_converter);

    table.add(
        ui_->acao_definir, [this] { acao_definirExecute(); },
        [this] { return !ui_->diretorio_buscar->text().isEmpty(); });
    table.bind(ui_->bt_buscar, ui_->acao_definir);
    // The preview needs a shown panel and a selected item to show.
    table.add(
        ui_->acao_visualizar, [this] { acao_visualizarExecute(); },
        [this, list] { return info_->visible() && list->currentRow() != -1; });
    table.bind(ui_->bt_aumentar, ui_->acao_visualizar);

    table.add(ui_->acao_list_open, [this] { acao_list_openExecute(); });
    table.bind(ui_->d_03, ui_->acao_list_open);
    table.add(
        ui_->acao_list_save, [this] { acao_list_saveExecute(); },
        [list] { return list->count() > 0; });
    table.bind(ui_->d_04, ui_->acao_list_save);

    table.add(ui_->acao_screencapture, [this] { acao_screencaptureExecute(); });
    table.bind(ui_->b04, ui_->acao_screencapture);
    connect(ui_->b03, &QToolButton::clicked, this, &Tform_principal::b03Click);
    connect(ui_->b05, &QToolButton::clicked, this, &Tform_principal::b05Click);
    connect(ui_->Ajuda1, &QAction::triggered, this, &Tform_principal::Ajuda1Click);
    connect(ui_->Sobre1, &QAction::triggered, this, &Tform_principal::Sobre1Click);
}

Mode Tform_principal::current_mode() const {
    return mode_from_index(ui_->Tab->currentIndex()).value_or(Mode::BmpToJpeg);
}

const std::vector<std::string>& Tform_principal::stored_list(Mode mode) const {
    return stored_[static_cast<std::size_t>(mode)];
}

ProgressoBar* Tform_principal::progress_bar() const {
    return progress_;
}

std::vector<std::string> Tform_principal::shown_list() const {
    return list_paths(ui_->lista_arquivos);
}

void Tform_principal::append(const std::vector<std::string>& paths) {
    append_paths(ui_->lista_arquivos, paths);
}

void Tform_principal::select_by_program(int row) {
    selecting_by_program_ = true;
    ui_->lista_arquivos->setCurrentRow(row);
    selecting_by_program_ = false;
}

void Tform_principal::select_first_and_show() {
    select_by_program(0);
    lista_arquivosClick();
}

void Tform_principal::refresh_count() {
    ui_->total_arquivos->setText(
        QString::fromUtf8("%1 Arquivo(s) Adicionado(s)").arg(ui_->lista_arquivos->count()));
}

void Tform_principal::lista_arquivosClick() {
    const int row = ui_->lista_arquivos->currentRow();
    if (row < 0)
        return;
    try {
        info_->fill(path_at(ui_->lista_arquivos, row));
    } catch (const Error& failure) {
        // A listed file that cannot be read as a picture is the file's fault,
        // not the program's: say so and keep the lists the user built.
        dialogs().warn(this, QString::fromUtf8(kProgramTitle),
                       QString::fromLocal8Bit(failure.what()));
    }
}

void Tform_principal::TabChanging(int leaving) {
    if (leaving < 0 || leaving >= kModeCount)
        return;
    stored_[static_cast<std::size_t>(leaving)] = shown_list();
    refresh_count();
}

void Tform_principal::TabChange(bool at_creation) {
    const Mode mode = current_mode();
    descriptor_ = std::string(mode_info(mode).descriptor);
    ui_->lista_arquivos->clear();
    const auto& stored = stored_[static_cast<std::size_t>(mode)];
    if (!stored.empty()) {
        if (carregar_) {
            carregar_->begin();
            carregar_->copy(stored, [this](std::span<const std::string> paths) {
                append(std::vector<std::string>(paths.begin(), paths.end()));
            });
            carregar_->end();
        } else {
            append(stored);
        }
    }
    if (!at_creation)
        refresh_count();
    if (ui_->lista_arquivos->count() == 0) {
        actions_->execute(ui_->acao_infohide);
    } else if (files::exists(path_at(ui_->lista_arquivos, 0))) {
        actions_->execute(ui_->acao_infoshow);
        select_first_and_show();
    }
}

void Tform_principal::acao_converterExecute() {
    QListWidget* list = ui_->lista_arquivos;
    const int n = list->count();
    running_ = true;
    auto stop_asked = [this] { return cancel_.load() || close_asked_.load(); };

    // Nothing but the progress window responds while the run lasts.
    const auto disabled = disable_other_windows(progresso_.get());
    StepList* steps = progresso_->steps();
    steps->set_line(2,
                    QString::fromStdString(descriptor_field(kFieldModeCaption, "=", descriptor_)));
    progresso_->show();
    progresso_->set_run_lasting(true);
    progresso_->repaint();

    for (int line = 0; line < 4; ++line) {
        responsive_wait(pacing_second());
        steps->tick(line);
    }

    // The files convert on worker threads; this thread shows how far the list
    // has got (counted over files finished in list order), answers Cancel and
    // repaints meanwhile. Whether the folders are kept is read at each run.
    const BatchPlan plan = plan_batch(
        current_mode(), list_paths(list), ui_->diretorio_salvar->text().toLocal8Bit().toStdString(),
        REG_.read_integer("ManterSubpastas", 0) == 1 ? Subfolders::Kept : Subfolders::Flat);
    BatchOptions options = batch_options_;
    options.stop_when_output_folder_fails = true;
    RunReport report(plan);
    auto finished = [&](const FileResult& result) {
        report.add(result);
        const int next = static_cast<int>(result.index) + 1;
        if (next < n) {
            progress_->setValue(next * 100 / n);
            progress_->set_caption(QString::fromLocal8Bit(
                std::string(paths::file_name(plan.entries[result.index].source)).c_str()));
        }
    };
    bool stopped = stop_asked();
    bool failed = false;
    if (!stopped) {
        progress_->setValue(0);
        progress_->set_caption(QString());
        const BatchSummary summary =
            run_batch_processing_events(plan, options, finished, stop_asked);
        report.close(summary);
        stopped = summary.cancelled || summary.output_folder_failed;
        failed = summary.failed > 0;
    }

    if (!stopped) {
        responsive_wait(pacing_second());
        steps->tick(4);
        responsive_wait(pacing_second());
        // Success only when every file converted or was skipped.
        if (!failed)
            steps->tick(5);
        responsive_wait(pacing_second());
    }
    steps->open_all();
    cancel_ = false;
    enable_again(disabled);
    progresso_->set_run_lasting(false);
    progresso_->close();
    progress_->set_caption(QString());
    progress_->setValue(0);
    show_report(report);
    running_ = false;
    if (close_asked_.exchange(false))
        close();
}

void Tform_principal::show_report(const RunReport& report) {
    if (report.kind() == RunReport::Kind::Nothing)
        return;
    QStringList lines;
    for (const std::string& line : report.lines())
        lines << QString::fromLocal8Bit(line.data(), static_cast<qsizetype>(line.size()));
    const std::string text = report.text();
    dialogs().list_box(
        this,
        report.kind() == RunReport::Kind::Warning ? ListBoxKind::Warning : ListBoxKind::Information,
        QString::fromUtf8(kProgramTitle),
        QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())), lines);
}

void Tform_principal::closeEvent(QCloseEvent* event) {
    if (running_) {
        close_asked_ = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void Tform_principal::acao_definirExecute() {
    if (definir_->exec() != QDialog::Accepted)
        return;
    if (definir_->search_chosen()) {
        directory_search(definir_->subdirectories());
        return;
    }
    const QString filter =
        QString::fromStdString(descriptor_field(kFieldDialogFilter, "=", descriptor_));
    const auto chosen = dialogs().open_pictures(
        this, filter, ui_->diretorio_buscar->text(), last_picture_,
        [](const QString& path) { return thumbnail_image(path.toLocal8Bit().toStdString()); });
    if (!chosen || chosen->isEmpty())
        return;
    last_picture_ = chosen->first();
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(chosen->size()));
    for (const QString& path : *chosen)
        paths.push_back(path.toLocal8Bit().toStdString());
    append(paths);
    refresh_count();
    select_first_and_show();
}

void Tform_principal::directory_search(bool subdirectories) {
    search_folder(ui_->diretorio_buscar->text().toLocal8Bit().toStdString(), subdirectories);
}

void Tform_principal::search_folder(const std::string& root, bool subdirectories) {
    const std::string masks_field = descriptor_field(kFieldSearchMasks, "=", descriptor_);
    const std::vector<std::string> masks = split_masks(masks_field);
    ui_->Tab->setEnabled(false);
    buscar_->begin(QString::fromStdString(masks_field), this);
    // Only the wait window responds while the search runs.
    const auto disabled = disable_other_windows(buscar_.get());
    // Found paths go to the list in batches (at most 20 ms apart and at most
    // kSearchBatch paths each), so a large tree does not relayout the list
    // once per file and the list keeps up with the search.
    std::vector<std::string> found;
    QElapsedTimer since_flush;
    since_flush.start();
    auto flush = [&] {
        append(found);
        found.clear();
        since_flush.start();
    };
    SearchCallbacks callbacks;
    callbacks.begin_dir = [this](const std::string& dir) { buscar_->scanning(dir); };
    callbacks.found = [&](const std::string& path) { found.push_back(path); };
    callbacks.progress = [&] {
        if (found.size() >= kSearchBatch || (!found.empty() && since_flush.elapsed() >= 20))
            flush();
        return buscar_->responsive();
    };
    search_directory(root, masks, subdirectories, callbacks);
    flush();
    buscar_->end();
    enable_again(disabled);
    ui_->Tab->setEnabled(true);
    if (ui_->lista_arquivos->count() > 0)
        select_first_and_show();
    refresh_count();
}

void Tform_principal::lista_arquivosDragDrop(const std::vector<DroppedItem>& dropped) {
    // Files join the list as the picture-open dialog adds them; a folder is
    // searched, subfolders included, as the directory search searches.
    for (const DroppedItem& item : dropped) {
        if (item.folder)
            search_folder(item.path, /*subdirectories=*/true);
        else
            append({item.path});
    }
    refresh_count();
    if (ui_->lista_arquivos->count() > 0)
        select_first_and_show();
}

void Tform_principal::acao_visualizarExecute() {
    const std::string path = path_at(ui_->lista_arquivos, ui_->lista_arquivos->currentRow());
    std::unique_ptr<QDialog> preview;
    try {
        preview = make_preview(path);
    } catch (const Error& failure) {
        dialogs().warn(this, QString::fromUtf8(kProgramTitle),
                       QString::fromLocal8Bit(failure.what()));
        return;
    }
    preview->setParent(this, preview->windowFlags());
    preview->exec();
}

void Tform_principal::acao_list_saveExecute() {
    const auto chosen = dialogs().save_list(this);
    if (!chosen)
        return;
    try {
        filelist::save_list_file(chosen->toLocal8Bit().toStdString(), current_mode(), shown_list());
    } catch (const Error& failure) {
        // The old list file stays as it was; nothing else changes.
        dialogs().warn(this, QString::fromUtf8(kProgramTitle),
                       QString::fromLocal8Bit(failure.what()));
    }
}

void Tform_principal::acao_list_openExecute() {
    const auto chosen = dialogs().open_list(this);
    if (!chosen)
        return;
    std::optional<filelist::ListFileReader> reader;
    try {
        reader.emplace(chosen->toLocal8Bit().toStdString());
    } catch (const filelist::ListFileRefused& refused) {
        // Not a list this program can load: the list and the mode stay.
        dialogs().warn(this, QString::fromUtf8(kProgramTitle),
                       QString::fromLocal8Bit(refused.what()));
        return;
    }
    // A list that names lines it does not have is refused before anything
    // changes, like the lists above.
    if (const auto missing = reader->first_missing_line()) {
        dialogs().warn(this, QString::fromUtf8(kProgramTitle),
                       QString("List index out of bounds (%1)").arg(*missing));
        return;
    }
    // The file's mode is entered without leaving the shown one: the shown
    // list is not stored.
    {
        const QSignalBlocker quiet(ui_->Tab);
        ui_->Tab->setCurrentIndex(static_cast<int>(reader->mode()));
    }
    shown_tab_ = ui_->Tab->currentIndex();
    TabChange();

    progress_->set_caption(QString::fromUtf8(filelist::kLoadingCaption.data(),
                                             static_cast<int>(filelist::kLoadingCaption.size())));
    std::vector<std::string> batch;
    QElapsedTimer since_events;
    since_events.start();
    auto flush = [&] {
        append(batch);
        batch.clear();
    };
    try {
        reader->read_paths(
            [&](int position) {
                progress_->setValue(position);
                // Window events are handled between lines, a few times a second
                // at most, so a long list loads quickly and the bar still moves.
                if (since_events.elapsed() >= 20) {
                    flush();
                    QCoreApplication::processEvents();
                    since_events.start();
                }
            },
            [&](std::string_view path) { batch.emplace_back(path); });
    } catch (...) {
        flush();
        throw;
    }
    flush();
    progress_->set_caption(QString());
    progress_->setValue(0);
    if (ui_->lista_arquivos->count() > 0) {
        select_first_and_show();
        refresh_count();
    }
}

void Tform_principal::acao_list_deleteExecute() {
    QListWidget* list = ui_->lista_arquivos;
    const int k = list->currentRow();
    {
        const QSignalBlocker quiet(list);
        delete list->takeItem(k);
    }
    if (k > 0) {
        select_by_program(k - 1);
        lista_arquivosClick();
    } else if (list->count() > 0) {
        select_first_and_show();
    } else {
        actions_->execute(ui_->acao_infohide);
    }
    refresh_count();
}

void Tform_principal::acao_list_limpaExecute() {
    {
        const QSignalBlocker quiet(ui_->lista_arquivos);
        ui_->lista_arquivos->clear();
    }
    refresh_count();
    actions_->execute(ui_->acao_infohide);
}

void Tform_principal::acao_novaconversaoExecute() {
    for (auto& list : stored_)
        list.clear();
    {
        const QSignalBlocker quiet(ui_->lista_arquivos);
        ui_->lista_arquivos->clear();
    }
    actions_->execute(ui_->acao_infohide);
    {
        // Mode 0 without a switch: there is nothing to store or bring back.
        const QSignalBlocker quiet(ui_->Tab);
        ui_->Tab->setCurrentIndex(0);
    }
    shown_tab_ = 0;
    descriptor_ = std::string(mode_info(Mode::BmpToJpeg).descriptor);
    refresh_count();
}

void Tform_principal::Sair1Click() {
    close();
}

void Tform_principal::b03Click() {
    // A fresh dialog for every opening, freed when it closes.
    Tform_executavel dialog(this);
    dialog.move(frameGeometry().center() - dialog.rect().center());
    dialog.exec();
}

void Tform_principal::acao_screencaptureExecute() {
    screen_->move(frameGeometry().center() - screen_->rect().center());
    capture_desktop(REG_, *screen_);
}

void Tform_principal::Ajuda1Click() {
    // The desktop's viewer for the file type shows it; a missing file or
    // viewer is not reported by the program.
    QDesktopServices::openUrl(QUrl::fromLocalFile(help_file_path()));
}

void Tform_principal::Sobre1Click() {
    sobre_->move(frameGeometry().center() - sobre_->rect().center());
    sobre_->exec();
}

void Tform_principal::browse_folder(QLineEdit* field) {
    if (auto chosen = dialogs().pick_folder(this, field->text()))
        field->setText(*chosen);
}

void Tform_principal::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // The banner and the separator follow the width; nothing else moves.
    ui_->imlogo->resize(width(), ui_->imlogo->height());
    ui_->linha->resize(width(), ui_->linha->height());
}

}  // namespace quillora
