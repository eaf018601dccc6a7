// The settings store: CRegister and the registry layer below it, each test on a registry
// of its own (a fresh temporary folder named by ZORV_REGISTRY_ROOT).
#include "cregister.h"
#include "registry.h"

#include <QByteArray>
#include <QDir>
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
#include <sys/xattr.h>
#include <unistd.h>

using namespace settings;

namespace {

const QString kSection = QStringLiteral("\\Software\\Quillon Updater\\Settings");

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

bool writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// Every entry of a folder, hidden ones too, sorted.
QStringList entries(const QString& dir) {
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Sets the mode of every folder and file below and including `path`, folders first (so
// that a folder without rights can be entered again after it was made accessible).
void chmodTree(const QString& path, mode_t dirMode, mode_t fileMode) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode)) {
        ::chmod(QFile::encodeName(path).constData(), dirMode);
        for (const QString& e : entries(path))
            chmodTree(path + u'/' + e, dirMode, fileMode);
    } else if (S_ISREG(st.st_mode)) {
        ::chmod(QFile::encodeName(path).constData(), fileMode);
    }
}

ino_t inodeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// Reads a value through the layer: the code, and on success its bytes and type.
LONG queryValue(HKEY key, const char* name, QByteArray* data, DWORD* type) {
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
    if (rc != ERROR_SUCCESS)
        return rc;
    data->fill('\xAA', qsizetype(size));
    DWORD length = size;
    rc = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<unsigned char*>(data->data()),
                          &length);
    if (rc == ERROR_SUCCESS && length != size)
        return -1;
    return rc;
}

HKEY createKey(const char* path, DWORD* disposition = nullptr) {
    HKEY key = 0;
    DWORD d = 0;
    const LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, &key, &d);
    if (disposition)
        *disposition = d;
    return rc == ERROR_SUCCESS ? key : 0;
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
    void missingSectionOrValueGivesDefault();
    void saveWritesTextWithTerminatingZero();
    void emptyDataVersusTerminatingZero();
    void starIsTheDefaultValue();
    void sectionSeparatorsAddressTheSameKey();
    void doubledLeadingSeparatorIsRefused();
    void emptyNameDeletesTheKeyItself();
    void keyWithSubkeysIsNotDeleted();
    void deleteValue();
    void namesIgnoreCase();
    void handWrittenTextReadsWhole();
    void shellPrintfValueReadsWhole();
    void nonStringTypeReadsRawBytesMinusLast();
    void writeIsAtomicAndLeavesNoTemporaryFiles();
    void escapedNamesRoundTrip_data();
    void escapedNamesRoundTrip();
    void escapedKeyNamesStayInsideTheRegistry();
    void readOnlyKeyFallsBackToReadRights();

    // The registry layer
    void handles();
    void emptySubKeyOpensTheSameKey();
    void querySizes();
    void createReportsDisposition();
    void invalidPathsAreRefused();
    void deleteKeyLayer();
    void predefinedRootsHaveTheirOwnFolders();

private:
    QString hklm() const { return m_root->path() + QStringLiteral("/HKEY_LOCAL_MACHINE"); }
    // The folder of a key below HKEY_LOCAL_MACHINE, given with '/'.
    QString keyDir(const QString& relative) const { return hklm() + u'/' + relative; }
    QString settingsDir() const {
        return keyDir(QStringLiteral("Software/Quillon Updater/Settings"));
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
        chmodTree(m_root->path(), 0755, 0644); // a test may have taken rights away
    m_root.reset();
    qunsetenv("ZORV_REGISTRY_ROOT");
}

// ---------------------------------------------------------------------------------------
// CRegister

void TestSettings::missingSectionOrValueGivesDefault() {
    // Nothing at all yet: not even the root's folder.
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Use", "0"), QString("0"));
    QVERIFY(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Use").isEmpty());

    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Port", "8080"));
    // The key exists, the value does not.
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Use", "0"), QString("0"));
    QVERIFY(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Use").isEmpty());
    // A sibling section that does not exist.
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, "\\Software\\Quillon Updater\\Other",
                                 "Proxy Port", "d"),
             QString("d"));
    // A value name that exists as a key is not a value.
    QCOMPARE(
        m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, "\\Software\\Quillon Updater", "Settings", "d"),
        QString("d"));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Port", "d"), QString("8080"));
}

