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

bool writeText(const QString& path, const QString& text) {
    return writeFile(path, text.toLocal8Bit());
}

// True when port accepts a connection whose first line holds `greeting` (if set; a unique
// banner keeps a stranger on the port from passing as ours).
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

QString quoted(const QString& text) {
    return '"' + text + '"';
}

} // namespace

ServerProcess::~ServerProcess() {
    stop();
}

void ServerProcess::stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(10000)) {
        process_.kill();
        process_.waitForFinished(10000);
    }
}

QString ServerProcess::readFile(const QString& name) const {
    QFile f(dir_ ? file(name) : QString());
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
}

// Starts the server on a free port, in a fresh folder; another process may take the port
// between the probe and the server's bind, so a server that exits early is tried again.
bool ServerProcess::launch(const QString& name, const Plan& plan) {
    stop();
    dir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/zorv-" + name + "-XXXXXX");
    if (!dir_->isValid()) {
        errorText_ = "cannot create a temporary folder: " + dir_->errorString();
        return false;
    }
    for (int attempt = 0; attempt < 5; ++attempt) {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) {
            errorText_ = "no free port on 127.0.0.1";
            return false;
        }
        port_ = probe.serverPort();
        probe.close();
        const QStringList arguments = plan.prepare(port_);
        if (arguments.isEmpty()) {
            errorText_ = QStringLiteral("cannot write the %1 configuration").arg(name);
            return false;
        }
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.setStandardOutputFile(file("output.log"));
        process_.start(plan.program, arguments);
        const QDeadlineTimer deadline(kReadyTimeoutMs);
        bool ready = false;
        while (!ready && process_.waitForStarted(kReadyTimeoutMs) &&
               process_.state() == QProcess::Running && !deadline.hasExpired()) {
            ready = (!plan.bound || plan.bound()) && answers(port_, plan.greeting) &&
                    process_.state() == QProcess::Running;
            if (!ready)
                process_.waitForFinished(50); // a pause that ends at once if the process exits
        }
        if (ready) {
            errorText_.clear();
            return true;
        }
        const bool timedOut = process_.state() == QProcess::Running;
        stop();
        errorText_ = QStringLiteral("%1 did not start (%2)\n")
                         .arg(name, timedOut ? "no answer in time" : process_.errorString());
        for (const QString& log : QDir(dir_->path()).entryList({"*.log"}))
            errorText_ += readFile(log) + '\n';
        if (timedOut)
            return false;
    }
    return false;
}

bool NginxServer::start(const QString& docRoot, const QString& extraServerConfig) {
    const auto prepare = [=, this](quint16 port) {
        QFile::remove(file("nginx.pid"));
        QString config = QStringLiteral("pid %1;\nerror_log %2 info;\nevents {}\nhttp {\n"
                                        "access_log off;\ndefault_type application/octet-stream;\n")
                             .arg(quoted(file("nginx.pid")), quoted(file("error.log")));
        for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
            config += QStringLiteral("%1_temp_path %2;\n")
                          .arg(temp, quoted(file(QString(temp) + "_temp")));
        QString tls;
        if (!tlsCertificate_.isEmpty())
            tls = QStringLiteral(" ssl;\nssl_certificate %1;\nssl_certificate_key %2")
                      .arg(quoted(tlsCertificate_), quoted(tlsKey_));
        config += QStringLiteral("server {\nlisten 127.0.0.1:%1%2;\nroot %3;\n%4\n}\n}\n")
                      .arg(port)
                      .arg(tls, quoted(QDir(docRoot).absolutePath()), extraServerConfig);
        if (!writeText(file("nginx.conf"), config))
            return QStringList();
        return QStringList{"-p", dir_->path() + '/', "-c", file("nginx.conf"),
                           "-e", file("error.log"),  "-g", "daemon off; master_process off;"};
    };
    // nginx writes its pid file only after it has bound its listening sockets.
    return launch(
        "nginx",
        {"/usr/sbin/nginx", prepare, [this] { return QFile::exists(file("nginx.pid")); }, {}});
}

