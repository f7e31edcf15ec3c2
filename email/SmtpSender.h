#pragma once
// Submission of one mail to one SMTP server, through libcurl. Blocking: the programs run it on
// the mail thread (MailOutbox), never on the thread that polls and receives.
//
// The server is the settings' host and port; "Security" chooses plain SMTP, STARTTLS (required)
// or TLS from the first byte, with certificates checked against the system's store or the
// settings' CA file. Authentication: "None" sends no AUTH; "Default" logs on by AUTH LOGIN when
// a user name is set and the server offers LOGIN (else no AUTH); "SASL" lets libcurl choose
// among the mechanisms the server offers. Every wait is bounded (SmtpTimeouts).
//
// Anything short of the server accepting the message is a failure, with the server's reply
// when it gave one; the password never appears in it.

#include <atomic>
#include <chrono>
#include <string>

#include "MailMessage.h"
#include "Settings.h"

namespace lw {

struct SmtpTimeouts {
    // Until the connection is up: TCP, TLS and the server's greeting.
    std::chrono::milliseconds connect{10'000};
    // For each reply of the server (libcurl counts whole seconds).
    std::chrono::seconds reply{30};
    // For the whole exchange.
    std::chrono::milliseconds total{60'000};
};

// What becomes of a mail when no host is set: the programs' own sends are then switched off
// and count as done; the setup window's test mail fails instead.
enum class EmptyHost { Skip, Fail };

struct SmtpOutcome {
    // Cancelled: not tried, since an earlier mail of its group had failed (see MailOutbox).
    enum class Result { Sent, NoHost, Failed, Cancelled };
    Result result = Result::Failed;
    // Failed: what went wrong, naming the server and giving its reply when there was one.
    std::string error;
    // Failed because of the recipient (refused by the server, or no usable address): mails to
    // others may still go.
    bool recipientRefused = false;

    // Sent, or skipped for want of a host: callers record the mail as gone.
    bool done() const { return result == Result::Sent || result == Result::NoHost; }
};

// `abort`, when given, cancels the exchange within about a second of becoming true.
SmtpOutcome submitMail(const SmtpSettings& settings, const MailContent& mail, EmptyHost emptyHost,
                       const SmtpTimeouts& timeouts = {}, const std::atomic<bool>* abort = nullptr);

} // namespace lw
