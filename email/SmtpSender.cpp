#include "SmtpSender.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>

namespace lw {
namespace {

constexpr std::string_view kCommands[] = {"EHLO", "HELO", "STARTTLS", "AUTH",
                                          "MAIL", "RCPT", "DATA"};

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string toStd(const QString& s) {
    return s.toStdString();
}

SmtpOutcome failed(std::string error, bool recipientRefused = false) {
    return {SmtpOutcome::Result::Failed, std::move(error), recipientRefused};
}

// Letters, digits, dots, hyphens (a name or an IPv4 address), or an IPv6 address: nothing that
// could change the meaning of the URL it goes into.
std::optional<std::string> urlHost(const std::string& host) {
    std::string h = host;
    if (h.size() > 2 && h.front() == '[' && h.back() == ']')
        h = h.substr(1, h.size() - 2);
    bool colon = false;
    for (const char c : h) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_' || c == ':';
        if (!ok)
            return std::nullopt;
        colon |= c == ':';
    }
    if (h.empty())
        return std::nullopt;
    return colon ? "[" + h + "]" : h;
}

// What the exchange showed of itself: the last command and the server's reply to it. Only
// command names are kept of what we sent, never their arguments (the logon sends the
// password).
struct Transcript {
    std::string command;    // EHLO, AUTH, MAIL, RCPT, DATA ...; empty before the first
    std::string reply;      // the server's lines since our last line
    std::string mechanisms; // the AUTH mechanisms of the last EHLO reply
    bool authSent = false;

    void sent(std::string_view line) {
        const std::string_view verb = line.substr(0, line.find_first_of(" \r\n"));
        // The goodbye after a failure must not hide the reply that ended the exchange.
        if (verb == "QUIT")
            return;
        reply.clear();
        for (const std::string_view known : kCommands) {
            if (verb.size() == known.size() &&
                std::equal(verb.begin(), verb.end(), known.begin(), [](char a, char b) {
                    return (a >= 'a' && a <= 'z' ? static_cast<char>(a - 'a' + 'A') : a) == b;
                })) {
                command = known;
                authSent |= known == "AUTH";
                if (known == "EHLO")
                    mechanisms.clear();
            }
        }
    }
    void received(std::string_view line) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
            line.remove_suffix(1);
        if (!reply.empty())
            reply += ' ';
        reply += line;
        if (command == "EHLO" && line.size() > 8 &&
            (line.substr(4, 5) == "AUTH " || line.substr(4, 5) == "auth "))
            mechanisms = line.substr(9);
    }
    bool refused() const { return !reply.empty() && (reply[0] == '4' || reply[0] == '5'); }
    bool offersLogin() const { return mechanisms.find("LOGIN") != std::string::npos; }
};

int onDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto* t = static_cast<Transcript*>(user);
    if (type == CURLINFO_HEADER_OUT)
        t->sent({data, size});
    else if (type == CURLINFO_HEADER_IN)
        t->received({data, size});
    return 0;
}

struct Upload {
    std::string_view rest;
};

size_t onRead(char* buffer, size_t size, size_t count, void* user) {
    auto* u = static_cast<Upload*>(user);
    const size_t n = std::min(size * count, u->rest.size());
    std::copy_n(u->rest.data(), n, buffer);
    u->rest.remove_prefix(n);
    return n;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* abort = static_cast<const std::atomic<bool>*>(user);
    return abort && abort->load() ? 1 : 0;
}

std::string stageText(const std::string& command) {
    if (command.empty())
        return "the server refused the connection";
    if (command == "EHLO" || command == "HELO")
        return "the server refused the greeting";
    if (command == "STARTTLS")
        return "the server refused STARTTLS";
    if (command == "AUTH")
        return "the server refused the logon";
    if (command == "MAIL")
        return "the server refused the sender";
    return "the server refused the message";
}

std::string messageText(const SmtpSettings& s, const MailContent& mail) {
    std::optional<MailAttachment> attachment;
    if (!mail.AttachmentName.empty()) {
        QFile file(QString::fromStdString(mail.AttachmentName));
        if (!file.open(QIODevice::ReadOnly))
            throw MailError("cannot read the attachment " + mail.AttachmentName + ": " +
                            toStd(file.errorString()));
        attachment =
            MailAttachment{toStd(QFileInfo(file).fileName()), file.readAll().toStdString()};
    }
    const std::string token = toStd(QUuid::createUuid().toString(QUuid::Id128));
    const std::string address = toStd(s.email);
    const size_t at = address.rfind('@');
    const std::string domain = at == std::string::npos ? "levelwatch" : address.substr(at + 1);
    const MailHeaders headers{address, toStd(s.emailName),
                              toStd(QDateTime::currentDateTime().toString(Qt::RFC2822Date)),
                              token + "@" + domain, "=_lw_" + token};
    return mimeMessage(mail, headers, attachment);
}

// What the settings or the recipient rule out before any connection; empty when the mail may
// go. Also the do-nothing result for a missing host.
std::optional<SmtpOutcome> settledBeforeConnecting(const SmtpSettings& s, const MailContent& mail,
                                                   EmptyHost emptyHost) {
    const std::string host = toStd(s.host.trimmed());
    if (host.empty()) {
        if (emptyHost == EmptyHost::Skip)
            return SmtpOutcome{SmtpOutcome::Result::NoHost, {}, false};
        return failed("no SMTP host is set");
    }
    if (!urlHost(host))
        return failed("the SMTP host \"" + host + "\" is not a host name or address");
    if (s.port < 1 || s.port > 65535)
        return failed("the SMTP port " + std::to_string(s.port) + " is not a port number");
    if (s.security == SmtpSecurity::Unknown)
        return failed("the [STMP] Security setting is not None, STARTTLS or TLS");
    try {
        checkAddress(mail.SendTo, "recipient");
    } catch (const MailError& e) {
        return failed(e.what(), true); // this row's own fault: the others may still go
    }
    return std::nullopt;
}

