// Renders every style and outline of the button in six states (normal, hover, pressed,
// checked, disabled, default), and a row of extras (gradients, caption styles, large image,
// two-line caption), into one PNG:
//
//   button_gallery OUTPUT.png
#include "button_painter.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <cstdio>
#include <functional>

namespace {

using namespace controls;

constexpr int kCellW = 112;
constexpr int kCellH = 40;
constexpr int kLabelW = 120;
constexpr QSize kButton(100, 30);
const char* const kStates[] = {"normal", "hover", "pressed", "checked", "disabled", "default"};
const char* const kStyles[] = {"0 classic", "1 flat",    "2 soft",    "3 metal",
                               "4 bevel",   "5 rounded", "6 toolbar", "7 grey"};

// A small icon: a green disc with a white tick, alpha outside the disc.
PictureRef MakeIcon() {
    auto p = std::make_shared<ButtonPicture>();
    p->kind = ButtonPicture::Kind::Icon;
    p->image = QImage(16, 16, QImage::Format_ARGB32);
    p->image.fill(Qt::transparent);
    QPainter g(&p->image);
    g.setRenderHint(QPainter::Antialiasing);
    g.setBrush(QColor(40, 150, 60));
    g.setPen(Qt::NoPen);
    g.drawEllipse(1, 1, 14, 14);
    g.setPen(QPen(Qt::white, 2));
    g.drawPolyline(QPolygon({{4, 8}, {7, 11}, {12, 5}}));
    return p;
}

// A bitmap for the custom outlines: a shape on a white background (the top-left colour).
PictureRef MakeShapeBitmap(bool arrow) {
    auto p = std::make_shared<ButtonPicture>();
    p->image = QImage(kButton, QImage::Format_RGB32);
    p->image.fill(Qt::white);
    QPainter g(&p->image);
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(70, 110, 190));
    if (arrow) {
        g.drawPolygon(QPolygon({{2, 6}, {70, 6}, {70, 1}, {98, 15}, {70, 28}, {70, 23}, {2, 23}}));
    } else {
        g.drawRoundedRect(QRect(1, 1, 98, 28), 14, 14);
        g.setBrush(QColor(150, 180, 230));
        g.drawRoundedRect(QRect(5, 4, 90, 10), 5, 5);
    }
    return p;
}

ButtonLook BaseLook(int style, int shape, quint32 container) {
    ButtonLook look;
    look.style = style;
    look.shape = shape;
    look.caption = shape >= 7 ? "Sha&pe" : "&Update";
    look.containerBackRgb = container;
    look.font = QApplication::font();
    if (shape >= 7) {
        look.picture = MakeShapeBitmap(shape == 8);
        look.imageSize = 48;
        look.foreColor = 0xFFFFFF;
        look.hoverForeColor = 0xFFFFFF;
    } else {
        look.picture = MakeIcon();
        look.pictureAlign = 1;
    }
    return look;
}

void ApplyState(ButtonLook& look, int state) {
    switch (state) {
    case 1:
        look.hot = look.hovering = true;
        break;
    case 2:
        look.pressed = look.hot = look.hovering = true;
        break;
    case 3:
        look.mode = 1;
        look.value = true;
        break;
    case 4:
        look.enabled = false;
        break;
    case 5:
        look.defaultLook = true;
        break;
    default:
        break;
    }
}

// Paints one button and puts it at (x, y) through its outline.
void Place(QPainter& out, const ButtonLook& look, QSize size, int x, int y) {
    ButtonPainter painter;
    painter.Resize(size);
    painter.UpdateFont(look);
    painter.UpdatePicture(look);
    painter.UpdateBackColor(look);
    painter.RebuildOutline(look);
    painter.Relayout(look, true);
    painter.Redraw(look);
    out.save();
    out.setClipRegion(painter.outerRegion().translated(x, y) & QRect(QPoint(x, y), size));
    out.drawImage(x, y, painter.windowImage());
    out.restore();
}

void Label(QPainter& out, int x, int y, const QString& text) {
    out.setPen(Qt::black);
    out.drawText(QRect(x, y, kLabelW - 8, kCellH), Qt::AlignVCenter | Qt::AlignLeft, text);
}