void TestSettings::saveWritesTextWithTerminatingZero() {
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Server", "proxy:3128"));
    QCOMPARE(readAll(settingsDir() + "/Proxy Server"), QByteArray("proxy:3128\0", 11));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Server"),
             QString("proxy:3128"));

    // Text beyond ASCII crosses in the locale's 8-bit encoding.
    const QString text = QString::fromUtf8("Grüße \xE2\x82\xAC");
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "Text", text));
    QCOMPARE(readAll(settingsDir() + "/Text"), text.toLocal8Bit() + QByteArray(1, '\0'));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Text"), text);

    // The type recorded for it is the string type.
    HKEY key = createKey("Software\\Quillon Updater\\Settings");
    QVERIFY(key != 0);
    QByteArray data;
    DWORD type = 99;
    QCOMPARE(queryValue(key, "Proxy Server", &data, &type), ERROR_SUCCESS);
    QCOMPARE(type, REG_SZ);
    QCOMPARE(data, QByteArray("proxy:3128\0", 11));
    QCOMPARE(RegCloseKey(key), ERROR_SUCCESS);
}

void TestSettings::emptyDataVersusTerminatingZero() {
    QVERIFY(writeFile(settingsDir() + "/Empty", QByteArray()));
    QVERIFY(writeFile(settingsDir() + "/Zero", QByteArray(1, '\0')));

    // No bytes at all reads like a missing value.
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Empty", "dflt"), QString("dflt"));
    // Only the terminating zero is the empty string.
    const QString zero = m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Zero", "dflt");
    QVERIFY(zero.isEmpty());

    // Saving the empty string stores just the zero and reads back empty.
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "Saved", QString()));
    QCOMPARE(readAll(settingsDir() + "/Saved"), QByteArray(1, '\0'));
    QVERIFY(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Saved", "dflt").isEmpty());

    // The layer: size 0 for the empty file, 1 for the zero.
    HKEY key = 0;
    QCOMPARE(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quillon Updater\\Settings", 0, KEY_READ, &key),
        ERROR_SUCCESS);
    DWORD size = 77;
    QCOMPARE(RegQueryValueExA(key, "Empty", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    QCOMPARE(size, DWORD(0));
    QCOMPARE(RegQueryValueExA(key, "Zero", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    QCOMPARE(size, DWORD(1));
    RegCloseKey(key);
}

void TestSettings::starIsTheDefaultValue() {
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "*", "unnamed"));
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "Named", "n"));
    // A value really named "%" is another value.
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "%", "percent"));
    QCOMPARE(readAll(settingsDir() + "/%"), QByteArray("unnamed\0", 8));
    QCOMPARE(readAll(settingsDir() + "/%25"), QByteArray("percent\0", 8));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "*"), QString("unnamed"));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "%"), QString("percent"));

    // The layer sees it under the null name and the empty name alike.
    HKEY key = createKey("Software\\Quillon Updater\\Settings");
    QVERIFY(key != 0);
    QByteArray data;
    DWORD type = 0;
    QCOMPARE(queryValue(key, nullptr, &data, &type), ERROR_SUCCESS);
    QCOMPARE(data, QByteArray("unnamed\0", 8));
    QCOMPARE(queryValue(key, "", &data, &type), ERROR_SUCCESS);
    QCOMPARE(data, QByteArray("unnamed\0", 8));
    RegCloseKey(key);

    QVERIFY(m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, kSection, "*"));
    QVERIFY(!QFile::exists(settingsDir() + "/%"));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "*", "gone"), QString("gone"));
    QVERIFY(!m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, kSection, "*"));
    // The others stay.
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Named"), QString("n"));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "%"), QString("percent"));
}

void TestSettings::sectionSeparatorsAddressTheSameKey() {
    const QStringList forms = {
        "Software\\Quillon Updater\\Settings", "\\Software\\Quillon Updater\\Settings",
        "Software\\Quillon Updater\\Settings\\", "\\Software\\Quillon Updater\\Settings\\"};
    for (int i = 0; i < forms.size(); ++i)
        QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, forms[i], QString("V%1").arg(i),
                                     QString::number(i)));
    // One key holds them all.
    QCOMPARE(entries(hklm()), QStringList{"Software"});
    QCOMPARE(entries(keyDir("Software")), QStringList{"Quillon Updater"});
    QCOMPARE(entries(settingsDir()), (QStringList{"V0", "V1", "V2", "V3"}));
    for (const QString& form : forms) {
        for (int i = 0; i < forms.size(); ++i)
            QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, form, QString("V%1").arg(i)),
                     QString::number(i));
    }
    for (int i = 0; i < forms.size(); ++i)
        QVERIFY(m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, forms[(i + 1) % forms.size()],
                                       QString("V%1").arg(i)));
    QCOMPARE(entries(settingsDir()), QStringList());

    // "\" alone and the empty section both are the root key itself.
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, "\\", "AtRoot", "r"));
    QCOMPARE(readAll(hklm() + "/AtRoot"), QByteArray("r\0", 2));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, "", "AtRoot"), QString("r"));
}

