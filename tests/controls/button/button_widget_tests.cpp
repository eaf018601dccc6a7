// The button widget: refused values and design-mode messages, access keys, hover colour locks,
// persistence, and input from the mouse and the keyboard (events, hover, option groups).
#include "rkbuttons_h.h"

#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace controls;
using B = rkButtons_H;
using Kind = ButtonPicture::Kind;

namespace {

// A 32 x 32 test picture: a blue block on white (bitmap) or transparent (icon, cursor).
PictureRef Picture(Kind kind) {
    auto p = std::make_shared<ButtonPicture>();
    p->kind = kind;
    p->image = QImage(32, 32, kind == Kind::Bitmap ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    p->image.fill(kind == Kind::Bitmap ? Qt::white : Qt::transparent);
    QPainter(&p->image).fillRect(2, 2, 28, 28, Qt::blue);
    p->hotSpot = kind == Kind::Cursor ? QPoint(5, 0) : QPoint();
    return p;
}

// Records a button's events as "Name arg arg ..." in order, and the keys it marks changed.
struct EventLog {
    explicit EventLog(B* b) {
        const auto rec = [this](const char* name) {
            return [this, name](auto&... args) {
                QStringList line{QLatin1String(name)};
                ((line << QString::number(double(args))), ...);
                events << line.join(' ');
            };
        };
        QObject::connect(b, &B::MouseDown, b, rec("MouseDown"));
        QObject::connect(b, &B::MouseUp, b, rec("MouseUp"));
        QObject::connect(b, &B::MouseMove, b, rec("MouseMove"));
        QObject::connect(b, &B::KeyDown, b, rec("KeyDown"));
        QObject::connect(b, &B::KeyUp, b, rec("KeyUp"));
        QObject::connect(b, &B::KeyPress, b, rec("KeyPress"));
        QObject::connect(b, &B::Click, b, rec("Click"));
        QObject::connect(b, &B::DoubleClick, b, rec("DoubleClick"));
        QObject::connect(b, &B::MouseOnButton, b, rec("MouseOnButton"));
        QObject::connect(b, &B::PropertyChanged, b, [this](const QString& k) { marks << k; });
    }
    QStringList events, marks;
};

// A top-level container holding buttons of 75 x 25 pixels, new or restored from a bag, with
// its ambient properties. It records the design-mode messages.
struct Form {
    explicit Form(bool design = false) {
        window.setGeometry(20, 20, 400, 300);
        ambient.UserMode = !design;
        ambient.DisplayName = QStringLiteral("Command1");
        ambient.Font = window.font();
        B::SetMessageHandler([this](const QString& text) { messages << text; });
    }
    ~Form() { B::SetMessageHandler({}); }
    B* Add(QWidget* container = nullptr, const PropertyBag* bag = nullptr) {
        auto* b = new B(container ? container : &window);
        b->SetAmbient(ambient);
        if (bag)
            b->ReadProperties(*bag);
        else
            b->InitProperties();
        b->setGeometry(10 + 85 * (count % 4), 10 + 35 * (count / 4), 75, 25);
        ++count;
        b->show();
        return b;
    }
    bool Show() {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
    QWidget window;
    AmbientProperties ambient;
    int count = 0;
    QStringList messages;
};

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

// Every stored property of a button, by name; a picture as its kind, pixels and hot spot.
QVariantMap Snapshot(const B& b) {
    const QFont f = b.Font();
    const auto Describe = [](const PictureRef& p) {
        return p ? QVariantList{int(p->kind), p->image.convertToFormat(QImage::Format_ARGB32),
                                p->hotSpot}
                 : QVariantList{};
    };
#define ZORV_GET(N, T) {#N, QVariant::fromValue(b.N())},
    return {ZORV_PROPERTIES(ZORV_GET){"Picture", Describe(b.Picture())},
            {"MouseIcon", Describe(b.MouseIcon())},
            {"Font", QVariantList{f.family(), f.pointSizeF(), f.weight()}}};
#undef ZORV_GET
}

// Assigns "Name=value ..." in order; a value is a number, true or false, a test picture
// (bitmap or icon) or none.
void Apply(B& b, const QString& steps) {
#define ZORV_SET(N, T) {#N, [](B& b, const QVariant& v) { b.set##N(v.value<T>()); }},
    static const QMap<QString, std::function<void(B&, const QVariant&)>> setters = {
        ZORV_PROPERTIES(ZORV_SET) ZORV_SET(Picture, PictureRef) ZORV_SET(MouseIcon, PictureRef)};
#undef ZORV_SET
    for (const QString& step : steps.split(' ', Qt::SkipEmptyParts)) {
        const QString name = step.section('=', 0, 0), v = step.section('=', 1);
        QVERIFY2(setters.contains(name), qPrintable(name));
        setters[name](b, v == "icon"                   ? QVariant::fromValue(Picture(Kind::Icon))
                         : v == "bitmap"               ? QVariant::fromValue(Picture(Kind::Bitmap))
                         : v == "none"                 ? QVariant::fromValue(PictureRef())
                         : v == "true" || v == "false" ? QVariant(v == "true")
                                                       : QVariant(v.toLongLong(nullptr, 0)));
    }
}

// The properties named in "Name=value ..." as the button has them, in the same form (a
// picture shows as "set").
QString Show(const B& b, const QString& names) {
    const QVariantMap now = Snapshot(b);
    QStringList out;
    for (const QString& step : names.split(' ', Qt::SkipEmptyParts)) {
        const QString name = step.section('=', 0, 0);
        const QVariant v = now[name];
        const bool picture = v.typeId() == QMetaType::QVariantList;
        out << name + "=" + (picture ? QString(v.toList().isEmpty() ? "" : "set") : v.toString());
    }
    return out.join(' ');
}

} // namespace

class WidgetTests : public QObject {
    Q_OBJECT
private slots:
    // "Set-up|assignments|a part of the message shown in design mode only (if any)|what holds
    // in either mode|the keys the assignments mark (if given)".
    void refusals() {
        const char* rows[] = {
            // Values out of range are refused without a message.
            "|ButtonStyle=5 ButtonStyle=-1 ButtonStyle=8||ButtonStyle=5|BackStyle",
            "|Mode=1 Mode=-1 Mode=3||Mode=1|Mode",
            "|CaptionAlign=0 CaptionAlign=-1 CaptionAlign=3||CaptionAlign=0|CapAlign",
            "|CaptionStyle=2 CaptionStyle=-1 CaptionStyle=3||CaptionStyle=2|CapStyle",
            "|ButtonShape=6 ButtonShape=-1 ButtonShape=9||ButtonShape=6|CapAlign Shape",
            "|PictureAlign=3 PictureAlign=-1 PictureAlign=6||PictureAlign=3|ImgAlign",
            "|PictureSize=3 PictureSize=-1 PictureSize=5||PictureSize=3|ImgSize",
            "|GradientMode=4 GradientMode=-1 GradientMode=5||GradientMode=4|Gradient",
            "|HoverColorLocks=3 HoverColorLocks=-1 HoverColorLocks=4||HoverColorLocks=3|LockHover",
            "|MousePointer=11 MousePointer=-1 MousePointer=16 MousePointer=98 MousePointer=100||"
            "MousePointer=11|mPointer",
            "Picture=bitmap PictureAlign=4|CaptionAlign=0|aligned top/bottom|CaptionAlign=2",
            "|CustomClick=3|no effect unless|CustomClick=3",
            "|ButtonShape=7|must be a bitmap|ButtonShape=0 PictureSize=0",
            "Picture=icon|ButtonShape=8|must be a bitmap|ButtonShape=0",
            "Picture=bitmap ButtonShape=7|Picture=icon|Icons cannot|ButtonShape=0",
            "|Value=true|not applicable|Value=false",
            "Picture=bitmap ButtonShape=7|PictureSize=1|size cannot be changed|PictureSize=4",
            "MousePointer=2|MouseIcon=bitmap|.ico Or .cur|MousePointer=2 MouseIcon=",
            "|ShowFocusRect=false|ONLY while in design mode|ShowFocusRect=false",
            // Accepted: shaped outlines centre the caption; custom ones take the picture
            // size 48 and become rectangles without their picture.
            "CaptionAlign=0|ButtonShape=3||CaptionAlign=2",
            "CaptionAlign=1|ButtonShape=0||CaptionAlign=2",
            "Picture=bitmap|ButtonShape=8||ButtonShape=8 PictureSize=4",
            "Picture=bitmap ButtonShape=7|Picture=none||ButtonShape=0",
            "PictureAlign=5|CaptionAlign=0||CaptionAlign=0", // no picture
        };
        for (const bool design : {true, false}) {
            for (const QString row : rows) {
                const QStringList f = row.split('|');
                Form form(design);
                form.ambient.DisplayAsDefault = true;
                B* b = form.Add();
                b->AmbientChanged("DisplayAsDefault");
                Apply(*b, f[0]);
                form.messages.clear();
                EventLog events(b);
                Apply(*b, f[1]);
                QVERIFY2(design && !f[2].isEmpty()
                             ? form.messages.size() == 1 && form.messages[0].contains(f[2])
                             : form.messages.isEmpty(),
                         qPrintable(row + ": " + form.messages.join('|')));
                QCOMPARE(Show(*b, f[3]), f[3]);
                if (f.size() > 4)
                    QCOMPARE(events.marks.join(' '), f[4]);
            }
        }
    }

    void accessKeys() {
        Form form;
        B* exit = form.Add();
        for (const QString row : {"&Exit=E", "Save &As=A", "Fish && Chips=", "Up&=", "&=",
                                  "a&&b&c=c", "&x&&=x", "&&&Go=G", "&a&b=b", "Update=", "="}) {
            exit->setCaption(row.section('=', 0, 0));
            QCOMPARE(row.section('=', 0, 0) + "=" + QString(exit->AccessKey()).remove(QChar()),
                     row);
        }
        // Alt and the key clicks the button; a changed caption takes its new key only.
        exit->setCaption("&Exit");
        form.Add()->setCaption("&Run");
        EventLog events(exit);
        QVERIFY(form.Show());
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

    // "Colour assignments in order|the locks, hover fore and hover back colours they leave"
    // (0x8000000f and 0x80000012 are the system face and text colours).
    void hoverLocks() {
        const char* rows[] = {
            "ForeColor=255 HoverForeColor=255|0 0xff 0x8000000f",
            "HoverForeColor=65280|2 0xff00 0x8000000f",
            "HoverBackColor=255 HoverForeColor=65280|3 0xff00 0xff",
            "HoverBackColor=65280|1 0x80000012 0xff00",
            "BackColor=255 HoverBackColor=255|0 0x80000012 0xff",
            "ForeColor=255|0 0xff 0x8000000f",
            "HoverForeColor=65280 ForeColor=255|2 0xff00 0x8000000f",
            "BackColor=255|0 0x80000012 0xff",
            "GradientMode=1 GradientColor=9 HoverBackColor=0x8000000F BackColor=5|1 0x80000012 0x9",
            "GradientMode=2 GradientColor=255|0 0x80000012 0xff",
            "GradientColor=255|0 0x80000012 0x8000000f",
            "BackColor=255 GradientColor=65280 GradientMode=3 GradientMode=0|0 0x80000012 0xff",
            "HoverForeColor=65280 HoverBackColor=255 HoverColorLocks=0|0 0x80000012 0x8000000f",
            "HoverBackColor=255 HoverForeColor=65280 HoverColorLocks=1|1 0x80000012 0xff",
            "HoverBackColor=255 HoverForeColor=65280 HoverColorLocks=2|2 0xff00 0x8000000f",
            "HoverBackColor=65280 BackColor=255|1 0x80000012 0xff00",
        };
        for (const QString row : rows) {
            Form form;
            B* b = form.Add();
            Apply(*b, row.section('|', 0, 0));
            QCOMPARE(QString("%1 0x%2 0x%3")
                         .arg(b->HoverColorLocks())
                         .arg(b->HoverForeColor(), 0, 16)
                         .arg(b->HoverBackColor(), 0, 16),
                     row.section('|', 1));
        }
    }

    // A save of the defaults restores them all; every property away from its default survives
    // a save and restore through a file.
    void roundTrip() {
        Form form;
        B* b = form.Add();
        const QVariantMap defaults = Snapshot(*b);
        PropertyBag bag;
        b->WriteProperties(bag);
        QCOMPARE(Snapshot(*form.Add(nullptr, &bag)), defaults);
        b->DelayDrawing(true);
        b->setCaption("Sa&ve && Go");
        b->setFont(QFont("DejaVu Sans", 13, QFont::Bold));
        b->setMouseIcon(Picture(Kind::Cursor));
        Apply(*b, "ButtonStyle=6 ButtonShape=3 CaptionAlign=1 CaptionStyle=2 CustomClick=5 "
                  "Picture=bitmap PictureAlign=2 PictureSize=2 Mode=1 Value=true "
                  "ShowFocusRect=false FontStyle=10 ForeColor=0x123456 BackColor=0xCCDD "
                  "GradientColor=0xAA00 GradientMode=3 HoverForeColor=0x654321 "
                  "HoverBackColor=0xAA Enabled=false MousePointer=99");
        b->DelayDrawing(false);
        const QVariantMap saved = Snapshot(*b);
        for (auto it = saved.cbegin(); it != saved.cend(); ++it)
            QVERIFY2(it.value() != defaults[it.key()], qPrintable(it.key() + " left at default"));
        b->WriteProperties(bag);
        QTemporaryDir dir;
        QVERIFY(bag.Save(dir.filePath("b.bag")));
        PropertyBag loaded;
        QVERIFY(loaded.Load(dir.filePath("b.bag")));
        B* restored = form.Add(nullptr, &loaded);
        QCOMPARE(Snapshot(*restored), saved);
        QVERIFY(!restored->DrawingDelayed());
        QCOMPARE(restored->AccessKey(), QChar('v'));
        QCOMPARE(restored->cursor().hotSpot(), QPoint(5, 0)); // the mouse icon
    }

    // "Key stored shown": one stored value ('text, 1.5, true or a number) and what the restored
    // button shows. Keys match in any case; a value of the wrong kind or out of range counts as
    // the default (the ambient colour for cBack); a custom outline needs a bitmap; a command
    // button is never checked.
    void restoredValues() {
        const char* rows[] = {
            "CapAlign 'left CaptionAlign=2", "CapAlign 7 CaptionAlign=2",
            "BackStyle 3.5 ButtonStyle=0",   "backstyle 3 ButtonStyle=3",
            "Focus 'no ShowFocusRect=true",  "Focus 0 ShowFocusRect=false",
            "lockhover 1 HoverColorLocks=1", "Caption 42 Caption=",
            "Image 'x.bmp Picture=",         "ImgSize 20 PictureSize=0",
            "ImgSize 70000 PictureSize=0",   "Shape 7 ButtonShape=0",
            "SHAPE 2 ButtonShape=2",         "Value true Value=false",
            "mPointer 50 MousePointer=0",    "Bogus 1 ButtonStyle=0",
            "cBack 'red BackColor=11259375", "CBACK 0x112233 HoverBackColor=1122867"};
        for (const QString row : rows) {
            const QString v = row.section(' ', 1, 1), shown = row.section(' ', 2);
            Form form;
            form.ambient.BackColor = 0xABCDEF;
            PropertyBag bag;
            bag.WriteProperty(row.section(' ', 0, 0),
                              v.startsWith('\'') ? QVariant(v.mid(1))
                              : v.contains('.')  ? QVariant(v.toDouble())
                              : v == "true"      ? QVariant(true)
                                                 : QVariant(v.toInt(nullptr, 0)),
                              QVariant());
            QCOMPARE(row.section(' ', 0, 1) + " " + Show(*form.Add(nullptr, &bag), shown), row);
        }
    }

    // "Mode Value gestures|events": input in a mode (Value left true: +) and the events it
    // raises. Mouse gestures at (20, 10): p press, r release, o release at (100, 10), d double-
    // click event, with a button (l, r, m, L: left with Shift and Ctrl); "@" stands for Shift 0
    // and (20, 10) in twips. k: a key (s Space, a A, 5 F5, S Shift, < Left, v Down); a: calls
    // AccessKeyPress (n Enter, x Escape, E). In mode 2 another option is selected first, so
    // that taking the focus does not select the button.
    void input() {
        const char* rows[] = {
            "0- pl rl|MouseDown 1@|MouseUp 1@|Click",
            "0- pr rr|MouseDown 2@|MouseUp 2@",
            "0- pm rm|MouseDown 4@|MouseUp 4@",
            "0- pl ol|MouseDown 1@|MouseUp 1 0 1500 150",
            "0- pL rL|MouseDown 1 3 300 150|MouseUp 1 3 300 150|Click",
            "0- pl rl dl rl|MouseDown 1@|MouseUp 1@|Click|DoubleClick 1|MouseDown 1@|MouseUp 1@",
            "0- pr rr dr rr|MouseDown 2@|MouseUp 2@|DoubleClick 2|MouseDown 1@|MouseUp 2@",
            "1+ pl rl|MouseDown 1@|MouseUp 1@|Click",
            "1+ pl rl dl rl|MouseDown 1@|MouseUp 1@|Click|DoubleClick 1|MouseDown 1@|MouseUp 1@",
            "2+ pl rl|MouseDown 1@|MouseUp 1@|Click",
            "0- ks|KeyDown 32 0|KeyPress 32|Click|KeyUp 32 0",
            "1+ ks|KeyDown 32 0|KeyPress 32|KeyUp 32 0|Click",
            "2+ ks|KeyDown 32 0|KeyPress 32|KeyUp 32 0|Click",
            "0- ka|KeyDown 65 0|KeyPress 97|KeyUp 65 0",
            "0- k5|KeyDown 116 0|KeyUp 116 0",
            "0- kS|KeyDown 16 1",
            "0- k<|",
            "2+ kv|Click",
            // Enter and Escape click command buttons only; the access key clicks every mode.
            "0- an|Click",
            "0- ax|Click",
            "1- an|",
            "2- ax|",
            "1+ aE|Click",
            "2+ aE|Click",
        };
        const Qt::Key keys[] = {Qt::Key_Space, Qt::Key_A,    Qt::Key_F5,
                                Qt::Key_Shift, Qt::Key_Left, Qt::Key_Down};
        for (const QString row : rows) {
            const int mode = row[0].digitValue();
            Form form;
            B* b = form.Add();
            b->setMode(mode);
            B* sibling = mode == 2 ? form.Add() : nullptr;
            if (sibling)
                Apply(*sibling, "Mode=2 Value=true");
            QVERIFY(form.Show());
            EventLog log(b);
            for (const QString& step : row.section('|', 0, 0).mid(3).split(' ')) {
                const Qt::MouseButton button = step[1] == 'r'   ? Qt::RightButton
                                               : step[1] == 'm' ? Qt::MiddleButton
                                                                : Qt::LeftButton;
                const Qt::KeyboardModifiers mods =
                    step[1] == 'L' ? Qt::ShiftModifier | Qt::ControlModifier : Qt::NoModifier;
                if (step[0] == 'k') {
                    QTest::keyClick(b, keys[QString("sa5S<v").indexOf(step[1])]);
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
            QCOMPARE(log.events.join('|'), row.section('|', 1).replace("@", " 0 300 150"));
            QCOMPARE(QList<bool>({b->Value(), sibling && sibling->Value(), b->Look().pressed}),
                     QList<bool>({row[1] == '+', mode == 2 && row[1] == '-', false}));
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
        EventLog log(b);
        QTest::mouseMove(b, QPoint(30, 12));
        QTRY_VERIFY_WITH_TIMEOUT(b->Look().hovering && b->Look().hot, 10000);
        QCOMPARE(log.events.mid(0, 2), (QStringList{"MouseOnButton 1", "MouseMove 0 0 450 180"}));
        QTest::mouseMove(b, QPoint(31, 12));
        QTRY_COMPARE_WITH_TIMEOUT(log.events.size(), 3, 10000);
        QTest::mouseMove(other, QPoint(10, 10));
        QTRY_COMPARE_WITH_TIMEOUT(log.events.last(), QString("MouseOnButton 0"), 10000);
        QVERIFY(!b->Look().hot && !b->Look().hovering);
        QTest::mouseMove(b, QPoint(10, 10));
        QTRY_COMPARE_WITH_TIMEOUT(log.events.count("MouseOnButton 1"), 2, 10000);
        QCOMPARE(log.events.count("MouseOnButton 0"), 1);
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
        Apply(*joiner, "Mode=1 Value=true Mode=2");
        QVERIFY(!a[2]->Value() && joiner->Value());
        a[1]->setMode(0); // leaving from the middle: the member after it is still reached
        a[0]->click();
        QVERIFY(!joiner->Value() && !a[1]->Value());
        Apply(*a[1], "Mode=1 Value=true");
        a[2]->click();
        QVERIFY(a[1]->Value() && !a[0]->Value());
        a[1]->setMode(0); // a command button is never checked
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
