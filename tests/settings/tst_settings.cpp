// The settings store: CRegister and the registry layer below it, each test on a registry
// of its own (a fresh temporary folder named by ZORV_REGISTRY_ROOT).
#include "cregister.h"
#include "registry.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace settings;

namespace {

const QString kSection = QStringLiteral("\\Software\\Quillon Updater\\Settings");
const char* const kPath = "Software\\Quillon Updater\\Settings"; // the same key for the layer

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// Every entry of a folder, hidden ones too, sorted.
QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Every folder and file below dir, with the bytes of each file.
QStringList snapshot(const QString& dir) {
    QStringList out;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        out << path + u'=' + QString::fromLatin1(readAll(path));
    }
    out.sort();
    return out;
}

// chmod -R: a folder's mode is set before its entries are visited, so rights come back.
int chmodTree(const QString& path, const QString& mode) {
    return QProcess::execute("chmod", {"-R", mode, path});
}

// Runs the probe (command: the program and its first arguments) once per case and compares
// the "arguments -> output" lines with the expected ones.
void checkProbe(const QStringList& command, const QList<QPair<QStringList, QString>>& cases) {
    QStringList got, want;
    for (const auto& [args, expected] : cases) {
        QProcess p;
        p.start(command.first(), command.mid(1) + args);
        const bool ran =
            p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        got << args.join(" | ") + " -> " +
                   (ran ? QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed()
                        : "<failed: " + QString::fromLocal8Bit(p.readAllStandardError()));
        want << args.join(" | ") + " -> " + expected;
    }
    QCOMPARE(got, want);
}

HKEY createKey(const char* path, DWORD* disposition = nullptr) {
    HKEY key = 0;
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, &key, disposition) == ERROR_SUCCESS
               ? key
               : 0;
}

LONG setValue(HKEY key, const char* name, DWORD type, const QByteArray& data) {
    return RegSetValueExA(key, name, 0, type,
                          reinterpret_cast<const unsigned char*>(data.constData()),
                          DWORD(data.size()));
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // CRegister
    void savedTextEndsInOneZero();
    void storedBytesAsRead_data();
    void storedBytesAsRead();
    void unreachableValuesGiveTheDefault_data();
    void unreachableValuesGiveTheDefault();
    void starIsTheDefaultValue();
    void spellingsAddressTheSameKey();
    void deleteValueOrKey();
    void writeIsAtomicAndLeavesNoTemporaryFiles();
    void escapedNamesRoundTrip_data();
    void escapedNamesRoundTrip();
    void readOnlyKeyFallsBackToReadRights();

    // The registry layer
    void handlesSizesAndDisposition();
    void predefinedRootsHaveTheirOwnFolders();

private:
    QString hklm() const { return m_root->path() + QStringLiteral("/HKEY_LOCAL_MACHINE"); }
    // The folder of a key below HKEY_LOCAL_MACHINE, given with '/'.
    QString keyDir(const QString& relative) const { return hklm() + u'/' + relative; }
    QString settingsDir() const { return keyDir("Software/Quillon Updater/Settings"); }
    QString get(const QString& section, const QString& name, const QString& dflt = {}) const {
        return m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, section, name, dflt);
    }
    bool save(const QString& section, const QString& name, const QString& value) const {
        return m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, section, name, value);
    }
    bool del(const QString& section, const QString& name = {}) const {
        return m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, section, name);
    }

    std::unique_ptr<QTemporaryDir> m_root;
    CRegister m_reg;
};

void TestSettings::init() {
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    qputenv("ZORV_REGISTRY_ROOT", QFile::encodeName(m_root->path()));
}

void TestSettings::cleanup() {
    if (m_root)
        chmodTree(m_root->path(), "u+rwX"); // a test may have taken rights away
    m_root.reset();
    qunsetenv("ZORV_REGISTRY_ROOT");
}

void TestSettings::savedTextEndsInOneZero() {
    QCOMPARE(get(kSection, "Value", "none"), QString("none")); // not even a root folder yet
    // Text beyond ASCII crosses in the locale's 8-bit encoding.
    for (const QString& text : {QString("proxy:3128"), QString("Grüße €"), QString()}) {
        QVERIFY(save(kSection, "Value", text));
        QCOMPARE(readAll(settingsDir() + "/Value"), text.toLocal8Bit() + '\0');
        QCOMPARE(get(kSection, "Value", "dflt"), text);
    }
}

