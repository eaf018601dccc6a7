// The button widget: property ranges, defaults and design-mode refusals, access keys, hover
// colour locks, persistence, and the widget under the mouse and the keyboard (event order,
// hover tracking, keys, option groups, ambient changes, drag and drop).
#include "button_test_support.h"

#include <QTemporaryDir>
#include <QTimer>

using namespace button_tests;
using B = rkButtons_H;

namespace {

// A picture as comparable values (its kind, pixels and hot spot).
QVariant Describe(const PictureRef& p) {
    return p ? QVariantList{int(p->kind), p->image.convertToFormat(QImage::Format_ARGB32),
                            p->hotSpot}
             : QVariantList{};
}

// The stored properties other than pictures and the font, with their types.
// clang-format off
#define ZORV_PROPERTIES(X)                                                                         \
    X(ButtonStyle, qint32) X(Mode, qint32) X(Caption, QString) X(CaptionAlign, qint32)             \
    X(CaptionStyle, qint32) X(CustomClick, qint32) X(ButtonShape, qint32) X(PictureAlign, qint32)  \
    X(Enabled, bool) X(ShowFocusRect, bool) X(Value, bool) X(PictureSize, qint32)                  \
    X(MousePointer, qint32) X(FontStyle, qint32) X(ForeColor, OleColor) X(BackColor, OleColor)     \
    X(GradientColor, OleColor) X(GradientMode, qint32) X(HoverColorLocks, qint32)                  \
    X(HoverForeColor, OleColor) X(HoverBackColor, OleColor)
// clang-format on

// Every stored property of a button, by name.
QVariantMap Snapshot(const B& b) {
    const QFont f = b.Font();
#define ZORV_GET(N, T) {#N, QVariant::fromValue(b.N())},
    return {ZORV_PROPERTIES(ZORV_GET){"Picture", Describe(b.Picture())},
            {"MouseIcon", Describe(b.MouseIcon())},
            {"Font", QVariantList{f.family(), f.pointSizeF(), f.weight()}}};
#undef ZORV_GET
}

// Assigns a property by name.
void Set(B& b, const QString& name, const QVariant& v) {
#define ZORV_SET(N, T) {#N, [](B& b, const QVariant& v) { b.set##N(v.value<T>()); }},
    static const QMap<QString, std::function<void(B&, const QVariant&)>> setters = {
        ZORV_PROPERTIES(ZORV_SET) ZORV_SET(Picture, PictureRef) ZORV_SET(MouseIcon, PictureRef)
            ZORV_SET(Font, QFont)};
#undef ZORV_SET
    QVERIFY2(setters.contains(name), qPrintable(name));
    setters[name](b, v);
}

// A value written in a step: a number, true or false, a test picture or none.
QVariant Value(const QString& text) {
    if (text == "bitmap" || text == "icon")
        return QVariant::fromValue(text == "icon" ? Icon() : Bitmap());
    if (text == "none")
        return QVariant::fromValue(PictureRef());
    if (text == "true" || text == "false")
        return text == "true";
    return text.toLongLong(nullptr, 0);
}

// Assigns "Name=value ..." in order.
void Apply(B& b, const QString& steps) {
    for (const QString& step : steps.split(' ', Qt::SkipEmptyParts))
        Set(b, step.section('=', 0, 0), Value(step.section('=', 1)));
}

// The properties named in "Name=value ..." as the button has them, in the same form.
QString Show(const B& b, const QString& names) {
    const QVariantMap now = Snapshot(b);
    QStringList out;
    for (const QString& step : names.split(' ', Qt::SkipEmptyParts)) {
        const QVariant v = now[step.section('=', 0, 0)];
        const bool picture = v.typeId() == QMetaType::QVariantList;
        out << step.section('=', 0, 0) + "=" +
                   (picture ? QString(v.toList().isEmpty() ? "" : "set") : v.toString());
    }
    return out.join(' ');
}

B* Restore(Form& form, const PropertyBag& bag, OleColor ambientBack = kSysButtonFace) {
    auto* b = new B(&form.window);
    AmbientProperties ambient;
    ambient.UserMode = !form.design;
    ambient.BackColor = ambientBack;
    b->SetAmbient(ambient);
    b->ReadProperties(bag);
    return b;
}

PropertyBag Bag(const QVariantMap& values) {
    PropertyBag bag;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        bag.WriteProperty(it.key(), it.value(), QVariant());
    return bag;
}

const QString kImageAlign = "When button images are aligned top/bottom center, \r\nbutton "
                            "captions can only be center aligned";
const QString kNeedsBitmap =
    "The Picture Property must be assigned first and must be a bitmap or JPEG.";
const QString kIconOnCustom = "Icons cannot be used for custom buttons. Only use bitmaps or "
                              "JPEGs.\r\nButton was changed to Rectangular shaped.";
const QString kFocusOnDefault = "The focus rectangle may appear on default buttons ONLY while "
                                "in design mode, \r\nbut will not appear when the form is "
                                "running.";

} // namespace

