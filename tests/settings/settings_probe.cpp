// Runs one settings operation and prints its result on stdout, so that a test can watch
// what the store does for another user (the tests run it without privileges). Always on
// HKEY_LOCAL_MACHINE below $ZORV_REGISTRY_ROOT.
//
//   settings_probe uid                          the effective user id
//   settings_probe get SECTION NAME DEFAULT     REGGetSetting's text
//   settings_probe save SECTION NAME VALUE      REGSaveSetting: true / false
//   settings_probe delete SECTION [NAME]        REGDeleteSetting: true / false
//   settings_probe open PATH read|all           RegOpenKeyExA's code
//   settings_probe create PATH                  RegCreateKeyExA's code (KEY_ALL_ACCESS)
#include "cregister.h"
#include "registry.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstring>
#include <unistd.h>

using namespace settings;

namespace {

int print(const QByteArray& text) {
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fputc('\n', stdout);
    return 0;
}

int print(bool b) {
    return print(QByteArray(b ? "true" : "false"));
}

QString arg(char** argv, int i) {
    return QString::fromLocal8Bit(argv[i]);
}

} // namespace

int main(int argc, char** argv) {
    const QByteArray op = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    CRegister reg;
    if (op == "uid" && argc == 2)
        return print(QByteArray::number(uint(::geteuid())));
    if (op == "get" && argc == 5)
        return print(reg.REGGetSetting(HKEY_LOCAL_MACHINE, arg(argv, 2), arg(argv, 3), arg(argv, 4))
                         .toLocal8Bit());
    if (op == "save" && argc == 5)
        return print(
            reg.REGSaveSetting(HKEY_LOCAL_MACHINE, arg(argv, 2), arg(argv, 3), arg(argv, 4)));
    if (op == "delete" && argc == 3)
        return print(reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, arg(argv, 2)));
    if (op == "delete" && argc == 4)
        return print(reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, arg(argv, 2), arg(argv, 3)));
    if (op == "open" && argc == 4) {
        const REGSAM sam = std::strcmp(argv[3], "read") == 0 ? KEY_READ : KEY_ALL_ACCESS;
        HKEY key = 0;
        const LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, argv[2], 0, sam, &key);
        if (rc == ERROR_SUCCESS)
            RegCloseKey(key);
        return print(QByteArray::number(rc));
    }
    if (op == "create" && argc == 3) {
        HKEY key = 0;
        DWORD disposition = 0;
        const LONG rc =
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, argv[2], 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, &disposition);
        if (rc == ERROR_SUCCESS)
            RegCloseKey(key);
        return print(QByteArray::number(rc));
    }
    std::fputs("usage: settings_probe uid|get|save|delete|open|create ...\n", stderr);
    return 2;
}
