// Draws the program icon (the shapes of ostrel.svg, which Qt cannot read without its SVG
// module) into the PNG sizes the program and the desktop use. Run by render-icons.sh.
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>

#include <array>
#include <cstdio>

namespace {

struct Shape
{
    QRectF rect;
    double radius;
    const char* color;
};

// Keep in step with ostrel.svg.
constexpr std::array<Shape, 11> kShapes{{
    {{8, 8, 240, 240}, 48, "#1F6F78"},
    {{40, 60, 176, 22}, 11, "#FFFFFF"},
    {{116, 82, 24, 38}, 0, "#D5E3E6"},
    {{48, 120, 160, 92}, 16, "#FFFFFF"},
    {{66, 136, 124, 38}, 6, "#0E3B40"},
    {{78, 146, 26, 18}, 3, "#7CFFB2"},
    {{115, 146, 26, 18}, 3, "#7CFFB2"},
    {{152, 146, 26, 18}, 3, "#7CFFB2"},
    {{80, 186, 96, 40}, 5, "#F2B233"},
    {{92, 196, 52, 7}, 3, "#8A5A00"},
    {{92, 210, 32, 7}, 3, "#8A5A00"},
}};

QImage render(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 256.0, size / 256.0);
    painter.setPen(Qt::NoPen);
    for (const Shape& shape : kShapes) {
        painter.setBrush(QColor(QString::fromLatin1(shape.color)));
        painter.drawRoundedRect(shape.rect, shape.radius, shape.radius);
    }
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    for (const int size : {16, 22, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral("%1/ostrel-%2.png").arg(folder).arg(size);
        if (!render(size).save(path, "PNG")) {
            std::fprintf(stderr, "render-icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
