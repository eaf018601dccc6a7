// The main window: controls, menus, start-up and shut-down.
#include "frmmain.h"
#include "signature_fetch.h"

#include "app_settings.h"
#include "button_art.h"
#include "cftpconnection.h"
#include "download_state.h"
#include "progress_picture.h"
#include "rkbuttons_h.h"
#include "running_digest.h"
#include "socket_control.h"
#include "tls_trust.h"
#include "twips.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#ifndef ZORV_UPDATE_URL
#define ZORV_UPDATE_URL "http://www.quillon-updates.example/update/Zorvupdater.exe"
#endif
#ifndef ZORV_PRODUCT_DIR
#define ZORV_PRODUCT_DIR "/opt/Brantle/"
#endif

namespace app {

namespace {

// An https address will need the TLS library: start loading it while the user looks.
void PrepareForAddress(const QString& address) {
    if (address.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        net::PrepareTls();
}

constexpr int kDesignClientWidth = 6135;
constexpr int kDesignClientHeight = 6585;
// At start-up the window shows the title, the progress panel and the button row (which ends
// 2415 twips down the client area) with a margin below it, whatever the window manager's
// frame and the menu bar take: a fixed outer height cut the row off under a tall title bar
// and showed the Pause button's top without one.
constexpr int kVisibleClientHeight = 2415 + 90;
// The Pause button lies just below the visible area, out of view until the window is made
// taller.
constexpr int kPauseTop = kVisibleClientHeight;

QFont FontOf(std::initializer_list<const char*> families, double points, bool bold = false) {
    QFont font;
    QStringList names;
    for (const char* f : families)
        names << QString::fromLatin1(f);
    names << QStringLiteral("DejaVu Sans"); // present wherever the preferred faces are not
    font.setFamilies(names);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect twips) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(TwipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, QRect twips,
                        const char* toolTip = nullptr) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(TwipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    if (toolTip)
        button->setToolTip(QString::fromLatin1(toolTip));
    return button;
}

// One of the four owner-drawn buttons, restored from the values its designer stored.
// The row's buttons are wider than the window's first design (1095 and 975 twips): a 45
// degree slant as high as the button leaves a face too narrow for a 16-pixel image, the gap
// and the caption at 8.25 points. The left edges stay; the row now ends as far from the
// window's right edge as it starts from the left.
constexpr int kRowButtonWidth = 1335;
constexpr int kExitButtonWidth = 1080;

controls::rkButtons_H* MakeMainButton(QWidget* parent, const char* name, const char* caption,
                                      QRect twips, const char* toolTip, qint32 shape,
                                      const controls::PictureRef& icon, bool enabled = true) {
    auto* button = new controls::rkButtons_H(parent);
    button->setObjectName(QString::fromLatin1(name));
    // The container's colour shows around the slanted and rounded edges.
    controls::AmbientProperties ambient;
    ambient.BackColor = controls::FromQColor(parent->palette().color(parent->backgroundRole()));
    ambient.Font = parent->font();
    button->SetAmbient(ambient);
    button->setGeometry(TwipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    button->setToolTip(QString::fromLatin1(toolTip));
    controls::PropertyBag bag;
    const auto store = [&bag](const char* key, const QVariant& value) {
        bag.WriteProperty(QString::fromLatin1(key), value, QVariant());
    };
    store("Caption", QString::fromLatin1(caption));
    store("CapAlign", 2);
    store("BackStyle", 2);
    store("Shape", shape);
    store("Mode", 0);
    store("Value", false);
    store("ImgAlign", 1);
    store("Image", QVariant::fromValue(icon));
    if (!enabled)
        store("Enabled", false);
    store("cBack", controls::kSysButtonFace);
    store("cGradient", 0);
    store("mPointer", 99);
    store("mIcon", QVariant::fromValue(HandCursor()));
    store("Font", FontOf({"MS Sans Serif", "Liberation Sans"}, 8.25));
    button->ReadProperties(bag);
    return button;
}

const QString kWidestSize = QStringLiteral("1023.99 MB");
const QString kWidestTime = QStringLiteral("00:00:00");

// The progress rows keep their design places where the texts fit. Where this system's font
// is wider than the design's, a label grows to its text and the labels after it move right,
// so that no caption is cut and no caption touches its value. Values count at their widest.
void FlowRow(const QList<QPair<QLabel*, QString>>& row) {
    constexpr int kGap = 3;
    int nextLeft = 0;
    for (const auto& [label, widest] : row) {
        const int textWidth =
            label->fontMetrics().horizontalAdvance(widest.isEmpty() ? label->text() : widest);
        QRect g = label->geometry();
        g.moveLeft(qMax(g.left(), nextLeft));
        g.setWidth(qMax(g.width(), textWidth + 1));
        label->setGeometry(g);
        nextLeft = g.left() + textWidth + kGap;
    }
}

template <typename Box>
Box* MakeTextBox(QWidget* parent, const char* name, const QString& text, int top) {
    auto* box = new Box(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setText(text);
    box->setGeometry(TwipsRect(120, top, 5775, 285));
    return box;
}

} // namespace

UrlBox::UrlBox(QWidget* parent) : QLineEdit(parent) {
    setAcceptDrops(true);
}

void UrlBox::dragEnterEvent(QDragEnterEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void UrlBox::dragMoveEvent(QDragMoveEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void UrlBox::dropEvent(QDropEvent* event) {
    // The dropped text replaces the box's text whole; data without text leaves it empty.
    const QString text = event->mimeData()->hasText() ? event->mimeData()->text() : QString();
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit TextDropped(text);
}

frmMain::frmMain(QWidget* parent)
    : QMainWindow(parent), digest_(std::make_unique<signing::RunningDigest>()) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Zorv  Updater"));
    BuildControls();
    BuildMenus();
    FormLoad();
}

frmMain::~frmMain() {
    CloseSocket();
}

double frmMain::Now() {
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return 1.0 + clock.nsecsElapsed() / 1e9; // never 0, which means "not started"
}

void frmMain::BuildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    const QColor highlight = palette().color(QPalette::Highlight);
    const QColor highlightText = palette().color(QPalette::HighlightedText);
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, highlight);
    windowPalette.setColor(QPalette::WindowText, highlightText);
    client->setPalette(windowPalette);
    client->setAutoFillBackground(true);
    setCentralWidget(client);
    const QFont tahoma = FontOf({"Tahoma", "Liberation Sans"}, 8.25);

    Label7 = MakeLabel(client, "Label7", QStringLiteral("Brantle Zorv Account Ver 1.0 Updater"),
                       {120, 75, 5775, 330});
    Label7->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label7->setFont(FontOf({"Comic Sans MS", "Comic Neue"}, 12, true));
    QPalette yellow = Label7->palette();
    yellow.setColor(QPalette::WindowText, QColor(255, 255, 0));
    Label7->setPalette(yellow);

    fraDownloadProgress = new QGroupBox(QStringLiteral("&File Updater Progress"), client);
    fraDownloadProgress->setObjectName(QStringLiteral("fraDownloadProgress"));
    fraDownloadProgress->setGeometry(TwipsRect(120, 480, 5775, 1455));
    fraDownloadProgress->setPalette(windowPalette);
    fraDownloadProgress->setAutoFillBackground(true);
    fraDownloadProgress->setFont(tahoma);
    QWidget* frame = fraDownloadProgress;

    picDownloadProgress = new ProgressPicture(frame);
    picDownloadProgress->setObjectName(QStringLiteral("picDownloadProgress"));
    picDownloadProgress->setGeometry(TwipsRect(120, 240, 5535, 255));
    lblStatus = MakeLabel(frame, "lblStatus", QString(), {120, 240, 5535, 255});
    lblStatus->setAlignment(Qt::AlignCenter);
    lblStatus->hide();

    Label2 = MakeLabel(frame, "Label2", QStringLiteral("Total Size:"), {120, 600, 840, 255});
    lblSize = MakeLabel(frame, "lblSize", QString(), {960, 600, 840, 255});
    Label3 = MakeLabel(frame, "Label3", QStringLiteral("Recieved Size:"), {1800, 600, 1080, 255});
    lblRecieve = MakeLabel(frame, "lblRecieve", QString(), {2880, 600, 1080, 255});
    Label4 = MakeLabel(frame, "Label4", QStringLiteral("Speed:"), {3960, 600, 600, 255});
    lblSpeed = MakeLabel(frame, "lblSpeed", QString(), {4560, 600, 1095, 255});
    Label5 = MakeLabel(frame, "Label5", QStringLiteral("Time Remaining:"), {120, 960, 1200, 255});
    lblRemaining = MakeLabel(frame, "lblRemaining", QString(), {1320, 960, 960, 255});
    Label6 = MakeLabel(frame, "Label6", QStringLiteral("Elapsed Time:"), {2280, 960, 1080, 255});
    lblElapsed = MakeLabel(frame, "lblElapsed", QString(), {3360, 960, 840, 255});
    Label9 = MakeLabel(frame, "Label9", QStringLiteral("Complete:"), {4200, 960, 840, 255});
    LBLPR = MakeLabel(frame, "LBLPR", QString(), {5040, 960, 615, 255});

    cmdDownload =
        MakeMainButton(client, "cmdDownload", "&Update", {120, 2040, kRowButtonWidth, 375},
                       "UPDATE QUILLON SOFTWARE", 2, UpdateIcon());
    cmdRun = MakeMainButton(client, "cmdRun", "&Run", {1720, 2040, kRowButtonWidth, 375},
                            "RUN QUILLON SOFTWARE", 3, RunIcon(), false);
    cmdStop = MakeMainButton(client, "cmdStop", "&Stop", {3320, 2040, kRowButtonWidth, 375},
                             "STOP UPDATER", 3, StopIcon());
    CmdExit = MakeMainButton(client, "CmdExit", "&Exit", {4920, 2040, kExitButtonWidth, 375},
                             "CLOSE UPDATER", 1, ExitIcon());
    cmdPause = MakeButton(client, "cmdPause", "&Pause", {2640, kPauseTop, 1095, 375});

    Label1 =
        MakeLabel(client, "Label1", QStringLiteral("Enter the url in which the file is located:"),
                  {120, 2880, 5775, 255});
    txtURL = MakeTextBox<UrlBox>(client, "txtURL", QStringLiteral(ZORV_UPDATE_URL), 3120);
    Label8 =
        MakeLabel(client, "Label8", QStringLiteral("Save Download Path:"), {120, 3480, 5775, 255});
    TxtPath = MakeTextBox<QLineEdit>(client, "TxtPath",
                                     QStringLiteral(ZORV_PRODUCT_DIR "Zorvupdater.cat"), 3720);
    Label10 =
        MakeLabel(client, "Label10", QStringLiteral("File Delete Path"), {120, 4200, 5775, 255});
    Text2 = MakeTextBox<QLineEdit>(client, "Text2",
                                   QStringLiteral(ZORV_PRODUCT_DIR "Brantle Ver 1.0.exe"), 4440);
    Label11 =
        MakeLabel(client, "Label11", QStringLiteral("Change File Name.:"), {120, 4800, 5775, 255});
    Text1 = MakeTextBox<QLineEdit>(client, "Text1", QStringLiteral("Brantle Ver 1.0.exe"), 5040);
    Command1 = MakeButton(client, "Command1", "Command1", {4200, 6000, 1215, 375});
    for (QLabel* label : {Label1, Label8, Label10, Label11})
        label->setFont(tahoma);
    // The progress labels paint their own background, the frame's colour: a label that changes
    // (a thousand times a second during a fast transfer) then repaints alone, not the frame
    // and everything on it.
    for (QLabel* label : frame->findChildren<QLabel*>()) {
        label->setFont(tahoma);
        label->setAutoFillBackground(true);
    }
    FlowRow({{Label2, {}},
             {lblSize, kWidestSize},
             {Label3, {}},
             {lblRecieve, kWidestSize},
             {Label4, {}},
             {lblSpeed, QStringLiteral("1023.99 Kbps")}});
    FlowRow({{Label5, {}},
             {lblRemaining, kWidestTime},
             {Label6, {}},
             {lblElapsed, kWidestTime},
             {Label9, {}},
             {LBLPR, QStringLiteral("100 %")}});

    sckDownload = new net::SocketControl(this);
    sckDownload->setObjectName(QStringLiteral("sckDownload"));
    tmrUpdateProgress = new QTimer(this);
    tmrUpdateProgress->setObjectName(QStringLiteral("tmrUpdateProgress"));
    tmrUpdateProgress->setInterval(1);
    tmrTimeLeft = new QTimer(this);
    tmrTimeLeft->setObjectName(QStringLiteral("tmrTimeLeft"));
    tmrTimeLeft->setInterval(1000);
    reconnectTimer_ = new QTimer(this);
    reconnectTimer_->setSingleShot(true);

    connect(cmdDownload, &controls::rkButtons_H::Click, this, &frmMain::cmdDownload_Click);
    connect(cmdRun, &controls::rkButtons_H::Click, this, &frmMain::cmdRun_Click);
    connect(cmdStop, &controls::rkButtons_H::Click, this, &frmMain::cmdStop_Click);
    connect(CmdExit, &controls::rkButtons_H::Click, this, &frmMain::CmdExit_Click);
    connect(cmdPause, &QPushButton::clicked, this, &frmMain::cmdPause_Click);
    connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    connect(txtURL, &QLineEdit::textChanged, this, &frmMain::txtURL_Change);
    connect(txtURL, &UrlBox::TextDropped, this, &frmMain::txtURL_Drop);
    connect(txtURL, &QLineEdit::textChanged, this, &PrepareForAddress);
    PrepareForAddress(txtURL->text());
    connect(sckDownload, &net::SocketControl::ConnectEvent, this, &frmMain::sckDownload_Connect);
    connect(sckDownload, &net::SocketControl::DataArrival, this, &frmMain::sckDownload_DataArrival);
    connect(sckDownload, &net::SocketControl::CloseEvent, this, &frmMain::sckDownload_Close);
    connect(sckDownload, &net::SocketControl::ErrorEvent, this, &frmMain::sckDownload_Error);
    connect(reconnectTimer_, &QTimer::timeout, this, &frmMain::Reconnect);
    connect(tmrUpdateProgress, &QTimer::timeout, this, &frmMain::tmrUpdateProgress_Timer);
    connect(tmrTimeLeft, &QTimer::timeout, this, &frmMain::tmrTimeLeft_Timer);
    tmrUpdateProgress->start();
    tmrTimeLeft->start();
}

void frmMain::BuildMenus() {
    const auto add = [this](QMenu* menu, const char* name, const char* caption) {
        QAction* action = menu->addAction(QString::fromLatin1(caption));
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    const auto separator = [](QMenu* menu, const char* name) {
        menu->addSeparator()->setObjectName(QString::fromLatin1(name));
    };
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuNewInstanceFile = add(mnuFile, "mnuNewInstanceFile", "&New Instance");
    separator(mnuFile, "line2file");
    showheader = add(mnuFile, "showheader", "&Show Header");
    separator(mnuFile, "line1");
    mnuExit = add(mnuFile, "mnuExit", "E&xit");

    mnuSettings = menuBar()->addMenu(QStringLiteral("&Settings"));
    mnuSettings->setObjectName(QStringLiteral("mnuSettings"));
    mnuSettingsProxy = add(mnuSettings, "mnuSettingsProxy", "&Proxy Server");
    mnuSettingsProxy->setCheckable(true);
    mnuftpoptions = add(mnuSettings, "mnuftpoptions", "&Ftp Options");
    separator(mnuSettings, "mnuline1settings");
    mnuDownloadOptions = add(mnuSettings, "mnuDownloadOptions", "&Snarfo! Options");

    mnuAbout = menuBar()->addMenu(QStringLiteral("&About"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    mnuAboutDownloader = add(mnuAbout, "mnuAboutDownloader", "&About Downloader");
    mnuTessarinOnWeb = add(mnuAbout, "mnuTessarinOnWeb", "&Tessarin Software Webpage");

    connect(mnuSettings, &QMenu::aboutToShow, this, &frmMain::mnuSettings_Click);
    connect(mnuNewInstanceFile, &QAction::triggered, this, &frmMain::mnuNewInstanceFile_Click);
    connect(mnuExit, &QAction::triggered, this, &QWidget::close);
    connect(mnuTessarinOnWeb, &QAction::triggered, this, &frmMain::mnuTessarinOnWeb_Click);
}

void frmMain::FormLoad() {
    // The window shows the title, the progress panel and the button row; the boxes below
    // come into view when it is made taller.
    const int width = TwipsToPixelsX(kDesignClientWidth);
    const int fullHeight = TwipsToPixelsY(kDesignClientHeight) + menuBar()->sizeHint().height();
    setMinimumWidth(width);
    setMaximumWidth(width);
    setMinimumHeight(menuBar()->sizeHint().height());
    setMaximumHeight(fullHeight);
    resize(width, StartHeight());
    Download().IsResuming = false;
    if (AppSettings::Clipboard()) {
        const QString text = QGuiApplication::clipboard()->text();
        if (text.contains(QLatin1String("http://")) || text.contains(QLatin1String("https://")) ||
            text.contains(QLatin1String("ftp://")) || text.contains(QLatin1String("ftps://")))
            txtURL->setText(text.trimmed());
    }
    DrawProgress(picDownloadProgress, 0, false);
}

int frmMain::StartHeight() const {
    return menuBar()->sizeHint().height() + TwipsToPixelsY(kVisibleClientHeight);
}

void frmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (outerHeightSet_)
        return;
    outerHeightSet_ = true;
    resize(width(), StartHeight());
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    }
}

void frmMain::closeEvent(QCloseEvent* event) {
    CloseSocket();
    if (signatureFetch_)
        signatureFetch_->Cancel();
    if (CFtpConnection) {
        // The FTP routine is waiting inside the client: end it, and delete the window only
        // once it has returned.
        Paused = true;
        CFtpConnection->BreakeConnection();
        if (testAttribute(Qt::WA_DeleteOnClose)) {
            setAttribute(Qt::WA_DeleteOnClose, false);
            deleteWhenFtpEnds_ = true;
        }
    }
    event->accept();
    QCoreApplication::quit(); // closing any main window ends the program
}

void frmMain::CmdExit_Click() {
    QCoreApplication::exit(0);
}

void frmMain::mnuSettings_Click() {
    mnuSettingsProxy->setChecked(AppSettings::ProxyUse());
}

void frmMain::txtURL_Change() {
    const QString text = txtURL->text();
    const QString trimmed = text.trimmed();
    if (trimmed == text)
        return;
    // Keep the caret where it was relative to the text that stays.
    const qsizetype leading = text.indexOf(trimmed);
    const int caret = txtURL->cursorPosition() - static_cast<int>(qMax<qsizetype>(0, leading));
    txtURL->setText(trimmed);
    txtURL->setCursorPosition(qBound(0, caret, static_cast<int>(trimmed.size())));
}

} // namespace app
