#include "engine/step_list_qt.h"

#include <QIcon>
#include <QPainter>

namespace quillora {

StepList::StepList(QWidget* parent)
    : QWidget(parent),
      lines_{QString::fromUtf8("Iniciando a Conversão ..."),
             QString::fromUtf8("Buscando o Tipo da Conversão ..."),
             QString::fromUtf8("Convertendo [nome]"),
             QString::fromUtf8("Convertendo ..."),
             QString::fromUtf8("Finalizando Conversão ..."),
             QString::fromUtf8("Conversão realizada com sucesso !")},
      ticked_(kLines, false) {
    QFont list_font(QStringLiteral("MS Sans Serif"));
    list_font.setPixelSize(13);
    setFont(list_font);
}

void StepList::set_line(int k, const QString& text) {
    lines_[k] = text;
    update();
}

void StepList::tick(int k) {
    ticked_.at(static_cast<std::size_t>(k)) = true;
    repaint();
    emit line_ticked(k);
}

void StepList::open_all() {
    ticked_.assign(kLines, false);
    update();
}

int StepList::line_top(int k) const {
    return 12 + k * (fontMetrics().height() + 12);
}

void StepList::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    static const QIcon open_glyph(QStringLiteral(":/passo_aberto.svg"));
    static const QIcon done_glyph(QStringLiteral(":/passo_feito.svg"));
    const int h = fontMetrics().height();
    painter.setPen(palette().color(QPalette::WindowText));
    for (int k = 0; k < kLines; ++k) {
        const bool done = ticked_[static_cast<std::size_t>(k)];
        QFont f = font();
        f.setBold(done);
        painter.setFont(f);
        const int top = line_top(k);
        const QIcon& glyph = done ? done_glyph : open_glyph;
        glyph.paint(&painter, QRect(2, top + (h - 16) / 2, 16, 16));
        painter.drawText(QRect(24, top, width() - 24, h), Qt::AlignLeft | Qt::AlignVCenter,
                         lines_[k]);
    }
}

}  // namespace quillora
