#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <filesystem>

#include "app/frm_principal.h"
#include "app/frm_sobre.h"
#include "platform/maker.h"
#include "support/qt_print.h"
#include "support/when_shown.h"

namespace quillora {
namespace {

// Records the addresses the program asks the desktop to open.
class OpenedUrls : public QObject {
    Q_OBJECT
  public:
    OpenedUrls() {
        for (const char* scheme : {"https", "file"})
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~OpenedUrls() override {
        for (const char* scheme : {"https", "file"})
            QDesktopServices::unsetUrlHandler(scheme);
    }
    QList<QUrl> urls;
  public slots:
    void open(const QUrl& url) { urls << url; }
};

QColor text_colour(const QLabel* label) {
    return label->palette().color(QPalette::WindowText);
}

TEST(AboutBox, ContentLinkAndClose) {
    Tform_principal window;
    window.create_windows();
    Tform_sobre* about = window.sobre();
    EXPECT_EQ(about->windowTitle(), "Sobre");
    EXPECT_EQ(about->size(), QSize(298, 247));
    EXPECT_EQ(about->findChild<QLabel*>("Label2")->text(),
              QString::fromUtf8("Quillora\nVersão 1.0\nData: 15/06/2005\n\n"
                                "Converta suas imagens de uma maneira rápida e simples"));
    auto* link = about->findChild<QLabel*>("urlsite");
    EXPECT_EQ(link->text(), kMakerPage);
    EXPECT_EQ(text_colour(link), QColor(Qt::blue));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(link, &enter);
    EXPECT_EQ(text_colour(link), QColor(Qt::red));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    EXPECT_EQ(text_colour(link), QColor(Qt::blue));

    OpenedUrls opened;
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(link, &release);
    ASSERT_EQ(opened.urls.size(), 1);
    EXPECT_EQ(opened.urls[0], QUrl(kMakerPage));

    bool shown = false;
    testing::WhenShown<QDialog> answer([&](QDialog* modal) {
        shown = modal == about;
        modal->findChild<QPushButton*>("btok")->click();
    });
    window.findChild<QAction*>("Sobre1")->trigger();
    EXPECT_TRUE(shown);
}

TEST(Help, OpensTheFileBesideTheExecutableWhateverTheWorkingFolder) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    Tform_principal window;
    OpenedUrls opened;
    window.findChild<QAction*>("Ajuda1")->trigger();
    std::filesystem::current_path(previous);
    ASSERT_EQ(opened.urls.size(), 1);
    EXPECT_EQ(opened.urls[0].toLocalFile(),
              QCoreApplication::applicationDirPath() + "/ajuda_quillora.chm");
    // The built program has its help file beside it.
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(QUILLORA_EXE).parent_path() /
                                        "ajuda_quillora.chm"));
}

TEST(Exit, SairClosesTheMainWindow) {
    Tform_principal window;
    window.show();
    window.findChild<QAction*>("Sair1")->trigger();
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace quillora

#include "about_help_gui.moc"
