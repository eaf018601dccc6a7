// nginx, tinyproxy and the FTP servers run as child processes, each on a free 127.0.0.1 port.
#include "servers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>

namespace testsupport {

namespace {

constexpr int kPortAttempts = 5;
constexpr int kReadyTimeoutMs = 30000;
constexpr int kStopTimeoutMs = 10000;

// A port that was free a moment ago; another process may still take it before the server
// binds it, which start() answers by retrying with a new one.
quint16 pickFreePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll());
}

bool writeText(const QString& path, const QString& text) {
    QFile file(path);
    const QByteArray bytes = text.toLocal8Bit();
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

bool canConnect(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(2000);
}

// True when a connection to port opens and the server's first line is a 220 greeting that
// contains token (FTP servers speak first).
bool greets(quint16 port, const QByteArray& token) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(2000))
        return false;
    QByteArray received;
    const QDeadlineTimer deadline(5000);
    while (!received.contains('\n') && !deadline.hasExpired() &&
           socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
        received += socket.readAll();
    return received.startsWith("220") && received.left(received.indexOf('\n')).contains(token);
}

// A greeting no other server on the machine would send, so readiness checks cannot be
// fooled by a stranger that took the port.
QString uniqueBanner(const QString& server) {
    return QStringLiteral("ZorvUpdater test %1 %2")
        .arg(server)
        .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
}

void stopProcess(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(kStopTimeoutMs)) {
        process.kill();
        process.waitForFinished(kStopTimeoutMs);
    }
}

enum class Launch { Ready, PortTaken, Failed, TimedOut };

struct LaunchPlan {
    QString program;
    QStringList arguments;
    QString outputFile; // receives the process's stdout and stderr
    QString logFile;    // the process's own log
    quint16 port = 0;
    std::function<bool()> bound; // the process reports that it holds its port (optional)
    QByteArray greeting;         // if set, ready only once a 220 greeting holding it is read
    QString portTakenMessage;    // what it prints when the port is in use
};

// Starts the process and waits until it holds the port and accepts a connection there.
Launch launch(QProcess& process, const LaunchPlan& plan) {
    QFile::remove(plan.outputFile);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(plan.outputFile);
    process.start(plan.program, plan.arguments);
    if (!process.waitForStarted(kReadyTimeoutMs))
        return Launch::Failed;
    const QDeadlineTimer deadline(kReadyTimeoutMs);
    while (!deadline.hasExpired()) {
        if (process.state() == QProcess::NotRunning) {
            const QString said = readText(plan.outputFile) + readText(plan.logFile);
            const bool taken = said.contains(plan.portTakenMessage);
            return taken ? Launch::PortTaken : Launch::Failed;
        }
        // The bound() and greeting checks keep a stranger that grabbed the port from passing
        // as ours.
        const bool answers =
            plan.greeting.isEmpty() ? canConnect(plan.port) : greets(plan.port, plan.greeting);
        if ((!plan.bound || plan.bound()) && answers && process.state() == QProcess::Running)
            return Launch::Ready;
        process.waitForFinished(50); // pause, but wake at once if the process exits
    }
    stopProcess(process);
    return Launch::TimedOut;
}

QString launchFailure(const QString& name, Launch result, const QProcess& process) {
    const QString why = result == Launch::TimedOut
                            ? QStringLiteral("no connection within %1 ms").arg(kReadyTimeoutMs)
                            : process.errorString();
    return QStringLiteral("%1 did not start (%2)\n").arg(name, why);
}

// Runs attempt(port) with new ports until one is not taken by someone else.
bool startOnFreePort(quint16& port, QString& errorText,
                     const std::function<Launch(quint16)>& attempt) {
    for (int i = 0; i < kPortAttempts; ++i) {
        port = pickFreePort();
        if (port == 0) {
            errorText = QStringLiteral("no free port on 127.0.0.1");
            return false;
        }
        const Launch result = attempt(port);
        if (result == Launch::Ready) {
            errorText.clear();
            return true;
        }
        if (result != Launch::PortTaken)
            return false;
    }
    errorText = QStringLiteral("port taken on every attempt\n") + errorText;
    return false;
}