// String values may be files written by hand (printf '%s' ...): without a terminating zero
// they still read whole. Other types lose their last byte, whatever it is.
void TestSettings::storedBytesAsRead_data() {
    QTest::addColumn<uint>("type");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("hand-written") << uint(REG_SZ) << QByteArray("proxy:3128") << "proxy:3128";
    QTest::newRow("hand-written byte") << uint(REG_SZ) << QByteArray("1") << "1";
    QTest::newRow("no bytes: no value") << uint(REG_SZ) << QByteArray() << "dflt";
    QTest::newRow("only the zero") << uint(REG_SZ) << QByteArray(1, '\0') << "";
    QTest::newRow("text and zero") << uint(REG_SZ) << QByteArray("abc\0", 4) << "abc";
    QTest::newRow("binary") << uint(REG_BINARY) << QByteArray("abc") << "ab";
    QTest::newRow("binary byte") << uint(REG_BINARY) << QByteArray("x") << "";
    QTest::newRow("dword") << uint(REG_DWORD) << QByteArray("123\0", 4) << "123";
}

void TestSettings::storedBytesAsRead() {
    QFETCH(uint, type);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const HKEY key = createKey(kPath);
    if (type == REG_SZ)
        QVERIFY(writeFile(settingsDir() + "/Value", bytes));
    else
        QCOMPARE(setValue(key, "Value", type, bytes), ERROR_SUCCESS);
    RegCloseKey(key);
    QCOMPARE(get(kSection, "Value", "dflt"), text);
}

void TestSettings::unreachableValuesGiveTheDefault_data() {
    QTest::addColumn<uint>("root");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("savable"); // whether saving there then works
    const uint lm = HKEY_LOCAL_MACHINE;
    const QString parent = "Software\\Quillon Updater";
    QTest::newRow("missing value") << lm << kSection << "Use" << true;
    QTest::newRow("missing key") << lm << kSection + "\\Sub"
                                 << "Port" << true;
    QTest::newRow("a key, not a value") << lm << parent << "Settings" << false;
    // Files starting with '.' (say a temporary file left by a crash) are never values.
    QTest::newRow("hidden file") << lm << kSection << ".hidden" << true;
    QTest::newRow("temporary file") << lm << kSection << ".zorv-1-0.tmp" << true;
    // Trimming removes one separator at each end; the layer allows one more only at the end.
    QTest::newRow("doubled leading separator") << lm << "\\" + kSection << "Port" << false;
    QTest::newRow("doubled inner separator") << lm << "\\" + parent + "\\\\Settings"
                                             << "Port" << false;
    QTest::newRow("tripled trailing separator") << lm << kSection + "\\\\\\"
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

    QCOMPARE(m_reg.REGGetSetting(root, section, name, "dflt"), QString("dflt"));
    QCOMPARE(m_reg.REGSaveSetting(root, section, name, "new"), savable);
    if (savable)
        QCOMPARE(m_reg.REGGetSetting(root, section, name), QString("new"));
    QCOMPARE(entries(hklm()), QStringList{"Software"});
    QCOMPARE(entries(keyDir("Software")), QStringList{"Quillon Updater"});
    QCOMPARE(get(kSection, "Port"), QString("8080"));
}

void TestSettings::starIsTheDefaultValue() {
    QVERIFY(save(kSection, "*", "unnamed"));
    QVERIFY(save(kSection, "%", "percent")); // a value really named "%" is another one
    QCOMPARE(entries(settingsDir()), (QStringList{"%", "%25"}));
    QCOMPARE(readAll(settingsDir() + "/%"), QByteArray("unnamed\0", 8));
    QCOMPARE(get(kSection, "*"), QString("unnamed"));
    QCOMPARE(get(kSection, ""), QString("unnamed"));
    QCOMPARE(get(kSection, "%"), QString("percent"));
    QVERIFY(del(kSection, "*"));
    QCOMPARE(entries(settingsDir()), QStringList{"%25"});
    QVERIFY(!del(kSection, "*"));
}

// One leading and one trailing separator are trimmed and case is ignored: all these forms
// address one key. Names keep the case they were made with.
void TestSettings::spellingsAddressTheSameKey() {
    const QStringList forms = {kPath, kSection, kPath + QString("\\"), kSection + "\\",
                               "software\\QUILLON UPDATER\\sEtTiNgS"};
    const QStringList names = {"Value 0", "Value 1", "Value 2", "Value 3", "Value 4"};
    for (int i = 0; i < forms.size(); ++i)
        QVERIFY(save(forms[i], names[i], "old"));
    for (int i = 0; i < forms.size(); ++i) {
        const QString other = names[(i + 1) % names.size()]; // saved through another form
        QVERIFY(save(forms[i], other.toUpper(), QString::number(i)));
        QCOMPARE(get(forms[i], other.toLower()), QString::number(i));
    }
    QCOMPARE(entries(hklm()), QStringList{"Software"});
    QCOMPARE(entries(keyDir("Software")), QStringList{"Quillon Updater"});
    QCOMPARE(entries(settingsDir()), names);
    QCOMPARE(readAll(settingsDir() + "/Value 0"), QByteArray("4\0", 2));
    for (int i = 0; i < forms.size(); ++i)
        QVERIFY(del(forms[i], names[(i + 2) % names.size()].toUpper()));
    QCOMPARE(entries(settingsDir()), QStringList());
    // Made by hand in another case, with '%' signs that start no escape: found as well.
    QVERIFY(writeFile(keyDir("SOFTWARE2/Rate 100%/Value 5%2x"), "hand"));
    QCOMPARE(get("software2\\RATE 100%", "value 5%2X"), QString("hand"));
    // "\" alone and the empty section both are the root key itself.
    QVERIFY(save("\\", "AtRoot", "r"));
    QCOMPARE(readAll(hklm() + "/AtRoot"), QByteArray("r\0", 2));
    QCOMPARE(get("", "AtRoot"), QString("r"));
}

