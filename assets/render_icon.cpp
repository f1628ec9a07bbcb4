// Build-time tool: renders an SVG picture into a square PNG of the size given,
// with Qt's SVG renderer (the one the program draws its pictures with).
//   render_icon SOURCE.svg SIZE OUTPUT.png
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: render_icon SOURCE.svg SIZE OUTPUT.png\n");
        return 2;
    }
    const int size = std::atoi(argv[2]);
    if (size < 1 || size > 4096) {
        std::fprintf(stderr, "render_icon: size must be 1 to 4096\n");
        return 2;
    }
    // No window is ever shown: the offscreen platform needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "render_icon: %s: not a picture Qt SVG can render\n", argv[1]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    const QString output = QString::fromLocal8Bit(argv[3]);
    QDir().mkpath(QFileInfo(output).absolutePath());
    if (!image.convertToFormat(QImage::Format_ARGB32).save(output, "PNG")) {
        std::fprintf(stderr, "render_icon: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
