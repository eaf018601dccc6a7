// The button widget under the mouse and the keyboard: event order, hover tracking, the
// keyboard rules, default and cancel keys, option groups and ambient changes.
#include "widget_fixture_tests.h"

#include <QCursor>
#include <QFocusEvent>
#include <QMimeData>
#include <QTimer>

using namespace widget_tests;

namespace {

// Records the key presses that reach a container.
class KeyCatcher : public QObject {
public:
    explicit KeyCatcher(QObject* target) { target->installEventFilter(this); }
    QStringList keys;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::KeyPress) {
            const auto* k = static_cast<QKeyEvent*>(e);
            keys << QStringLiteral("%1 %2 %3")
                        .arg(k->key(), 0, 16)
                        .arg(k->nativeVirtualKey())
                        .arg(k->nativeScanCode(), 8, 16, QChar('0'));
        }
        return false;
    }
};

QByteArray Entry(int n) {
    return QByteArray("rk_Obj") + QByteArray::number(n);
}
QObject* Member(QWidget& container, int n) {
    return container.property(Entry(n)).value<QPointer<QObject>>().data();
}
int Count(QWidget& container) {
    return container.property("rk_OptCount").toInt();
}

// Puts b in the mode; an option button gets a selected sibling in its group, so that taking
// the focus does not select b by itself.
rkButtons_H* WithSelectedSibling(Form& form, rkButtons_H* b, int mode) {
    b->setMode(mode);
    if (mode != 2)
        return nullptr;
    rkButtons_H* sibling = form.Add();
    sibling->setMode(2);
    sibling->setValue(true);
    return sibling;
}

void FocusIn(QWidget* w) {
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(w, &in);
}

} // namespace

class InputTests : public QObject {
    Q_OBJECT
private slots:
    void mouse_data();
    void mouse();
    void pressedLookFollowsLeftButton();
    void hover();
    void destroyedWhileHovering();
    void keys_data();
    void keys();
    void spaceAwayFromTheMouse();
    void arrowsGoToTheContainer_data();
    void arrowsGoToTheContainer();
    void defaultAndCancelKeys_data();
    void defaultAndCancelKeys();
    void optionGroups();
    void leavingFromTheMiddle();
    void destroyedMembersLeave();
    void focusSelectsLoneOption();
    void disabledGetsNothing();
    void displayAsDefault_data();
    void displayAsDefault();
    void ambientBackColor();
    void showInDesignMode();
    void dragAndDrop();
    void handlersMayChangeArguments();
};

void InputTests::mouse_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("value");
    // "@" stands for Shift 0 and the position (20, 10) in twips.
    const auto row = [](const char* name, int mode, const char* gesture, QString events,
                        bool value) {
        QTest::newRow(name) << mode << QString(gesture)
                            << events.replace('@', " 0 300 150").split('|') << value;
    };
    row("left click", 0, "left", "MouseDown 1@|MouseUp 1@|Click", false);
    row("right click", 0, "right", "MouseDown 2@|MouseUp 2@", false);
    row("middle click", 0, "middle", "MouseDown 4@|MouseUp 4@", false);
    row("released outside", 0, "outside", "MouseDown 1@|MouseUp 1 0 1500 150", false);
    row("shift and ctrl", 0, "modifiers", "MouseDown 1 3 300 150|MouseUp 1 3 300 150|Click", false);
    row("left double click", 0, "double left",
        "MouseDown 1@|MouseUp 1@|Click|DoubleClick 1|MouseDown 1@|MouseUp 1@", false);
    row("right double click", 0, "double right",
        "MouseDown 2@|MouseUp 2@|DoubleClick 2|MouseDown 1@|MouseUp 2@", false);
    row("check box click", 1, "left", "MouseDown 1@|MouseUp 1@|Click", true);
    row("check box double click toggles once", 1, "double left",
        "MouseDown 1@|MouseUp 1@|Click|DoubleClick 1|MouseDown 1@|MouseUp 1@", true);
    row("option click", 2, "left", "MouseDown 1@|MouseUp 1@|Click", true);
}

