// The main window: the tab strip of the four modes, the source list with its
// information panel, the folder fields, the left column of buttons and the
// status bar; the action table and the mode switch.
#pragma once

#include <QMainWindow>
#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "engine/batch_run.h"
#include "engine/modes.h"
#include "settings/settings_store.h"

class QAction;
class QMenu;
class QLineEdit;

namespace Ui {
class Tform_principal;
}

namespace quillora {

class ActionTable;
class InfoPanel;
class ListDelegate;
class ProgressoBar;
class RunReport;
class Tform_carregar;
class Tform_buscar;
class Tform_definir;
class Tform_screen;
class Tform_sobre;
class Tform_progresso;
class TFormErro;
struct DroppedItem;

class Tform_principal : public QMainWindow {
    Q_OBJECT
  public:
    explicit Tform_principal(QWidget* parent = nullptr);
    ~Tform_principal() override;

    // Creates the reusable windows, hidden (the program does it right after
    // creating the main window).
    void create_windows();

    // The current mode: the selected tab.
    Mode current_mode() const;
    // The descriptor of the current mode.
    const std::string& descriptor() const { return descriptor_; }
    // The stored list of each mode.
    const std::vector<std::string>& stored_list(Mode mode) const;

    ActionTable& actions() const { return *actions_; }
    InfoPanel& info_panel() const { return *info_; }
    ProgressoBar* progress_bar() const;
    Tform_carregar* carregar() const { return carregar_; }
    Tform_definir* definir() const { return definir_; }
    Tform_sobre* sobre() const { return sobre_; }
    Tform_screen* screen() const { return screen_; }
    Tform_buscar* buscar() const { return buscar_.get(); }
    Tform_progresso* progresso() const { return progresso_.get(); }
    bool cancel_flag() const { return cancel_; }
    // How a batch run converts: the number of workers (0: one per processor)
    // and the hooks tests use.
    BatchOptions& batch_options() { return batch_options_; }

    // Services of the source list.
    std::vector<std::string> shown_list() const;
    void append(const std::vector<std::string>& paths);
    // Makes item 0 the selection and describes it.
    void select_first_and_show();
    // "%d Arquivo(s) Adicionado(s)" with the shown list's count.
    void refresh_count();
    // Describes the selected item in the information panel.
    void lista_arquivosClick();

    // The mode switch.
    void TabChanging(int leaving);
    void TabChange(bool at_creation = false);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    // A close request during a run acts as Cancel; the window closes once
    // the files being converted are done.
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormCreate();
    // Grid lines, the two folder fields and the selection colours from the settings.
    void apply_settings();
    void apply_folders();
    void apply_selection_colours();
    void place_window();
    void build_status_bar();
    void build_buttons();
    void build_actions();
    void browse_folder(QLineEdit* field);
    void select_by_program(int row);

    void acao_converterExecute();
    // The end-of-run box, when the run has something to tell.
    void show_report(const RunReport& report);
    void acao_definirExecute();
    void acao_visualizarExecute();
    // Searches the search folder for the current mode's masks.
    void directory_search(bool subdirectories);
    // Searches a folder for the current mode's masks, appending what it finds.
    void search_folder(const std::string& root, bool subdirectories);
    // Files and folders dropped on the list.
    void lista_arquivosDragDrop(const std::vector<DroppedItem>& dropped);
    void acao_list_saveExecute();
    void acao_list_openExecute();
    void acao_list_deleteExecute();
    void acao_list_limpaExecute();
    void acao_novaconversaoExecute();
    void Sair1Click();
    void Ajuda1Click();
    void b03Click();
    // The desktop capture.
    void acao_screencaptureExecute();
    // The options dialog.
    void b05Click();
    void Sobre1Click();

    std::unique_ptr<Ui::Tform_principal> ui_;
    std::unique_ptr<ActionTable> actions_;
    std::unique_ptr<InfoPanel> info_;
    ListDelegate* delegate_ = nullptr;
    ProgressoBar* progress_ = nullptr;
    QMenu* pop_ = nullptr;
    Tform_carregar* carregar_ = nullptr;
    Tform_definir* definir_ = nullptr;
    Tform_sobre* sobre_ = nullptr;
    Tform_screen* screen_ = nullptr;
    TFormErro* erro_ = nullptr;
    // Not a child of the main window: it must stay enabled while the main
    // window is disabled during a run.
    std::unique_ptr<Tform_progresso> progresso_;
    std::unique_ptr<Tform_buscar> buscar_;
    // Read by the batch run's workers between files.
    std::atomic<bool> cancel_{false};
    // A run is going on; the window was asked to close during it.
    bool running_ = false;
    std::atomic<bool> close_asked_{false};
    BatchOptions batch_options_;

    settings::SettingsStore REG_;
    std::string descriptor_;
    // The first file chosen in the picture-open dialog the last time.
    QString last_picture_;
    std::array<std::vector<std::string>, kModeCount> stored_;
    int shown_tab_ = 0;
    bool selecting_by_program_ = false;
};

}  // namespace quillora
