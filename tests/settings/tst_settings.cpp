// The settings store: CRegister and the registry layer below it, each test on a registry
// of its own (a fresh temporary folder named by ZORV_REGISTRY_ROOT).
#include "cregister.h"
#include "registry.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <pwd.h>
#include <unistd.h>

using namespace settings;

namespace {

const QString kSection = "\\Software\\Quillon Updater\\Settings";
const char* const kPath = "Software\\Quillon Updater\\Settings"; // the same key for the layer
const uint kLM = HKEY_LOCAL_MACHINE;

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// Every entry of a folder, hidden ones too, sorted.
QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

int chmodTree(const QString& path, const QString& mode) {
    return QProcess::execute("chmod", {"-R", mode, path});
}

HKEY createKey(const char* path, DWORD* disposition = nullptr) {
    HKEY key = 0;
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, &key, disposition) == ERROR_SUCCESS
               ? key
               : 0;
}

LONG setValue(HKEY key, const char* name, DWORD type, const QByteArray& data) {
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const uchar*>(data.constData()),
                          DWORD(data.size()));
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void storedBytesAsRead_data();
    void storedBytesAsRead();
    void unreachableValuesGiveTheDefault_data();
    void unreachableValuesGiveTheDefault();
    void spellingsAndTheDefaultValue();
    void deleteValueOrKey();
    void writeIsAtomicAndKeepsPermissions();
    void escapedNamesRoundTrip_data();
    void escapedNamesRoundTrip();
    void readOnlyKeyFallsBackToReadRights();
    void handlesSizesAndRoots();

private:
    QString hklm() const { return root_->path() + "/HKEY_LOCAL_MACHINE"; }
    QString keyDir(const QString& relative) const { return hklm() + u'/' + relative; }
    QString settingsDir() const { return keyDir("Software/Quillon Updater/Settings"); }
    QString get(const QString& section, const QString& name, const QString& dflt = {}) const {
        return reg_.REGGetSetting(HKEY_LOCAL_MACHINE, section, name, dflt);
    }
    bool save(const QString& section, const QString& name, const QString& value) const {
        return reg_.REGSaveSetting(HKEY_LOCAL_MACHINE, section, name, value);
    }
    bool del(const QString& section, const QString& name = {}) const {
        return reg_.REGDeleteSetting(HKEY_LOCAL_MACHINE, section, name);
    }
    std::unique_ptr<QTemporaryDir> root_;
    CRegister reg_;
};

void TestSettings::init() {
    root_ = std::make_unique<QTemporaryDir>();
    qputenv("ZORV_REGISTRY_ROOT", QFile::encodeName(root_->path()));
}

void TestSettings::cleanup() {
    chmodTree(root_->path(), "u+rwX"); // a test may have taken rights away
    root_.reset();
}

// Saved text is the locale's bytes and one zero. Files written by hand (no zero) read
// whole; other types lose their last byte, whatever it is; no bytes is no value.
void TestSettings::storedBytesAsRead_data() {
    QTest::addColumn<uint>("type"); // REG_NONE: saved through CRegister
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    auto row = [](const char* tag, DWORD type, const QByteArray& bytes, const QString& text) {
        QTest::newRow(tag) << uint(type) << bytes << text;
    };
    row("saved", REG_NONE, QString("Grüße €").toLocal8Bit() + '\0', "Grüße €");
    row("saved empty", REG_NONE, QByteArray(1, '\0'), "");
    row("by hand", REG_SZ, "proxy:3128", "proxy:3128");
    row("by hand, one byte", REG_SZ, "1", "1");
    row("no bytes", REG_SZ, "", "dflt");
    row("text and zero", REG_SZ, QByteArray("abc\0", 4), "abc");
    row("binary", REG_BINARY, "abc", "ab");
    row("binary byte", REG_BINARY, "x", "");
    row("dword", REG_DWORD, QByteArray("123\0", 4), "123");
}

