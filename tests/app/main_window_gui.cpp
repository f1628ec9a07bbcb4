#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <functional>

#include "app/frm_principal.h"
#include "engine/copy_animation_qt.h"
#include "engine/frm_carregar.h"
#include "imaging/bmp.h"
#include "imaging/jpeg.h"
#include "platform/action_table_qt.h"
#include "platform/dialogs_qt.h"
#include "support/fixtures.h"
#include "support/qt_print.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

using testing::TempDir;

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<Tform_principal>();
        window->create_windows();
        list = window->findChild<QListWidget*>("lista_arquivos");
        tab = window->findChild<QTabBar*>("Tab");
        count = window->findChild<QLabel*>("total_arquivos");
        name = window->findChild<QLabel*>("n_arquivo");
        ASSERT_TRUE(list && tab && count && name);
    }

    std::string picture(const std::string& file, int w = 20, int h = 10) {
        write_bmp(testing::pattern_bitmap(w, h), dir.file(file));
        return dir.file(file);
    }
    QAbstractButton* button(const char* object) {
        auto* b = window->findChild<QAbstractButton*>(object);
        EXPECT_TRUE(b) << object;
        return b;
    }
    // Clicks a button as the user does: after the event queue ran empty.
    void click(const char* object) {
        window->actions().update_all();
        button(object)->click();
    }
    // The enabled state as the idle-time rules leave it.
    bool enabled(const char* object) {
        window->actions().update_all();
        return button(object)->isEnabled();
    }
    void select(int row) { list->setCurrentRow(row); }  // as the user does

    TempDir dir;
    std::unique_ptr<Tform_principal> window;
    QListWidget* list = nullptr;
    QTabBar* tab = nullptr;
    QLabel* count = nullptr;
    QLabel* name = nullptr;
};

TEST_F(MainWindow, StartUpState) {
    EXPECT_EQ(window->windowTitle(), "Quillora 1.0");
    EXPECT_EQ(window->size(), QSize(590, 518));
    EXPECT_EQ(count->text(), "00: Arquivos Encontrados");
    EXPECT_EQ(tab->currentIndex(), 0);
    EXPECT_EQ(tab->count(), 4);
    EXPECT_EQ(tab->tabText(0), "BMP - JPG");
    EXPECT_EQ(tab->tabText(1), "JPG/JPEG - BMP");
    EXPECT_EQ(list->count(), 0);
    EXPECT_TRUE(name->isHidden());
    EXPECT_EQ(window->descriptor(), std::string(mode_info(Mode::BmpToJpeg).descriptor));
    EXPECT_FALSE(enabled("d_02"));
    EXPECT_FALSE(enabled("d_01"));
    EXPECT_TRUE(enabled("b01"));
    // With an empty list and empty folder fields these do not respond.
    for (const char* off : {"b02", "bt_buscar", "bt_aumentar", "d_04"}) {
        EXPECT_FALSE(enabled(off)) << off;
    }
    for (const char* on : {"b03", "b04", "b05", "d_03"}) {
        EXPECT_TRUE(enabled(on)) << on;
    }
    EXPECT_TRUE(window->carregar()->isHidden());
    const struct {
        const char* object;
        const char* caption;
    } captions[] = {{"b01", "&Nova\nConversão"},           {"b02", "&Iniciar\nConversão"},
                    {"b03", "&Extrair Ícone\nExecutável"}, {"b04", "&Capturar\nDesktop"},
                    {"b05", "&Opções\nPrograma"},          {"b06", "&Ajuda\nPrograma"}};
    for (const auto& c : captions)
        EXPECT_EQ(button(c.object)->text(), QString::fromUtf8(c.caption));
    for (const auto& [object, tip] : {std::pair{"d_02", "Excluir"},
                                      {"d_01", "Limpar"},
                                      {"d_03", "Abrir"},
                                      {"d_04", "Salvar"},
                                      {"bt_buscar", "Seletor de Arquivos"}}) {
        EXPECT_EQ(button(object)->toolTip(), tip);
    }
}

