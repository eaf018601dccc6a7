// The button widget's properties: ranges and defaults, the design-mode refusals, the access
// key of a caption, the hover colour locks and the properties shared with QWidget.
#include "widget_fixture_tests.h"

#include <QMap>
#include <functional>

using namespace widget_tests;
using controls::kSysButtonFace;
using controls::kSysButtonText;
using controls::OleColor;

namespace {

struct IntProperty {
    std::function<qint32(const rkButtons_H&)> get;
    std::function<void(rkButtons_H&, qint32)> set;
};

const QMap<QString, IntProperty>& IntProperties() {
    using B = rkButtons_H;
    static const QMap<QString, IntProperty> properties = {
        {"ButtonStyle", {&B::ButtonStyle, &B::setButtonStyle}},
        {"Mode", {&B::Mode, &B::setMode}},
        {"CaptionAlign", {&B::CaptionAlign, &B::setCaptionAlign}},
        {"CaptionStyle", {&B::CaptionStyle, &B::setCaptionStyle}},
        {"ButtonShape", {&B::ButtonShape, &B::setButtonShape}},
        {"PictureAlign", {&B::PictureAlign, &B::setPictureAlign}},
        {"PictureSize", {&B::PictureSize, &B::setPictureSize}},
        {"GradientMode", {&B::GradientMode, &B::setGradientMode}},
        {"HoverColorLocks", {&B::HoverColorLocks, &B::setHoverColorLocks}},
        {"MousePointer", {&B::MousePointer, &B::setMousePointer}},
        {"CustomClick", {&B::CustomClick, &B::setCustomClick}},
    };
    return properties;
}

// A refused (or warned) assignment: what is set up first, the assignment, the message of
// design mode, and what holds afterwards in design mode and at run time.
struct Refusal {
    const char* name;
    std::function<void(rkButtons_H&)> setup;
    std::function<void(rkButtons_H&)> assign;
    QString message;
    std::function<bool(const rkButtons_H&, bool design)> holds;
};

const QList<Refusal>& Refusals() {
    static const QList<Refusal> refusals = {
        {"caption align with image on top",
         [](rkButtons_H& b) {
             b.setPicture(Bitmap());
             b.setPictureAlign(4);
         },
         [](rkButtons_H& b) { b.setCaptionAlign(0); },
         "When button images are aligned top/bottom center, \r\nbutton captions can only be "
         "center aligned",
         [](const rkButtons_H& b, bool) { return b.CaptionAlign() == 2; }},
        {"custom click on a drawn outline", [](rkButtons_H&) {},
         [](rkButtons_H& b) { b.setCustomClick(3); },
         "This property has no effect unless the Button Shape is a custom shape.",
         [](const rkButtons_H& b, bool) { return b.CustomClick() == 3; }},
        {"custom outline without picture", [](rkButtons_H&) {},
         [](rkButtons_H& b) { b.setButtonShape(7); },
         "The Picture Property must be assigned first and must be a bitmap or JPEG.",
         [](const rkButtons_H& b, bool) { return b.ButtonShape() == 0 && b.PictureSize() == 0; }},
        {"custom outline from an icon", [](rkButtons_H& b) { b.setPicture(Icon()); },
         [](rkButtons_H& b) { b.setButtonShape(8); },
         "The Picture Property must be assigned first and must be a bitmap or JPEG.",
         [](const rkButtons_H& b, bool) { return b.ButtonShape() == 0; }},
        {"icon on a custom outline",
         [](rkButtons_H& b) {
             b.setPicture(Bitmap());
             b.setButtonShape(7);
         },
         [](rkButtons_H& b) { b.setPicture(Icon()); },
         "Icons cannot be used for custom buttons. Only use bitmaps or JPEGs.\r\nButton was "
         "changed to Rectangular shaped.",
         [](const rkButtons_H& b, bool) {
             return b.ButtonShape() == 0 && b.Picture() && b.Picture()->isIconLike();
         }},
        {"focus rectangle off on the default button",
         [](rkButtons_H& b) {
             AmbientProperties a = b.Ambient();
             a.DisplayAsDefault = true;
             b.SetAmbient(a);
             b.AmbientChanged("DisplayAsDefault");
         },
         [](rkButtons_H& b) { b.setShowFocusRect(false); },
         "The focus rectangle may appear on default buttons ONLY while in design mode, "
         "\r\nbut will not appear when the form is running.",
         [](const rkButtons_H& b, bool design) {
             return !b.ShowFocusRect() && b.Look().defaultLook == design;
         }},
        {"value on a command button", [](rkButtons_H&) {}, [](rkButtons_H& b) { b.setValue(true); },
         "This property is not applicable for command button modes.",
         [](const rkButtons_H& b, bool) { return !b.Value(); }},
        {"picture size of a custom outline",
         [](rkButtons_H& b) {
             b.setPicture(Bitmap());
             b.setButtonShape(7);
         },
         [](rkButtons_H& b) { b.setPictureSize(1); },
         "The picture size cannot be changed for Shaped buttons",
         [](const rkButtons_H& b, bool) { return b.PictureSize() == 4; }},
        {"bitmap as mouse icon", [](rkButtons_H& b) { b.setMousePointer(2); },
         [](rkButtons_H& b) { b.setMouseIcon(Bitmap()); }, "Select .ico Or .cur Files Only",
         [](const rkButtons_H& b, bool) { return !b.MouseIcon() && b.MousePointer() == 2; }},
    };
    return refusals;
}

} // namespace

