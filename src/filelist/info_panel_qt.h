// The information panel of the main window: the value fields that describe
// the selected list entry (name, size, date, resolution) and its thumbnail.
#pragma once

#include <QLocale>
#include <QString>
#include <string>

#include "filelist/file_info.h"

class QLabel;

namespace quillora {

// The date text when the file is no longer there at the date step.
inline constexpr const char* kInvalidFileName = "Nome de Arquivo Inválido";

// A time format without its time-zone fields: every unquoted run of 't'
// goes, with the blanks before it; quoted text ('...', '' for a quote) stays.
QString without_time_zone(const QString& format);

// The locale's long time format without a time zone. The user's long time
// format on the desktop the program was made for has none (hours, minutes,
// seconds, the day-half marker); Qt's adds one.
QString long_time_format(const QLocale& locale);

// The date text of a last-write time: the locale's short date format, a
// blank and the long time format; the date alone when the time is exactly
// 00:00:00.
QString date_text(const FileDateTime& time, const QLocale& locale = QLocale::system());

// The date text of a file: "Nome de Arquivo Inválido" when it does not exist,
// otherwise date_text(file_date_time(path)) (which may fail with "Invalid
// argument to date encode").
QString file_date_text(const std::string& path, const QLocale& locale = QLocale::system());

// Drives the panel's widgets; does not own them.
class InfoPanel {
  public:
    // The value fields (drawn in blue from here on) and the thumbnail label,
    // whose picture is shown from its top-left corner at its own size.
    InfoPanel(QLabel* n_arquivo, QLabel* n_tamanho, QLabel* n_criado, QLabel* n_resolucao,
              QLabel* ver);

    // acao_infoshow: the four value fields visible.
    void show();
    // acao_infohide: the four value fields hidden and the thumbnail emptied.
    void hide();
    // Whether the panel is shown: the visibility flag of n_arquivo (its own
    // flag, whether or not its window is on screen).
    bool visible() const;

    // Describes the file at `path`, step by step: when no entry exists there,
    // nothing changes; otherwise the fields are shown, emptied with the
    // thumbnail, and filled in order (name, size, resolution, date,
    // thumbnail). A failing step raises its failure and leaves its own field
    // and the later ones empty.
    void fill(const std::string& path);

  private:
    QLabel* n_arquivo_;
    QLabel* n_tamanho_;
    QLabel* n_criado_;
    QLabel* n_resolucao_;
    QLabel* ver_;
};

}  // namespace quillora
