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

constexpr int kReadyTimeoutMs = 30000;

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

bool writeText(const QString& path, const QString& text) {
    QFile file(path);
    const QByteArray bytes = text.toLocal8Bit();
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// True when port accepts a connection and, if `greeting` is set, its first line holds it
// (FTP servers speak first; a unique banner keeps a stranger on the port from passing as ours).
bool answers(quint16 port, const QByteArray& greeting) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(2000))
        return false;
    const QDeadlineTimer deadline(5000);
    while (!greeting.isEmpty() && !socket.canReadLine() && !deadline.hasExpired())
        socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    return greeting.isEmpty() || socket.readLine().contains(greeting);
}

void stopProcess(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(10000);
    }
}

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// How to run one server on a given port.
struct Plan {
    QString name;
    std::function<bool(quint16)> prepare; // writes the configuration for the port
    QString program;
    std::function<QStringList(quint16)> arguments;
    std::function<bool()> bound; // the server says it holds its port (optional)
    QByteArray greeting;         // if set, ready once a first line holding it is read
    QStringList logs;            // files whose text explains a failure
};

// Starts the server on a free port; another process may take the port between the probe and
// the server's bind, so a server that exits early is tried again on a new port.
bool launch(QProcess& process, quint16& port, QString& errorText, const QString& folder,
            const Plan& plan) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) {
            errorText = QStringLiteral("no free port on 127.0.0.1");
            return false;
        }
        port = probe.serverPort();
        probe.close();
        if (!plan.prepare(port)) {
            errorText =
                QStringLiteral("cannot write the %1 configuration in %2").arg(plan.name, folder);
            return false;
        }
        const QString output = folder + QStringLiteral("/output.log");
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setStandardOutputFile(output);
        process.start(plan.program, plan.arguments(port));
        const QDeadlineTimer deadline(kReadyTimeoutMs);
        bool ready = false;
        while (!ready && process.waitForStarted(kReadyTimeoutMs) &&
               process.state() == QProcess::Running && !deadline.hasExpired()) {
            ready = (!plan.bound || plan.bound()) && answers(port, plan.greeting) &&
                    process.state() == QProcess::Running;
            if (!ready)
                process.waitForFinished(50); // a pause that ends at once if the process exits
        }
        if (ready) {
            errorText.clear();
            return true;
        }
        const bool timedOut = process.state() == QProcess::Running;
        stopProcess(process);
        errorText = QStringLiteral("%1 did not start (%2)\n")
                        .arg(plan.name, timedOut ? QStringLiteral("no answer in time")
                                                 : process.errorString());
        for (const QString& log : QStringList(output) + plan.logs)
            errorText += readText(log) + QLatin1Char('\n');
        if (timedOut)
            return false;
    }
    return false;
}

} // namespace

ServerProcess::~ServerProcess() {
    stop();
}

void ServerProcess::stop() {
    stopProcess(process_);
}

bool ServerProcess::freshFolder(const QString& serverName) {
    stop();
    dir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/zorv-") +
                                           serverName + QStringLiteral("-XXXXXX"));
    if (dir_->isValid())
        return true;
    errorText_ = QStringLiteral("cannot create a temporary folder: ") + dir_->errorString();
    return false;
}

QString ServerProcess::folderFile(const QString& name) const {
    return dir_ ? dir_->path() + QLatin1Char('/') + name : QString();
}

bool NginxServer::start(const QString& docRoot, const QString& extraServerConfig) {
    if (!freshFolder(QStringLiteral("nginx")))
        return false;
    const QString pidFile = folderFile(QStringLiteral("nginx.pid"));
    Plan plan{QStringLiteral("nginx"),
              [&](quint16) {
                  QFile::remove(pidFile);
                  return writeConfig(docRoot, extraServerConfig);
              },
              QStringLiteral("/usr/sbin/nginx"),
              [this](quint16) {
                  return QStringList{
                      "-p", dir_->path() + '/',      "-c", folderFile("nginx.conf"),
                      "-e", folderFile("error.log"), "-g", "daemon off; master_process off;"};
              },
              // nginx writes its pid file only after it has bound its listening sockets.
              [pidFile] { return QFile::exists(pidFile); },
              {},
              {folderFile(QStringLiteral("error.log"))}};
    return launch(process_, port_, errorText_, dir_->path(), plan);
}

bool NginxServer::writeConfig(const QString& docRoot, const QString& extraServerConfig) {
    QString config = QStringLiteral("pid %1;\nerror_log %2 info;\nevents {}\nhttp {\n")
                         .arg(quoted(folderFile("nginx.pid")), quoted(folderFile("error.log")));
    config += QStringLiteral("access_log off;\ndefault_type application/octet-stream;\n");
    for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
        config += QStringLiteral("%1_temp_path %2;\n")
                      .arg(temp, quoted(folderFile(QString(temp) + "_temp")));
    config += QStringLiteral("server {\nlisten 127.0.0.1:%1;\nroot %2;\n%3\n}\n}\n")
                  .arg(port_)
                  .arg(quoted(QDir(docRoot).absolutePath()), extraServerConfig);
    return writeText(folderFile(QStringLiteral("nginx.conf")), config);
}

QString NginxServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1").arg(port_) + path;
}