class PropertyTests : public QObject {
    Q_OBJECT
private slots:
    void ranges_data();
    void ranges();
    void refusals_data();
    void refusals();
    void accessKey_data();
    void accessKey();
    void accessKeyPressClicks();
    void hoverLocks_data();
    void hoverLocks();
    void resetDefaultColors();
    void fontStyle_data();
    void fontStyle();
    void enabledWhicheverWay();
    void fontThroughBase();
    void shapeCentresCaptionAndSizesImage();
    void modeChanges();
    void delayDrawing();
    void handles();
};

void PropertyTests::ranges_data() {
    QTest::addColumn<QString>("property");
    QTest::addColumn<int>("defaultValue");
    QTest::addColumn<int>("valid");
    QTest::addColumn<QList<int>>("invalid");
    QTest::addColumn<QString>("key");
    const auto row = [](const char* p, int def, int valid, QList<int> invalid, const char* key) {
        QTest::newRow(p) << QString(p) << def << valid << invalid << QString(key);
    };
    row("ButtonStyle", 0, 5, {-1, 8}, "BackStyle");
    row("Mode", 0, 1, {-1, 3}, "Mode");
    row("CaptionAlign", 2, 0, {-1, 3}, "CapAlign");
    row("CaptionStyle", 0, 2, {-1, 3}, "CapStyle");
    row("ButtonShape", 0, 6, {-1, 9}, "Shape");
    row("PictureAlign", 0, 3, {-1, 6}, "ImgAlign");
    row("PictureSize", 0, 3, {-1, 5}, "ImgSize");
    row("GradientMode", 0, 4, {-1, 5}, "Gradient");
    row("HoverColorLocks", 0, 3, {-1, 4}, "LockHover");
    row("MousePointer", 0, 11, {-1, 16, 98, 100}, "mPointer");
}

void PropertyTests::ranges() {
    QFETCH(QString, property);
    QFETCH(int, defaultValue);
    QFETCH(int, valid);
    QFETCH(QList<int>, invalid);
    QFETCH(QString, key);
    for (const bool design : {true, false}) {
        Form form(design);
        rkButtons_H* b = form.Add();
        MessageLog log;
        EventLog events(b, false, true);
        const IntProperty& p = IntProperties()[property];
        QCOMPARE(p.get(*b), defaultValue);
        for (const int v : invalid) {
            p.set(*b, v);
            QCOMPARE(p.get(*b), defaultValue);
        }
        QCOMPARE(events.marks, QStringList());
        p.set(*b, valid);
        QCOMPARE(p.get(*b), valid);
        QVERIFY2(events.marks.contains(key), qPrintable(events.marks.join(',')));
        QCOMPARE(log.messages, QStringList());
    }
}

void PropertyTests::refusals_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("design");
    for (int i = 0; i < Refusals().size(); ++i) {
        QTest::addRow("%s, design", Refusals()[i].name) << i << true;
        QTest::addRow("%s, run", Refusals()[i].name) << i << false;
    }
}

