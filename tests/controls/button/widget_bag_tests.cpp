// The property bag and the button's persistence: keys in any case, defaults left out, values
// of the wrong kind counting as the default, files, and save-restore round trips.
#include "widget_fixture_tests.h"

#include <QFile>
#include <QTemporaryDir>
#include <functional>

using namespace widget_tests;
using controls::kSysButtonFace;
using controls::kSysButtonText;
using controls::OleColor;
using controls::PropertyBag;

namespace {

// A picture as comparable values (its kind, pixels and hot spot).
QVariant Describe(const PictureRef& p) {
    return p ? QVariantList{int(p->kind), p->image.convertToFormat(QImage::Format_ARGB32),
                            p->hotSpot}
             : QVariantList{};
}
QVariant Describe(const QVariant& v) {
    return v.metaType() == QMetaType::fromType<PictureRef>() ? Describe(v.value<PictureRef>()) : v;
}

// Every readable property of a button, by name.
QVariantMap Snapshot(const rkButtons_H& b) {
    const auto picture = [](const PictureRef& p) { return Describe(p); };
    const QFont f = b.Font();
    return {
        {"ButtonStyle", b.ButtonStyle()},
        {"Mode", b.Mode()},
        {"Caption", b.Caption()},
        {"CaptionAlign", b.CaptionAlign()},
        {"CaptionStyle", b.CaptionStyle()},
        {"CustomClick", b.CustomClick()},
        {"ButtonShape", b.ButtonShape()},
        {"Picture", picture(b.Picture())},
        {"PictureAlign", b.PictureAlign()},
        {"Enabled", b.Enabled()},
        {"ShowFocusRect", b.ShowFocusRect()},
        {"Value", b.Value()},
        {"PictureSize", b.PictureSize()},
        {"MousePointer", b.MousePointer()},
        {"MouseIcon", picture(b.MouseIcon())},
        {"Font", QVariantList{f.family(), f.pointSizeF(), f.weight()}},
        {"FontStyle", b.FontStyle()},
        {"ForeColor", b.ForeColor()},
        {"BackColor", b.BackColor()},
        {"GradientColor", b.GradientColor()},
        {"GradientMode", b.GradientMode()},
        {"HoverColorLocks", b.HoverColorLocks()},
        {"HoverForeColor", b.HoverForeColor()},
        {"HoverBackColor", b.HoverBackColor()},
    };
}

// A button with every stored property away from its default.
void ConfigureEverything(rkButtons_H& b) {
    b.DelayDrawing(true);
    b.setCaption("Sa&ve && Go");
    b.setButtonStyle(6);
    b.setButtonShape(3);
    b.setCaptionAlign(1);
    b.setCaptionStyle(2);
    b.setCustomClick(5);
    b.setPicture(Bitmap(24));
    b.setPictureAlign(2);
    b.setPictureSize(2);
    b.setMode(1);
    b.setValue(true);
    b.setShowFocusRect(false);
    b.setMouseIcon(Cursor());
    QFont f("DejaVu Sans", 13);
    f.setBold(true);
    b.setFont(f);
    b.setFontStyle(2 | 8);
    b.setForeColor(0x123456);
    b.setBackColor(0x00CCDD);
    b.setGradientColor(0x00AA00);
    b.setGradientMode(3);
    b.setHoverForeColor(0x654321);
    b.setHoverBackColor(0x0000AA);
    b.setEnabled(false);
    b.DelayDrawing(false);
}

rkButtons_H* Restore(Form& form, const PropertyBag& bag, OleColor ambientBack = kSysButtonFace) {
    auto* b = new rkButtons_H(&form.window);
    AmbientProperties ambient;
    ambient.UserMode = !form.design;
    ambient.BackColor = ambientBack;
    b->SetAmbient(ambient);
    b->ReadProperties(bag);
    return b;
}

} // namespace

