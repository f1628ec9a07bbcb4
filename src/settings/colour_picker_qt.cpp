#include "settings/colour_picker_qt.h"

#include <QGridLayout>
#include <QMenu>
#include <QPainter>
#include <QStyleOptionButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidgetAction>
#include <array>

#include "platform/dialogs_qt.h"
#include "settings/colour_qt.h"

namespace quillora {
namespace {

constexpr settings::Colour rgb(unsigned red, unsigned green, unsigned blue) {
    return red | green << 8 | blue << 16;
}

constexpr std::array<ColourPicker::PaletteEntry, 40> kPalette{{
    {rgb(0x00, 0x00, 0x00), "Preto"},
    {rgb(0x99, 0x33, 0x00), "Marrom"},
    {rgb(0x33, 0x33, 0x00), "Verde-oliva"},
    {rgb(0x00, 0x33, 0x00), "Verde-escuro"},
    {rgb(0x00, 0x33, 0x66), "Azul-petróleo escuro"},
    {rgb(0x00, 0x00, 0x80), "Azul-marinho"},
    {rgb(0x33, 0x33, 0x99), "Índigo"},
    {rgb(0x33, 0x33, 0x33), "Cinza 80%"},

    {rgb(0x80, 0x00, 0x00), "Vermelho-escuro"},
    {rgb(0xFF, 0x66, 0x00), "Laranja"},
    {rgb(0x80, 0x80, 0x00), "Amarelo-escuro"},
    {rgb(0x00, 0x80, 0x00), "Verde"},
    {rgb(0x00, 0x80, 0x80), "Azul-petróleo"},
    {rgb(0x00, 0x00, 0xFF), "Azul"},
    {rgb(0x66, 0x66, 0x99), "Azul-acinzentado"},
    {rgb(0x80, 0x80, 0x80), "Cinza 50%"},

    {rgb(0xFF, 0x00, 0x00), "Vermelho"},
    {rgb(0xFF, 0x99, 0x00), "Laranja-claro"},
    {rgb(0x99, 0xCC, 0x00), "Verde-limão"},
    {rgb(0x33, 0x99, 0x66), "Verde-mar"},
    {rgb(0x33, 0xCC, 0xCC), "Água"},
    {rgb(0x33, 0x66, 0xFF), "Azul-claro"},
    {rgb(0x80, 0x00, 0x80), "Violeta"},
    {rgb(0x99, 0x99, 0x99), "Cinza 40%"},

    {rgb(0xFF, 0x00, 0xFF), "Rosa"},
    {rgb(0xFF, 0xCC, 0x00), "Ouro"},
    {rgb(0xFF, 0xFF, 0x00), "Amarelo"},
    {rgb(0x00, 0xFF, 0x00), "Verde-brilhante"},
    {rgb(0x00, 0xFF, 0xFF), "Turquesa"},
    {rgb(0x00, 0xCC, 0xFF), "Azul-celeste"},
    {rgb(0x99, 0x33, 0x66), "Ameixa"},
    {rgb(0xC0, 0xC0, 0xC0), "Cinza 25%"},

    {rgb(0xFF, 0x99, 0xCC), "Rosa-claro"},
    {rgb(0xFF, 0xCC, 0x99), "Castanho-claro"},
    {rgb(0xFF, 0xFF, 0x99), "Amarelo-claro"},
    {rgb(0xCC, 0xFF, 0xCC), "Verde-claro"},
    {rgb(0xCC, 0xFF, 0xFF), "Turquesa-claro"},
    {rgb(0x99, 0xCC, 0xFF), "Azul-pálido"},
    {rgb(0xCC, 0x99, 0xFF), "Lavanda"},
    {rgb(0xFF, 0xFF, 0xFF), "Branco"},
}};

constexpr int kColumns = 8;

// One colour of the palette: a filled square, framed when it is the
// picker's colour.
class Swatch : public QToolButton {
  public:
    Swatch(const QColor& colour, QWidget* parent) : QToolButton(parent), colour_(colour) {
        setFixedSize(18, 18);
        setCheckable(true);
        setAutoRaise(true);
        setFocusPolicy(Qt::NoFocus);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect box = rect().adjusted(3, 3, -4, -4);
        if (isChecked() || underMouse()) {
            painter.setPen(palette().color(QPalette::Highlight));
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
        }
        painter.fillRect(box, colour_);
        painter.setPen(QColor(128, 128, 128));
        painter.drawRect(box);
    }