void PropertyTests::refusals() {
    QFETCH(int, index);
    QFETCH(bool, design);
    const Refusal& r = Refusals()[index];
    Form form(design);
    rkButtons_H* b = form.Add();
    MessageLog log;
    r.setup(*b);
    log.messages.clear();
    r.assign(*b);
    QCOMPARE(log.messages, design ? QStringList{r.message} : QStringList());
    QVERIFY(r.holds(*b, design));
}

void PropertyTests::accessKey_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("key");
    for (const auto& [caption, key] : QList<QPair<const char*, const char*>>{{"&Exit", "E"},
                                                                             {"Save &As", "A"},
                                                                             {"Fish && Chips", ""},
                                                                             {"Up&", ""},
                                                                             {"&", ""},
                                                                             {"a&&b&c", "c"},
                                                                             {"&x&&", "x"},
                                                                             {"&&&Go", "G"},
                                                                             {"&a&b", "b"},
                                                                             {"Update", ""},
                                                                             {"", ""}})
        QTest::addRow("\"%s\"", caption) << QString(caption) << QString(key);
}

void PropertyTests::accessKey() {
    QFETCH(QString, caption);
    QFETCH(QString, key);
    QCOMPARE(QString(rkButtons_H::AccessKeyOf(caption)).remove(QChar()), key);
    Form form;
    rkButtons_H* b = form.Add();
    b->setCaption(caption);
    QCOMPARE(b->Caption(), caption);
    QCOMPARE(QString(b->AccessKey()).remove(QChar()), key);
}

void PropertyTests::accessKeyPressClicks() {
    Form form;
    rkButtons_H* exit = form.Add();
    rkButtons_H* other = form.Add();
    exit->setCaption("&Exit");
    other->setCaption("&Run");
    EventLog exitEvents(exit);
    EventLog otherEvents(other);
    form.Activate();
    QTest::keyClick(&form.window, Qt::Key_E, Qt::AltModifier);
    QTRY_COMPARE(exitEvents.events, QStringList{"Click"});
    QCOMPARE(otherEvents.events, QStringList());
    // A changed caption takes its new key; the old one no longer clicks.
    exit->setCaption("E&xit");
    QTest::keyClick(&form.window, Qt::Key_E, Qt::AltModifier);
    QTest::keyClick(&form.window, Qt::Key_X, Qt::AltModifier);
    QTRY_COMPARE(exitEvents.events, (QStringList{"Click", "Click"}));
}

namespace {
constexpr OleColor kRed = 0x0000FF;
constexpr OleColor kGreen = 0x00FF00;
constexpr OleColor kBlue = 0xFF0000;
} // namespace

void PropertyTests::hoverLocks_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("locks");
    QTest::addColumn<uint>("hoverFore");
    QTest::addColumn<uint>("hoverBack");
    const auto row = [](const char* name, const char* steps, int locks, uint fore, uint back) {
        QTest::newRow(name) << QString(steps) << locks << fore << back;
    };
    const uint text = kSysButtonText;
    const uint face = kSysButtonFace;
    // Steps: f ForeColor, b BackColor, g GradientColor, m GradientMode, F HoverForeColor,
    // B HoverBackColor, L HoverColorLocks, each followed by its value.
    row("hover fore equal to fore", "f255 F255", 0, 255, face);
    row("hover fore differs", "F65280", 2, 65280, face);
    row("hover fore differs, back locked", "B255 F65280", 3, 65280, 255);
    row("hover back differs", "B65280", 1, text, 65280);
    row("hover back equal to back", "b255 B255", 0, text, 255);
    row("fore followed while unlocked", "f255", 0, 255, face);
    row("fore not followed when locked", "F65280 f255", 2, 65280, face);
    row("back follows back", "b255", 0, text, 255);
    row("back takes the gradient colour and locks", "m1 g65280 B2147483663 b255", 1, text, 65280);
    row("gradient colour followed directly", "m2 g16711680", 0, text, kBlue);
    row("gradient colour not followed without mode", "g16711680", 0, text, face);
    row("mode back to none copies the back colour", "b255 g65280 m3 m0", 0, text, 255);
    row("locks cleared re-copy both", "F65280 B16711680 L0", 0, text, face);
    row("lock 1 keeps the hover back", "B16711680 F65280 L1", 1, text, kBlue);
    row("lock 2 keeps the hover fore", "B16711680 F65280 L2", 2, 65280, face);
    row("locked back ignores back", "B65280 b255", 1, text, 65280);
}