void TestSettings::deleteValueOrKey() {
    QVERIFY(save(kSection, "Proxy Use", "1"));
    QVERIFY(save(kSection, "Proxy Port", "80"));
    QVERIFY(save("Software\\Quillon Updater", "Top", "t"));
    QVERIFY(save("Software\\Other", "Keep", "k"));
    // A name deletes that value only.
    QVERIFY(del(kSection, "Proxy Use"));
    QVERIFY(!del(kSection, "Proxy Use"));
    QCOMPARE(entries(settingsDir()), QStringList{"Proxy Port"});
    // No name deletes the key: refused while it has subkeys, and then nothing is touched.
    QVERIFY(!del("Software\\Quillon Updater"));
    QCOMPARE(get("Software\\Quillon Updater", "Top"), QString("t"));
    QCOMPARE(entries(settingsDir()), QStringList{"Proxy Port"});
    // The key form passes the section untrimmed: a leading separator is an invalid path.
    QVERIFY(!del(kSection));
    QVERIFY(del(kPath));
    // Without subkeys the parent goes too, values and all; an empty name is the key form.
    QVERIFY(del("Software\\Quillon Updater", ""));
    QCOMPARE(entries(keyDir("Software")), QStringList{"Other"});
    // The root itself is never deleted.
    QVERIFY(!del(""));
    QVERIFY(!del("\\"));
    QVERIFY(QFileInfo(hklm()).isDir());
}

void TestSettings::writeIsAtomicAndLeavesNoTemporaryFiles() {
    QVERIFY(save(kSection, "Proxy Server", "old"));
    const QString path = settingsDir() + "/Proxy Server";
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    // A reader that has the old value open keeps reading the old bytes: the new value is a
    // new file renamed over the old one, never the old file rewritten in place.
    QFile reader(path);
    QVERIFY(reader.open(QIODevice::ReadOnly));
    for (int i = 0; i < 20; ++i)
        QVERIFY(save(kSection, i % 2 ? "Proxy Server" : "*", QString::number(i)));
    QCOMPARE(reader.readAll(), QByteArray("old\0", 4));
    QCOMPARE(readAll(path), QByteArray("19\0", 3));
    struct stat st {};
    QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0640)); // the old value's permission bits are kept
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
    QCOMPARE(entries(m_root->path()), QStringList{"HKEY_LOCAL_MACHINE"}); // never outside
    QCOMPARE(entries(hklm()), QStringList{"Software"});
    QCOMPARE(entries(keyDir("Software")), QStringList{file});
    QCOMPARE(entries(keyDir("Software/" + file)), QStringList{file});
    QCOMPARE(get(key.toUpper(), name.toUpper()), QString("v"));
    QCOMPARE(get(key, "*", "none"), QString("none"));
    QVERIFY(del(key, name));
    QVERIFY(del(key));
    QCOMPARE(entries(keyDir("Software")), QStringList());
}