std::unique_ptr<QTemporaryDir> makeTempDir(const QString& name) {
    return std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/zorv-") + name +
                                           QStringLiteral("-XXXXXX"));
}

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

// ---- ServerProcess ----

ServerProcess::~ServerProcess() {
    stop();
}

void ServerProcess::stop() {
    stopProcess(process_);
}

bool ServerProcess::freshFolder(const QString& serverName) {
    stop();
    dir_ = makeTempDir(serverName);
    if (dir_->isValid())
        return true;
    errorText_ = QStringLiteral("cannot create a temporary folder: ") + dir_->errorString();
    return false;
}

QString ServerProcess::folderFile(const QString& name) const {
    return dir_ ? dir_->path() + QLatin1Char('/') + name : QString();
}

// ---- NginxServer ----

bool NginxServer::writeConfig(const QString& docRoot, const QString& extraServerConfig) {
    const QString prefix = dir_->path();
    const auto path = [&prefix](const char* name) {
        return quoted(prefix + QLatin1Char('/') + QLatin1String(name));
    };
    QString config;
    config +=
        QStringLiteral("pid %1;\nerror_log %2 info;\n").arg(path("nginx.pid"), path("error.log"));
    config += QStringLiteral("events { worker_connections 512; }\n");
    config += QStringLiteral("http {\n    access_log off;\n    sendfile on;\n");
    config += QStringLiteral("    default_type application/octet-stream;\n");
    for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
        const QString folder = QString::fromLatin1(temp) + QStringLiteral("_temp");
        if (!QDir(prefix).mkpath(folder))
            return false;
        config += QStringLiteral("    %1_path %2;\n")
                      .arg(folder, quoted(prefix + QLatin1Char('/') + folder));
    }
    config += QStringLiteral("    server {\n        listen 127.0.0.1:%1;\n").arg(port_);
    config += QStringLiteral("        server_name localhost;\n        root %1;\n")
                  .arg(quoted(QDir(docRoot).absolutePath()));
    config += extraServerConfig + QStringLiteral("\n    }\n}\n");
    return writeText(prefix + QStringLiteral("/nginx.conf"), config);
}

bool NginxServer::start(const QString& docRoot, const QString& extraServerConfig) {
    if (!freshFolder(QStringLiteral("nginx")))
        return false;
    const QString prefix = dir_->path();
    const QString pidFile = prefix + QStringLiteral("/nginx.pid");
    const QString errorLog = prefix + QStringLiteral("/error.log");
    const QString output = prefix + QStringLiteral("/output.log");
    return startOnFreePort(port_, errorText_, [&](quint16 port) {
        port_ = port;
        QFile::remove(pidFile);
        QFile::remove(errorLog);
        if (!writeConfig(docRoot, extraServerConfig)) {
            errorText_ = QStringLiteral("cannot write the nginx configuration in ") + prefix;
            return Launch::Failed;
        }
        LaunchPlan plan;
        plan.program = QStringLiteral("/usr/sbin/nginx");
        plan.arguments = {QStringLiteral("-p"), prefix + QLatin1Char('/'),
                          QStringLiteral("-c"), prefix + QStringLiteral("/nginx.conf"),
                          QStringLiteral("-e"), errorLog,
                          QStringLiteral("-g"), QStringLiteral("daemon off; master_process off;")};
        plan.outputFile = output;
        plan.logFile = errorLog;
        plan.port = port;
        // nginx writes its pid file only after it has bound its listening sockets.
        plan.bound = [pidFile] { return QFile::exists(pidFile); };
        plan.portTakenMessage = QStringLiteral("Address already in use");
        const Launch result = launch(process_, plan);
        if (result != Launch::Ready)
            errorText_ = launchFailure(QStringLiteral("nginx"), result, process_) +
                         readText(output) + QLatin1Char('\n') + readText(errorLog);
        return result;
    });
}

QString NginxServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1").arg(port_) + path;
}