class WidgetTests : public QObject {
    Q_OBJECT
private slots:
    // Property, default, accepted value, the key it marks, refused values; in both modes.
    void ranges() {
        const char* rows[] = {
            "ButtonStyle 0 5 BackStyle -1 8",     "Mode 0 1 Mode -1 3",
            "CaptionAlign 2 0 CapAlign -1 3",     "CaptionStyle 0 2 CapStyle -1 3",
            "ButtonShape 0 6 Shape -1 9",         "PictureAlign 0 3 ImgAlign -1 6",
            "PictureSize 0 3 ImgSize -1 5",       "GradientMode 0 4 Gradient -1 5",
            "HoverColorLocks 0 3 LockHover -1 4", "MousePointer 0 11 mPointer -1 16 98 100",
        };
        for (const bool design : {true, false}) {
            for (const QString row : rows) {
                const QStringList f = row.split(' ');
                Form form(design);
                B* b = form.Add();
                MessageLog log;
                EventLog events(b);
                for (const QString& invalid : f.mid(4))
                    Apply(*b, f[0] + "=" + invalid);
                QCOMPARE(Show(*b, f[0]), f[0] + "=" + f[1]);
                QCOMPARE(events.marks, QStringList());
                Apply(*b, f[0] + "=" + f[2]);
                QCOMPARE(Show(*b, f[0]), f[0] + "=" + f[2]);
                QVERIFY2(events.marks.contains(f[3]), qPrintable(row));
                QCOMPARE(log.messages, QStringList());
            }
        }
    }

    // Set-up, assignment, the message shown in design mode only (if any), and what holds in
    // either mode.
    void refusals() {
        const char* custom = "Picture=bitmap ButtonShape=7";
        const char* noEffect =
            "This property has no effect unless the Button Shape is a custom shape.";
        const std::tuple<const char*, const char*, QString, const char*> rows[] = {
            {"Picture=bitmap PictureAlign=4", "CaptionAlign=0", kImageAlign, "CaptionAlign=2"},
            {"", "CustomClick=3", noEffect, "CustomClick=3"},
            {"", "ButtonShape=7", kNeedsBitmap, "ButtonShape=0 PictureSize=0"},
            {"Picture=icon", "ButtonShape=8", kNeedsBitmap, "ButtonShape=0"},
            {custom, "Picture=icon", kIconOnCustom, "ButtonShape=0"},
            {"", "Value=true", "This property is not applicable for command button modes.",
             "Value=false"},
            {custom, "PictureSize=1", "The picture size cannot be changed for Shaped buttons",
             "PictureSize=4"},
            {"MousePointer=2", "MouseIcon=bitmap", "Select .ico Or .cur Files Only",
             "MousePointer=2 MouseIcon="},
            {"", "ShowFocusRect=false", kFocusOnDefault, "ShowFocusRect=false"},
            // Accepted: shaped outlines centre the caption; custom ones take the picture
            // size 48 and become rectangles without their picture.
            {"CaptionAlign=0", "ButtonShape=3", "", "CaptionAlign=2"},
            {"CaptionAlign=1", "ButtonShape=0", "", "CaptionAlign=2"},
            {"Picture=bitmap", "ButtonShape=8", "", "ButtonShape=8 PictureSize=4"},
            {custom, "Picture=none", "", "ButtonShape=0"},
            {"PictureAlign=5", "CaptionAlign=0", "", "CaptionAlign=0"}, // no picture
        };
        for (const bool design : {true, false}) {
            for (const auto& [setup, assign, message, holds] : rows) {
                Form form(design);
                B* b = form.Add();
                AmbientProperties a = b->Ambient();
                a.DisplayAsDefault = true;
                b->SetAmbient(a);
                b->AmbientChanged("DisplayAsDefault");
                MessageLog log;
                Apply(*b, setup);
                log.messages.clear();
                Apply(*b, assign);
                QCOMPARE(log.messages,
                         design && !message.isEmpty() ? QStringList{message} : QStringList());
                QCOMPARE(Show(*b, holds), QString(holds));
            }
        }
    }