void TestSettings::doubledLeadingSeparatorIsRefused() {
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Use", "1"));
    // Trimming removes one separator; the layer sees the other and refuses the path.
    const QString doubled = "\\\\Software\\Quillon Updater\\Settings";
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, doubled, "Proxy Use", "d"), QString("d"));
    QVERIFY(!m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, doubled, "Proxy Use", "2"));
    QVERIFY(!m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, doubled, "Proxy Use"));
    QVERIFY(!m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, "\\\\Elsewhere", "x", "y"));
    // Inner doubled separators are refused too.
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, "Software\\\\Quillon Updater\\Settings",
                                 "Proxy Use", "d"),
             QString("d"));
    QVERIFY(!m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, "Software\\\\New", "x", "y"));
    // Nothing was made and nothing changed.
    QCOMPARE(entries(hklm()), QStringList{"Software"});
    QCOMPARE(entries(keyDir("Software")), QStringList{"Quillon Updater"});
    QCOMPARE(readAll(settingsDir() + "/Proxy Use"), QByteArray("1\0", 2));
}

void TestSettings::emptyNameDeletesTheKeyItself() {
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Use", "1"));
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "*", "d"));
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, "Software\\Other", "Keep", "k"));

    // The key form passes the section untrimmed: a leading separator is an invalid path.
    QVERIFY(!m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, kSection));
    QVERIFY(QFileInfo(settingsDir()).isDir());

    QVERIFY(m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, "Software\\Quillon Updater\\Settings"));
    QVERIFY(!QFileInfo::exists(settingsDir()));
    // Only that key went; its parent and the other keys stay.
    QVERIFY(QFileInfo(keyDir("Software/Quillon Updater")).isDir());
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, "Software\\Other", "Keep"), QString("k"));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Use", "gone"),
             QString("gone"));
    // Gone means gone.
    QVERIFY(!m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, "Software\\Quillon Updater\\Settings"));

    // With the name given as empty rather than omitted, and a key that holds no values.
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, "Software\\Empty\\Leaf", "v", "1"));
    QVERIFY(m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, "Software\\Empty\\Leaf", ""));
    QVERIFY(m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, "Software\\Empty", QString()));
    QVERIFY(!QFileInfo::exists(keyDir("Software/Empty")));

    // The root itself is never deleted.
    QVERIFY(!m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, ""));
    QVERIFY(!m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, "\\"));
    QVERIFY(QFileInfo(hklm()).isDir());
}

void TestSettings::keyWithSubkeysIsNotDeleted() {
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, "Software\\Quillon Updater", "Top", "t"));
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Use", "1"));
    QVERIFY(!m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, "Software\\Quillon Updater"));
    // Nothing of it was touched, not even its own values.
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, "Software\\Quillon Updater", "Top"),
             QString("t"));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Use"), QString("1"));

    HKEY root = 0;
    QCOMPARE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "", 0, KEY_ALL_ACCESS, &root), ERROR_SUCCESS);
    QCOMPARE(RegDeleteKeyA(root, "Software\\Quillon Updater"), ERROR_ACCESS_DENIED);
    RegCloseKey(root);

    // Once the subkey is gone, the key goes too.
    QVERIFY(m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, "Software\\Quillon Updater\\Settings"));
    QVERIFY(m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, "Software\\Quillon Updater"));
    QCOMPARE(entries(keyDir("Software")), QStringList());
}

void TestSettings::deleteValue() {
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Use", "1"));
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Port", "80"));
    QVERIFY(m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Use"));
    QCOMPARE(entries(settingsDir()), QStringList{"Proxy Port"});
    QVERIFY(!m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Use"));
    QVERIFY(!m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, "\\Software\\Missing", "Proxy Port"));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Port"), QString("80"));
}

void TestSettings::namesIgnoreCase() {
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Use", "1"));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\quillon updater\\sEtTiNgS",
                                 "PROXY USE"),
             QString("1"));

    // Writing under another case replaces the value; names keep the case they were made with.
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, "software\\QUILLON UPDATER\\settings",
                                 "proxy use", "2"));
    QCOMPARE(entries(hklm()), QStringList{"Software"});
    QCOMPARE(entries(keyDir("Software")), QStringList{"Quillon Updater"});
    QCOMPARE(entries(settingsDir()), QStringList{"Proxy Use"});
    QCOMPARE(readAll(settingsDir() + "/Proxy Use"), QByteArray("2\0", 2));

    // A new value keeps its own case.
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, "software\\quillon updater\\settings",
                                 "proxy PORT", "8080"));
    QCOMPARE(entries(settingsDir()), (QStringList{"Proxy Use", "proxy PORT"}));

    // Folders and files made by hand in another case are found as well.
    QVERIFY(writeFile(keyDir("SOFTWARE2/Mixed/value"), "hand"));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, "software2\\MIXED", "VALUE"), QString("hand"));

    QVERIFY(m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Quillon Updater\\Settings",
                                   "PROXY use"));
    QCOMPARE(entries(settingsDir()), QStringList{"proxy PORT"});
    QVERIFY(m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUILLON UPDATER\\SETTINGS"));
    QVERIFY(!QFileInfo::exists(settingsDir()));
}