// ---- TinyproxyServer ----

bool TinyproxyServer::writeConfig() {
    const QString dir = dir_->path();
    QString config;
    config += QStringLiteral("Port %1\nListen 127.0.0.1\nAllow 127.0.0.1\n").arg(port_);
    config += QStringLiteral("Timeout 600\nMaxClients 20\nLogLevel Info\n");
    config += QStringLiteral("LogFile %1\n").arg(quoted(dir + QStringLiteral("/tinyproxy.log")));
    config += QStringLiteral("PidFile %1\n").arg(quoted(dir + QStringLiteral("/tinyproxy.pid")));
    // Run as root, tinyproxy switches to this user after binding; it must still be able to
    // write its log and remove its pid file, hence the open permissions set in start().
    config += QStringLiteral("User nobody\nGroup nogroup\n");
    return writeText(dir + QStringLiteral("/tinyproxy.conf"), config);
}

bool TinyproxyServer::start() {
    if (!freshFolder(QStringLiteral("tinyproxy")))
        return false;
    const QString dir = dir_->path();
    const QString logFile = dir + QStringLiteral("/tinyproxy.log");
    const QString output = dir + QStringLiteral("/output.log");
    const QFileDevice::Permissions everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                              QFileDevice::ReadOther | QFileDevice::WriteOther;
    QFile::setPermissions(dir, everyone | QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                   QFileDevice::ExeOther);
    return startOnFreePort(port_, errorText_, [&](quint16 port) {
        port_ = port;
        if (!writeConfig() || !writeText(logFile, QString()) ||
            !QFile::setPermissions(logFile, everyone)) {
            errorText_ = QStringLiteral("cannot write the tinyproxy configuration in ") + dir;
            return Launch::Failed;
        }
        LaunchPlan plan;
        plan.program = QStringLiteral("/usr/bin/tinyproxy");
        plan.arguments = {QStringLiteral("-d"), QStringLiteral("-c"),
                          dir + QStringLiteral("/tinyproxy.conf")};
        plan.outputFile = output;
        plan.logFile = logFile;
        plan.port = port;
        // Logged once the listening socket is bound and the main loop runs.
        plan.bound = [this] { return log().contains(QStringLiteral("Accepting connections")); };
        plan.portTakenMessage = QStringLiteral("Could not create listening sockets");
        const Launch result = launch(process_, plan);
        if (result != Launch::Ready)
            errorText_ = launchFailure(QStringLiteral("tinyproxy"), result, process_) +
                         readText(output) + QLatin1Char('\n') + log();
        return result;
    });
}

QString TinyproxyServer::log() const {
    return readText(folderFile(QStringLiteral("tinyproxy.log")));
}

// ---- FtpServer ----

bool FtpServer::start(const QString& rootDir) {
    if (!freshFolder(QStringLiteral("ftp")))
        return false;
    const QString logFile = dir_->path() + QStringLiteral("/ftp.log");
    const QString output = dir_->path() + QStringLiteral("/output.log");
    const QString banner = uniqueBanner(QStringLiteral("pyftpdlib"));
    return startOnFreePort(port_, errorText_, [&](quint16 port) {
        port_ = port;
        QFile::remove(logFile);
        LaunchPlan plan;
        // Debian's pyftpdlib belongs to the system interpreter; -I keeps the environment's
        // Python settings and user packages out.
        plan.program = QStringLiteral("/usr/bin/python3");
        plan.arguments = {QStringLiteral("-I"),
                          QStringLiteral("-u"),
                          QStringLiteral(ZORV_FTP_SERVER_SCRIPT),
                          QStringLiteral("--port"),
                          QString::number(port),
                          QStringLiteral("--root"),
                          QDir(rootDir).absolutePath(),
                          QStringLiteral("--log"),
                          logFile,
                          QStringLiteral("--banner"),
                          banner};
        plan.outputFile = output;
        plan.logFile = logFile;
        plan.port = port;
        plan.greeting = banner.toUtf8();
        plan.portTakenMessage = QStringLiteral("Address already in use");
        const Launch result = launch(process_, plan);
        if (result != Launch::Ready)
            errorText_ = launchFailure(QStringLiteral("pyftpdlib"), result, process_) +
                         readText(output) + QLatin1Char('\n') + log();
        return result;
    });
}

