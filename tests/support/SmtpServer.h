#pragma once
// Mail servers for tests: aiosmtpd (a real SMTP server) started on a free loopback port, with
// AUTH, STARTTLS or TLS as asked, keeping every message it accepts; a throw-away certificate
// for the TLS ones; and a server that accepts connections and never says a word.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Files.h"

namespace lw::test {

struct SmtpServerOptions {
    std::string tls = "none"; // "none", "starttls", "implicit"
    std::string user;         // offer AUTH and accept this user with `password`
    std::string password;
    std::vector<std::string> excludeMechanisms;
    std::string refuseRcpt; // refuse recipients that contain this text

    SmtpServerOptions& withTls(std::string mode) {
        tls = std::move(mode);
        return *this;
    }
    SmtpServerOptions& withLogon(std::string u, std::string p) {
        user = std::move(u);
        password = std::move(p);
        return *this;
    }
    SmtpServerOptions& without(std::vector<std::string> mechanisms) {
        excludeMechanisms = std::move(mechanisms);
        return *this;
    }
    SmtpServerOptions& refusing(std::string part) {
        refuseRcpt = std::move(part);
        return *this;
    }
};

// A certificate for 127.0.0.1 and localhost, made by openssl in `folder`.
struct TestCertificate {
    std::string cert, key;

    explicit TestCertificate(const std::filesystem::path& folder)
        : cert((folder / "cert.pem").string()), key((folder / "key.pem").string()) {
        ChildProcess openssl(
            {"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
             "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj", "/CN=localhost",
             "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1", "-keyout", key, "-out", cert});
        openssl.waitExit(30000);
    }
};

class SmtpServer {
public:
    SmtpServer(const std::filesystem::path& folder, const SmtpServerOptions& o = {},
               const TestCertificate* certificate = nullptr)
        : out_(folder / "received") {
        std::filesystem::create_directories(out_);
        std::vector<std::string> args{"/usr/bin/python3",
                                      LEVELWATCH_SOURCE_DIR "/tests/support/smtp_server.py",
                                      "--out",
                                      out_.string(),
                                      "--tls",
                                      o.tls};
        if (certificate)
            args.insert(args.end(), {"--cert", certificate->cert, "--key", certificate->key});
        if (!o.user.empty())
            args.insert(args.end(), {"--user", o.user, "--password", o.password});
        for (const std::string& m : o.excludeMechanisms)
            args.insert(args.end(), {"--exclude-mechanism", m});
        if (!o.refuseRcpt.empty())
            args.insert(args.end(), {"--refuse-rcpt", o.refuseRcpt});
        process_ =
            std::make_unique<ChildProcess>(args, ChildOptions{.output = ChildOutput::Piped});
        port_ = std::atoi(process_->readLine().c_str());
    }

    // 0 when the server did not start.
    int port() const { return port_; }

    // The messages accepted so far, in order of arrival.
    std::vector<QJsonObject> messages() const {
        std::vector<std::filesystem::path> files;
        for (const auto& e : std::filesystem::directory_iterator(out_))
            if (e.path().extension() == ".json")
                files.push_back(e.path());
        std::sort(files.begin(), files.end());
        std::vector<QJsonObject> out;
        for (const auto& f : files)
            out.push_back(
                QJsonDocument::fromJson(QByteArray::fromStdString(readFile(f))).object());
        return out;
    }

private:
    std::filesystem::path out_;
    std::unique_ptr<ChildProcess> process_;
    int port_ = 0;
};

// A loopback port held for the test. Listening: the kernel completes every connection and
// nobody ever answers. Not listening: every connection is refused, and no other test can take
// the port meanwhile.
class SilentServer {
public:
    explicit SilentServer(bool listening = true) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        if (listening)
            ::listen(fd_, 16);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~SilentServer() { ::close(fd_); }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    int port() const { return port_; }
    // Whether a client has connected (and waits, unanswered) within `timeoutMs`.
    bool connected(int timeoutMs) const {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, timeoutMs) == 1;
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

} // namespace lw::test