void TestSettings::handWrittenTextReadsWhole() {
    QVERIFY(writeFile(settingsDir() + "/Proxy Port", "8080"));
    QVERIFY(writeFile(settingsDir() + "/One", "1"));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Port"), QString("8080"));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "One", "0"), QString("1"));

    // The layer reports the zero as if it were stored, and the file stays as it was.
    HKEY key = 0;
    QCOMPARE(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quillon Updater\\Settings", 0, KEY_READ, &key),
        ERROR_SUCCESS);
    QByteArray data;
    DWORD type = 0;
    QCOMPARE(queryValue(key, "Proxy Port", &data, &type), ERROR_SUCCESS);
    QCOMPARE(data, QByteArray("8080\0", 5));
    QCOMPARE(type, REG_SZ);
    RegCloseKey(key);
    QCOMPARE(readAll(settingsDir() + "/Proxy Port"), QByteArray("8080"));
}

void TestSettings::shellPrintfValueReadsWhole() {
    QProcess sh;
    sh.start("/bin/sh",
             {"-c",
              "set -e\n"
              "d=\"$ZORV_REGISTRY_ROOT/HKEY_LOCAL_MACHINE/Software/Quillon Updater/Settings\"\n"
              "mkdir -p \"$d\"\n"
              "printf 1 > \"$d/Proxy Use\"\n"
              "printf %s 'proxy.example:3128' > \"$d/Proxy Server\"\n"
              "printf '' > \"$d/Proxy Port\"\n"});
    QVERIFY(sh.waitForFinished(30000));
    QCOMPARE(sh.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sh.exitCode(), 0);

    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Use", "0"), QString("1"));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "proxy server"),
             QString("proxy.example:3128"));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Port", "80"), QString("80"));
}

void TestSettings::nonStringTypeReadsRawBytesMinusLast() {
    HKEY key = createKey("Software\\Quillon Updater\\Settings");
    QVERIFY(key != 0);
    QCOMPARE(setValue(key, "Binary", REG_BINARY, "abc"), ERROR_SUCCESS);
    QCOMPARE(setValue(key, "Dword", REG_DWORD, QByteArray("\x31\x32\x33\x00", 4)), ERROR_SUCCESS);
    QCOMPARE(setValue(key, "One", REG_BINARY, "x"), ERROR_SUCCESS);
    QCOMPARE(readAll(settingsDir() + "/Binary"), QByteArray("abc"));

    QByteArray data;
    DWORD type = 0;
    QCOMPARE(queryValue(key, "Binary", &data, &type), ERROR_SUCCESS);
    QCOMPARE(type, REG_BINARY);
    QCOMPARE(data, QByteArray("abc")); // exact: no zero is added
    QCOMPARE(queryValue(key, "Dword", &data, &type), ERROR_SUCCESS);
    QCOMPARE(type, REG_DWORD);
    QCOMPARE(data.size(), 4);

    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Binary"), QString("ab"));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Dword"), QString("123"));
    QVERIFY(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "One", "d").isEmpty());

    // Saved as text again, it is a string once more.
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "Binary", "abc"));
    QCOMPARE(queryValue(key, "Binary", &data, &type), ERROR_SUCCESS);
    QCOMPARE(type, REG_SZ);
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "Binary"), QString("abc"));
    RegCloseKey(key);
}

void TestSettings::writeIsAtomicAndLeavesNoTemporaryFiles() {
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Server", "old"));
    const QString path = settingsDir() + "/Proxy Server";
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
    const ino_t before = inodeOf(path);

    // A reader that has the old value open keeps reading the old bytes: the new value is a
    // new file renamed over the old one, never the old file rewritten in place.
    QFile reader(path);
    QVERIFY(reader.open(QIODevice::ReadOnly));
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Server",
                                 "a much longer new value"));
    QCOMPARE(reader.readAll(), QByteArray("old\0", 4));
    QVERIFY(inodeOf(path) != before);
    QCOMPARE(readAll(path), QByteArray("a much longer new value\0", 24));
    struct stat st {};
    QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0640)); // the old value's permission bits are kept

    for (int i = 0; i < 50; ++i)
        QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, QString("V%1").arg(i % 5),
                                     QString::number(i)));
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "*", "dflt"));
    QCOMPARE(entries(settingsDir()),
             (QStringList{"%", "Proxy Server", "V0", "V1", "V2", "V3", "V4"}));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "V4"), QString("49"));

    // Files that start with '.' (a temporary file left by a crash, say) are never values.
    QVERIFY(writeFile(settingsDir() + "/.zorv-1-0.tmp", "junk"));
    QVERIFY(writeFile(settingsDir() + "/.hidden", "junk"));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, ".hidden", "d"), QString("d"));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, ".zorv-1-0.tmp", "d"), QString("d"));
}