void PropertyTests::hoverLocks() {
    QFETCH(QString, steps);
    QFETCH(int, locks);
    QFETCH(uint, hoverFore);
    QFETCH(uint, hoverBack);
    using B = rkButtons_H;
    const QMap<char, std::function<void(B&, quint32)>> setters = {
        {'f', &B::setForeColor},
        {'b', &B::setBackColor},
        {'g', &B::setGradientColor},
        {'m', [](B& b, quint32 v) { b.setGradientMode(v); }},
        {'F', &B::setHoverForeColor},
        {'B', &B::setHoverBackColor},
        {'L', [](B& b, quint32 v) { b.setHoverColorLocks(v); }}};
    Form form;
    rkButtons_H* b = form.Add();
    for (const QString& step : steps.split(' '))
        setters[step[0].toLatin1()](*b, step.mid(1).toUInt());
    QCOMPARE(b->HoverColorLocks(), locks);
    QCOMPARE(b->HoverForeColor(), hoverFore);
    QCOMPARE(b->HoverBackColor(), hoverBack);
}

void PropertyTests::resetDefaultColors() {
    for (const bool design : {false, true}) {
        Form form(design);
        rkButtons_H* b = form.Add();
        b->setForeColor(kRed);
        b->setBackColor(kGreen);
        b->setGradientColor(kBlue);
        b->setGradientMode(2);
        b->setHoverForeColor(kGreen);
        b->setHoverBackColor(kRed);
        QCOMPARE(b->HoverColorLocks(), 3);
        b->setResetDefaultColors(true);
        QCOMPARE(b->ResetDefaultColors(), false);
        QCOMPARE(b->ForeColor(), design ? kSysButtonText : kRed);
        QCOMPARE(b->BackColor(), design ? kSysButtonFace : kGreen);
        QCOMPARE(b->GradientColor(), design ? kSysButtonFace : kBlue);
        QCOMPARE(b->GradientMode(), design ? 0 : 2);
        QCOMPARE(b->HoverColorLocks(), design ? 0 : 3);
        QCOMPARE(b->HoverForeColor(), design ? kSysButtonText : kGreen);
        QCOMPARE(b->HoverBackColor(), design ? kSysButtonFace : kRed);
        QVERIFY(!b->DrawingDelayed());
    }
}

void PropertyTests::fontStyle_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("readBack");
    QTest::newRow("all three") << 0 << 14 << 14;
    QTest::newRow("bit 1 clears all") << 14 << 1 << 0;
    QTest::newRow("bold only") << 12 << 2 << 2;
    QTest::newRow("italic and underline") << 2 << 12 << 12;
}

void PropertyTests::fontStyle() {
    QFETCH(int, start);
    QFETCH(int, style);
    QFETCH(int, readBack);
    Form form;
    rkButtons_H* b = form.Add();
    b->setFontStyle(start);
    EventLog events(b, false, true);
    b->setFontStyle(style);
    QCOMPARE(b->FontStyle(), readBack);
    QCOMPARE(b->Font().bold(), (style & 2) != 0);
    QCOMPARE(b->Font().italic(), (style & 4) != 0);
    QCOMPARE(b->Font().underline(), (style & 8) != 0);
    QCOMPARE(b->Look().font, b->Font());
    QCOMPARE(events.marks, QStringList{"Font"});
}