// A key that can be read but not written: reading falls back to read rights, writing and
// deleting fail and change nothing. Proven for a user without privileges: the probe runs as
// nobody through setpriv when the tests run as root (root passes every permission check).
void TestSettings::readOnlyKeyFallsBackToReadRights() {
    const bool root = ::geteuid() == 0;
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    const passwd* nobody = ::getpwnam("nobody");
    if (root && (setpriv.isEmpty() || !nobody))
        QFAIL("running as root without setpriv or a user nobody: cannot drop privileges");
    const uid_t user = root ? nobody->pw_uid : ::geteuid();
    QTemporaryDir probeDir; // the probe, copied where any user may run it
    const QString probe = probeDir.path() + "/settings_probe";
    QVERIFY(QFile::copy(QStringLiteral(ZORV_SETTINGS_PROBE), probe));
    QCOMPARE(chmodTree(probeDir.path(), "a+rX"), 0);
    const QStringList asUser =
        root ? QStringList{setpriv, "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--",
                           probe}
             : QStringList{probe};

    QVERIFY(save(kSection, "Proxy Use", "1"));
    QVERIFY(save(kSection + "\\Leaf", "x", "leaf"));
    QVERIFY(save("Software\\Secret", "Key", "s"));
    const QStringList before = snapshot(m_root->path());
    // Everyone may read and enter, no one but root may write; Secret not even be read.
    QCOMPARE(chmodTree(m_root->path(), "a=rX"), 0);
    QCOMPARE(chmodTree(keyDir("Software/Secret"), "a="), 0);
    const QString ok = QString::number(ERROR_SUCCESS);
    const QString denied = QString::number(ERROR_ACCESS_DENIED);
    checkProbe(asUser, {{{"uid"}, QString::number(user)},
                        {{"open", kPath, "all"}, denied},
                        {{"open", kPath, "read"}, ok},
                        {{"open", "Software\\Secret", "read"}, denied},
                        {{"create", "Software\\New"}, denied},
                        {{"get", kSection, "proxy use", "0"}, "1"},
                        {{"get", "\\Software\\Secret", "Key", "dflt"}, "dflt"},
                        {{"save", kSection, "Proxy Use", "0"}, "false"},
                        {{"save", kSection, "New Value", "0"}, "false"},
                        {{"delete", kSection, "Proxy Use"}, "false"},
                        {{"delete", kPath + QString("\\Leaf")}, "false"}});
    QCOMPARE(chmodTree(m_root->path(), "u+rwX,go+rX"), 0);
    QCOMPARE(snapshot(m_root->path()), before);

    // With the rights back, the same user writes and deletes.
    if (root)
        QVERIFY(::chown(QFile::encodeName(settingsDir()).constData(), user, gid_t(-1)) == 0);
    checkProbe(asUser, {{{"open", kPath, "all"}, ok},
                        {{"save", kSection, "New Value", "n"}, "true"},
                        {{"delete", kSection, "New Value"}, "true"}});
}

void TestSettings::handlesSizesAndDisposition() {
    DWORD created = 0;
    DWORD opened = 0;
    const HKEY a = createKey(kPath, &created);
    const HKEY b = createKey("SOFTWARE\\quillon updater\\settings", &opened);
    QCOMPARE(created, REG_CREATED_NEW_KEY);
    QCOMPARE(opened, REG_OPENED_EXISTING_KEY);
    HKEY c = 0;
    QCOMPARE(RegOpenKeyExA(a, nullptr, 0, KEY_READ, &c), ERROR_SUCCESS); // the same key again
    QVERIFY(a != 0 && b != 0 && c != 0 && a != b && b != c && a != c);
    QCOMPARE(setValue(b, "Text", REG_SZ, QByteArray("abc\0", 4)), ERROR_SUCCESS);
    QCOMPARE(setValue(c, "Other", REG_SZ, "b"), ERROR_ACCESS_DENIED); // for reading only
    QCOMPARE(RegDeleteValueA(c, "Text"), ERROR_ACCESS_DENIED);
    QCOMPARE(RegCloseKey(b), ERROR_SUCCESS);
    QCOMPARE(setValue(b, "Text", REG_SZ, "x"), ERROR_INVALID_HANDLE); // closed: no longer valid

    unsigned char buffer[10] = {};
    DWORD size = 3; // one byte short
    QCOMPARE(RegQueryValueExA(c, "Text", nullptr, nullptr, buffer, &size), ERROR_MORE_DATA);
    QCOMPARE(size, DWORD(4));
    size = sizeof buffer;
    QCOMPARE(RegQueryValueExA(a, "Text", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    QCOMPARE(size, DWORD(4));
    QCOMPARE(QByteArray(reinterpret_cast<char*>(buffer), 5), QByteArray("abc\0\0", 5));
    QCOMPARE(RegCloseKey(a), ERROR_SUCCESS);
    QCOMPARE(RegCloseKey(c), ERROR_SUCCESS);
}

void TestSettings::predefinedRootsHaveTheirOwnFolders() {
    const char* const names[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                                 "HKEY_USERS"};
    for (HKEY root = HKEY_CLASSES_ROOT; root <= HKEY_USERS; ++root) {
        const QString name = names[root - HKEY_CLASSES_ROOT];
        QVERIFY(m_reg.REGSaveSetting(root, "Software", "Root", name));
        QCOMPARE(readAll(m_root->path() + u'/' + name + "/Software/Root"), name.toLatin1() + '\0');
    }
    QCOMPARE(entries(m_root->path()).size(), 4);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
