// Colour values: resolution of system colours, the colour shift with its rounding and its
// proportional and inverting variants, and the face colours each style derives.
#include "painter_tests.h"

#include <QPalette>
#include <QtTest>

namespace painter_tests {

namespace {

class ColorTests : public QObject {
    Q_OBJECT
private slots:
    void shift_data() {
        QTest::addColumn<quint32>("rgb");
        QTest::addColumn<int>("amount");
        QTest::addColumn<int>("kind");
        QTest::addColumn<quint32>("expected");
        const int plain = int(ShiftKind::Plain), prop = int(ShiftKind::Proportional),
                  invert = int(ShiftKind::Inverting);
        // Green and blue divide by 255 and 65280: 128 reads as 128.5 and rounds up to 129.
        QTest::newRow("grey down 16") << 0x808080u << -16 << plain << 0x717170u;
        QTest::newRow("white down 32") << 0xFFFFFFu << -32 << plain << 0xE0E0DFu;
        QTest::newRow("green 128 rounds up") << 0x008000u << 0 << plain << 0x008100u;
        QTest::newRow("0x123456 unchanged") << 0x123456u << 0 << plain << 0x123456u;
        QTest::newRow("black up 10") << 0x000000u << 10 << plain << 0x0A0A0Au;
        QTest::newRow("clamped high") << 0xFFFFFFu << 100 << plain << 0xFFFFFFu;
        QTest::newRow("clamped low") << 0x101010u << -100 << plain << 0x000000u;
        QTest::newRow("green 255 reads 256") << 0x00FF00u << -1 << plain << 0x00FF00u;
        QTest::newRow("proportional up") << 0x808080u << 48 << prop << 0xA1B1B0u;
        QTest::newRow("proportional down truncates toward zero")
            << 0x808080u << -50 << prop << 0x604F4Eu;
        QTest::newRow("proportional no blue") << 0x0000FFu << 40 << prop << 0x0028FFu;
        QTest::newRow("inverting") << 0x102030u << 0 << invert << 0xEFDFCFu;
        QTest::newRow("inverting after clamp") << 0xF0F0F0u << 40 << invert << 0x000000u;
    }
    void shift() {
        QFETCH(quint32, rgb);
        QFETCH(int, amount);
        QFETCH(int, kind);
        QFETCH(quint32, expected);
        QCOMPARE(Hex(ShiftColor(rgb, amount, ShiftKind(kind))), Hex(expected));
    }

    void resolve_data() {
        QTest::addColumn<quint32>("color");
        QTest::addColumn<quint32>("expected");
        const QPalette pal = QApplication::palette();
        auto role = [&](QPalette::ColorRole r, QPalette::ColorGroup g = QPalette::Active) {
            return FromQColor(pal.color(g, r));
        };
        QTest::newRow("button face") << 0x8000000Fu << role(QPalette::Button);
        QTest::newRow("button text") << 0x80000012u << role(QPalette::ButtonText);
        QTest::newRow("highlight") << 0x8000000Du << role(QPalette::Highlight);
        QTest::newRow("highlight text") << 0x8000000Eu << role(QPalette::HighlightedText);
        QTest::newRow("window") << 0x80000005u << role(QPalette::Base);
        QTest::newRow("window text") << 0x80000008u << role(QPalette::WindowText);
        QTest::newRow("grey text") << 0x80000011u << role(QPalette::Text, QPalette::Disabled);
        QTest::newRow("3D dark shadow") << 0x80000015u << role(QPalette::Shadow);
        QTest::newRow("desktop, fixed") << 0x80000001u << 0x808000u;
        QTest::newRow("active caption, fixed") << 0x80000002u << 0x800000u;
        QTest::newRow("window frame, fixed") << 0x80000006u << 0x000000u;
        QTest::newRow("unknown index") << 0x800000FFu << 0x000000u;
        QTest::newRow("rgb") << 0x00123456u << 0x123456u;
        QTest::newRow("rgb, top byte ignored") << 0x01123456u << 0x123456u;
    }
    void resolve() {
        QFETCH(quint32, color);
        QFETCH(quint32, expected);
        QCOMPARE(Hex(ResolveColor(color)), Hex(expected));
    }

    void derived_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<quint32>("face");
        QTest::addColumn<quint32>("shade");
        QTest::addColumn<quint32>("hover");
        QTest::addColumn<quint32>("checked");
        // BackColor 0x808080, HoverBackColor 0x404040.
        QTest::newRow("style 0") << 0 << 0x808080u << 0x808080u << 0x404040u << 0xE0E0DFu;
        QTest::newRow("style 2") << 2 << 0xB1B1B0u << 0x929290u << 0x707070u << 0xE0E0DFu;
        QTest::newRow("style 3") << 3 << 0x808080u << 0x8D8D8Cu << 0x404040u << 0xADADABu;
        QTest::newRow("style 6") << 6 << 0x808080u << 0x808080u << 0x404040u << 0xE0E0DFu;
        QTest::newRow("style 7") << 7 << 0xA0A09Fu << 0x717170u << 0x5F5F5Fu << 0x919190u;
    }
    void derived() {
        QFETCH(int, style);
        ButtonLook look = PlainLook(style, 0);
        look.hoverBackColor = 0x404040;
        ButtonPainter p;
        p.UpdateBackColor(look);
        QTEST(p.faceColor(), "face");
        QTEST(p.faceShadeColor(), "shade");
        QTEST(p.hoverFaceColor(), "hover");
        QTEST(p.checkedFaceColor(), "checked");
    }

    void conversions() {
        QCOMPARE(ToQColor(0x123456), QColor(0x56, 0x34, 0x12));
        QCOMPARE(FromQColor(QColor(0x56, 0x34, 0x12)), 0x123456u);
    }
};

} // namespace

int RunColorTests(int argc, char** argv) {
    ColorTests t;
    return QTest::qExec(&t, argc, argv);
}

} // namespace painter_tests

#include "painter_color_tests.moc"