class BagTests : public QObject {
    Q_OBJECT
private slots:
    void keysMatchInAnyCase();
    void defaultsAreLeftOut();
    void numbersAcrossTypes_data();
    void numbersAcrossTypes();
    void fileKeepsEveryKind();
    void unreadableFiles();
    void roundTrip_data();
    void roundTrip();
    void newControl();
    void restoreInOtherCase();
    void damagedValues_data();
    void damagedValues();
    void mainWindowButtons_data();
    void mainWindowButtons();
    void restoredOptionsJoin();
};

void BagTests::keysMatchInAnyCase() {
    PropertyBag bag;
    bag.WriteProperty("CapAlign", 0, 2);
    QVERIFY(bag.Contains("capalign"));
    QCOMPARE(bag.ReadProperty("CAPALIGN", 2).toInt(), 0);
    bag.WriteProperty("capALIGN", 1, 2);
    QCOMPARE(bag.Keys(), QStringList{"capALIGN"});
    QCOMPARE(bag.ReadProperty("CapAlign", 2).toInt(), 1);
    QCOMPARE(bag.ReadProperty("Missing", 7).toInt(), 7);
}

void BagTests::defaultsAreLeftOut() {
    PropertyBag bag;
    bag.WriteProperty("Caption", QString(), QString());
    bag.WriteProperty("Image", QVariant::fromValue(PictureRef()),
                      QVariant::fromValue(PictureRef()));
    bag.WriteProperty("cFore", quint32(kSysButtonText), quint32(kSysButtonText));
    QCOMPARE(bag.Keys(), QStringList());
    bag.WriteProperty("Mode", 0, QVariant());
    QVERIFY(bag.Contains("Mode"));
    bag.WriteProperty("ImgSize", qint16(24), qint16(16));
    QVERIFY(bag.Contains("ImgSize"));
    // Writing the default later takes the key out again.
    bag.WriteProperty("ImgSize", 16, qint16(16));
    QVERIFY(!bag.Contains("ImgSize"));
    const PictureRef pic = Bitmap();
    bag.WriteProperty("Image", QVariant::fromValue(pic), QVariant::fromValue(PictureRef()));
    QVERIFY(bag.Contains("Image"));
}

void BagTests::numbersAcrossTypes_data() {
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QVariant>("defaultValue");
    QTest::addColumn<QVariant>("expected");
    const auto row = [](const char* name, QVariant stored, QVariant def, QVariant expected) {
        QTest::newRow(name) << stored << def << expected;
    };
    const QVariant short16 = QVariant::fromValue(qint16(16));
    row("short as int", QVariant::fromValue(qint16(24)), 16, 24);
    row("int as short", 40, short16, QVariant::fromValue(qint16(40)));
    row("int out of short range", 70000, short16, short16);
    row("negative colour as unsigned", qint32(-2147483633), quint32(0), quint32(0x8000000F));
    row("fraction as int", 2.5, 2, 2);
    row("whole double as int", 3.0, 2, 3);
    row("text as int", "1", 2, 2);
    row("number as truth", 0, true, false);
    row("truth as number", true, 0, -1);
    row("text as truth", "no", true, true);
    row("number as text", 5, QString("x"), QString("x"));
    row("text as font", "Arial", QFont("Serif", 9), QFont("Serif", 9));
    row("unreadable", QVariant(), 4, 4);
}

void BagTests::numbersAcrossTypes() {
    QFETCH(QVariant, stored);
    QFETCH(QVariant, defaultValue);
    QFETCH(QVariant, expected);
    PropertyBag bag;
    bag.WriteProperty("Key", stored, QVariant());
    const QVariant read = bag.ReadProperty("key", defaultValue);
    QCOMPARE(read.metaType(), defaultValue.metaType());
    QCOMPARE(read, expected);
}