void DrawStyles(QPainter& out, quint32 container, int top) {
    for (int style = 0; style < 8; ++style) {
        for (int state = 0; state < 6; ++state) {
            const int y = top + (style * 6 + state) * kCellH;
            Label(out, 4, y, QString("%1 %2").arg(kStyles[style], kStates[state]));
            for (int shape = 0; shape < 9; ++shape) {
                ButtonLook look = BaseLook(style, shape, container);
                ApplyState(look, state);
                Place(out, look, kButton, kLabelW + shape * kCellW, y + 5);
            }
        }
    }
}

// The main window's four buttons as the window makes them: their size, their stored font
// (8.25 points), on the window's blue; normal and hot, then focused and pressed.
void DrawMainRow(QPainter& out, int y) {
    const char* captions[] = {"&Update", "&Run", "&Stop", "&Exit"};
    const int shapes[] = {2, 3, 3, 1};
    QFont font;
    font.setFamilies({"MS Sans Serif", "Liberation Sans", "DejaVu Sans"});
    font.setPointSizeF(8.25);
    const QColor blue = QApplication::palette().color(QPalette::Highlight);
    out.fillRect(QRect(0, y, kLabelW + 9 * kCellW, 2 * kCellH), blue);
    out.save();
    out.setPen(QApplication::palette().color(QPalette::HighlightedText));
    out.drawText(QRect(4, y, kLabelW - 8, 2 * kCellH), Qt::AlignVCenter | Qt::AlignLeft,
                 "main window\nnormal, hot;\nfocused, pressed");
    out.restore();
    for (int i = 0; i < 16; ++i) {
        ButtonLook look = BaseLook(2, shapes[i % 4], FromQColor(blue));
        look.caption = captions[i % 4];
        look.font = font;
        look.backColor = look.hoverBackColor = kSysButtonFace;
        const int state = i / 4;
        look.hot = look.hovering = state == 1 || state == 3;
        look.defaultLook = state == 2;
        look.pressed = state == 3;
        const int column = i % 8, row = i / 8;
        Place(out, look, i % 4 == 3 ? QSize(72, 25) : QSize(89, 25), kLabelW + column * kCellW,
              y + 6 + row * kCellH);
    }
}

// Gradients 1 to 4, embossed and engraved captions, a 40-pixel image, a two-line caption, a
// disabled RGB caption, and the image on each side.
void DrawExtras(QPainter& out, quint32 container, int y) {
    std::vector<std::function<void(ButtonLook&)>> extras;
    for (int mode = 1; mode <= 4; ++mode) {
        extras.push_back([mode](ButtonLook& l) {
            l.gradientMode = mode;
            l.gradientColor = 0xE0A060;
        });
    }
    extras.push_back([](ButtonLook& l) { l.captionStyle = 1; });
    extras.push_back([](ButtonLook& l) { l.captionStyle = 2; });
    extras.push_back([](ButtonLook& l) { l.imageSize = 40; });
    extras.push_back([](ButtonLook& l) {
        l.caption = "Two||lines";
        l.picture = nullptr;
    });
    extras.push_back([](ButtonLook& l) {
        l.enabled = false;
        l.foreColor = 0x0000C0;
    });
    Label(out, 4, y, "extras (style 2)");
    for (size_t i = 0; i < extras.size(); ++i) {
        ButtonLook look = BaseLook(2, 0, container);
        extras[i](look);
        Place(out, look, QSize(100, 36), kLabelW + int(i) * kCellW, y + 2);
    }
    DrawMainRow(out, y + 2 * kCellH + 8);
    Label(out, 4, y + kCellH + 4, "image places");
    for (int align = 0; align < 6; ++align) {
        ButtonLook look = BaseLook(0, 0, container);
        look.pictureAlign = align;
        look.caption = align >= 4 ? "Go" : "&Update";
        Place(out, look, QSize(100, 44), kLabelW + align * kCellW, y + kCellH + 4);
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: button_gallery OUTPUT.png\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(QFileInfo(path).absolutePath());
    const quint32 container = FromQColor(QApplication::palette().color(QPalette::Window));
    const int top = 24;
    QImage sheet(kLabelW + 9 * kCellW, top + 48 * kCellH + 4 * kCellH + 32, QImage::Format_RGB32);
    sheet.fill(ToQColor(container));
    QPainter out(&sheet);
    for (int shape = 0; shape < 9; ++shape) {
        out.drawText(QRect(kLabelW + shape * kCellW, 4, kButton.width(), 16), Qt::AlignHCenter,
                     QString("outline %1").arg(shape));
    }
    DrawStyles(out, container, top);
    DrawExtras(out, container, top + 48 * kCellH + 8);
    out.end();
    if (!sheet.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
