// The settings store: CRegister and the registry layer below it, each test on a registry
// of its own (a fresh temporary folder named by ZORV_REGISTRY_ROOT).
#include "cregister.h"
#include "registry.h"
#include "servers.h"

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

using testsupport::readAll;
using testsupport::writeFile;

// Every entry of a folder, hidden ones too, sorted.
QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

int chmodTree(const QString& path, const QString& mode) {
    return QProcess::execute("chmod", {"-R", mode, path});
}

LONG setValue(HKEY key, const char* name, DWORD type, const QByteArray& data) {
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const uchar*>(data.constData()),
                          DWORD(data.size()));
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void init() {
        root_ = std::make_unique<QTemporaryDir>();
        qputenv("ZORV_REGISTRY_ROOT", QFile::encodeName(root_->path()));
    }

    void cleanup() {
        chmodTree(root_->path(), "u+rwX"); // a test may have taken rights away
        root_.reset();
    }

    // Saved text is the locale's bytes and one zero. Files written by hand (no zero) read
    // whole; other types lose their last byte, whatever it is; no bytes is no value.
    void storedBytesAsReadAndHandles() {
        QCOMPARE(get(kSection, "Value", "dflt"), QString("dflt")); // not even a root folder yet
        HKEY key = 0;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, 0);
        const std::tuple<const char*, DWORD, QByteArray, QString> rows[] = {
            {"saved", REG_NONE, QString("Grüße €").toLocal8Bit() + '\0', "Grüße €"}, // by CRegister
            {"saved empty", REG_NONE, QByteArray(1, '\0'), ""},
            {"by hand", REG_SZ, "proxy:3128", "proxy:3128"},
            {"no bytes", REG_SZ, "", "dflt"},
            {"text and zero", REG_SZ, QByteArray("abc\0", 4), "abc"},
            {"binary", REG_BINARY, "abc", "ab"},
            {"binary byte", REG_BINARY, "x", ""},
            {"dword", REG_DWORD, QByteArray("123\0", 4), "123"}};
        for (const auto& [name, type, bytes, text] : rows) {
            if (type == REG_NONE)
                QVERIFY(save(kSection, name, text));
            else if (type == REG_SZ)
                QVERIFY(writeFile(settingsDir() + '/' + name, bytes));
            else
                QCOMPARE(setValue(key, name, type, bytes), ERROR_SUCCESS);
            QCOMPARE(readAll(settingsDir() + '/' + name), bytes);
            QCOMPARE(name + (": " + get(kSection, name, "dflt")), name + (": " + text));
        }
        // A handle opened for reading refuses writes; a buffer one byte short gets
        // ERROR_MORE_DATA and the size; a closed handle is invalid.
        HKEY c = 0;
        char buffer[3] = {};
        DWORD size = sizeof buffer;
        QCOMPARE(QList<LONG>({RegOpenKeyExA(key, nullptr, 0, KEY_READ, &c),
                              setValue(c, "Other", REG_SZ, "b"), RegDeleteValueA(c, "dword"),
                              RegQueryValueExA(c, "dword", nullptr, nullptr, (uchar*)buffer, &size),
                              RegCloseKey(key), RegCloseKey(c), setValue(c, "x", REG_SZ, "x")}),
                 QList<LONG>({0, 5, 5, 234, 0, 0, 6}));
        QCOMPARE(size, DWORD(4));
    }

    // Each row is read, saved and read again; saving works where `savable` says.
    void unreachableValuesGiveTheDefault() {
        QVERIFY(save(kSection, "Port", "8080"));
        QVERIFY(writeFile(settingsDir() + "/.zorv-1-0.tmp", "junk"));
        const QString parent = "Software\\Quillon Updater";
        const std::tuple<uint, QString, const char*, bool> rows[] = {
            {kLM, kSection, "Use", true},            // a missing value
            {kLM, kSection + "\\Sub", "Port", true}, // a missing key
            {kLM, parent, "Settings", false},        // a key, not a value
            // Files starting with '.' (a temporary file left by a crash, say) are never values.
            {kLM, kSection, ".zorv-1-0.tmp", true},
            // Trimming removes one separator at each end; the layer allows one more at the end.
            {kLM, "\\" + kSection, "Port", false},
            {kLM, parent + "\\\\Settings", "Port", false},
            {kLM, kSection + "\\\\\\", "Port", false},
            {0x80000004u, kSection, "Port", false}}; // an unknown root
        for (const auto& [root, section, name, savable] : rows) {
            const QString where = section + " " + name + ": ";
            QCOMPARE(where + reg_.REGGetSetting(root, section, name, "dflt"), where + "dflt");
            QCOMPARE(reg_.REGSaveSetting(root, section, name, "new"), savable);
            QCOMPARE(reg_.REGGetSetting(root, section, name), QString(savable ? "new" : ""));
        }
        QCOMPARE(entries(hklm()) + entries(keyDir("Software")),
                 QStringList({"Software", "Quillon Updater"}));
        QCOMPARE(get(kSection, "Port"), QString("8080"));
    }

    // One leading and one trailing separator are trimmed, the layer takes one more at the end,
    // and case is ignored: all these forms address one key; names keep the case they were made
    // with. "*" is the unnamed value "%".
    void spellingsAndTheDefaultValue() {
        const QStringList forms = {kPath, kSection, kPath + QString("\\"), kSection + "\\\\",
                                   "software\\QUILLON UPDATER\\sEtTiNgS"};
        for (int i = 0; i < forms.size(); ++i) {
            QVERIFY(save(forms[i], QString("Value %1").arg(i), "old"));
            QVERIFY(save(forms[(i + 1) % 5], QString("VALUE %1").arg(i), QString::number(i)));
            QCOMPARE(get(forms[(i + 2) % 5], QString("value %1").arg(i)), QString::number(i));
        }
        QCOMPARE(entries(settingsDir()),
                 QStringList({"Value 0", "Value 1", "Value 2", "Value 3", "Value 4"}));
        QVERIFY(save(kSection, "*", "unnamed"));
        QCOMPARE(readAll(settingsDir() + "/%") +
                     (get(kSection, "") + get(kSection, "*")).toLatin1(),
                 QByteArray("unnamed\0unnamedunnamed", 22));
        QVERIFY(del(kSection, "*") && !del(kSection, "*"));
        // Made by hand in another case, with '%' signs that start no escape: found as well.
        QVERIFY(writeFile(keyDir("SOFTWARE2/Rate 100%/Value 5%2x"), "hand"));
        QCOMPARE(get("software2\\RATE 100%", "value 5%2X"), QString("hand"));
        // "\" alone and the empty section both are the root key itself.
        QVERIFY(save("\\", "AtRoot", "r"));
        QCOMPARE(readAll(hklm() + "/AtRoot") + get("", "AtRoot").toLatin1(), QByteArray("r\0r", 3));
    }

    void deleteValueOrKey() {
        QVERIFY(save(kSection, "Proxy Use", "1") && save(kSection, "Proxy Port", "80"));
        QVERIFY(save("Software\\Quillon Updater", "Top", "t") &&
                save("Software\\Other", "Keep", "k"));
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
    void writeIsAtomicAndKeepsPermissions() {
        QVERIFY(save(kSection, "Proxy Server", "old"));
        const QString path = settingsDir() + "/Proxy Server";
        const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
        QFile reader(path);
        QVERIFY(QFile::setPermissions(path, mode) && reader.open(QIODevice::ReadOnly));
        for (int i = 0; i < 20; ++i)
            QVERIFY(save(kSection, i % 2 ? "Proxy Server" : "*", QString::number(i)));
        QCOMPARE(reader.readAll() + readAll(path), QByteArray("old|19|").replace('|', '\0'));
        QCOMPARE(QFileInfo(path).permissions() & 0x7077, mode);
        QCOMPARE(entries(settingsDir()), (QStringList{"%", "Proxy Server"}));
    }

    // Names used for a key below Software and for a value in it never reach outside it.
    void escapedNamesRoundTrip() {
        const char* const rows[][2] = {{"a/b", "a%2Fb"}, {"100%", "100%25"}, {"%2F", "%252F"},
                                       {"..", "%2E."},   {"a.b.", "a.b."},   {".x", "%2Ex"}};
        for (const auto& [name, file] : rows) {
            const QString key = "Software\\" + QString(name);
            QVERIFY(save(key, name, "v"));
            QCOMPARE(entries(root_->path()), QStringList{"HKEY_LOCAL_MACHINE"});
            QCOMPARE(entries(keyDir("Software")) + entries(keyDir("Software/" + QString(file))),
                     QStringList({file, file}));
            QCOMPARE(get(key.toUpper(), QString(name).toUpper()) + get(key, "*", "-"), "v-");
            QVERIFY(del(key, name) && del(key) && entries(keyDir("Software")).isEmpty());
        }
    }

    // A key that can be read but not written: reading falls back to read rights, writing and
    // deleting fail and change nothing. Run as the user nobody when running as root (root
    // passes every permission check), through the effective ids the store checks.
    void readOnlyKeyFallsBackToReadRights() {
        const passwd* nobody = ::getpwnam("nobody");
        const bool root = ::geteuid() == 0;
        QVERIFY2(!root || nobody, "running as root without a user nobody");
        QVERIFY(save(kSection, "Proxy Use", "1") && save(kSection + "\\Leaf", "x", "leaf"));
        QVERIFY(save("Software\\Secret", "Key", "s"));
        // Everyone may read and enter, no one but root may write; Secret not even be read.
        QCOMPARE(chmodTree(root_->path(), "a=rX"), 0);
        QCOMPARE(chmodTree(keyDir("Software/Secret"), "a="), 0);
        QVERIFY(!root || (::setegid(nobody->pw_gid) == 0 && ::seteuid(nobody->pw_uid) == 0));
        QStringList got = {get(kSection, "proxy use"), get("Software\\Secret", "Key", "dflt")};
        for (const bool done : {save(kSection, "Proxy Use", "0"), save(kSection, "New", "0"),
                                save("Software\\New", "New", "0"), del(kSection, "Proxy Use"),
                                del(kPath + QString("\\Leaf"))})
            got << (done ? "done" : "refused");
        QVERIFY(!root || (::seteuid(0) == 0 && ::setegid(0) == 0));
        QCOMPARE(got,
                 QStringList({"1", "dflt", "refused", "refused", "refused", "refused", "refused"}));
        QCOMPARE(chmodTree(root_->path(), "u+rwX,go+rX"), 0);
        QCOMPARE(entries(settingsDir()) + QStringList(get(kSection, "Proxy Use")),
                 QStringList({"Leaf", "Proxy Use", "1"})); // nothing changed
    }

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

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