void TestSettings::escapedNamesRoundTrip_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file");
    QTest::newRow("slash") << "a/b"
                           << "a%2Fb";
    QTest::newRow("slashes") << "/x/"
                             << "%2Fx%2F";
    QTest::newRow("percent") << "100%"
                             << "100%25";
    QTest::newRow("percent alone") << "%"
                                   << "%25";
    QTest::newRow("escape-like") << "%2F"
                                 << "%252F";
    QTest::newRow("leading dot") << ".hidden"
                                 << "%2Ehidden";
    QTest::newRow("dot") << "."
                         << "%2E";
    QTest::newRow("dot dot") << ".."
                             << "%2E.";
    QTest::newRow("inner dot") << "a.b."
                               << "a.b.";
    QTest::newRow("backslash") << "a\\b"
                               << "a\\b";
}

void TestSettings::escapedNamesRoundTrip() {
    QFETCH(QString, name);
    QFETCH(QString, file);
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "Other", "o"));
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, name, "value of " + name));
    QStringList expected{file, "Other"};
    expected.sort();
    QCOMPARE(entries(settingsDir()), expected);
    QCOMPARE(readAll(settingsDir() + u'/' + file), ("value of " + name).toUtf8() + '\0');
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, name), "value of " + name);
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, name.toUpper()), "value of " + name);
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSection, "*", "none"), QString("none"));
    QVERIFY(m_reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, kSection, name));
    QCOMPARE(entries(settingsDir()), QStringList{"Other"});
}

void TestSettings::escapedKeyNamesStayInsideTheRegistry() {
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, "Software\\..\\..\\Escape", "v", "1"));
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, "Software\\a/b", "v", "2"));
    QCOMPARE(entries(m_root->path()), QStringList{"HKEY_LOCAL_MACHINE"});
    QCOMPARE(entries(hklm()), QStringList{"Software"});
    QCOMPARE(entries(keyDir("Software")), (QStringList{"%2E.", "a%2Fb"}));
    QCOMPARE(readAll(keyDir("Software/%2E./%2E./Escape/v")), QByteArray("1\0", 2));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, "Software\\..\\..\\Escape", "v"),
             QString("1"));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, "Software\\A/B", "V"), QString("2"));
    // A folder named by hand with a bare '%' still answers to its name.
    QVERIFY(writeFile(keyDir("Software/100%/Rate 5%"), "5"));
    QCOMPARE(m_reg.REGGetSetting(HKEY_LOCAL_MACHINE, "Software\\100%", "rate 5%"), QString("5"));
}

