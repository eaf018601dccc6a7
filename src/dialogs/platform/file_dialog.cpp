// GetOpenFileNameA, GetSaveFileNameA and GetFileTitleA over QFileDialog.

#include "comdlg.h"
#include "dialog_runtime.h"
#include "global_memory.h"
#include "window.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QLineEdit>
#include <QMessageBox>

namespace platform {
namespace {

using detail::fromLocal8;
using detail::toLocal8;

// The file dialog; accept() runs the record's checks and the hook's CDN_FILEOK before closing.
class FileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    std::function<bool(const QStringList&)> confirm; // false keeps the dialog open
    QStringList scripted;                            // files of a scripted answer
    QStringList chosen;                              // the files accepted

    void accept() override {
        if (scripted.isEmpty() && FilterTyped())
            return;
        QStringList files = scripted.isEmpty() ? selectedFiles() : scripted;
        scripted.clear();
        if (files.isEmpty())
            return;
        if (files.size() == 1 && QFileInfo(files.front()).isDir()) {
            setDirectory(files.front()); // a folder typed or chosen is opened, as OK does
            return;
        }
        if (confirm && !confirm(files))
            return;
        chosen = files;
        QDialog::accept();
    }

private:
    // A pattern typed into the name box ("*.log") filters the view and keeps the dialog open,
    // as the platform's dialog does; the filter list keeps its choice.
    bool FilterTyped() {
        auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const QString typed = edit ? edit->text().trimmed() : QString();
        if (!typed.contains('*') && !typed.contains('?'))
            return false;
        if (auto* model = findChild<QFileSystemModel*>()) {
            model->setNameFilterDisables(false);
            model->setNameFilters(typed.split(';', Qt::SkipEmptyParts));
        }
        edit->clear();
        return true;
    }
};

// Reads the zero-separated pairs of a filter ("Text\0*.txt\0All\0*.*\0\0"); false when the
// list does not end inside its block.
bool readFilter(Address filter, QList<QPair<QString, QString>>& pairs) {
    pairs.clear();
    if (filter == 0)
        return true;
    const QByteArray bytes = ReadBytes(filter, BytesAvailable(filter));
    QStringList parts;
    qsizetype pos = 0;
    while (true) {
        const qsizetype zero = bytes.indexOf('\0', pos);
        if (zero < 0)
            return false; // not terminated within its block
        if (zero == pos)
            break; // the empty part ends the list
        parts.append(fromLocal8(bytes.mid(pos, zero - pos)));
        pos = zero + 1;
    }
    // A description without its pattern at the end is left out, as the platform does.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        pairs.append({parts[i], parts[i + 1]});
    return true;
}

QString qtFilter(const QPair<QString, QString>& pair) {
    QString patterns = pair.second;
    patterns.replace(';', ' ');
    return pair.first + " (" + patterns.simplified() + ")";
}

// A string field of the record: empty for 0 or an address outside any block.
QString recordText(Address address, DWORD limit = 0) {
    QByteArray bytes =
        limit ? ReadBytes(address, qMin(limit, BytesAvailable(address))) : ReadCString(address);
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    return fromLocal8(bytes);
}

bool bufferUsable(Address address, DWORD size) {
    return address != 0 && size > 0 && size <= 0x7FFFFFFFu && BytesAvailable(address) >= size;
}

// The open dialog's "Open as read-only" box, below the file type list.
QCheckBox* AddReadOnlyBox(QFileDialog& dialog) {
    auto* box = new QCheckBox(QStringLiteral("Open as &read-only"), &dialog);
    box->setObjectName(QStringLiteral("readOnlyBox"));
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(box, grid->rowCount(), 0, 1, grid->columnCount());
    return box;
}

BOOL fail(DWORD code) {
    detail::setExtendedError(code);
    return FALSE;
}

BOOL runFileDialog(OPENFILENAME* ofn, bool save) {
    detail::setExtendedError(0);
    if (!ofn || ofn->lStructSize != sizeof(OPENFILENAME))
        return fail(CDERR_STRUCTSIZE);
    const DWORD flags = ofn->Flags;
    if (!bufferUsable(ofn->lpstrFile, ofn->nMaxFile))
        return fail(CDERR_INITIALIZATION);
    if (ofn->lpstrFileTitle && !bufferUsable(ofn->lpstrFileTitle, ofn->nMaxFileTitle))
        return fail(CDERR_INITIALIZATION);
    const bool hooked = flags & OFN_ENABLEHOOK;
    if (hooked && !HookProcFromAddress(ofn->lpfnHook))
        return fail(CDERR_NOHOOK);
    // A template needs the module that holds it; the template itself is not shown here.
    if ((flags & OFN_ENABLETEMPLATE) && ofn->hInstance == 0)
        return fail(CDERR_NOHINSTANCE);
    QList<QPair<QString, QString>> filters;
    if (!readFilter(ofn->lpstrFilter, filters))
        return fail(CDERR_INITIALIZATION);

    const bool multi = !save && (flags & OFN_ALLOWMULTISELECT);
    const QString initialName = recordText(ofn->lpstrFile, ofn->nMaxFile);
    QString initialDir = recordText(ofn->lpstrInitialDir);
    if (initialDir.isEmpty() && initialName.contains('/'))
        initialDir = QFileInfo(initialName).absolutePath();
    if (initialDir.isEmpty())
        initialDir = QDir::currentPath();
    QString title = recordText(ofn->lpstrTitle);
    if (title.isEmpty())
        title = save ? QStringLiteral("Save As") : QStringLiteral("Open");
    QString defExt = recordText(ofn->lpstrDefExt);
    while (defExt.startsWith('.'))
        defExt.remove(0, 1);

    FileDialog dialog(detail::ownerWidget(ofn->hwndOwner), title, initialDir);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite); // the prompt is ours, see confirm
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (save)
        dialog.setFileMode(QFileDialog::AnyFile);
    else if (multi)
        dialog.setFileMode(QFileDialog::ExistingFiles);
    else
        dialog.setFileMode((flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    if (!defExt.isEmpty())
        dialog.setDefaultSuffix(defExt);
    QStringList nameFilters;
    for (const auto& pair : filters)
        nameFilters.append(qtFilter(pair));
    int filterIndex = 1; // 1-based; 0 or out of range starts on the first pair
    if (!nameFilters.isEmpty()) {
        dialog.setNameFilters(nameFilters);
        if (ofn->nFilterIndex >= 1 && ofn->nFilterIndex <= DWORD(nameFilters.size()))
            filterIndex = int(ofn->nFilterIndex);
        dialog.selectNameFilter(nameFilters[filterIndex - 1]);
    }
    if (!initialName.isEmpty())
        dialog.selectFile(initialName);
    QCheckBox* readOnly = save || (flags & OFN_HIDEREADONLY) ? nullptr : AddReadOnlyBox(dialog);
    if (readOnly)
        readOnly->setChecked(flags & OFN_READONLY);

    // With the explorer style the hook gets a child window of the dialog, as on the platform,
    // so GetParent of the hook's window is the dialog itself.
    HWND hookWindow = 0;
    if (hooked) {
        if (flags & OFN_EXPLORER) {
            auto* child = new QWidget(&dialog);
            child->setObjectName(QStringLiteral("hookChild"));
            child->setGeometry(0, 0, 1, 1);
            hookWindow = HandleFromWidget(child);
        } else {
            hookWindow = HandleFromWidget(&dialog);
        }
    }
    const HookAddress hook = hooked ? ofn->lpfnHook : 0;
    // The hook sees the record through an address, as WM_INITDIALOG's lParam and in each
    // notification; the copy is brought up to date before every call.
    LockedBlock record(sizeof(OPENFILENAME));
    WriteMemory(record.address(), ofn, sizeof *ofn);
    bool initDone = false;
    auto notify = [&](int code) {
        if (!hook || !initDone || !(flags & OFN_EXPLORER))
            return 0u; // notifications go to Explorer-style hooks only
        WriteMemory(record.address(), ofn, sizeof *ofn);
        return detail::notifyHook(hook, hookWindow, code, record.address());
    };
    QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog,
                     [&] { notify(CDN_SELCHANGE); });
    QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog,
                     [&] { notify(CDN_FOLDERCHANGE); });
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        const int index = int(nameFilters.indexOf(filter));
        if (index < 0 || index + 1 == filterIndex)
            return;
        filterIndex = index + 1;
        ofn->nFilterIndex = DWORD(filterIndex);
        notify(CDN_TYPECHANGE);
    });

    const bool scripted = HasDialogScript();
    dialog.confirm = [&](const QStringList& files) {
        if ((flags & OFN_FILEMUSTEXIST) || (!save && multi)) {
            for (const QString& f : files) {
                if (QFileInfo::exists(f))
                    continue;
                if (!scripted)
                    QMessageBox::warning(&dialog, title,
                                         QFileInfo(f).fileName() +
                                             "\nFile not found.\nPlease verify the correct file "
                                             "name was given.");
                return false;
            }
        }
        if (save && (flags & OFN_OVERWRITEPROMPT) && QFileInfo::exists(files.front())) {
            const QString text = QFileInfo(files.front()).fileName() +
                                 " already exists.\nDo you want to replace it?";
            if (!detail::askYesNo(&dialog, DialogKind::OverwritePrompt, title, text))
                return false;
        }
        return notify(CDN_FILEOK) == 0;
    };

    auto apply = [&](const DialogAnswer& answer) {
        if (answer.filterIndex >= 1 && answer.filterIndex <= nameFilters.size() &&
            answer.filterIndex != filterIndex) {
            dialog.selectNameFilter(nameFilters[answer.filterIndex - 1]);
            filterIndex = answer.filterIndex;
            ofn->nFilterIndex = DWORD(filterIndex);
            notify(CDN_TYPECHANGE);
        }
        if (!answer.files.isEmpty()) {
            const QFileInfo first(answer.files.front());
            if (QDir(first.absolutePath()) != dialog.directory()) {
                dialog.setDirectory(first.absolutePath());
                notify(CDN_FOLDERCHANGE);
            }
            dialog.selectFile(first.fileName());
            notify(CDN_SELCHANGE);
        }
        dialog.scripted = answer.files;
        dialog.accept();
    };
    auto afterInit = [&] {
        initDone = true;
        notify(CDN_INITDONE);
        notify(CDN_FOLDERCHANGE);
    };

    const DialogKind kind = save ? DialogKind::Save : DialogKind::Open;
    const bool accepted = detail::runDialog(dialog, kind, hook, hookWindow, apply, afterInit,
                                            LPARAM(record.address()));
    dialog.disconnect(&dialog); // the handlers refer to this frame's locals
    dialog.confirm = nullptr;
    if (!accepted)
        return FALSE;

    // The result: one full path, or (multi-select, several files) the folder and the names,
    // each followed by a zero, and one more zero at the end.
    QStringList files = dialog.chosen;
    for (QString& f : files)
        f = QFileInfo(f).absoluteFilePath();
    QByteArray result;
    WORD fileOffset = 0;
    WORD extensionOffset = 0;
    if (multi && files.size() > 1) {
        const QString folder = QFileInfo(files.front()).absolutePath();
        result = toLocal8(QDir::toNativeSeparators(folder));
        result.append('\0');
        fileOffset = WORD(qMin<qsizetype>(result.size(), 0xFFFF));
        for (const QString& f : files) {
            result.append(toLocal8(QFileInfo(f).fileName()));
            result.append('\0');
        }
        result.append('\0');
    } else {
        const QByteArray path = toLocal8(files.front());
        const qsizetype slash = path.lastIndexOf('/');
        const qsizetype dot = path.lastIndexOf('.');
        fileOffset = WORD(slash + 1);
        extensionOffset = (dot > slash) ? WORD(dot + 1) : WORD(0);
        result = path;
        result.append('\0');
        if (multi)
            result.append('\0');
    }
    if (DWORD(result.size()) > ofn->nMaxFile) {
        // Too small: the first two bytes tell the size needed, as the platform does.
        if (ofn->nMaxFile >= 2) {
            const WORD needed = WORD(qMin<qsizetype>(result.size(), 0xFFFF));
            WriteMemory(ofn->lpstrFile, &needed, sizeof needed);
        }
        return fail(FNERR_BUFFERTOOSMALL);
    }
    WriteBytes(ofn->lpstrFile, result);
    if (ofn->lpstrFileTitle && !(multi && files.size() > 1)) {
        const QByteArray name = toLocal8(QFileInfo(files.front()).fileName());
        if (!WriteCString(ofn->lpstrFileTitle, name, ofn->nMaxFileTitle))
            WriteCString(ofn->lpstrFileTitle, QByteArray(), ofn->nMaxFileTitle);
    }
    ofn->nFileOffset = fileOffset;
    ofn->nFileExtension = extensionOffset;
    ofn->nFilterIndex = nameFilters.isEmpty() ? ofn->nFilterIndex : DWORD(filterIndex);
    DWORD outFlags = flags & ~(OFN_READONLY | OFN_EXTENSIONDIFFERENT);
    if (readOnly && readOnly->isChecked())
        outFlags |= OFN_READONLY;
    if (!defExt.isEmpty() &&
        QFileInfo(files.front()).suffix().compare(defExt, Qt::CaseInsensitive) != 0)
        outFlags |= OFN_EXTENSIONDIFFERENT;
    ofn->Flags = outFlags;
    return TRUE;
}

} // namespace

BOOL GetOpenFileNameA(OPENFILENAME* ofn) {
    return runFileDialog(ofn, false);
}
BOOL GetSaveFileNameA(OPENFILENAME* ofn) {
    return runFileDialog(ofn, true);
}

short GetFileTitleA(Address fileName, Address title, WORD titleSize) {
    const QByteArray name = ReadCString(fileName);
    if (name.isEmpty() || name.endsWith('/') || name.endsWith('\\'))
        return -1;
    const qsizetype cut = qMax(name.lastIndexOf('/'), name.lastIndexOf('\\'));
    const QByteArray display = name.mid(cut + 1);
    if (display.size() + 1 > titleSize)
        return short(display.size() + 1);
    return WriteCString(title, display, titleSize) ? short(0) : short(-1);
}

} // namespace platform
