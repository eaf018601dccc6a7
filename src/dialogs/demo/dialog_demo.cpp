// Shows the standard dialogs one after another through cCommonDialog and prints the
// properties each leaves behind, and the events of the hooked dialogs.
//   dialog_demo [open] [multi] [save] [color] [font] [print]   (no argument: all of them)
#include "ccommondialog.h"
#include "dialog_error.h"

#include <QApplication>
#include <QTextStream>

#include <functional>

using dialogs::cCommonDialog;

namespace {

QTextStream out(stdout);

QString Visible(QString text) {
    return text.replace(QChar(0), QLatin1Char('|'));
}

void PrintFileResult(cCommonDialog& d) {
    out << "  Filename:    " << Visible(d.Filename().left(200)) << "\n"
        << "  FileTitle:   " << d.FileTitle() << "\n"
        << "  Filter:      " << Visible(d.Filter()) << "\n"
        << "  FilterIndex: " << d.FilterIndex() << "\n"
        << "  flags:       0x" << QString::number(quint32(d.flags()), 16) << "\n";
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList wanted = app.arguments().mid(1);
    if (wanted.isEmpty())
        wanted = {"open", "multi", "save", "color", "font", "print"};

    cCommonDialog d;
    d.setCancelError(true);
    d.setHookDialog(true);
    QObject::connect(&d, &cCommonDialog::InitDialog,
                     [](int h) { out << "  event InitDialog " << h << Qt::endl; });
    QObject::connect(&d, &cCommonDialog::FileChange,
                     [](int h) { out << "  event FileChange " << h << Qt::endl; });
    QObject::connect(&d, &cCommonDialog::FolderChange,
                     [](int h) { out << "  event FolderChange " << h << Qt::endl; });
    QObject::connect(&d, &cCommonDialog::TypeChange,
                     [](int h) { out << "  event TypeChange " << h << Qt::endl; });
    QObject::connect(&d, &cCommonDialog::ConfirmOK,
                     [](bool&) { out << "  event ConfirmOK" << Qt::endl; });
    QObject::connect(&d, &cCommonDialog::DialogClose,
                     [] { out << "  event DialogClose" << Qt::endl; });
    QObject::connect(&d, &cCommonDialog::WMCommand, [](int h, int& w, int&) {
        out << "  event WMCommand " << h << " " << w << Qt::endl;
    });

    const QList<QPair<QString, std::function<void()>>> shows = {
        {"open",
         [&] {
             d.setFilter("Text files|*.txt|All files|*");
             d.setflags(0x1000);
             d.ShowOpen();
             PrintFileResult(d);
         }},
        {"multi",
         [&] {
             d.setFilter("All files|*");
             d.setflags(0x200);
             d.ShowOpen();
             PrintFileResult(d);
             QString sDir;
             QStringList sFiles;
             int count = 0;
             d.ParseMultiFileName(sDir, sFiles, count);
             out << "  folder: " << sDir << "\n  files (" << count << "): " << sFiles.join(", ")
                 << "\n";
         }},
        {"save",
         [&] {
             d.setFilter("Text files|*.txt");
             d.setDefaultExt("txt");
             d.setflags(0x2);
             d.ShowSave();
             PrintFileResult(d);
         }},
        {"color",
         [&] {
             d.setflags(0x2);
             d.ShowColor();
             out << "  Color: 0x" << QString::number(quint32(d.Color()), 16) << "\n";
         }},
        {"font",
         [&] {
             d.setflags(0);
             d.setFontColor(1);
             d.ShowFont();
             out << "  Font: " << d.FontName() << " " << d.FontSize() << " pt"
                 << (d.FontBold() ? " bold" : "") << (d.FontItalic() ? " italic" : "")
                 << (d.FontUnderline() ? " underline" : "")
                 << (d.FontStrikethru() ? " strikethru" : "") << "\n  FontColor: 0x"
                 << QString::number(quint32(d.FontColor()), 16) << "\n";
         }},
        {"print",
         [&] {
             d.setflags(0x2);
             d.setFromPage(1);
             d.setToPage(1);
             d.ShowPrinter();
             out << "  FromPage: " << d.FromPage() << "  ToPage: " << d.ToPage()
                 << "  Copies: " << d.Copies() << "\n";
         }},
    };

    for (const auto& [name, show] : shows) {
        if (!wanted.contains(name))
            continue;
        out << name << ":\n";
        out.flush();
        try {
            show();
        } catch (const dialogs::DialogError& e) {
            out << "  error " << e.Number() << " from " << e.Source() << ": " << e.Description()
                << "\n";
        }
        out.flush();
    }
    return 0;
}