    void accessKeys() {
        const QList<QPair<QString, QString>> rows = {
            {"&Exit", "E"}, {"Save &As", "A"}, {"Fish && Chips", ""},
            {"Up&", ""},    {"&", ""},         {"a&&b&c", "c"},
            {"&x&&", "x"},  {"&&&Go", "G"},    {"&a&b", "b"},
            {"Update", ""}, {"", ""},
        };
        Form form;
        B* exit = form.Add();
        for (const auto& [caption, key] : rows) {
            exit->setCaption(caption);
            QCOMPARE(caption + "=" + QString(exit->AccessKey()).remove(QChar()),
                     caption + "=" + key);
        }
        // Alt and the key clicks the button; a changed caption takes its new key only.
        exit->setCaption("&Exit");
        form.Add()->setCaption("&Run");
        EventLog events(exit);
        QVERIFY(form.Show(true));
        QTest::keyClick(&form.window, Qt::Key_E, Qt::AltModifier);
        QTRY_COMPARE(events.events, QStringList{"Click"});
        exit->setCaption("E&xit");
        QTest::keyClick(&form.window, Qt::Key_E, Qt::AltModifier);
        QTest::keyClick(&form.window, Qt::Key_X, Qt::AltModifier);
        QTRY_COMPARE(events.events, (QStringList{"Click", "Click"}));
        // Disabled, the button gets neither the shortcut nor any input.
        exit->setEnabled(false);
        QTest::keyClick(&form.window, Qt::Key_X, Qt::AltModifier);
        QTest::mouseClick(exit, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::keyClick(exit, Qt::Key_Space);
        QCoreApplication::processEvents();
        QCOMPARE(events.events.size(), 2);
    }

    // Colour assignments in order, then the locks and hover colours they leave (0x8000000F
    // and 0x80000012 are the system face and text colours).
    void hoverLocks() {
        const QList<QPair<const char*, const char*>> rows = {
            {"ForeColor=255 HoverForeColor=255", "0 255 0x8000000F"},
            {"HoverForeColor=65280", "2 65280 0x8000000F"},
            {"HoverBackColor=255 HoverForeColor=65280", "3 65280 255"},
            {"HoverBackColor=65280", "1 0x80000012 65280"},
            {"BackColor=255 HoverBackColor=255", "0 0x80000012 255"},
            {"ForeColor=255", "0 255 0x8000000F"},
            {"HoverForeColor=65280 ForeColor=255", "2 65280 0x8000000F"},
            {"BackColor=255", "0 0x80000012 255"},
            {"GradientMode=1 GradientColor=65280 HoverBackColor=0x8000000F BackColor=255",
             "1 0x80000012 65280"},
            {"GradientMode=2 GradientColor=255", "0 0x80000012 255"},
            {"GradientColor=255", "0 0x80000012 0x8000000F"},
            {"BackColor=255 GradientColor=65280 GradientMode=3 GradientMode=0", "0 0x80000012 255"},
            {"HoverForeColor=65280 HoverBackColor=255 HoverColorLocks=0",
             "0 0x80000012 0x8000000F"},
            {"HoverBackColor=255 HoverForeColor=65280 HoverColorLocks=1", "1 0x80000012 255"},
            {"HoverBackColor=255 HoverForeColor=65280 HoverColorLocks=2", "2 65280 0x8000000F"},
            {"HoverBackColor=65280 BackColor=255", "1 0x80000012 65280"},
        };
        for (const auto& [steps, result] : rows) {
            Form form;
            B* b = form.Add();
            Apply(*b, steps);
            const QStringList v = QString(result).split(' ');
            QCOMPARE(Show(*b, "HoverColorLocks HoverForeColor HoverBackColor"),
                     QString("HoverColorLocks=%1 HoverForeColor=%2 HoverBackColor=%3")
                         .arg(v[0].toInt())
                         .arg(v[1].toUInt(nullptr, 0))
                         .arg(v[2].toUInt(nullptr, 0)));
        }
    }

    // Every property away from its default survives a save and restore through a file.
    void roundTrip() {
        Form form;
        B* b = form.Add();
        const QVariantMap defaults = Snapshot(*b);
        b->DelayDrawing(true);
        b->setCaption("Sa&ve && Go");
        b->setFont(QFont("DejaVu Sans", 13, QFont::Bold));
        b->setMouseIcon(Cursor());
        Apply(*b, "ButtonStyle=6 ButtonShape=3 CaptionAlign=1 CaptionStyle=2 CustomClick=5 "
                  "Picture=bitmap PictureAlign=2 PictureSize=2 Mode=1 Value=true "
                  "ShowFocusRect=false FontStyle=10 ForeColor=0x123456 BackColor=0xCCDD "
                  "GradientColor=0xAA00 GradientMode=3 HoverForeColor=0x654321 "
                  "HoverBackColor=0xAA Enabled=false");
        b->DelayDrawing(false);
        const QVariantMap saved = Snapshot(*b);
        for (auto it = saved.cbegin(); it != saved.cend(); ++it)
            QVERIFY2(it.value() != defaults[it.key()], qPrintable(it.key() + " left at default"));
        PropertyBag bag;
        b->WriteProperties(bag);
        QTemporaryDir dir;
        QVERIFY(bag.Save(dir.filePath("b.bag")));
        PropertyBag loaded;
        QVERIFY(loaded.Load(dir.filePath("b.bag")));
        B* restored = Restore(form, loaded);
        QCOMPARE(Snapshot(*restored), saved);
        QVERIFY(!restored->DrawingDelayed());
        QCOMPARE(restored->AccessKey(), QChar('v'));
    }

    // A new control: what it marks, and the keys a save of its defaults holds (no "CapAlign"
    // key restores the centre).
    void newControl() {
        Form form(true);
        auto* b = new B(&form.window);
        AmbientProperties ambient;
        ambient.UserMode = false;
        ambient.DisplayName = "Command7";
        ambient.Font = QFont("DejaVu Serif", 15);
        b->SetAmbient(ambient);
        EventLog events(b);
        b->InitProperties();
        QCOMPARE(events.marks,
                 (QStringList{"Caption", "CapAlign", "Focus", "cFHover", "cBHover", "Font"}));
        QCOMPARE(b->Font().family(), QString("DejaVu Serif"));
        PropertyBag bag;
        b->WriteProperties(bag);
        QStringList keys = bag.Keys();
        keys.sort();
        QCOMPARE(keys, (QStringList{"Caption", "Font", "Mode", "Value", "cBack"}));
        QCOMPARE(Show(*Restore(form, bag), "Caption CaptionAlign"),
                 "Caption=Command7 CaptionAlign=2");
    }

    // One stored value (keys in any case; a value of the wrong kind or out of range counts
    // as the default) and what the restored button shows.
    void restoredValues() {
        const QList<std::tuple<const char*, QVariant, const char*>> rows = {
            {"CapAlign", "left", "CaptionAlign=2"},
            {"CapAlign", 7, "CaptionAlign=2"},
            {"capalign", 0, "CaptionAlign=0"},
            {"BackStyle", 3.5, "ButtonStyle=0"},
            {"backstyle", 3, "ButtonStyle=3"},
            {"Focus", "no", "ShowFocusRect=true"},
            {"Focus", 0, "ShowFocusRect=false"},
            {"cBack", "red", "BackColor=11259375 HoverBackColor=11259375"}, // the ambient colour
            {"CBACK", 0x112233, "BackColor=1122867 HoverBackColor=1122867"},
            {"lockhover", 1, "HoverColorLocks=1"},
            {"Caption", 42, "Caption="},
            {"Image", "x.bmp", "Picture="},
            {"ImgSize", 20, "PictureSize=0"},
            {"ImgSize", 70000, "PictureSize=0"},
            {"Shape", 7, "ButtonShape=0"}, // a custom outline needs a bitmap
            {"SHAPE", 2, "ButtonShape=2"},
            {"Value", true, "Value=false"}, // a command button is never checked
            {"mPointer", 50, "MousePointer=0"},
            {"Bogus", 1, "ButtonStyle=0"},
        };
        for (const auto& [key, stored, shown] : rows) {
            Form form;
            QCOMPARE(key + (" " + Show(*Restore(form, Bag({{key, stored}}), 0xABCDEF), shown)),
                     key + (" " + QString(shown)));
        }
    }

    // The updater's four main buttons as stored: restored, and written back with the same
    // keys but CapAlign 2, the default.
    void mainWindowButtons() {
        const std::tuple<const char*, int, bool, int> rows[] = {{"&Update", 2, true, 32},
                                                                {"&Run", 3, false, 16},
                                                                {"&Stop", 3, true, 32},
                                                                {"&Exit", 1, true, 32}};
        for (const auto& [caption, shape, enabled, iconSize] : rows) {
            QFont font("MS Sans Serif");
            font.setPointSizeF(8.25);
            const QVariantList stored = QVariantList()
                                        << caption << 2 << 2 << shape << 0 << false << 1
                                        << QVariant::fromValue(Icon(iconSize)) << kSysButtonFace
                                        << 99 << QVariant::fromValue(Cursor()) << 0 << font;
            QVariantMap values;
            for (const char* key :
                 {"Caption", "CapAlign", "BackStyle", "Shape", "Mode", "Value", "ImgAlign", "Image",
                  "cBack", "mPointer", "mIcon", "cGradient", "Font"})
                values[key] = stored[values.size()];
            if (!enabled)
                values["Enabled"] = false;
            Form form;
            B* b = Restore(form, Bag(values));
            const QString shown =
                "ButtonStyle=2 ButtonShape=%1 Enabled=%2 PictureAlign=1 PictureSize=0 "
                "MousePointer=99 GradientColor=0 HoverBackColor=2147483663 HoverColorLocks=0";
            QCOMPARE(Show(*b, shown), shown.arg(shape).arg(enabled ? "true" : "false"));
            QCOMPARE(Snapshot(*b)["Font"],
                     QVariant(QVariantList{"MS Sans Serif", 8.25, QFont::Normal}));
            QCOMPARE(Snapshot(*b)["Picture"], Describe(Icon(iconSize)));
            QCOMPARE(b->AccessKey(), QChar(caption[1]));
            QCOMPARE(b->cursor().shape(), Qt::BitmapCursor);
            QCOMPARE(b->cursor().hotSpot(), QPoint(5, 0));
            PropertyBag written;
            b->WriteProperties(written);
            QStringList keys = written.Keys();
            keys.sort();
            values.remove("CapAlign");
            QCOMPARE(keys, values.keys());
        }
    }

    // Input in a mode, with the events it raises and the Value it leaves. Mouse gestures at
    // (20, 10): p press, r release, o release at (100, 10), d double-click event, each with its
    // button (l, r, m, or L: left with Shift and Ctrl); "@" in the events stands for Shift 0 and
    // (20, 10) in twips. k presses and releases a key (s Space, a A, 5 F5, S Shift, < Left,
    // v Down); a calls AccessKeyPress (n Enter, x Escape, E). In mode 2 another option is
    // selected first, so that taking the focus does not select the button.
    void input() {
        const std::tuple<int, const char*, const char*, bool> rows[] = {
            {0, "pl rl", "MouseDown 1@|MouseUp 1@|Click", false},
            {0, "pr rr", "MouseDown 2@|MouseUp 2@", false},
            {0, "pm rm", "MouseDown 4@|MouseUp 4@", false},
            {0, "pl ol", "MouseDown 1@|MouseUp 1 0 1500 150", false},
            {0, "pL rL", "MouseDown 1 3 300 150|MouseUp 1 3 300 150|Click", false},
            {0, "pl rl dl rl",
             "MouseDown 1@|MouseUp 1@|Click|DoubleClick 1|MouseDown 1@|MouseUp 1@", false},
            {0, "pr rr dr rr", "MouseDown 2@|MouseUp 2@|DoubleClick 2|MouseDown 1@|MouseUp 2@",
             false},
            {1, "pl rl", "MouseDown 1@|MouseUp 1@|Click", true},
            {1, "pl rl dl rl",
             "MouseDown 1@|MouseUp 1@|Click|DoubleClick 1|MouseDown 1@|MouseUp 1@", true},
            {2, "pl rl", "MouseDown 1@|MouseUp 1@|Click", true},
            {0, "ks", "KeyDown 32 0|KeyPress 32|Click|KeyUp 32 0", false},
            {1, "ks", "KeyDown 32 0|KeyPress 32|KeyUp 32 0|Click", true},
            {2, "ks", "KeyDown 32 0|KeyPress 32|KeyUp 32 0|Click", true},
            {0, "ka", "KeyDown 65 0|KeyPress 97|KeyUp 65 0", false},
            {0, "k5", "KeyDown 116 0|KeyUp 116 0", false},
            {0, "kS", "KeyDown 16 1", false},
            {0, "k<", "", false},
            {2, "kv", "Click", true},
            // Enter and Escape click command buttons only; the access key clicks every mode.
            {0, "an", "Click", false},
            {0, "ax", "Click", false},
            {1, "an", "", false},
            {2, "ax", "", false},
            {1, "aE", "Click", true},
            {2, "aE", "Click", true},
        };
        const QMap<QChar, Qt::MouseButton> buttons{{'l', Qt::LeftButton},
                                                   {'L', Qt::LeftButton},
                                                   {'r', Qt::RightButton},
                                                   {'m', Qt::MiddleButton}};
        const QMap<QChar, Qt::Key> keys{{'s', Qt::Key_Space}, {'a', Qt::Key_A},
                                        {'5', Qt::Key_F5},    {'S', Qt::Key_Shift},
                                        {'<', Qt::Key_Left},  {'v', Qt::Key_Down}};
        for (const auto& [mode, gesture, expected, value] : rows) {
            Form form;
            B* b = form.Add();
            b->setMode(mode);
            B* sibling = mode == 2 ? form.Add() : nullptr;
            if (sibling) {
                sibling->setMode(2);
                sibling->setValue(true);
            }
            QVERIFY(form.Show());
            EventLog log(b);
            for (const QString& step : QString(gesture).split(' ')) {
                const Qt::MouseButton button = buttons.value(step[1]);
                const Qt::KeyboardModifiers mods =
                    step[1] == 'L' ? Qt::ShiftModifier | Qt::ControlModifier : Qt::NoModifier;
                if (step[0] == 'k') {
                    QTest::keyPress(b, keys[step[1]]);
                    QTest::keyRelease(b, keys[step[1]]);
                } else if (step[0] == 'a') {
                    b->AccessKeyPress(qint16(step[1] == 'n' ? 13 : step[1] == 'x' ? 27 : 'E'));
                } else if (step[0] == 'p') {
                    QTest::mousePress(b, button, mods, {20, 10});
                } else if (step[0] != 'd') {
                    QTest::mouseRelease(b, button, mods, {step[0] == 'o' ? 100 : 20, 10});
                } else {
                    QMouseEvent event(QEvent::MouseButtonDblClick, QPointF(20, 10),
                                      b->mapToGlobal(QPointF(20, 10)), button, button, mods);
                    QApplication::sendEvent(b, &event);
                }
            }
            QCOMPARE(log.events.join('|'), QString(expected).replace("@", " 0 300 150"));
            QCOMPARE(QList<bool>({b->Value(), sibling && sibling->Value(), b->Look().pressed}),
                     QList<bool>({value, mode == 2 && !value, false}));
        }
    }

    // Hovering starts once, its timer notices the cursor on another control, and starts
    // again on return; a button destroyed while hovering gets no further tick.
    void hover() {
        Form form;
        B* b = form.Add();
        B* other = form.Add();
        QPointer<B> doomed = form.Add();
        QVERIFY(form.Show());
        EventLog log(b, true);
        QTest::mouseMove(b, QPoint(30, 12));
        QTRY_VERIFY_WITH_TIMEOUT(b->Look().hovering && b->Look().hot, 10000);
        QCOMPARE(log.events.mid(0, 2),
                 (QStringList{"MouseOnButton true", "MouseMove 0 0 450 180"}));
        QTest::mouseMove(b, QPoint(31, 12));
        QTRY_COMPARE_WITH_TIMEOUT(log.events.size(), 3, 10000);
        QTest::mouseMove(other, QPoint(10, 10));
        QTRY_COMPARE_WITH_TIMEOUT(log.events.last(), QString("MouseOnButton false"), 10000);
        QVERIFY(!b->Look().hot && !b->Look().hovering);
        QTest::mouseMove(b, QPoint(10, 10));
        QTRY_COMPARE_WITH_TIMEOUT(log.events.count("MouseOnButton true"), 2, 10000);
        QCOMPARE(log.events.count("MouseOnButton false"), 1);
        QTest::mouseMove(doomed, QPoint(30, 12));
        QTRY_VERIFY_WITH_TIMEOUT(doomed->Look().hovering, 10000);
        delete doomed;
        QTest::mouseMove(&form.window, QPoint(390, 290));
        bool passed = false; // several hover periods with the cursor elsewhere
        QTimer::singleShot(500, &form.window, [&passed] { passed = true; });
        QTRY_VERIFY_WITH_TIMEOUT(passed, 10000);
    }

    // Options of one container select one at a time; members may join with Value set, leave
    // from the middle or be destroyed, and the container may go with its members.
    void optionGroups() {
        Form form;
        QWidget frameA(&form.window);
        QWidget frameB(&form.window);
        QList<B*> a;
        for (int i = 0; i < 5; ++i) {
            a << form.Add(i < 3 ? &frameA : &frameB);
            a.last()->setMode(2);
        }
        a[3]->click();
        a[0]->click();
        EventLog log(a[1]);
        a[1]->click();
        a[1]->click(); // the selected option does nothing
        QCOMPARE(log.events, QStringList{"Click"});
        QCOMPARE(QList<bool>({a[0]->Value(), a[1]->Value(), a[2]->Value(), a[3]->Value()}),
                 QList<bool>({false, true, false, true}));
        a[2]->setValue(true);
        QVERIFY(!a[1]->Value());
        B* joiner = form.Add(&frameA); // joining with Value already true clears the members
        joiner->setMode(1);
        joiner->setValue(true);
        joiner->setMode(2);
        QVERIFY(!a[2]->Value() && joiner->Value());
        a[1]->setMode(0); // leaving from the middle: the member after it is still reached
        a[0]->click();
        QVERIFY(!joiner->Value() && !a[1]->Value());
        a[1]->setMode(1);
        a[1]->setValue(true);
        a[2]->click();
        QVERIFY(a[1]->Value() && !a[0]->Value());
        EventLog marks(a[1]);
        a[1]->setMode(0); // a command button is never checked
        QCOMPARE(marks.marks, (QStringList{"Value", "Mode"}));
        QVERIFY(!a[1]->Value());
        delete a[3];
        auto* frame = new QWidget(&form.window);
        for (int i = 0; i < 3; ++i)
            form.Add(frame)->setMode(2);
        delete frame;
        a[4]->click();
        QVERIFY(a[4]->Value());
    }
};

QTEST_MAIN(WidgetTests)
#include "button_widget_tests.moc"