// A key that can be read but not written: reading falls back to read rights, writing and
// deleting fail. Proven for a user without privileges: the probe runs as nobody when the
// tests run as root (root passes every permission check).
void TestSettings::readOnlyKeyFallsBackToReadRights() {
    const bool root = ::geteuid() == 0;
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    if (root && setpriv.isEmpty())
        QFAIL("running as root, but setpriv is missing: cannot drop privileges");
    if (root)
        QVERIFY2(::getpwnam("nobody") != nullptr, "no user nobody");

    // The probe, copied where any user may run it.
    QTemporaryDir probeDir;
    QVERIFY(probeDir.isValid());
    const QString probe = probeDir.path() + "/settings_probe";
    QVERIFY(QFile::copy(QStringLiteral(ZORV_SETTINGS_PROBE), probe));
    QVERIFY(::chmod(QFile::encodeName(probeDir.path()).constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(probe).constData(), 0755) == 0);

    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Use", "1"));
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "Proxy Server", "proxy:3128"));
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection, "*", "unnamed"));
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSection + "\\Leaf", "x", "leaf"));
    QVERIFY(m_reg.REGSaveSetting(HKEY_LOCAL_MACHINE, "Software\\Secret", "Key", "s"));
    // Everyone may read and enter, no one but root may write; Secret not even be read.
    chmodTree(m_root->path(), 0555, 0444);
    QVERIFY(::chmod(QFile::encodeName(keyDir("Software/Secret")).constData(), 0) == 0);

    auto run = [&](const QStringList& args) -> QString {
        QProcess p;
        if (root)
            p.start(setpriv, QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                         "--", probe} +
                                 args);
        else
            p.start(probe, args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0)
            return "<probe failed: " + QString::fromLocal8Bit(p.readAllStandardError()) + ">";
        QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        if (out.endsWith(u'\n'))
            out.chop(1);
        return out;
    };

    if (root)
        QCOMPARE(run({"uid"}), QString::number(::getpwnam("nobody")->pw_uid));
    else
        QCOMPARE(run({"uid"}), QString::number(::geteuid()));

    // The layer: full rights refused, read rights granted.
    const QString path = "Software\\Quillon Updater\\Settings";
    QCOMPARE(run({"open", path, "all"}), QString::number(ERROR_ACCESS_DENIED));
    QCOMPARE(run({"open", path, "read"}), QString::number(ERROR_SUCCESS));
    QCOMPARE(run({"open", "", "all"}), QString::number(ERROR_ACCESS_DENIED));
    QCOMPARE(run({"open", "Software\\Missing", "read"}), QString::number(ERROR_FILE_NOT_FOUND));
    QCOMPARE(run({"open", "Software\\Secret", "read"}), QString::number(ERROR_ACCESS_DENIED));
    QCOMPARE(run({"create", path}), QString::number(ERROR_ACCESS_DENIED));
    QCOMPARE(run({"create", "Software\\New"}), QString::number(ERROR_ACCESS_DENIED));

    // CRegister reads through the fallback.
    QCOMPARE(run({"get", kSection, "Proxy Use", "0"}), QString("1"));
    QCOMPARE(run({"get", kSection, "proxy server", ""}), QString("proxy:3128"));
    QCOMPARE(run({"get", kSection, "*", ""}), QString("unnamed"));
    QCOMPARE(run({"get", kSection, "Missing", "dflt"}), QString("dflt"));
    QCOMPARE(run({"get", "\\Software\\Secret", "Key", "dflt"}), QString("dflt"));

    // Writing and deleting fail, and change nothing.
    QCOMPARE(run({"save", kSection, "Proxy Use", "0"}), QString("false"));
    QCOMPARE(run({"save", kSection, "New Value", "0"}), QString("false"));
    QCOMPARE(run({"save", "\\Software\\New", "v", "0"}), QString("false"));
    QCOMPARE(run({"delete", kSection, "Proxy Use"}), QString("false"));
    QCOMPARE(run({"delete", kSection, "*"}), QString("false"));
    QCOMPARE(run({"delete", path + "\\Leaf"}), QString("false"));
    QCOMPARE(run({"delete", "Software\\Secret"}), QString("false"));

    chmodTree(m_root->path(), 0755, 0644);
    QCOMPARE(entries(settingsDir()), (QStringList{"%", "Leaf", "Proxy Server", "Proxy Use"}));
    QCOMPARE(entries(keyDir("Software")), (QStringList{"Quillon Updater", "Secret"}));
    QCOMPARE(readAll(settingsDir() + "/Proxy Use"), QByteArray("1\0", 2));
    QCOMPARE(readAll(settingsDir() + "/%"), QByteArray("unnamed\0", 8));
    QCOMPARE(readAll(settingsDir() + "/Leaf/x"), QByteArray("leaf\0", 5));
    QCOMPARE(readAll(keyDir("Software/Secret/Key")), QByteArray("s\0", 2));

    // With the rights back, the same user writes and deletes.
    if (root)
        QVERIFY(::chown(QFile::encodeName(settingsDir()).constData(), ::getpwnam("nobody")->pw_uid,
                        gid_t(-1)) == 0);
    else
        chmodTree(m_root->path(), 0755, 0644);
    QCOMPARE(run({"open", path, "all"}), QString::number(ERROR_SUCCESS));
    QCOMPARE(run({"save", kSection, "New Value", "n"}), QString("true"));
    QCOMPARE(run({"get", kSection, "New Value", ""}), QString("n"));
    QCOMPARE(run({"delete", kSection, "New Value"}), QString("true"));
}

// ---------------------------------------------------------------------------------------
// The registry layer

void TestSettings::handles() {
    HKEY a = createKey("Software\\Quillon Updater");
    HKEY b = 0;
    QVERIFY(a != 0);
    QCOMPARE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quillon Updater", 0, KEY_READ, &b),
             ERROR_SUCCESS);
    QVERIFY(b != 0 && b != a);
    for (HKEY h : {a, b})
        QVERIFY2(h < HKEY_CLASSES_ROOT || h > HKEY_USERS, "a handle took a predefined value");

    QCOMPARE(RegCloseKey(a), ERROR_SUCCESS);
    QCOMPARE(RegCloseKey(a), ERROR_INVALID_HANDLE);
    DWORD size = 0;
    QCOMPARE(RegQueryValueExA(a, "x", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    QCOMPARE(setValue(a, "x", REG_SZ, "x"), ERROR_INVALID_HANDLE);
    QCOMPARE(RegDeleteValueA(a, "x"), ERROR_INVALID_HANDLE);
    QCOMPARE(RegDeleteKeyA(a, "x"), ERROR_INVALID_HANDLE);
    HKEY c = 0;
    QCOMPARE(RegOpenKeyExA(a, "", 0, KEY_READ, &c), ERROR_INVALID_HANDLE);
    QCOMPARE(RegOpenKeyExA(0x12345678u, "", 0, KEY_READ, &c), ERROR_INVALID_HANDLE);
    QCOMPARE(RegOpenKeyExA(0x80000004u, "", 0, KEY_READ, &c), ERROR_INVALID_HANDLE);
    QCOMPARE(RegCloseKey(0), ERROR_INVALID_HANDLE);

    // b still works after a was closed.
    QCOMPARE(RegOpenKeyExA(b, "", 0, KEY_READ, &c), ERROR_SUCCESS);
    QVERIFY(c != b);
    QCOMPARE(RegCloseKey(c), ERROR_SUCCESS);
    QCOMPARE(RegCloseKey(b), ERROR_SUCCESS);
    // Closing a predefined root is harmless.
    QCOMPARE(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);

    // A handle opened with read rights only may not write.
    QCOMPARE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &c), ERROR_SUCCESS);
    QCOMPARE(setValue(c, "x", REG_SZ, QByteArray("x\0", 2)), ERROR_ACCESS_DENIED);
    QCOMPARE(RegDeleteValueA(c, "x"), ERROR_ACCESS_DENIED);
    RegCloseKey(c);
    QCOMPARE(entries(keyDir("Software")), QStringList{"Quillon Updater"});
}