void InputTests::mouse() {
    QFETCH(int, mode);
    QFETCH(QString, gesture);
    QFETCH(QStringList, expected);
    QFETCH(bool, value);
    Form form;
    rkButtons_H* b = form.Add();
    rkButtons_H* sibling = WithSelectedSibling(form, b, mode);
    form.Show();
    EventLog log(b);
    const QPoint at(20, 10);
    if (gesture == "left") {
        QTest::mouseClick(b, Qt::LeftButton, {}, at);
    } else if (gesture == "right") {
        QTest::mouseClick(b, Qt::RightButton, {}, at);
    } else if (gesture == "middle") {
        QTest::mouseClick(b, Qt::MiddleButton, {}, at);
    } else if (gesture == "outside") {
        QTest::mousePress(b, Qt::LeftButton, {}, at);
        QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(100, 10));
    } else if (gesture == "modifiers") {
        QTest::mouseClick(b, Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier, at);
    } else if (gesture == "double left") {
        DoubleClick(b, Qt::LeftButton, at);
    } else if (gesture == "double right") {
        DoubleClick(b, Qt::RightButton, at);
    } else {
        QFAIL("unknown gesture");
    }
    QCOMPARE(log.events.join(" | "), expected.join(" | "));
    QCOMPARE(b->Value(), value);
    QCOMPARE(sibling && sibling->Value(), mode == 2 && !value);
    QVERIFY(!b->Look().pressed);
}

void InputTests::pressedLookFollowsLeftButton() {
    Form form;
    rkButtons_H* b = form.Add();
    form.Show();
    QTest::mousePress(b, Qt::RightButton, {}, QPoint(5, 5));
    QVERIFY(!b->Look().pressed);
    QTest::mouseRelease(b, Qt::RightButton, {}, QPoint(5, 5));
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(b->Look().pressed);
    QVERIFY(b->Look().pressedWhileTracking);
    QCOMPARE(b->LastButton(), qint16(1));
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(!b->Look().pressed);
    QVERIFY(!b->Look().pressedWhileTracking);
    // After a double click the last button is -1 until the next release.
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, 5));
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5), b->mapToGlobal(QPointF(5, 5)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(b, &dbl);
    QCOMPARE(b->LastButton(), qint16(-1));
    QVERIFY(b->Look().pressed);
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(b->LastButton(), qint16(1));
    QVERIFY(!b->Look().pressed);
}

void InputTests::hover() {
    Form form;
    rkButtons_H* b = form.Add();
    rkButtons_H* other = form.Add();
    form.Show();
    EventLog log(b, true);
    QTest::mouseMove(b, QPoint(30, 12));
    QTRY_VERIFY_WITH_TIMEOUT(b->Look().hovering, 10000);
    QVERIFY(b->Look().hot);
    QCOMPARE(log.events.value(0), QString("MouseOnButton true"));
    QCOMPARE(log.events.value(1), QString("MouseMove 0 0 450 180"));
    QCOMPARE(b->property("rk_TimerID").toInt(), 237);
    QCOMPARE(b->property("rk_ClassID").value<QObject*>(), b);
    // Further moves do not start hovering again.
    QTest::mouseMove(b, QPoint(31, 12));
    QTRY_COMPARE_WITH_TIMEOUT(log.events.size(), 3, 10000);
    QCOMPARE(log.events.count("MouseOnButton true"), 1);
    // The timer notices that the cursor has gone to another control.
    QTest::mouseMove(other, QPoint(10, 10));
    QTRY_COMPARE_WITH_TIMEOUT(log.events.last(), QString("MouseOnButton false"), 10000);
    QVERIFY(!b->Look().hot);
    QVERIFY(!b->Look().hovering);
    QCOMPARE(log.events.count("MouseOnButton false"), 1);
    // And hovering starts again when it comes back.
    QTest::mouseMove(b, QPoint(10, 10));
    QTRY_COMPARE_WITH_TIMEOUT(log.events.count("MouseOnButton true"), 2, 10000);
}

void InputTests::destroyedWhileHovering() {
    Form form;
    QPointer<rkButtons_H> b = form.Add();
    form.Show();
    QTest::mouseMove(b, QPoint(30, 12));
    QTRY_VERIFY_WITH_TIMEOUT(b->Look().hovering, 10000);
    delete b;
    QVERIFY(b.isNull());
    // Several hover periods pass with the cursor elsewhere: no tick reaches the control.
    QTest::mouseMove(&form.window, QPoint(390, 290));
    bool passed = false;
    QTimer::singleShot(500, &form.window, [&passed] { passed = true; });
    QTRY_VERIFY_WITH_TIMEOUT(passed, 10000);
}

