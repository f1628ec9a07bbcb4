// The options dialog: the two default folders and whether a run keeps the
// sources' folders, the capture's minimise box, the selection colours of
// the file list and its grid lines.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class Tform_config;
}

namespace quillora {

namespace settings {
class SettingsStore;
}

class Tform_config : public QDialog {
    Q_OBJECT
  public:
    explicit Tform_config(QWidget* parent = nullptr);
    ~Tform_config() override;

    // Fills the controls from the settings, in the order DirBuscar,
    // DirSalvar, Minimizar, ListCor1, ListCor2, LinhasHorizontais,
    // ManterSubpastas. A colour text that is not a colour fails as
    // text_to_colour does.
    void read_settings(const settings::SettingsStore& REG);
    // Writes all seven values from the controls, in the same order, changed
    // or not.
    void write_settings(settings::SettingsStore& REG) const;

    // Whether "Linhas Horizontais" is ticked.
    bool grid_lines() const;

    // How the pickers draw "Automatic": the list's own selection colours.
    void set_automatic_colours(const QColor& background, const QColor& text);

  private:
    std::unique_ptr<Ui::Tform_config> ui_;
};

}  // namespace quillora
