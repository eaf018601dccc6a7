// The settings store: CRegister and the registry layer below it, each test on a registry
// of its own (a fresh temporary folder named by ZORV_REGISTRY_ROOT). Run with "probe ..."
// the program does one operation and prints its result, for the test of an unprivileged user.
#include "cregister.h"
#include "registry.h"

#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
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

// Every folder and file below dir, with the bytes of each file.
QStringList snapshot(const QString& dir) {
    QStringList out;
    for (QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        out << path + u'=' + QString::fromLatin1(readAll(path));
    }
    out.sort();
    return out;
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

// One operation on HKEY_LOCAL_MACHINE, its result as text: "get SECTION NAME DEFAULT",
// "save SECTION NAME VALUE", "delete SECTION [NAME]", "open PATH read|all", "create PATH".
QString probe(const QStringList& a) {
    const CRegister reg;
    HKEY key = 0;
    LONG rc = ERROR_INVALID_PARAMETER;
    if (a[0] == "get")
        return reg.REGGetSetting(HKEY_LOCAL_MACHINE, a[1], a[2], a[3]);
    if (a[0] == "save" || a[0] == "delete")
        return (a[0] == "save" ? reg.REGSaveSetting(kLM, a[1], a[2], a[3])
                               : reg.REGDeleteSetting(kLM, a[1], a.value(2)))
                   ? "true"
                   : "false";
    if (a[0] == "open")
        rc = RegOpenKeyExA(kLM, a[1].toLocal8Bit(), 0, a[2] == "read" ? KEY_READ : KEY_ALL_ACCESS,
                           &key);
    if (a[0] == "create")
        rc = RegCreateKeyExA(kLM, a[1].toLocal8Bit(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegCloseKey(key);
    return QString::number(rc);
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
    QTest::newRow("saved") << uint(REG_NONE) << QString("Grüße €").toLocal8Bit() + '\0'
                           << "Grüße €";
    QTest::newRow("saved empty") << uint(REG_NONE) << QByteArray(1, '\0') << "";
    QTest::newRow("by hand") << uint(REG_SZ) << QByteArray("proxy:3128") << "proxy:3128";
    QTest::newRow("by hand, one byte") << uint(REG_SZ) << QByteArray("1") << "1";
    QTest::newRow("no bytes") << uint(REG_SZ) << QByteArray() << "dflt";
    QTest::newRow("text and zero") << uint(REG_SZ) << QByteArray("abc\0", 4) << "abc";
    QTest::newRow("binary") << uint(REG_BINARY) << QByteArray("abc") << "ab";
    QTest::newRow("binary byte") << uint(REG_BINARY) << QByteArray("x") << "";
    QTest::newRow("dword") << uint(REG_DWORD) << QByteArray("123\0", 4) << "123";
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
    const QString parent = "Software\\Quillon Updater";
    QTest::newRow("missing value") << kLM << kSection << "Use" << true;
    QTest::newRow("missing key") << kLM << kSection + "\\Sub"
                                 << "Port" << true;
    QTest::newRow("a key, not a value") << kLM << parent << "Settings" << false;
    // Files starting with '.' (a temporary file left by a crash, say) are never values.
    QTest::newRow("hidden file") << kLM << kSection << ".hidden" << true;
    QTest::newRow("temporary file") << kLM << kSection << ".zorv-1-0.tmp" << true;
    // Trimming removes one separator at each end; the layer allows one more only at the end.
    QTest::newRow("doubled leading \\") << kLM << "\\" + kSection << "Port" << false;
    QTest::newRow("doubled inner \\") << kLM << parent + "\\\\Settings"
                                      << "Port" << false;
    QTest::newRow("tripled trailing \\") << kLM << kSection + "\\\\\\"
                                         << "Port" << false;
    QTest::newRow("unknown root") << 0x80000004u << kSection << "Port" << false;
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
// deleting fail and change nothing. The probe runs as nobody (root passes every check).
void TestSettings::readOnlyKeyFallsBackToReadRights() {
    const passwd* nobody = ::getpwnam("nobody");
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    QVERIFY2(::geteuid() != 0 || (nobody && !setpriv.isEmpty()), "cannot drop privileges");
    QTemporaryDir probeDir; // this program, copied where any user may run it
    const QString program = probeDir.filePath("settings_tests");
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
    QCOMPARE(chmodTree(probeDir.path(), "a+rX"), 0);
    const auto run = [&](const QList<QPair<QStringList, QString>>& cases) {
        QStringList got, want;
        for (const auto& [args, expected] : cases) {
            QProcess p;
            if (::geteuid() == 0)
                p.start(setpriv, QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                             "--", program, "probe"} +
                                     args);
            else
                p.start(program, QStringList{"probe"} + args);
            p.waitForFinished(60000);
            got << args.join(" | ") + " -> " + QString::fromLocal8Bit(p.readAllStandardOutput());
            want << args.join(" | ") + " -> " + expected;
        }
        QCOMPARE(got, want);
    };
    QVERIFY(save(kSection, "Proxy Use", "1") && save(kSection + "\\Leaf", "x", "leaf"));
    QVERIFY(save("Software\\Secret", "Key", "s"));
    const QStringList before = snapshot(root_->path());
    // Everyone may read and enter, no one but root may write; Secret not even be read.
    QCOMPARE(chmodTree(root_->path(), "a=rX"), 0);
    QCOMPARE(chmodTree(keyDir("Software/Secret"), "a="), 0);
    run({{{"open", kPath, "all"}, "5"},
         {{"open", kPath, "read"}, "0"},
         {{"open", "Software\\Secret", "read"}, "5"},
         {{"create", "Software\\New"}, "5"},
         {{"get", kSection, "proxy use", "0"}, "1"},
         {{"get", "\\Software\\Secret", "Key", "dflt"}, "dflt"},
         {{"save", kSection, "Proxy Use", "0"}, "false"},
         {{"save", kSection, "New Value", "0"}, "false"},
         {{"delete", kSection, "Proxy Use"}, "false"},
         {{"delete", kPath + QString("\\Leaf")}, "false"}});
    QCOMPARE(chmodTree(root_->path(), "u+rwX,go+rX"), 0);
    QCOMPARE(snapshot(root_->path()), before);
    // With the rights back, the same user writes and deletes.
    QVERIFY(::geteuid() != 0 ||
            ::chown(QFile::encodeName(settingsDir()).constData(), nobody->pw_uid, gid_t(-1)) == 0);
    run({{{"open", kPath, "all"}, "0"},
         {{"save", kSection, "New Value", "n"}, "true"},
         {{"delete", kSection, "New Value"}, "true"}});
}

void TestSettings::handlesSizesAndRoots() {
    DWORD created = 0, opened = 0;
    const HKEY a = createKey(kPath, &created);
    const HKEY b = createKey("SOFTWARE\\quillon updater\\settings", &opened);
    QCOMPARE(QList<DWORD>({created, opened}),
             QList<DWORD>({REG_CREATED_NEW_KEY, REG_OPENED_EXISTING_KEY}));
    HKEY c = 0;
    QCOMPARE(RegOpenKeyExA(a, nullptr, 0, KEY_READ, &c), ERROR_SUCCESS); // the same key again
    QVERIFY(a != 0 && b != 0 && c != 0 && a != b && b != c && a != c);
    QCOMPARE(setValue(b, "Text", REG_SZ, QByteArray("abc\0", 4)), ERROR_SUCCESS);
    QCOMPARE(setValue(c, "Other", REG_SZ, "b"), ERROR_ACCESS_DENIED); // for reading only
    QCOMPARE(RegDeleteValueA(c, "Text"), ERROR_ACCESS_DENIED);
    QCOMPARE(RegCloseKey(b), ERROR_SUCCESS);
    QCOMPARE(setValue(b, "Text", REG_SZ, "x"), ERROR_INVALID_HANDLE); // closed: no longer valid
    uchar buffer[10] = {};
    DWORD size = 3; // one byte short
    QCOMPARE(RegQueryValueExA(c, "Text", nullptr, nullptr, buffer, &size), ERROR_MORE_DATA);
    QCOMPARE(size, DWORD(4));
    size = sizeof buffer;
    QCOMPARE(RegQueryValueExA(a, "Text", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    QCOMPARE(QByteArray(reinterpret_cast<char*>(buffer), 5) + char('0' + size), QByteArray("abc\0\0"
                                                                                           "4",
                                                                                           6));
    QVERIFY(RegCloseKey(a) == ERROR_SUCCESS && RegCloseKey(c) == ERROR_SUCCESS);
    // Each predefined root has its own folder.
    const QStringList roots = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                               "HKEY_USERS"};
    for (HKEY root = HKEY_CLASSES_ROOT; root <= HKEY_USERS; ++root)
        QVERIFY(
            reg_.REGSaveSetting(root, "Software", "Root", roots[int(root - HKEY_CLASSES_ROOT)]));
    for (const QString& root : roots)
        QCOMPARE(readAll(root_->filePath(root + "/Software/Root")), root.toLatin1() + '\0');
}

int main(int argc, char** argv) {
    if (argc > 2 && qstrcmp(argv[1], "probe") == 0) {
        QStringList args;
        for (int i = 2; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        std::fputs(qPrintable(probe(args)), stdout);
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestSettings tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_settings.moc"