void TestSettings::emptySubKeyOpensTheSameKey() {
    HKEY key = createKey("Software\\Quillon Updater");
    QVERIFY(key != 0);
    HKEY viaNull = 0;
    HKEY viaEmpty = 0;
    QCOMPARE(RegOpenKeyExA(key, nullptr, 0, KEY_ALL_ACCESS, &viaNull), ERROR_SUCCESS);
    QCOMPARE(RegOpenKeyExA(key, "", 0, KEY_ALL_ACCESS, &viaEmpty), ERROR_SUCCESS);
    QVERIFY(viaNull != key && viaEmpty != key && viaNull != viaEmpty);
    QCOMPARE(setValue(viaNull, "A", REG_SZ, QByteArray("a\0", 2)), ERROR_SUCCESS);
    QCOMPARE(setValue(viaEmpty, "B", REG_SZ, QByteArray("b\0", 2)), ERROR_SUCCESS);
    QByteArray data;
    DWORD type = 0;
    QCOMPARE(queryValue(key, "a", &data, &type), ERROR_SUCCESS);
    QCOMPARE(queryValue(key, "b", &data, &type), ERROR_SUCCESS);
    QCOMPARE(entries(keyDir("Software/Quillon Updater")), (QStringList{"A", "B"}));

    // Relative paths below an open key.
    HKEY sub = 0;
    QCOMPARE(
        RegCreateKeyExA(key, "Settings", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
        ERROR_SUCCESS);
    QVERIFY(QFileInfo(settingsDir()).isDir());
    for (HKEY h : {key, viaNull, viaEmpty, sub})
        QCOMPARE(RegCloseKey(h), ERROR_SUCCESS);
}

void TestSettings::querySizes() {
    HKEY key = createKey("Software\\Quillon Updater\\Settings");
    QVERIFY(key != 0);
    QCOMPARE(setValue(key, "Text", REG_SZ, QByteArray("abc\0", 4)), ERROR_SUCCESS);

    DWORD size = 0;
    DWORD type = 0;
    QCOMPARE(RegQueryValueExA(key, "Text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    QCOMPARE(size, DWORD(4));
    QCOMPARE(type, REG_SZ);

    unsigned char small[3] = {'x', 'x', 'x'};
    size = sizeof small;
    QCOMPARE(RegQueryValueExA(key, "Text", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
    QCOMPARE(size, DWORD(4));

    unsigned char big[10] = {};
    size = sizeof big;
    QCOMPARE(RegQueryValueExA(key, "Text", nullptr, nullptr, big, &size), ERROR_SUCCESS);
    QCOMPARE(size, DWORD(4));
    QCOMPARE(QByteArray(reinterpret_cast<char*>(big), 4), QByteArray("abc\0", 4));

    // A value stored without its zero through the API is kept as given.
    QCOMPARE(setValue(key, "NoZero", REG_SZ, "xyz"), ERROR_SUCCESS);
    QCOMPARE(readAll(settingsDir() + "/NoZero"), QByteArray("xyz"));

    size = 0;
    QCOMPARE(RegQueryValueExA(key, "Missing", nullptr, nullptr, nullptr, &size),
             ERROR_FILE_NOT_FOUND);
    QCOMPARE(RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, &size),
             ERROR_FILE_NOT_FOUND);
    DWORD reserved = 0;
    QCOMPARE(RegQueryValueExA(key, "Text", &reserved, nullptr, nullptr, &size),
             ERROR_INVALID_PARAMETER);
    QCOMPARE(RegQueryValueExA(key, "Text", nullptr, nullptr, big, nullptr),
             ERROR_INVALID_PARAMETER);
    // A subkey is not a value.
    QVERIFY(createKey("Software\\Quillon Updater\\Settings\\Sub") != 0);
    QCOMPARE(RegQueryValueExA(key, "Sub", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);

    HKEY missing = 0;
    QCOMPARE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Nowhere", 0, KEY_READ, &missing),
             ERROR_FILE_NOT_FOUND);
    QCOMPARE(missing, HKEY(0));
}

void TestSettings::createReportsDisposition() {
    DWORD disposition = 0;
    HKEY a = createKey("One\\Two\\Three", &disposition);
    QVERIFY(a != 0);
    QCOMPARE(disposition, REG_CREATED_NEW_KEY);
    QVERIFY(QFileInfo(keyDir("One/Two/Three")).isDir());
    HKEY b = createKey("ONE\\two\\THREE", &disposition);
    QVERIFY(b != 0);
    QCOMPARE(disposition, REG_OPENED_EXISTING_KEY);
    HKEY c = createKey("one\\two\\Four", &disposition);
    QVERIFY(c != 0);
    QCOMPARE(disposition, REG_CREATED_NEW_KEY);
    QCOMPARE(entries(keyDir("One/Two")), (QStringList{"Four", "Three"}));
    for (HKEY h : {a, b, c})
        RegCloseKey(h);
}

void TestSettings::invalidPathsAreRefused() {
    QVERIFY(createKey("Software\\Quillon Updater") != 0);
    for (const char* path :
         {"\\Software", "Software\\\\Quillon Updater", "\\\\Software", "Software\\\\", "\\"}) {
        HKEY key = 0;
        const LONG open = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key);
        QVERIFY2(open != ERROR_SUCCESS && open != ERROR_ACCESS_DENIED, path);
        DWORD disposition = 0;
        const LONG create = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS,
                                            nullptr, &key, &disposition);
        QVERIFY2(create != ERROR_SUCCESS && create != ERROR_ACCESS_DENIED, path);
        HKEY root = 0;
        QCOMPARE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "", 0, KEY_ALL_ACCESS, &root), ERROR_SUCCESS);
        const LONG del = RegDeleteKeyA(root, path);
        RegCloseKey(root);
        QVERIFY2(del != ERROR_SUCCESS && del != ERROR_ACCESS_DENIED, path);
    }
    QCOMPARE(entries(hklm()), QStringList{"Software"});
    QCOMPARE(entries(keyDir("Software")), QStringList{"Quillon Updater"});
}

