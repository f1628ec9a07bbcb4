// What start-up makes: the main window first, then the reusable windows in
// their order, hidden; and the error window made then, which reports a
// failure for want of memory.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTextEdit>
#include <QTimer>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "app/frm_erro.h"
#include "app/frm_principal.h"
#include "platform/error.h"

namespace quillora {
namespace {

// Notes every widget as it comes into being, in that order.
class Births : public QObject {
  public:
    Births() { qApp->installEventFilter(this); }
    ~Births() override { qApp->removeEventFilter(this); }

    // The program's windows among them (class names), in order of birth.
    std::vector<std::string> windows() const {
        std::vector<std::string> names;
        for (const QPointer<QObject>& born : born_) {
            auto* widget = qobject_cast<QWidget*>(born.data());
            const std::string name = widget ? widget->metaObject()->className() : "";
            if (widget && widget->isWindow() &&
                (name.starts_with("quillora::Tform_") || name == "quillora::TFormErro"))
                names.push_back(name);
        }
        return names;
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Create)
            born_.emplace_back(watched);
        return false;
    }

  private:
    std::vector<QPointer<QObject>> born_;
};

TEST(StartUp, WindowsAreMadeInTheirOrderAndStayHidden) {
    Births births;
    Tform_principal window;
    window.create_windows();
    EXPECT_EQ(births.windows(),
              (std::vector<std::string>{"quillora::Tform_principal", "quillora::Tform_definir",
                                        "quillora::Tform_buscar", "quillora::Tform_carregar",
                                        "quillora::Tform_progresso", "quillora::Tform_screen",
                                        "quillora::Tform_sobre", "quillora::TFormErro"}));
    const auto error_windows = window.findChildren<TFormErro*>();
    ASSERT_EQ(error_windows.size(), 1);
    for (QWidget* made : QApplication::topLevelWidgets())
        EXPECT_TRUE(made->isHidden()) << made->metaObject()->className();
}

// Fails with `failure` in the event loop of a started program and prints
// whether the report came in the window made at start or in a fresh one.
template <class Failure>
void fail_after_start_up(const Failure& failure) {
    Tform_principal window;
    window.create_windows();
    window.show();
    QPointer<TFormErro> standby = window.findChild<TFormErro*>();
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* shown = qobject_cast<TFormErro*>(QApplication::activeModalWidget());
        if (!shown)
            return;
        answer.stop();
        std::fprintf(stderr, "report in the %s window [%s]\n",
                     shown == standby ? "start-up" : "fresh",
                     qPrintable(shown->findChild<QTextEdit*>("mensagem")->toPlainText()));
        shown->accept();
    });
    answer.start(1);
    QTimer::singleShot(0, [&] { throw failure; });
    QApplication::exec();
    std::fprintf(stderr, "start-up window %s\n",
                 standby && standby->isHidden() ? "hidden" : "shown or gone");
    std::exit(failure_reported() ? 1 : 0);
}

TEST(StartUp, AFailureIsReportedInAFreshWindow) {
    EXPECT_EXIT(fail_after_start_up(Error("Stream read error")), ::testing::ExitedWithCode(1),
                "report in the fresh window \\[Ocorreu o Seguinte Erro: - Stream read error "
                ".*start-up window hidden");
}

TEST(StartUp, RunningOutOfMemoryIsReportedInTheWindowMadeAtStart) {
    EXPECT_EXIT(fail_after_start_up(std::bad_alloc()), ::testing::ExitedWithCode(1),
                "report in the start-up window \\[Ocorreu o Seguinte Erro: - std::bad_alloc ");
}

}  // namespace
}  // namespace quillora