QString NginxServer::url(const QString& path) const {
    const char* scheme = tlsCertificate_.isEmpty() ? "http" : "https";
    return QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(port_) + path;
}

bool TinyproxyServer::start() {
    const auto prepare = [this](quint16 port) {
        // As root, tinyproxy runs as nobody after binding: the folder and log are open to all.
        QFile::setPermissions(dir_->path(), QFileDevice::Permissions(0x7777));
        const QString config =
            QStringLiteral("Port %1\nListen 127.0.0.1\nAllow 127.0.0.1\n"
                           "Timeout 600\nLogLevel Info\nLogFile %2\n"
                           "PidFile %3\nUser nobody\nGroup nogroup\n")
                .arg(port)
                .arg(quoted(file("tinyproxy.log")), quoted(file("tinyproxy.pid")));
        const bool written =
            writeText(file("tinyproxy.conf"), config) &&
            writeText(file("tinyproxy.log"), QString()) &&
            QFile::setPermissions(file("tinyproxy.log"), QFileDevice::Permissions(0x6666));
        return written ? QStringList{"-d", "-c", file("tinyproxy.conf")} : QStringList();
    };
    // Logged once the listening socket is bound and the main loop runs.
    return launch("tinyproxy", {"/usr/bin/tinyproxy",
                                prepare,
                                [this] { return log().contains("Accepting connections"); },
                                {}});
}

bool FtpServer::start(const QString& rootDir) {
    const QString banner = QStringLiteral("ZorvUpdater test pyftpdlib %1")
                               .arg(QRandomGenerator::global()->generate64(), 16, 16, QChar('0'));
    // -I keeps the environment's Python settings and user packages out.
    const auto prepare = [=, this](quint16 port) {
        const QString args = "-I|-u|%1|%2|%3|%4|%5";
        QStringList list = args.arg(ZORV_FTP_SERVER_SCRIPT, QString::number(port),
                                    QDir(rootDir).absolutePath(), file("ftp.log"), banner)
                               .split('|');
        if (!tlsCertificate_.isEmpty())
            list << tlsCertificate_ << tlsKey_;
        return list;
    };
    return launch("ftp", {"/usr/bin/python3", prepare, {}, banner.toUtf8()});
}

bool VsftpdServer::start(const QString& rootDir, const QString& certificate, const QString& key) {
    const QString banner = QStringLiteral("ZorvUpdater test vsftpd %1")
                               .arg(QRandomGenerator::global()->generate64(), 16, 16, QChar('0'));
    const auto prepare = [=, this](quint16 port) {
        const QString config =
            QStringLiteral("listen=YES\nlisten_address=127.0.0.1\nlisten_port=%1\nbackground=NO\n"
                           "run_as_launching_user=YES\nftpd_banner=%2\n"
                           "anonymous_enable=YES\nlocal_enable=NO\nanon_root=%3\nwrite_enable=YES\n"
                           "anon_upload_enable=YES\nanon_other_write_enable=YES\nanon_umask=022\n"
                           "pasv_enable=YES\nport_enable=YES\nconnect_from_port_20=NO\n"
                           "ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\n"
                           "force_anon_data_ssl=YES\nrequire_ssl_reuse=YES\n"
                           "rsa_cert_file=%4\nrsa_private_key_file=%5\nseccomp_sandbox=NO\n"
                           "xferlog_enable=NO\nvsftpd_log_file=%6\ndual_log_enable=YES\n"
                           "log_ftp_protocol=YES\n")
                .arg(port)
                .arg(banner, QDir(rootDir).absolutePath(), certificate, key, file("vsftpd.log"));
        if (!writeText(file("vsftpd.conf"), config))
            return QStringList();
        return QStringList{file("vsftpd.conf")};
    };
    return launch("vsftpd", {"/usr/sbin/vsftpd", prepare, {}, banner.toUtf8()});
}

} // namespace testsupport