void BagTests::fileKeepsEveryKind() {
    QTemporaryDir dir;
    const QString path = dir.filePath("button.bag");
    PropertyBag bag;
    const PictureRef cursor = Cursor();
    QFont font("DejaVu Sans", 11);
    font.setItalic(true);
    bag.WriteProperty("Caption", QString("&Run"), QVariant());
    bag.WriteProperty("Focus", false, QVariant());
    bag.WriteProperty("Shape", 3, QVariant());
    bag.WriteProperty("cBack", quint32(0x8000000F), QVariant());
    bag.WriteProperty("ImgSize", qint16(40), QVariant());
    bag.WriteProperty("Ratio", 0.75, QVariant());
    bag.WriteProperty("Font", font, QVariant());
    bag.WriteProperty("mIcon", QVariant::fromValue(cursor), QVariant());
    bag.WriteProperty("Image", QVariant::fromValue(PictureRef()), QVariant());
    QVERIFY(bag.Save(path));
    PropertyBag loaded;
    loaded.WriteProperty("Stale", 1, QVariant());
    QVERIFY(loaded.Load(path));
    QVERIFY(!loaded.Contains("Stale"));
    QCOMPARE(loaded.Keys().size(), bag.Keys().size());
    for (const QString& key : bag.Keys()) {
        QVERIFY2(loaded.RawValue(key).metaType() == bag.RawValue(key).metaType(), qPrintable(key));
        QVERIFY2(Describe(loaded.RawValue(key)) == Describe(bag.RawValue(key)), qPrintable(key));
    }
}