bool TinyproxyServer::writeConfig() {
    // Run as root, tinyproxy switches to nobody after binding; it must still be able to
    // write its log and remove its pid file, hence the open permissions set in start().
    const QString config =
        QStringLiteral("Port %1\nListen 127.0.0.1\nAllow 127.0.0.1\n"
                       "Timeout 600\nLogLevel Info\nLogFile %2\nPidFile %3\n"
                       "User nobody\nGroup nogroup\n")
            .arg(port_)
            .arg(quoted(folderFile("tinyproxy.log")), quoted(folderFile("tinyproxy.pid")));
    const QString log = folderFile(QStringLiteral("tinyproxy.log"));
    return writeText(folderFile(QStringLiteral("tinyproxy.conf")), config) &&
           writeText(log, QString()) &&
           QFile::setPermissions(log, QFileDevice::Permissions(0x6666));
}

bool TinyproxyServer::start() {
    if (!freshFolder(QStringLiteral("tinyproxy")))
        return false;
    QFile::setPermissions(dir_->path(), QFileDevice::Permissions(0x7777));
    Plan plan{QStringLiteral("tinyproxy"),
              [this](quint16) { return writeConfig(); },
              QStringLiteral("/usr/bin/tinyproxy"),
              [this](quint16) {
                  return QStringList{"-d", "-c", folderFile("tinyproxy.conf")};
              },
              // Logged once the listening socket is bound and the main loop runs.
              [this] { return log().contains(QStringLiteral("Accepting connections")); },
              {},
              {folderFile(QStringLiteral("tinyproxy.log"))}};
    return launch(process_, port_, errorText_, dir_->path(), plan);
}

QString TinyproxyServer::log() const {
    return readText(folderFile(QStringLiteral("tinyproxy.log")));
}

namespace {

// A greeting no other server on the machine would send.
QString uniqueBanner(const char* server) {
    return QStringLiteral("ZorvUpdater test %1 %2")
        .arg(server)
        .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
}

} // namespace

bool FtpServer::start(const QString& rootDir) {
    if (!freshFolder(QStringLiteral("ftp")))
        return false;
    const QString banner = uniqueBanner("pyftpdlib");
    // Debian's pyftpdlib belongs to the system interpreter; -I keeps the environment's Python
    // settings and user packages out.
    Plan plan{QStringLiteral("pyftpdlib"),
              [](quint16) { return true; },
              QStringLiteral("/usr/bin/python3"),
              [&](quint16 port) {
                  return QStringList{"-I",
                                     "-u",
                                     ZORV_FTP_SERVER_SCRIPT,
                                     QString::number(port),
                                     QDir(rootDir).absolutePath(),
                                     folderFile("ftp.log"),
                                     banner};
              },
              {},
              banner.toUtf8(),
              {folderFile(QStringLiteral("ftp.log"))}};
    return launch(process_, port_, errorText_, dir_->path(), plan);
}

QString FtpServer::log() const {
    return readText(folderFile(QStringLiteral("ftp.log")));
}

bool VsftpdServer::writeConfig(const QString& rootDir, const QString& banner) {
    // As root, vsftpd would chroot anonymous users and then refuse a root folder they can
    // write to; running as the launching user skips both, so rootDir stays writable. Test
    // folders are private to their owner, hence anon_world_readable_only=NO.
    const QString config =
        QStringLiteral("listen=YES\nlisten_address=127.0.0.1\nlisten_port=%1\nbackground=NO\n"
                       "run_as_launching_user=YES\nseccomp_sandbox=NO\nsecure_chroot_dir=%2\n"
                       "anonymous_enable=YES\nlocal_enable=NO\nanon_root=%3\n"
                       "anon_world_readable_only=NO\nwrite_enable=YES\nanon_upload_enable=YES\n"
                       "anon_umask=022\nanon_mkdir_write_enable=YES\n"
                       "anon_other_write_enable=YES\npasv_enable=YES\nport_enable=YES\n"
                       "ftpd_banner=%4\nxferlog_enable=YES\nxferlog_std_format=NO\n"
                       "log_ftp_protocol=YES\nvsftpd_log_file=%5\n")
            .arg(port_)
            .arg(folderFile("empty"), QDir(rootDir).absolutePath(), banner,
                 folderFile("vsftpd.log"));
    return QDir(dir_->path()).mkpath(QStringLiteral("empty")) &&
           writeText(folderFile(QStringLiteral("vsftpd.conf")), config);
}

bool VsftpdServer::start(const QString& rootDir) {
    if (!freshFolder(QStringLiteral("vsftpd")))
        return false;
    const QString banner = uniqueBanner("vsftpd");
    const QString startupErrors = folderFile(QStringLiteral("startup-errors.log"));
    // vsftpd reports startup errors ("500 OOPS: ...") on file descriptor 0, its control
    // connection when started by inetd; a file open for writing there keeps them.
    Plan plan{QStringLiteral("vsftpd"),
              [&](quint16) { return writeConfig(rootDir, banner); },
              QStringLiteral("/bin/sh"),
              [&](quint16) {
                  return QStringList{"-c", "exec /usr/sbin/vsftpd \"$1\" 0<>\"$2\"", "sh",
                                     folderFile("vsftpd.conf"), startupErrors};
              },
              {},
              banner.toUtf8(),
              {startupErrors}};
    return launch(process_, port_, errorText_, dir_->path(), plan);
}

QString VsftpdServer::log() const {
    return readText(folderFile(QStringLiteral("vsftpd.log")));
}

} // namespace testsupport