TEST_F(MainWindow, DeletingSelectsTheNeighbour) {
    std::string a = picture("a.bmp", 10, 10), b = picture("b.bmp", 20, 10),
                c = picture("c.bmp", 30, 10);
    window->append({a, b, c});
    EXPECT_TRUE(enabled("d_01"));
    EXPECT_FALSE(enabled("d_02"));
    select(2);
    EXPECT_EQ(name->text(), "c.bmp");
    EXPECT_TRUE(enabled("d_02"));
    click("d_02");
    EXPECT_EQ(window->shown_list(), (std::vector<std::string>{a, b}));
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_EQ(name->text(), "b.bmp");
    EXPECT_EQ(count->text(), "2 Arquivo(s) Adicionado(s)");

    select(0);
    click("d_02");
    EXPECT_EQ(window->shown_list(), (std::vector<std::string>{b}));
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(name->text(), "b.bmp");

    click("d_02");
    EXPECT_EQ(list->count(), 0);
    EXPECT_TRUE(name->isHidden());
    EXPECT_EQ(count->text(), "0 Arquivo(s) Adicionado(s)");
    EXPECT_FALSE(enabled("d_02"));
    EXPECT_FALSE(enabled("d_01"));
    EXPECT_TRUE(files::exists(a));  // the files themselves stay
}

TEST_F(MainWindow, ClearAndNewConversion) {
    std::string a = picture("a.bmp");
    window->append({a, a});
    window->select_first_and_show();
    EXPECT_FALSE(name->isHidden());
    click("d_01");
    EXPECT_EQ(list->count(), 0);
    EXPECT_TRUE(name->isHidden());
    EXPECT_EQ(count->text(), "0 Arquivo(s) Adicionado(s)");

    window->append({a});
    tab->setCurrentIndex(2);
    window->append({a, a});
    click("b01");
    EXPECT_EQ(tab->currentIndex(), 0);
    EXPECT_EQ(window->descriptor(), std::string(mode_info(Mode::BmpToJpeg).descriptor));
    EXPECT_EQ(list->count(), 0);
    for (int m = 0; m < kModeCount; ++m)
        EXPECT_TRUE(window->stored_list(Mode(m)).empty());
    EXPECT_EQ(count->text(), "0 Arquivo(s) Adicionado(s)");
    tab->setCurrentIndex(2);
    EXPECT_EQ(list->count(), 0);  // nothing came back
}

TEST_F(MainWindow, EachModeKeepsItsOwnList) {
    std::string a = picture("a.bmp", 10, 10), b = picture("b.bmp"), c = picture("c.bmp");
    window->append({a, b, c});
    tab->setCurrentIndex(1);
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(count->text(), "0 Arquivo(s) Adicionado(s)");
    EXPECT_TRUE(name->isHidden());
    EXPECT_TRUE(window->carregar()->isHidden());
    EXPECT_EQ(window->descriptor(), std::string(mode_info(Mode::JpegToBmp).descriptor));
    window->append({c});

    tab->setCurrentIndex(0);
    EXPECT_EQ(window->shown_list(), (std::vector<std::string>{a, b, c}));
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_FALSE(name->isHidden());
    EXPECT_EQ(name->text(), "a.bmp");
    EXPECT_EQ(count->text(), "3 Arquivo(s) Adicionado(s)");
    EXPECT_TRUE(window->carregar()->isHidden());

    for (int round = 0; round < 3; ++round) {
        tab->setCurrentIndex(1);
        EXPECT_EQ(window->shown_list(), std::vector<std::string>{c});
        tab->setCurrentIndex(0);
        EXPECT_EQ(window->shown_list(), (std::vector<std::string>{a, b, c}));
    }
}

TEST_F(MainWindow, LoadingWindowShowsWhileAListComesBack) {
    window->append({picture("a.bmp")});
    tab->setCurrentIndex(3);
    bool shown_during_copy = false;
    // The list's model fills while the wait window is up.
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, [&] {
        shown_during_copy = shown_during_copy || window->carregar()->isVisible();
    });
    tab->setCurrentIndex(0);
    EXPECT_TRUE(shown_during_copy);
    EXPECT_TRUE(window->carregar()->isHidden());
    EXPECT_EQ(window->carregar()->windowTitle(), "Aguarde ...");
}

// Moves the pointer, without buttons, to `at` in `widget`.
void move_pointer(QWidget* widget, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

// How many pixels of `area` differ between two pictures.
int changed_pixels(const QImage& a, const QImage& b, const QRect& area) {
    int changed = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            changed += a.pixel(x, y) != b.pixel(x, y);
    }
    return changed;
}