// One libcurl transfer of a message to the settings' server.
class Exchange {
public:
    Exchange(const SmtpSettings& s, const MailContent& mail, std::string message,
             const SmtpTimeouts& timeouts, const std::atomic<bool>* abort)
        : s_(s), rcptText_(mail.SendTo), message_(std::move(message)), timeouts_(timeouts),
          abort_(abort), url_((s.security == SmtpSecurity::Tls ? "smtps://" : "smtp://") +
                              *urlHost(toStd(s.host.trimmed())) + ":" + std::to_string(s.port)),
          from_("<" + toStd(s.email) + ">"), user_(toStd(s.username)), password_(toStd(s.password)),
          caFile_(toStd(s.caFile)) {}

    // With `login`, logs on with the user name and password. Fills transcript() and errorText().
    CURLcode perform(bool login) {
        transcript_ = {};
        const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(),
                                                                       &curl_easy_cleanup);
        if (!curl) {
            errorText_ = "libcurl could not start";
            return CURLE_FAILED_INIT;
        }
        CURL* c = curl.get();
        char errorBuffer[CURL_ERROR_SIZE] = {};
        const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> rcpt(
            curl_slist_append(nullptr, rcptText_.c_str()), &curl_slist_free_all);
        Upload upload{message_};
        curl_easy_setopt(c, CURLOPT_URL, url_.c_str());
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
        curl_easy_setopt(c, CURLOPT_MAIL_FROM, from_.c_str());
        curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt.get());
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, onRead);
        curl_easy_setopt(c, CURLOPT_READDATA, &upload);
        curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message_.size()));
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(timeouts_.connect.count()));
        curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                         static_cast<long>(std::max<int64_t>(1, timeouts_.reply.count())));
        curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts_.total.count()));
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, onProgress);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, abort_);
        // The transcript comes through the debug callback; nothing is printed.
        curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
        curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, onDebug);
        curl_easy_setopt(c, CURLOPT_DEBUGDATA, &transcript_);
        curl_easy_setopt(c, CURLOPT_USE_SSL,
                         s_.security == SmtpSecurity::StartTls
                             ? static_cast<long>(CURLUSESSL_ALL)
                             : static_cast<long>(CURLUSESSL_NONE));
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!caFile_.empty())
            curl_easy_setopt(c, CURLOPT_CAINFO, caFile_.c_str());
        if (login) {
            curl_easy_setopt(c, CURLOPT_USERNAME, user_.c_str());
            curl_easy_setopt(c, CURLOPT_PASSWORD, password_.c_str());
            if (s_.auth == SmtpAuth::Default)
                curl_easy_setopt(c, CURLOPT_LOGIN_OPTIONS, "AUTH=LOGIN");
        }
        const CURLcode code = curl_easy_perform(c);
        errorText_ = errorBuffer[0] ? errorBuffer : curl_easy_strerror(code);
        return code;
    }

    const Transcript& transcript() const { return transcript_; }
    const std::string& errorText() const { return errorText_; }

private:
    const SmtpSettings& s_;
    const std::string rcptText_;
    const std::string message_;
    const SmtpTimeouts timeouts_;
    const std::atomic<bool>* abort_;
    const std::string url_, from_, user_, password_, caFile_;
    Transcript transcript_;
    std::string errorText_;
};

SmtpOutcome outcomeOf(CURLcode code, const Exchange& exchange, const std::string& where,
                      const std::string& to) {
    const Transcript& t = exchange.transcript();
    if (code == CURLE_OK)
        return {SmtpOutcome::Result::Sent, {}, false};
    if (code == CURLE_ABORTED_BY_CALLBACK)
        return failed("SMTP " + where + ": cancelled, the program is stopping");
    if (t.refused() && t.command == "RCPT")
        return failed("SMTP " + where + ": the server refused the recipient " + to + ": " + t.reply,
                      true);
    if (t.refused())
        return failed("SMTP " + where + ": " + stageText(t.command) + ": " + t.reply);
    return failed("SMTP " + where + ": " + exchange.errorText());
}

} // namespace

SmtpOutcome submitMail(const SmtpSettings& s, const MailContent& mail, EmptyHost emptyHost,
                       const SmtpTimeouts& timeouts, const std::atomic<bool>* abort) {
    if (auto settled = settledBeforeConnecting(s, mail, emptyHost))
        return *settled;
    std::string message;
    try {
        message = messageText(s, mail);
    } catch (const MailError& e) {
        return failed(e.what());
    }
    initCurlOnce();
    Exchange exchange(s, mail, std::move(message), timeouts, abort);
    const bool login = s.auth != SmtpAuth::None && !s.username.isEmpty();
    CURLcode code = exchange.perform(login);
    // "Default" logs on only by LOGIN; a server that offers other mechanisms alone gets none.
    if (code == CURLE_LOGIN_DENIED && login && s.auth == SmtpAuth::Default &&
        !exchange.transcript().authSent && !exchange.transcript().offersLogin())
        code = exchange.perform(false);
    return outcomeOf(code, exchange, toStd(s.host.trimmed()) + ":" + std::to_string(s.port),
                     mail.SendTo);
}

} // namespace lw