void TestSettings::storedBytesAsRead() {
    QFETCH(uint, type);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(get(kSection, "Value", "dflt"), QString("dflt")); // not even a root folder yet
    const HKEY key = createKey(kPath);
    if (type == REG_NONE)
        QVERIFY(save(kSection, "Value", text));
    else if (type == REG_SZ)
        QVERIFY(writeFile(settingsDir() + "/Value", bytes));
    else
        QCOMPARE(setValue(key, "Value", type, bytes), ERROR_SUCCESS);
    RegCloseKey(key);
    QCOMPARE(readAll(settingsDir() + "/Value"), bytes);
    QCOMPARE(get(kSection, "Value", "dflt"), text);
}

void TestSettings::unreachableValuesGiveTheDefault_data() {
    QTest::addColumn<uint>("root");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("savable"); // whether saving there then works
    auto row = [](const char* tag, uint root, const QString& section, const char* name,
                  bool savable) { QTest::newRow(tag) << root << section << name << savable; };
    const QString parent = "Software\\Quillon Updater";
    row("missing value", kLM, kSection, "Use", true);
    row("missing key", kLM, kSection + "\\Sub", "Port", true);
    row("a key, not a value", kLM, parent, "Settings", false);
    // Files starting with '.' (a temporary file left by a crash, say) are never values.
    row("hidden file", kLM, kSection, ".hidden", true);
    row("temporary file", kLM, kSection, ".zorv-1-0.tmp", true);
    // Trimming removes one separator at each end; the layer allows one more only at the end.
    row("doubled leading \\", kLM, "\\" + kSection, "Port", false);
    row("doubled inner \\", kLM, parent + "\\\\Settings", "Port", false);
    row("tripled trailing \\", kLM, kSection + "\\\\\\", "Port", false);
    row("unknown root", 0x80000004u, kSection, "Port", false);
}

void TestSettings::unreachableValuesGiveTheDefault() {
    QFETCH(uint, root);
    QFETCH(QString, section);
    QFETCH(QString, name);
    QFETCH(bool, savable);
    QVERIFY(save(kSection, "Port", "8080"));
    QVERIFY(writeFile(settingsDir() + "/.hidden", "junk"));
    QVERIFY(writeFile(settingsDir() + "/.zorv-1-0.tmp", "junk"));
    QCOMPARE(reg_.REGGetSetting(root, section, name, "dflt"), QString("dflt"));
    QCOMPARE(reg_.REGSaveSetting(root, section, name, "new"), savable);
    QCOMPARE(reg_.REGGetSetting(root, section, name), QString(savable ? "new" : ""));
    QCOMPARE(entries(hklm()) + entries(keyDir("Software")),
             QStringList({"Software", "Quillon Updater"}));
    QCOMPARE(get(kSection, "Port"), QString("8080"));
}

// One leading and one trailing separator are trimmed and case is ignored: all these forms
// address one key; names keep the case they were made with. "*" is the unnamed value "%".
void TestSettings::spellingsAndTheDefaultValue() {
    const QStringList forms = {kPath, kSection, kPath + QString("\\"), kSection + "\\",
                               "software\\QUILLON UPDATER\\sEtTiNgS"};
    for (int i = 0; i < forms.size(); ++i) {
        QVERIFY(save(forms[i], QString("Value %1").arg(i), "old"));
        QVERIFY(save(forms[(i + 1) % 5], QString("VALUE %1").arg(i), QString::number(i)));
        QCOMPARE(get(forms[(i + 2) % 5], QString("value %1").arg(i)), QString::number(i));
    }
    QCOMPARE(entries(hklm()) + entries(keyDir("Software")),
             QStringList({"Software", "Quillon Updater"}));
    QCOMPARE(entries(settingsDir()),
             QStringList({"Value 0", "Value 1", "Value 2", "Value 3", "Value 4"}));
    QCOMPARE(readAll(settingsDir() + "/Value 4"), QByteArray("4\0", 2));
    QVERIFY(save(kSection, "*", "unnamed") && save(kSection, "%", "percent"));
    QCOMPARE(readAll(settingsDir() + "/%") + readAll(settingsDir() + "/%25"),
             QByteArray("unnamed\0percent\0", 16));
    QCOMPARE(get(kSection, "") + get(kSection, "*") + get(kSection, "%"),
             QString("unnamedunnamedpercent"));
    QVERIFY(del(kSection, "*") && !del(kSection, "*") && get(kSection, "%") == "percent");
    // Made by hand in another case, with '%' signs that start no escape: found as well.
    QVERIFY(writeFile(keyDir("SOFTWARE2/Rate 100%/Value 5%2x"), "hand"));
    QCOMPARE(get("software2\\RATE 100%", "value 5%2X"), QString("hand"));
    // "\" alone and the empty section both are the root key itself.
    QVERIFY(save("\\", "AtRoot", "r"));
    QCOMPARE(readAll(hklm() + "/AtRoot") + get("", "AtRoot").toLatin1(), QByteArray("r\0r", 3));
}