TEST_F(MainWindow, TheTabUnderThePointerIsHighlighted) {
    window->show();
    const QImage plain = tab->grab().toImage();
    for (const int over : {2, 1, 0, 3}) {
        move_pointer(tab, tab->tabRect(over).center());
        const QImage lit = tab->grab().toImage();
        for (int i = 0; i < tab->count(); ++i) {
            const int changed = changed_pixels(plain, lit, tab->tabRect(i));
            if (i == over) {
                EXPECT_GT(changed, tab->tabRect(i).width()) << "pointer over " << over;
            } else {
                EXPECT_EQ(changed, 0) << "tab " << i << ", pointer over " << over;
            }
        }
    }
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(tab, &leave);
    QHoverEvent hover_leave(QEvent::HoverLeave, QPointF(-1, -1), QPointF(-1, -1), QPointF(), {});
    QApplication::sendEvent(tab, &hover_leave);
    EXPECT_EQ(changed_pixels(plain, tab->grab().toImage(), tab->rect()), 0);
}

// Counts the paint events of a window and of everything in it, and the
// posted events it is sent.
class Watch : public QObject {
  public:
    explicit Watch(QWidget* window) {
        window->installEventFilter(this);
        for (QWidget* part : window->findChildren<QWidget*>())
            part->installEventFilter(this);
    }
    int paints = 0;
    int posted = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return QObject::eventFilter(watched, event);
    }
    bool event(QEvent* event) override {
        posted += event->type() == QEvent::User;
        return QObject::event(event);
    }
};

TEST_F(MainWindow, LoadingWindowIsPaintedAndEventsFlowWhileALongListComesBack) {
    window->show();
    std::vector<std::string> many(2 * Tform_carregar::kMostBetweenEvents + 100);
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i] = dir.file("nenhum" + std::to_string(i) + ".bmp");
    window->append(many);
    tab->setCurrentIndex(1);

    Tform_carregar* loading = window->carregar();
    auto* label = loading->findChild<QLabel*>("c_aguarde");
    ASSERT_TRUE(label);
    Watch watch(loading);
    struct Seen {
        bool visible = false, label_shown = false, playing = false;
        int paints = 0, posted = 0, rows = 0;
    };
    Seen first, last;
    int insertions = 0;
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, [&] {
        last = {loading->isVisible(), label->isVisible(), loading->animation()->playing(),
                watch.paints,         watch.posted,       list->count()};
        if (insertions++ == 0) {
            first = last;
            // Delivered only if window events are processed before the copy ends.
            QCoreApplication::postEvent(&watch, new QEvent(QEvent::User));
        }
    });
    tab->setCurrentIndex(0);

    // Up and painted, texts and animation included, before the first path came back.
    EXPECT_TRUE(first.visible);
    EXPECT_TRUE(first.label_shown);
    EXPECT_EQ(label->text(), "Aguarde Carregando Lista ...");
    EXPECT_EQ(loading->windowTitle(), "Aguarde ...");
    EXPECT_TRUE(first.playing);
    EXPECT_GE(first.paints, 3);  // the window, its animation and its label
    EXPECT_LT(first.rows, static_cast<int>(many.size()));
    // The paths came back a few at a time, with events processed in between.
    EXPECT_GE(insertions, 3);
    EXPECT_TRUE(last.visible);
    EXPECT_EQ(last.posted, 1);
    EXPECT_EQ(last.rows, static_cast<int>(many.size()));
    EXPECT_EQ(window->shown_list(), many);
    EXPECT_TRUE(loading->isHidden());
    EXPECT_FALSE(loading->animation()->playing());
    EXPECT_EQ(count->text(), QString("%1 Arquivo(s) Adicionado(s)").arg(many.size()));
}

TEST_F(MainWindow, FirstFileGoneLeavesThePanelAlone) {
    std::string a = picture("a.bmp"), b = picture("b.bmp");
    window->append({a, b});
    select(1);
    EXPECT_EQ(name->text(), "b.bmp");
    tab->setCurrentIndex(1);
    std::filesystem::remove(a);
    tab->setCurrentIndex(0);
    EXPECT_EQ(window->shown_list(), (std::vector<std::string>{a, b}));
    EXPECT_EQ(list->currentRow(), -1);
    // The panel still shows what it showed before the switches.
    EXPECT_EQ(name->text(), "b.bmp");
}

// Notes what the information panel shows at the moment each warning is
// given.
struct PanelAtWarnings : testing::ScriptedDialogs {
    std::function<QStringList()> panel;
    QList<QStringList> seen;
    void warn(QWidget* parent, const QString& title, const QString& text) override {
        seen << panel();
        ScriptedDialogs::warn(parent, title, text);
    }
};