void InputTests::keys_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("value");
    const auto row = [](const char* name, int mode, Qt::Key key, QString events, bool value) {
        QTest::newRow(name) << mode << int(key)
                            << (events.isEmpty() ? QStringList() : events.split('|')) << value;
    };
    row("space on command", 0, Qt::Key_Space, "KeyDown 32 0|KeyPress 32|Click|KeyUp 32 0", false);
    row("space on check box", 1, Qt::Key_Space, "KeyDown 32 0|KeyPress 32|KeyUp 32 0|Click", true);
    row("space on option", 2, Qt::Key_Space, "KeyDown 32 0|KeyPress 32|KeyUp 32 0|Click", true);
    row("letter", 0, Qt::Key_A, "KeyDown 65 0|KeyPress 97|KeyUp 65 0", false);
    row("function key", 0, Qt::Key_F5, "KeyDown 116 0|KeyUp 116 0", false);
    row("shift", 0, Qt::Key_Shift, "KeyDown 16 1", false);
    row("arrow on command", 0, Qt::Key_Left, "", false);
    row("arrow on option", 2, Qt::Key_Down, "Click", true);
}

void InputTests::keys() {
    QFETCH(int, mode);
    QFETCH(int, key);
    QFETCH(QStringList, expected);
    QFETCH(bool, value);
    Form form;
    rkButtons_H* b = form.Add();
    rkButtons_H* sibling = WithSelectedSibling(form, b, mode);
    form.Show();
    EventLog log(b);
    QTest::keyPress(b, Qt::Key(key));
    QTest::keyRelease(b, Qt::Key(key));
    QCOMPARE(log.events.join(" | "), expected.join(" | "));
    QCOMPARE(b->Value(), value);
    QCOMPARE(sibling && sibling->Value(), mode == 2 && !value);
    QVERIFY(!b->Look().pressed);
}

void InputTests::spaceAwayFromTheMouse() {
    Form form;
    rkButtons_H* b = form.Add();
    form.Show();
    EventLog log(b);
    QTest::keyPress(b, Qt::Key_Space);
    QVERIFY(b->Look().pressed);
    QVERIFY(!b->Look().hot);
    // Held down, the key repeats without pressing again.
    QTest::keyPress(b, Qt::Key_Space, {}, -1);
    QVERIFY(b->Look().pressed);
    QTest::keyRelease(b, Qt::Key_Space);
    QVERIFY(!b->Look().pressed);
    QCOMPARE(log.events.count("KeyDown 32 0"), 2);
    QCOMPARE(log.events.mid(log.events.size() - 2), (QStringList{"Click", "KeyUp 32 0"}));
    QCOMPARE(log.events.count("Click"), 1);
}

void InputTests::arrowsGoToTheContainer_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("posted");
    QTest::newRow("right") << int(Qt::Key_Right) << "1000014 39 004d0001";
    QTest::newRow("down") << int(Qt::Key_Down) << "1000015 40 00500001";
    QTest::newRow("left") << int(Qt::Key_Left) << "1000012 37 004b0001";
    QTest::newRow("up") << int(Qt::Key_Up) << "1000013 38 00480001";
}

void InputTests::arrowsGoToTheContainer() {
    QFETCH(int, key);
    QFETCH(QString, posted);
    Form form;
    QWidget frame(&form.window);
    frame.setGeometry(0, 0, 300, 200);
    rkButtons_H* b = form.Add(&frame);
    form.Show();
    KeyCatcher catcher(&frame);
    EventLog log(b);
    QTest::keyPress(b, Qt::Key(key));
    // Posted, not sent: it arrives only when the event loop runs.
    QCOMPARE(catcher.keys, QStringList());
    QTRY_COMPARE_WITH_TIMEOUT(catcher.keys, QStringList{posted}, 10000);
    QTest::keyRelease(b, Qt::Key(key));
    QCOMPARE(log.events, QStringList());
}

void InputTests::defaultAndCancelKeys_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("keyAscii");
    QTest::addColumn<bool>("clicks");
    QTest::newRow("enter on command") << 0 << 13 << true;
    QTest::newRow("escape on command") << 0 << 27 << true;
    QTest::newRow("enter on check box") << 1 << 13 << false;
    QTest::newRow("escape on option") << 2 << 27 << false;
    QTest::newRow("access key on check box") << 1 << int('E') << true;
    QTest::newRow("access key on option") << 2 << int('E') << true;
}

void InputTests::defaultAndCancelKeys() {
    QFETCH(int, mode);
    QFETCH(int, keyAscii);
    QFETCH(bool, clicks);
    Form form;
    rkButtons_H* b = form.Add();
    b->setMode(mode);
    EventLog log(b);
    b->AccessKeyPress(qint16(keyAscii));
    QCOMPARE(log.events, clicks ? QStringList{"Click"} : QStringList());
    QCOMPARE(b->Value(), clicks && mode != 0);
}