  private:
    QColor colour_;
};

QToolButton* text_entry(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCheckable(true);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return button;
}

}  // namespace

std::span<const ColourPicker::PaletteEntry> ColourPicker::palette_colours() noexcept {
    return kPalette;
}

ColourPicker::ColourPicker(QWidget* parent) : QPushButton(parent), menu_(new QMenu(this)) {
    menu_->setObjectName("paleta");
    auto* panel = new QWidget(menu_);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(2);

    QToolButton* automatic = text_entry(QStringLiteral("Automatic"), "automatico", panel);
    connect(automatic, &QToolButton::clicked, this, [this] { choose(settings::kColourDefault); });
    column->addWidget(automatic);

    auto* grid = new QGridLayout;
    grid->setSpacing(1);
    for (int i = 0; i < static_cast<int>(kPalette.size()); ++i) {
        const PaletteEntry& entry = kPalette[static_cast<std::size_t>(i)];
        auto* swatch = new Swatch(settings::to_qcolor(entry.value, Qt::black), panel);
        swatch->setObjectName(QStringLiteral("cor_%1").arg(i, 2, 10, QLatin1Char('0')));
        swatch->setToolTip(
            QString::fromUtf8(entry.name.data(), static_cast<int>(entry.name.size())));
        connect(swatch, &QToolButton::clicked, this,
                [this, value = entry.value] { choose(value); });
        grid->addWidget(swatch, i / kColumns, i % kColumns);
    }
    column->addLayout(grid);

    QToolButton* other = text_entry(QStringLiteral("Other Colors..."), "outras_cores", panel);
    other->setCheckable(false);
    connect(other, &QToolButton::clicked, this, &ColourPicker::choose_other);
    column->addWidget(other);

    auto* holder = new QWidgetAction(menu_);
    holder->setDefaultWidget(panel);
    menu_->addAction(holder);
    connect(menu_, &QMenu::aboutToShow, this, &ColourPicker::mark_current);
    setMenu(menu_);
    set_colour(colour_);
}

void ColourPicker::set_colour(settings::Colour colour) {
    colour_ = colour;
    setToolTip(colour == settings::kColourDefault
                   ? QStringLiteral("Automatic")
                   : QString::fromStdString(settings::colour_to_text(colour)));
    update();
}

void ColourPicker::set_automatic_colour(const QColor& colour) {
    automatic_ = colour;
    update();
}

QColor ColourPicker::shown_colour() const {
    return settings::to_qcolor(colour_, automatic_, palette());
}

void ColourPicker::choose(settings::Colour colour) {
    menu_->close();
    set_colour(colour);
    emit colour_changed(colour);
}

void ColourPicker::choose_other() {
    menu_->close();
    if (auto chosen = dialogs().pick_colour(this, shown_colour()))
        choose(settings::from_qcolor(*chosen));
}

void ColourPicker::mark_current() {
    for (auto* entry : menu_->findChildren<QToolButton*>()) {
        if (!entry->isCheckable())
            continue;
        const QString name = entry->objectName();
        bool current = false;
        if (name == QLatin1String("automatico")) {
            current = colour_ == settings::kColourDefault;
        } else if (name.startsWith(QLatin1String("cor_"))) {
            current = kPalette[name.mid(4).toUInt()].value == colour_;
        }
        entry->setChecked(current);
    }
}

void ColourPicker::paintEvent(QPaintEvent* event) {
    // The button and its drop-down arrow as the style draws them, then the
    // colour over the caption's place.
    QPushButton::paintEvent(event);
    QStyleOptionButton option;
    initStyleOption(&option);
    QRect box = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const int arrow = style()->pixelMetric(QStyle::PM_MenuButtonIndicator, &option, this);
    box.setRight(box.right() - arrow - 2);
    box.adjust(2, 2, -2, -2);
    QPainter painter(this);
    painter.fillRect(box, isEnabled() ? shown_colour() : palette().color(QPalette::Button));
    painter.setPen(palette().color(isEnabled() ? QPalette::Text : QPalette::Mid));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
}

}  // namespace quillora