void BagTests::unreadableFiles() {
    QTemporaryDir dir;
    PropertyBag bag;
    bag.WriteProperty("Caption", QString("Keep"), QVariant());
    QVERIFY(!bag.Load(dir.filePath("missing.bag")));
    QFile junk(dir.filePath("junk.bag"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a property bag at all");
    junk.close();
    QVERIFY(!bag.Load(junk.fileName()));
    QCOMPARE(bag.ReadProperty("Caption", QString()).toString(), QString("Keep"));

    // One damaged value spoils only itself.
    PropertyBag good;
    good.WriteProperty("Image", QVariant::fromValue(Bitmap()), QVariant());
    good.WriteProperty("Shape", 4, QVariant());
    const QString path = dir.filePath("damaged.bag");
    QVERIFY(good.Save(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const qsizetype png = bytes.indexOf("\x89PNG");
    QVERIFY(png > 0);
    for (qsizetype i = png; i < png + 16; ++i)
        bytes[i] = 'X';
    file.seek(0);
    file.write(bytes);
    file.close();
    PropertyBag damaged;
    QVERIFY(damaged.Load(path));
    QVERIFY(damaged.Contains("Image"));
    QVERIFY(!damaged.ReadProperty("Image", QVariant::fromValue(PictureRef())).value<PictureRef>());
    QCOMPARE(damaged.ReadProperty("Shape", 0).toInt(), 4);
}

void BagTests::roundTrip_data() {
    QTest::addColumn<bool>("throughFile");
    QTest::newRow("in memory") << false;
    QTest::newRow("through a file") << true;
}

void BagTests::roundTrip() {
    QFETCH(bool, throughFile);
    Form form;
    rkButtons_H* original = form.Add();
    const QVariantMap defaults = Snapshot(*original);
    ConfigureEverything(*original);
    const QVariantMap saved = Snapshot(*original);
    for (auto it = saved.cbegin(); it != saved.cend(); ++it)
        QVERIFY2(it.value() != defaults[it.key()], qPrintable(it.key() + " left at default"));

    PropertyBag bag;
    original->WriteProperties(bag);
    if (throughFile) {
        QTemporaryDir dir;
        QVERIFY(bag.Save(dir.filePath("b.bag")));
        bag = PropertyBag();
        QVERIFY(bag.Load(dir.filePath("b.bag")));
    }
    rkButtons_H* restored = Restore(form, bag);
    const QVariantMap back = Snapshot(*restored);
    for (auto it = saved.cbegin(); it != saved.cend(); ++it)
        QVERIFY2(back[it.key()] == it.value(), qPrintable(it.key()));
    QVERIFY(!restored->DrawingDelayed());
    QCOMPARE(restored->AccessKey(), QChar('v'));
}

void BagTests::newControl() {
    Form form(true);
    auto* b = new rkButtons_H(&form.window);
    AmbientProperties ambient;
    ambient.UserMode = false;
    ambient.DisplayName = "Command7";
    ambient.Font = QFont("DejaVu Serif", 15);
    b->SetAmbient(ambient);
    EventLog events(b, false, true);
    b->InitProperties();
    QCOMPARE(events.marks,
             (QStringList{"Caption", "CapAlign", "Focus", "cFHover", "cBHover", "Font"}));
    QCOMPARE(b->Caption(), QString("Command7"));
    QCOMPARE(b->Font().family(), QString("DejaVu Serif"));
    QCOMPARE(b->BackColor(), kSysButtonFace);
    QCOMPARE(b->HoverForeColor(), kSysButtonText);
    PropertyBag bag;
    b->WriteProperties(bag);
    QStringList keys = bag.Keys();
    keys.sort();
    QCOMPARE(keys, (QStringList{"Caption", "Font", "Mode", "Value", "cBack"}));
    // Restoring that bag gives a centred caption: no "CapAlign" key means 2.
    rkButtons_H* restored = Restore(form, bag);
    QCOMPARE(restored->CaptionAlign(), 2);
    QCOMPARE(restored->Caption(), QString("Command7"));
}

void BagTests::restoreInOtherCase() {
    PropertyBag bag;
    bag.WriteProperty("caption", QString("&Hi"), QVariant());
    bag.WriteProperty("capalign", 0, QVariant());
    bag.WriteProperty("backstyle", 3, QVariant());
    bag.WriteProperty("SHAPE", 2, QVariant());
    bag.WriteProperty("CBACK", quint32(0x112233), QVariant());
    bag.WriteProperty("lockhover", 1, QVariant());
    Form form;
    rkButtons_H* b = Restore(form, bag);
    QCOMPARE(b->Caption(), QString("&Hi"));
    QCOMPARE(b->AccessKey(), QChar('H'));
    QCOMPARE(b->CaptionAlign(), 0);
    QCOMPARE(b->ButtonStyle(), 3);
    QCOMPARE(b->ButtonShape(), 2);
    QCOMPARE(b->BackColor(), OleColor(0x112233));
    QCOMPARE(b->HoverBackColor(), OleColor(0x112233));
    QCOMPARE(b->HoverColorLocks(), 1);
}

void BagTests::damagedValues_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QVariant>("expected");
    const auto row = [](const char* key, QVariant stored, const char* property, QVariant expected) {
        QTest::addRow("%s = %s", key, qPrintable(stored.toString()))
            << QString(key) << stored << QString(property) << expected;
    };
    const QVariant ambientBack = quint32(0x00ABCDEF);
    row("CapAlign", "left", "CaptionAlign", 2);
    row("CapAlign", 7, "CaptionAlign", 2);
    row("BackStyle", 3.5, "ButtonStyle", 0);
    row("Focus", "no", "ShowFocusRect", true);
    row("Focus", 0, "ShowFocusRect", false);
    row("cBack", "red", "BackColor", ambientBack);
    row("cBHover", "red", "HoverBackColor", ambientBack); // follows the back colour read
    row("Caption", 42, "Caption", QString());
    row("Image", "x.bmp", "Picture", QVariantList{});
    row("ImgSize", 20, "PictureSize", 0);
    row("ImgSize", 70000, "PictureSize", 0);
    row("Shape", 7, "ButtonShape", 0);  // a custom outline needs a bitmap
    row("Value", true, "Value", false); // a command button is never checked
    row("mPointer", 50, "MousePointer", 0);
    row("Bogus", 1, "ButtonStyle", 0);
}

void BagTests::damagedValues() {
    QFETCH(QString, key);
    QFETCH(QVariant, stored);
    QFETCH(QString, property);
    QFETCH(QVariant, expected);
    PropertyBag bag;
    bag.WriteProperty(key, stored, QVariant());
    Form form;
    rkButtons_H* b = Restore(form, bag, 0x00ABCDEF);
    const QVariant actual = Snapshot(*b).value(property);
    QVERIFY2(actual.isValid(), qPrintable(property));
    QCOMPARE(actual, expected);
}

void BagTests::mainWindowButtons_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("shape");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("iconSize");
    QTest::newRow("cmdDownload") << "&Update" << 2 << true << 32;
    QTest::newRow("cmdRun") << "&Run" << 3 << false << 16;
    QTest::newRow("cmdStop") << "&Stop" << 3 << true << 32;
    QTest::newRow("CmdExit") << "&Exit" << 1 << true << 32;
}

void BagTests::mainWindowButtons() {
    QFETCH(QString, caption);
    QFETCH(int, shape);
    QFETCH(bool, enabled);
    QFETCH(int, iconSize);
    const PictureRef cursor = Cursor();
    QFont font("MS Sans Serif");
    font.setPointSizeF(8.25);
    PropertyBag bag;
    bag.WriteProperty("Caption", caption, QVariant());
    bag.WriteProperty("CapAlign", 2, QVariant());
    bag.WriteProperty("BackStyle", 2, QVariant());
    bag.WriteProperty("Shape", shape, QVariant());
    bag.WriteProperty("Mode", 0, QVariant());
    bag.WriteProperty("Value", false, QVariant());
    bag.WriteProperty("ImgAlign", 1, QVariant());
    bag.WriteProperty("Image", QVariant::fromValue(Icon(iconSize)), QVariant());
    if (!enabled)
        bag.WriteProperty("Enabled", false, QVariant());
    bag.WriteProperty("cBack", quint32(kSysButtonFace), QVariant());
    bag.WriteProperty("mPointer", 99, QVariant());
    bag.WriteProperty("mIcon", QVariant::fromValue(cursor), QVariant());
    bag.WriteProperty("cGradient", 0, QVariant());
    bag.WriteProperty("Font", font, QVariant());

    Form form;
    rkButtons_H* b = Restore(form, bag);
    QCOMPARE(b->Caption(), caption);
    QCOMPARE(b->AccessKey(), caption[1]);
    QCOMPARE(b->ButtonStyle(), 2);
    QCOMPARE(b->ButtonShape(), shape);
    QCOMPARE(b->Enabled(), enabled);
    QCOMPARE(b->PictureAlign(), 1);
    QVERIFY(b->Picture() && b->Picture()->isIconLike());
    QCOMPARE(b->Picture()->image.width(), iconSize);
    QCOMPARE(b->PictureSize(), 0);
    QCOMPARE(b->MousePointer(), 99);
    QCOMPARE(b->MouseIcon(), cursor);
    QCOMPARE(b->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(b->cursor().hotSpot(), QPoint(5, 0));
    QCOMPARE(b->GradientColor(), OleColor(0));
    QCOMPARE(b->HoverBackColor(), kSysButtonFace);
    QCOMPARE(b->HoverColorLocks(), 0);
    QCOMPARE(b->Font().family(), QString("MS Sans Serif"));
    QCOMPARE(b->Font().pointSizeF(), 8.25);
    QCOMPARE(b->Font().weight(), QFont::Normal);

    PropertyBag written;
    b->WriteProperties(written);
    QStringList expected = bag.Keys();
    expected.removeAll("CapAlign");
    expected.sort();
    QStringList keys = written.Keys();
    keys.sort();
    QCOMPARE(keys, expected);
}

void BagTests::restoredOptionsJoin() {
    Form form;
    QList<rkButtons_H*> buttons;
    for (const bool value : {false, true, false}) {
        PropertyBag bag;
        bag.WriteProperty("Mode", 2, QVariant());
        bag.WriteProperty("Value", value, QVariant());
        buttons << Restore(form, bag);
    }
    QCOMPARE(form.window.property("rk_OptCount").toInt(), 3);
    for (int n = 1; n <= 3; ++n)
        QCOMPARE(form.window.property(QByteArray("rk_Obj") + QByteArray::number(n))
                     .value<QPointer<QObject>>()
                     .data(),
                 buttons[n - 1]);
    QCOMPARE(buttons[1]->Value(), true);
    buttons[2]->click();
    QCOMPARE(buttons[1]->Value(), false);
    QCOMPARE(buttons[2]->Value(), true);
}

int RunBagTests(int argc, char** argv) {
    BagTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "widget_bag_tests.moc"