void InputTests::optionGroups() {
    Form form;
    QWidget frameA(&form.window);
    QWidget frameB(&form.window);
    QList<rkButtons_H*> a;
    QList<rkButtons_H*> b;
    for (int i = 0; i < 3; ++i)
        a << form.Add(&frameA);
    for (int i = 0; i < 2; ++i)
        b << form.Add(&frameB);
    for (rkButtons_H* x : a + b)
        x->setMode(2);
    QCOMPARE(Count(frameA), 3);
    QCOMPARE(Count(frameB), 2);
    b[0]->click();
    a[0]->click();
    EventLog log1(a[1]);
    a[1]->click();
    QCOMPARE(log1.events, QStringList{"Click"});
    QVERIFY(!a[0]->Value());
    QVERIFY(a[1]->Value());
    QVERIFY(!a[2]->Value());
    // The other container's group is untouched.
    QVERIFY(b[0]->Value());
    // Clicking the selected option does nothing.
    a[1]->click();
    QCOMPARE(log1.events, QStringList{"Click"});
    QVERIFY(a[1]->Value());
    // Value set in code clears the others as well.
    a[2]->setValue(true);
    QVERIFY(!a[1]->Value());
    // Joining with Value already true clears the members.
    auto* joiner = form.Add(&frameA);
    joiner->setMode(1);
    joiner->setValue(true);
    joiner->setMode(2);
    QCOMPARE(Count(frameA), 4);
    QVERIFY(!a[2]->Value());
    QVERIFY(joiner->Value());
}

void InputTests::leavingFromTheMiddle() {
    Form form;
    QList<rkButtons_H*> a;
    for (int i = 0; i < 3; ++i) {
        a << form.Add();
        a.last()->setMode(2);
    }
    a[1]->setMode(1);
    QCOMPARE(Count(form.window), 2);
    QCOMPARE(Member(form.window, 1), a[0]);
    QCOMPARE(Member(form.window, 2), a[2]);
    QVERIFY(!form.window.property(Entry(3)).isValid());
    // The one that left no longer takes part.
    a[1]->setValue(true);
    a[0]->click();
    QVERIFY(a[1]->Value());
    a[0]->setMode(0);
    a[2]->setMode(0);
    QVERIFY(!form.window.property("rk_OptCount").isValid());
    QVERIFY(!form.window.property(Entry(1)).isValid());
}

void InputTests::destroyedMembersLeave() {
    Form form;
    QList<QPointer<rkButtons_H>> a;
    for (int i = 0; i < 3; ++i) {
        a << form.Add();
        a.last()->setMode(2);
    }
    delete a[0];
    QCOMPARE(Count(form.window), 2);
    QCOMPARE(Member(form.window, 1), a[1].data());
    QCOMPARE(Member(form.window, 2), a[2].data());
    a[1]->click();
    a[2]->click();
    QVERIFY(!a[1]->Value());
    // A whole container with its members goes without touching freed memory.
    auto* frame = new QWidget(&form.window);
    for (int i = 0; i < 3; ++i)
        form.Add(frame)->setMode(2);
    delete frame;
    a[1]->click();
    QVERIFY(a[1]->Value());
}

void InputTests::focusSelectsLoneOption() {
    Form form;
    rkButtons_H* first = form.Add();
    rkButtons_H* second = form.Add();
    first->setMode(2);
    second->setMode(2);
    EventLog log(first);
    FocusIn(first);
    QCOMPARE(log.events, QStringList{"Click"});
    QVERIFY(first->Value());
    // With a member selected, focus alone selects nothing.
    EventLog log2(second);
    FocusIn(second);
    QCOMPARE(log2.events, QStringList());
    QVERIFY(!second->Value());
    // A check box ignores focus.
    rkButtons_H* check = form.Add();
    check->setMode(1);
    FocusIn(check);
    QVERIFY(!check->Value());
}

void InputTests::disabledGetsNothing() {
    Form form;
    rkButtons_H* b = form.Add();
    b->setEnabled(false);
    form.Show();
    EventLog log(b, true);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(b, QPoint(12, 12));
    QTest::keyClick(b, Qt::Key_Space);
    QCOMPARE(log.events, QStringList());
    QVERIFY(!b->Look().pressed);
    // The access-key shortcut is silent too.
    b->setCaption("&Go");
    form.Activate();
    QTest::keyClick(&form.window, Qt::Key_G, Qt::AltModifier);
    QTest::qWait(0);
    QCOMPARE(log.events, QStringList());
}