QString FtpServer::log() const {
    return readText(folderFile(QStringLiteral("ftp.log")));
}

// ---- VsftpdServer ----

bool VsftpdServer::writeConfig(const QString& rootDir, const QString& banner) {
    const QString dir = dir_->path();
    QString config;
    config += QStringLiteral("listen=YES\nlisten_address=127.0.0.1\nlisten_port=%1\n").arg(port_);
    config += QStringLiteral("background=NO\n");
    // As root, vsftpd would chroot anonymous users and then refuse a root folder they can
    // write to; running as the launching user skips both, so rootDir stays writable.
    config += QStringLiteral("run_as_launching_user=YES\nseccomp_sandbox=NO\n");
    config += QStringLiteral("secure_chroot_dir=%1/empty\n").arg(dir);
    config += QStringLiteral("anonymous_enable=YES\nlocal_enable=NO\nanon_root=%1\n")
                  .arg(QDir(rootDir).absolutePath());
    // Test folders (QTemporaryDir) are private to their owner; let anonymous users see them.
    config += QStringLiteral("anon_world_readable_only=NO\n");
    config += QStringLiteral("write_enable=YES\nanon_upload_enable=YES\nanon_umask=022\n");
    config += QStringLiteral("anon_mkdir_write_enable=YES\nanon_other_write_enable=YES\n");
    config += QStringLiteral("pasv_enable=YES\nport_enable=YES\nftpd_banner=%1\n").arg(banner);
    config += QStringLiteral("xferlog_enable=YES\nxferlog_std_format=NO\nlog_ftp_protocol=YES\n");
    config += QStringLiteral("vsftpd_log_file=%1/vsftpd.log\n").arg(dir);
    return QDir(dir).mkpath(QStringLiteral("empty")) &&
           writeText(dir + QStringLiteral("/vsftpd.conf"), config);
}

bool VsftpdServer::start(const QString& rootDir) {
    if (!freshFolder(QStringLiteral("vsftpd")))
        return false;
    const QString dir = dir_->path();
    const QString logFile = dir + QStringLiteral("/vsftpd.log");
    const QString output = dir + QStringLiteral("/output.log");
    const QString startupErrors = dir + QStringLiteral("/startup-errors.log");
    const QString banner = uniqueBanner(QStringLiteral("vsftpd"));
    return startOnFreePort(port_, errorText_, [&](quint16 port) {
        port_ = port;
        QFile::remove(logFile);
        QFile::remove(startupErrors);
        if (!writeConfig(rootDir, banner)) {
            errorText_ = QStringLiteral("cannot write the vsftpd configuration in ") + dir;
            return Launch::Failed;
        }
        LaunchPlan plan;
        // vsftpd reports startup errors ("500 OOPS: ...") on file descriptor 0, its control
        // connection when started by inetd; a file open for writing there keeps them.
        plan.program = QStringLiteral("/bin/sh");
        plan.arguments = {
            QStringLiteral("-c"), QStringLiteral("exec /usr/sbin/vsftpd \"$1\" 0<>\"$2\""),
            QStringLiteral("sh"), dir + QStringLiteral("/vsftpd.conf"), startupErrors};
        plan.outputFile = output;
        plan.logFile = startupErrors;
        plan.port = port;
        plan.greeting = banner.toUtf8();
        plan.portTakenMessage = QStringLiteral("could not bind listening");
        const Launch result = launch(process_, plan);
        if (result != Launch::Ready)
            errorText_ = launchFailure(QStringLiteral("vsftpd"), result, process_) +
                         readText(output) + QLatin1Char('\n') + readText(startupErrors);
        return result;
    });
}

QString VsftpdServer::log() const {
    return readText(folderFile(QStringLiteral("vsftpd.log")));
}

} // namespace testsupport