void TestSettings::deleteKeyLayer() {
    HKEY key = createKey("Software\\Quillon Updater\\Settings");
    QVERIFY(key != 0);
    QCOMPARE(setValue(key, "A", REG_SZ, QByteArray("a\0", 2)), ERROR_SUCCESS);
    QCOMPARE(setValue(key, nullptr, REG_SZ, QByteArray("d\0", 2)), ERROR_SUCCESS);
    RegCloseKey(key);

    HKEY parent = createKey("Software");
    QVERIFY(parent != 0);
    QCOMPARE(RegDeleteKeyA(parent, "Quillon Updater"), ERROR_ACCESS_DENIED);
    QCOMPARE(RegDeleteKeyA(parent, "quillon updater\\SETTINGS"), ERROR_SUCCESS);
    QCOMPARE(RegDeleteKeyA(parent, "Quillon Updater\\Settings"), ERROR_FILE_NOT_FOUND);
    QCOMPARE(RegDeleteKeyA(parent, "Quillon Updater"), ERROR_SUCCESS);
    QCOMPARE(RegDeleteKeyA(parent, ""), ERROR_INVALID_PARAMETER);
    QCOMPARE(RegDeleteKeyA(parent, nullptr), ERROR_INVALID_PARAMETER);
    RegCloseKey(parent);
    QCOMPARE(entries(keyDir("Software")), QStringList());

    // Deleting a value that is not there.
    key = createKey("Software");
    QCOMPARE(RegDeleteValueA(key, "nothing"), ERROR_FILE_NOT_FOUND);
    QCOMPARE(RegDeleteValueA(key, nullptr), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

void TestSettings::predefinedRootsHaveTheirOwnFolders() {
    const struct {
        HKEY root;
        const char* folder;
    } roots[] = {{HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
                 {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
                 {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
                 {HKEY_USERS, "HKEY_USERS"}};
    for (const auto& r : roots)
        QVERIFY(m_reg.REGSaveSetting(r.root, "Software", "Root", r.folder));
    for (const auto& r : roots) {
        QCOMPARE(readAll(m_root->path() + u'/' + r.folder + "/Software/Root"),
                 QByteArray(r.folder) + '\0');
        QCOMPARE(m_reg.REGGetSetting(r.root, "Software", "Root"), QString(r.folder));
    }
    QCOMPARE(entries(m_root->path()).size(), 4);
    QCOMPARE(m_reg.REGGetSetting(0x80000004u, "Software", "Root", "none"), QString("none"));
    QVERIFY(!m_reg.REGSaveSetting(0x80000004u, "Software", "Root", "x"));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