void TestSettings::deleteValueOrKey() {
    QVERIFY(save(kSection, "Proxy Use", "1") && save(kSection, "Proxy Port", "80"));
    QVERIFY(save("Software\\Quillon Updater", "Top", "t") && save("Software\\Other", "Keep", "k"));
    QVERIFY(del(kSection, "proxy use") && !del(kSection, "Proxy Use")); // that value only
    // No name deletes the key: refused while it has subkeys, and then nothing is touched.
    QVERIFY(!del("Software\\Quillon Updater"));
    QCOMPARE(get("Software\\Quillon Updater", "Top"), QString("t"));
    QCOMPARE(entries(settingsDir()), QStringList{"Proxy Port"});
    QVERIFY(!del(kSection)); // passed untrimmed: a leading separator is an invalid path
    QVERIFY(del(kPath) && del("Software\\Quillon Updater", ""));
    QCOMPARE(entries(keyDir("Software")), QStringList{"Other"});
    QVERIFY(!del("") && !del("\\") && QFileInfo(hklm()).isDir()); // never the root
}

// The new value is a new file renamed over the old one: a reader of the old file keeps
// reading the old bytes, the permission bits stay, no temporary file is left.
void TestSettings::writeIsAtomicAndKeepsPermissions() {
    QVERIFY(save(kSection, "Proxy Server", "old"));
    const QString path = settingsDir() + "/Proxy Server";
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    QFile reader(path);
    QVERIFY(reader.open(QIODevice::ReadOnly));
    for (int i = 0; i < 20; ++i)
        QVERIFY(save(kSection, i % 2 ? "Proxy Server" : "*", QString::number(i)));
    QCOMPARE(reader.readAll(), QByteArray("old\0", 4));
    QCOMPARE(readAll(path), QByteArray("19\0", 3));
    QCOMPARE(QFileInfo(path).permissions() & 0x7077,
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    QCOMPARE(entries(settingsDir()), (QStringList{"%", "Proxy Server"}));
}

// Each name is used for a key below Software and for a value in it.
void TestSettings::escapedNamesRoundTrip_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file");
    const char* const rows[][2] = {{"a/b", "a%2Fb"}, {"/x/", "%2Fx%2F"}, {"100%", "100%25"},
                                   {"%", "%25"},     {"%2F", "%252F"},   {".", "%2E"},
                                   {"..", "%2E."},   {"a.b.", "a.b."},   {".hidden", "%2Ehidden"}};
    for (const auto& row : rows)
        QTest::newRow(row[0]) << QString(row[0]) << QString(row[1]);
}

void TestSettings::escapedNamesRoundTrip() {
    QFETCH(QString, name);
    QFETCH(QString, file);
    const QString key = "Software\\" + name;
    QVERIFY(save(key, name, "v"));
    QCOMPARE(entries(root_->path()), QStringList{"HKEY_LOCAL_MACHINE"}); // never outside
    QCOMPARE(entries(keyDir("Software")), QStringList{file});
    QCOMPARE(entries(keyDir("Software/" + file)), QStringList{file});
    QCOMPARE(get(key.toUpper(), name.toUpper()) + get(key, "*", "none"), QString("vnone"));
    QVERIFY(del(key, name) && del(key));
    QCOMPARE(entries(keyDir("Software")), QStringList());
}

