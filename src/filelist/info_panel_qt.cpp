#include "filelist/info_panel_qt.h"

#include <QColor>
#include <QDate>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QTime>
#include <memory>

#include "engine/paths.h"
#include "filelist/picture_image_qt.h"
#include "imaging/picture_loader.h"
#include "platform/files.h"

namespace quillora {

namespace {

QString decoded(std::string_view bytes) {
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

QString without_time_zone(const QString& format) {
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            quoted = !quoted;
            result += c;
            continue;
        }
        if (!quoted && c == u't') {
            while (i + 1 < format.size() && format.at(i + 1) == u't')
                ++i;
            while (!result.isEmpty() && result.back().isSpace())
                result.chop(1);
            continue;
        }
        result += c;
    }
    return result.trimmed();
}

QString long_time_format(const QLocale& locale) {
    return without_time_zone(locale.timeFormat(QLocale::LongFormat));
}

QString date_text(const FileDateTime& time, const QLocale& locale) {
    const QDate date(time.year, time.month, time.day);
    QString text = locale.toString(date, QLocale::ShortFormat);
    if (time.hour != 0 || time.minute != 0 || time.second != 0) {
        const QTime clock(time.hour, time.minute, time.second);
        text += u' ';
        text += locale.toString(clock, long_time_format(locale));
    }
    return text;
}

QString file_date_text(const std::string& path, const QLocale& locale) {
    if (!files::exists(path))
        return QString::fromUtf8(kInvalidFileName);
    return date_text(file_date_time(path), locale);
}

InfoPanel::InfoPanel(QLabel* n_arquivo, QLabel* n_tamanho, QLabel* n_criado, QLabel* n_resolucao,
                     QLabel* ver)
    : n_arquivo_(n_arquivo),
      n_tamanho_(n_tamanho),
      n_criado_(n_criado),
      n_resolucao_(n_resolucao),
      ver_(ver) {
    for (QLabel* value : {n_arquivo_, n_tamanho_, n_criado_, n_resolucao_}) {
        QPalette palette = value->palette();
        palette.setColor(QPalette::WindowText, QColor(Qt::blue));
        value->setPalette(palette);
    }
    ver_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ver_->setScaledContents(false);
}

void InfoPanel::show() {
    for (QLabel* value : {n_arquivo_, n_tamanho_, n_criado_, n_resolucao_})
        value->setVisible(true);
}

void InfoPanel::hide() {
    for (QLabel* value : {n_arquivo_, n_tamanho_, n_criado_, n_resolucao_})
        value->setVisible(false);
    ver_->clear();
}

bool InfoPanel::visible() const {
    return !n_arquivo_->isHidden();
}

void InfoPanel::fill(const std::string& path) {
    if (!files::exists(path))
        return;
    show();
    // The values of the file described before go first: a step that fails
    // leaves its own field and every later one empty, so the panel never
    // shows another file's values beside this one's name.
    for (QLabel* value : {n_arquivo_, n_tamanho_, n_criado_, n_resolucao_})
        value->clear();
    ver_->clear();

    n_arquivo_->setText(decoded(paths::file_name(path)));

    // The entry can only be missing here if it went away since the test
    // above; the size stays empty and the next step fails on it.
    if (const std::optional<std::int32_t> size = file_size(path))
        n_tamanho_->setText(QString::asprintf("%d bytes", *size));

    {
        // Only measured; the picture is released at once.
        std::unique_ptr<Picture> picture = load_picture(path);
        n_resolucao_->setText(QString::asprintf("%d x %d", picture->width(), picture->height()));
    }

    n_criado_->setText(file_date_text(path));

    const QImage thumbnail = thumbnail_image(path);
    ver_->setPixmap(QPixmap::fromImage(thumbnail));
}

}  // namespace quillora