// A file that cannot be described is reported, and by then nothing of the
// file described before is left beside its name: the failing step's field,
// the ones after it and the thumbnail are empty. The lists stay.
TEST_F(MainWindow, UnreadablePictureIsReportedWithNothingOfTheFileBefore) {
    PanelAtWarnings dialogs;
    auto text = [&](const char* field) { return window->findChild<QLabel*>(field)->text(); };
    const QLabel* thumbnail = window->findChild<QLabel*>("ver");
    dialogs.panel = [&] {
        return QStringList{text("n_arquivo"), text("n_tamanho"), text("n_resolucao"),
                           text("n_criado"),
                           thumbnail->pixmap().isNull() ? "no thumbnail" : "thumbnail"};
    };
    const std::string good = dir.file("good.jpg");
    encode_jpeg(testing::pattern_bitmap(30, 20), good);
    const std::string pipe = dir.file("pipe.jpg");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string old = picture("old.bmp", 40, 30);
    const timespec times[2] = {{100000, 0}, {100000, 0}};  // 1970: no FAT date
    ASSERT_EQ(::utimensat(AT_FDCWD, old.c_str(), times, 0), 0);
    const QString old_size = QString("%1 bytes").arg(std::filesystem::file_size(old));

    struct Case {
        std::string path;
        QString warning;
        QStringList panel;  // name, size, resolution, date, thumbnail
    };
    const Case cases[] = {
        {dir.write("bad.bmp", "BM but nothing else of a bitmap"),
         "Bitmap image is not valid",
         {"bad.bmp", "31 bytes", "", "", "no thumbnail"}},
        {dir.write("damaged.jpg", "not a jpeg"),
         "JPEG error #53",
         {"damaged.jpg", "10 bytes", "", "", "no thumbnail"}},
        {dir.write("notes.txt", "text"),
         "Unknown picture file extension (.txt)",
         {"notes.txt", "4 bytes", "", "", "no thumbnail"}},
        {pipe,
         QString::fromStdString("Cannot open file \"" + pipe + "\". Not a regular file"),
         {"pipe.jpg", "0 bytes", "", "", "no thumbnail"}},
        {old,
         "Invalid argument to date encode",
         {"old.bmp", old_size, "40 x 30", "", "no thumbnail"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        window->append({good, c.path});
        select(list->count() - 2);
        ASSERT_EQ(text("n_resolucao"), "30 x 20");
        ASSERT_FALSE(thumbnail->pixmap().isNull());
        select(list->count() - 1);
        ASSERT_EQ(dialogs.warnings.size(), dialogs.seen.size());
        EXPECT_EQ(dialogs.warnings.last(), c.warning);
        EXPECT_EQ(dialogs.seen.last(), c.panel);
        EXPECT_EQ(dialogs.panel(), c.panel);
    }
    EXPECT_EQ(dialogs.warnings.size(), static_cast<qsizetype>(std::size(cases)));
    EXPECT_EQ(window->shown_list().size(), 2 * std::size(cases));
    EXPECT_TRUE(window->isEnabled());
}

// Selecting a pipe in the list refuses it at once instead of waiting for a
// writer.
TEST_F(MainWindow, APipeInTheListIsRefusedWithoutWaiting) {
    testing::ScriptedDialogs warnings;
    const std::string pipe = dir.file("pipe.bmp");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    window->append({pipe});
    select(0);
    EXPECT_EQ(warnings.warnings, QStringList{QString::fromStdString("Cannot open file \"" + pipe +
                                                                    "\". Not a regular file")});
    EXPECT_EQ(window->shown_list().size(), 1u);
}

TEST_F(MainWindow, FolderFieldsBrowse) {
    testing::ScriptedDialogs dialogs;
    QString initial;
    std::optional<QString> answer;
    dialogs.folder = [&](const QString& start) {
        initial = start;
        return answer;
    };
    auto* field = window->findChild<QLineEdit*>("diretorio_salvar");
    auto* browse = field->findChild<QAction*>("procurar_salvar");
    ASSERT_TRUE(browse);
    field->setText("/tmp/old");
    browse->trigger();  // cancelled
    EXPECT_EQ(initial, "/tmp/old");
    EXPECT_EQ(field->text(), "/tmp/old");
    answer = QString("/tmp/new");
    browse->trigger();
    EXPECT_EQ(field->text(), "/tmp/new");
}

}  // namespace
}  // namespace quillora
