#include "platform_test_helpers.h"

namespace platform_test {

HookLog& hookLog() {
    static HookLog log;
    return log;
}

UINT recordingHook(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    HookLog& log = hookLog();
    int code = 0;
    if (msg == WM_NOTIFY) {
        NMHDR header{};
        if (ReadMemory(Address(lParam), &header, sizeof header))
            code = int(header.code);
    }
    if (msg == WM_COMMAND)
        code = int(wParam & 0xFFFF); // the button's command id
    log.events.append({msg, code});
    log.windows.append(hDlg);
    if (msg == WM_NOTIFY && code == CDN_FILEOK && log.refuseFileOk > 0) {
        --log.refuseFileOk;
        SetWindowLongA(hDlg, DWL_MSGRESULT, 1);
        return 1;
    }
    return 0;
}

namespace {
std::unique_ptr<LockedBlock> textBlock(const QByteArray& bytes, DWORD size) {
    auto block = std::make_unique<LockedBlock>(size);
    WriteBytes(block->address(), bytes);
    return block;
}
} // namespace

FileRecord::FileRecord(DWORD fileBufferSize, const QByteArray& filter) {
    file_ = std::make_unique<LockedBlock>(fileBufferSize);
    title_ = std::make_unique<LockedBlock>(260);
    ofn.lStructSize = sizeof(OPENFILENAME);
    ofn.lpstrFile = file_->address();
    ofn.nMaxFile = fileBufferSize;
    ofn.lpstrFileTitle = title_->address();
    ofn.nMaxFileTitle = 260;
    if (!filter.isNull()) {
        filter_ = textBlock(filter, DWORD(filter.size() + 2));
        ofn.lpstrFilter = filter_->address();
    }
}

QByteArray FileRecord::file() const {
    return ReadBytes(ofn.lpstrFile, ofn.nMaxFile);
}

void FileRecord::setInitialDir(const QByteArray& dir) {
    dir_ = textBlock(dir, DWORD(dir.size() + 1));
    ofn.lpstrInitialDir = dir_->address();
}

void FileRecord::setDefExt(const QByteArray& ext) {
    ext_ = textBlock(ext, DWORD(ext.size() + 1));
    ofn.lpstrDefExt = ext_->address();
}

} // namespace platform_test