// A key that can be read but not written: reading falls back to read rights, writing and
// deleting fail and change nothing. Run as the user nobody when running as root (root
// passes every permission check), through the effective ids the store checks.
void TestSettings::readOnlyKeyFallsBackToReadRights() {
    const passwd* nobody = ::getpwnam("nobody");
    const bool root = ::geteuid() == 0;
    QVERIFY2(!root || nobody, "running as root without a user nobody");
    const auto outcomes = [&] {
        HKEY k[3] = {};
        QStringList out = {
            QString::number(RegOpenKeyExA(kLM, kPath, 0, KEY_ALL_ACCESS, &k[0])),
            QString::number(RegOpenKeyExA(kLM, kPath, 0, KEY_READ, &k[1])),
            QString::number(RegOpenKeyExA(kLM, "Software\\Secret", 0, KEY_READ, &k[2])),
            createKey("Software\\New") ? "created" : "refused",
            get(kSection, "proxy use"),
            get("Software\\Secret", "Key", "dflt")};
        RegCloseKey(k[1]);
        for (const bool done : {save(kSection, "Proxy Use", "0"), save(kSection, "New", "0"),
                                del(kSection, "Proxy Use"), del(kPath + QString("\\Leaf"))})
            out << (done ? "done" : "refused");
        return out;
    };
    QVERIFY(save(kSection, "Proxy Use", "1") && save(kSection + "\\Leaf", "x", "leaf"));
    QVERIFY(save("Software\\Secret", "Key", "s"));
    // Everyone may read and enter, no one but root may write; Secret not even be read.
    QCOMPARE(chmodTree(root_->path(), "a=rX"), 0);
    QCOMPARE(chmodTree(keyDir("Software/Secret"), "a="), 0);
    QVERIFY(!root || (::setegid(nobody->pw_gid) == 0 && ::seteuid(nobody->pw_uid) == 0));
    const QStringList got = outcomes();
    QVERIFY(!root || (::seteuid(0) == 0 && ::setegid(0) == 0));
    QCOMPARE(got, QStringList({"5", "0", "5", "refused", "1", "dflt", "refused", "refused",
                               "refused", "refused"}));
    QCOMPARE(chmodTree(root_->path(), "u+rwX,go+rX"), 0);
    QCOMPARE(entries(settingsDir()) + QStringList(get(kSection, "Proxy Use")),
             QStringList({"Leaf", "Proxy Use", "1"})); // nothing changed
}

// Handles of one key are distinct; one opened for reading refuses writes; a closed one is
// invalid; a buffer one byte short gets ERROR_MORE_DATA and the size. Each root has a folder.
void TestSettings::handlesSizesAndRoots() {
    DWORD created = 0, opened = 0;
    const HKEY a = createKey(kPath, &created);
    const HKEY b = createKey("SOFTWARE\\quillon updater\\settings", &opened);
    HKEY c = 0;
    QCOMPARE(RegOpenKeyExA(a, nullptr, 0, KEY_READ, &c), ERROR_SUCCESS);
    QVERIFY(a && b && c && a != b && b != c && a != c);
    QCOMPARE(created * 10 + opened, REG_CREATED_NEW_KEY * 10 + REG_OPENED_EXISTING_KEY);
    char buffer[10] = {};
    DWORD sizes[] = {3, sizeof buffer};
    const auto query = [&](HKEY key, DWORD& size) {
        return RegQueryValueExA(key, "Text", nullptr, nullptr, (uchar*)buffer, &size);
    };
    const QList<LONG> codes = {setValue(b, "Text", REG_SZ, QByteArray("abc\0", 4)),
                               setValue(c, "Other", REG_SZ, "b"),
                               RegDeleteValueA(c, "Text"),
                               RegCloseKey(b),
                               setValue(b, "Text", REG_SZ, "x"),
                               query(c, sizes[0]),
                               query(a, sizes[1]),
                               RegCloseKey(a),
                               RegCloseKey(c)};
    QCOMPARE(codes, QList<LONG>({0, 5, 5, 0, 6, 234, 0, 0, 0}));
    QCOMPARE(QByteArray(buffer, 5) + QByteArray::number(sizes[0] * 10 + sizes[1]),
             QByteArray("abc\0\0"
                        "44",
                        7));
    const QStringList roots = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                               "HKEY_USERS"};
    for (HKEY root = HKEY_CLASSES_ROOT; root <= HKEY_USERS; ++root) {
        const QString name = roots[int(root - HKEY_CLASSES_ROOT)];
        QVERIFY(reg_.REGSaveSetting(root, "Software", "Root", name));
        QCOMPARE(readAll(root_->filePath(name + "/Software/Root")), name.toLatin1() + '\0');
    }
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