void InputTests::displayAsDefault_data() {
    QTest::addColumn<bool>("design");
    QTest::addColumn<bool>("showFocus");
    QTest::addColumn<bool>("displayAsDefault");
    QTest::addColumn<bool>("defaultLook");
    QTest::newRow("run, focus shown") << false << true << true << true;
    QTest::newRow("run, focus hidden") << false << false << true << false;
    QTest::newRow("design, focus hidden") << true << false << true << true;
    QTest::newRow("not default") << false << true << false << false;
}

void InputTests::displayAsDefault() {
    QFETCH(bool, design);
    QFETCH(bool, showFocus);
    QFETCH(bool, displayAsDefault);
    QFETCH(bool, defaultLook);
    Form form(design);
    rkButtons_H* b = form.Add();
    b->setShowFocusRect(showFocus);
    AmbientProperties ambient = b->Ambient();
    ambient.DisplayAsDefault = displayAsDefault;
    b->SetAmbient(ambient);
    b->AmbientChanged("displayasdefault");
    QCOMPARE(b->Look().defaultLook, defaultLook);
    QVERIFY(!b->Look().hovering);
}

void InputTests::ambientBackColor() {
    Form form;
    rkButtons_H* b = form.Add();
    AmbientProperties ambient = b->Ambient();
    ambient.BackColor = 0x00123456;
    b->SetAmbient(ambient);
    QVERIFY(b->Look().containerBackRgb != 0x00123456u);
    b->AmbientChanged("BACKCOLOR");
    QCOMPARE(b->Look().containerBackRgb, 0x00123456u);
}

void InputTests::showInDesignMode() {
    for (const bool design : {false, true}) {
        Form form(design);
        rkButtons_H* b = form.Add();
        b->hide();
        AmbientProperties ambient = b->Ambient();
        ambient.DisplayAsDefault = true;
        b->SetAmbient(ambient);
        QVERIFY(!b->Look().defaultLook);
        form.Show();
        b->show();
        QCOMPARE(b->Look().defaultLook, design);
    }
}

void InputTests::dragAndDrop() {
    Form form;
    rkButtons_H* b = form.Add();
    b->setAcceptDrops(true);
    QStringList seen;
    qint32 answer = 1;
    QObject::connect(b, &rkButtons_H::OLEDragOver, b,
                     [&](const QMimeData*& data, qint32& effect, qint16&, qint16&, float& x,
                         float& y, qint16& state) {
                         seen << QStringLiteral("over %1 %2 %3 %4 %5")
                                     .arg(data ? data->text() : "-")
                                     .arg(effect)
                                     .arg(double(x))
                                     .arg(double(y))
                                     .arg(state);
                         effect = answer;
                     });
    QObject::connect(b, &rkButtons_H::OLEDragDrop, b,
                     [&](const QMimeData*& data, qint32& effect, qint16&, qint16&, float&, float&) {
                         seen << QStringLiteral("drop %1 %2").arg(data->text()).arg(effect);
                     });
    QMimeData mime;
    mime.setText("file");
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(QPoint(2, 3), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(b, &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(enter.dropAction(), Qt::CopyAction);
    QDragLeaveEvent leave;
    QApplication::sendEvent(b, &leave);
    QDragEnterEvent back(QPoint(4, 3), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(b, &back);
    QDropEvent drop(QPointF(4, 3), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(b, &drop);
    QVERIFY(drop.isAccepted());
    // A handler that answers no effect refuses the drag.
    answer = 0;
    QDragEnterEvent refused(QPoint(4, 3), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(b, &refused);
    QVERIFY(!refused.isAccepted());
    QCOMPARE(seen.join(" | "),
             QString("over file 3 30 45 0 | over - 0 0 0 1 | over file 3 60 45 0 | "
                     "drop file 3 | over file 3 60 45 0"));
}

void InputTests::handlersMayChangeArguments() {
    // Arguments are references: a handler that zeroes KeyCode in KeyDown does not stop the
    // control's own handling, and a handler may disable the button during its Click.
    Form form;
    rkButtons_H* b = form.Add();
    form.Show();
    QObject::connect(b, &rkButtons_H::KeyDown, b, [](qint16& code, qint16&) { code = 0; });
    QObject::connect(b, &rkButtons_H::Click, b, [b] { b->setEnabled(false); });
    EventLog log(b);
    QTest::keyPress(b, Qt::Key_Space);
    QTest::keyRelease(b, Qt::Key_Space);
    QCOMPARE(log.events.value(0), QString("KeyDown 0 0"));
    QVERIFY(log.events.contains("Click"));
    QVERIFY(!b->Enabled());
}

int RunInputTests(int argc, char** argv) {
    InputTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "widget_input_tests.moc"