void PropertyTests::enabledWhicheverWay() {
    Form form;
    QWidget frame(&form.window);
    rkButtons_H* b = form.Add(&frame);
    EventLog events(b, false, true);
    b->setEnabled(false);
    QVERIFY(!b->Enabled());
    QVERIFY(!b->isEnabled());
    QVERIFY(!b->Look().enabled);
    QWidget* base = b;
    base->setEnabled(true);
    QVERIFY(b->Enabled());
    QVERIFY(b->Look().enabled);
    QCOMPARE(events.marks, (QStringList{"Enabled", "Enabled"}));
    // A disabled container takes the input away, not the control's own setting.
    frame.setEnabled(false);
    QVERIFY(b->Enabled());
    QVERIFY(!b->Look().enabled);
    frame.setEnabled(true);
    QVERIFY(b->Look().enabled);
    QCOMPARE(events.marks.size(), 2);
    // Assigning the same state still counts as an assignment.
    b->setEnabled(true);
    QCOMPARE(events.marks.size(), 3);
}

void PropertyTests::fontThroughBase() {
    Form form;
    rkButtons_H* b = form.Add();
    QFont f("DejaVu Serif", 17);
    f.setItalic(true);
    static_cast<QWidget*>(b)->setFont(f);
    QCOMPARE(b->Font().pointSize(), 17);
    QCOMPARE(b->Look().font.pointSize(), 17);
    QCOMPARE(b->FontStyle(), 4);
}

void PropertyTests::shapeCentresCaptionAndSizesImage() {
    Form form;
    rkButtons_H* b = form.Add();
    for (const int shape : {0, 3, 6}) {
        b->setCaptionAlign(0);
        b->setButtonShape(shape);
        QCOMPARE(b->CaptionAlign(), 2);
    }
    b->setPictureSize(3);
    QCOMPARE(b->Look().imageSize, qint16(40));
    QCOMPARE(b->PictureSize(), 3);
    b->setPicture(Bitmap(40));
    b->setPictureSize(0);
    b->setButtonShape(8);
    QCOMPARE(b->ButtonShape(), 8);
    QCOMPARE(b->PictureSize(), 4);
    QCOMPARE(b->Look().imageSize, qint16(48));
    QVERIFY(!b->DrawingDelayed());
    // A custom outline with its picture taken away becomes a rectangle.
    b->setPicture(nullptr);
    QCOMPARE(b->ButtonShape(), 0);
    // Caption alignment 0 is accepted with no picture even for images on top.
    b->setPictureAlign(5);
    b->setCaptionAlign(0);
    QCOMPARE(b->CaptionAlign(), 0);
}

void PropertyTests::modeChanges() {
    Form form;
    rkButtons_H* b = form.Add();
    b->setMode(1);
    b->setValue(true);
    QVERIFY(b->Value());
    EventLog events(b, false, true);
    b->setMode(0);
    QVERIFY(!b->Value());
    QCOMPARE(events.marks, (QStringList{"Value", "Mode"}));
    b->setMode(2);
    QCOMPARE(form.window.property("rk_OptCount").toInt(), 1);
    b->setMode(1);
    QVERIFY(!form.window.property("rk_OptCount").isValid());
}

void PropertyTests::delayDrawing() {
    Form form;
    rkButtons_H* b = form.Add();
    form.Show();
    b->DelayDrawing(true);
    b->setCaption("One");
    b->setBackColor(kRed);
    QVERIFY(b->DrawingDelayed());
    b->DelayDrawing(false);
    QVERIFY(!b->DrawingDelayed());
    b->DelayDrawing(true);
    b->Refresh();
    QVERIFY(!b->DrawingDelayed());
    // ForeColor ends a delay by itself.
    b->DelayDrawing(true);
    b->setForeColor(kBlue);
    QVERIFY(!b->DrawingDelayed());
    // A paint of the window ends it as well.
    b->DelayDrawing(true);
    b->repaint();
    QVERIFY(!b->DrawingDelayed());
}

void PropertyTests::handles() {
    Form form;
    rkButtons_H* a = form.Add();
    rkButtons_H* b = form.Add();
    QVERIFY(a->hdc() != 0);
    QVERIFY(a->hdc() != b->hdc());
    QCOMPARE(rkButtons_H::DrawingSurface(a->hdc()), &a->Painter().surface());
    const quint32 gone = b->hdc();
    delete b;
    QCOMPARE(rkButtons_H::DrawingSurface(gone), nullptr);
    QCOMPARE(a->hWnd(), quint32(a->winId()));
    QVERIFY(a->hWnd() != 0);
}

int RunPropertyTests(int argc, char** argv) {
    PropertyTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "widget_properties_tests.moc"
