#pragma once
// The programs' mail thread: mails wait here in the order they were queued and are submitted
// one after the other, so that a slow or silent server holds up nothing but other mail. Each
// mail's result comes back on the thread that owns the outbox, in order.
//
// The queue is bounded: a mail queued while it is full pushes the oldest waiting mail out, and
// that mail's result says so (its owner logs it), so nothing is dropped without a word.

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "SmtpSender.h"

namespace lw {

class MailOutbox final : public QObject {
    Q_OBJECT
public:
    struct Job {
        SmtpSettings settings;
        MailContent mail;
        EmptyHost emptyHost = EmptyHost::Skip;
    };
    using Done = std::function<void(const SmtpOutcome&)>;

    static constexpr size_t kDefaultCapacity = 100;
    // The text of the result of a mail pushed out of a full queue.
    static constexpr std::string_view kQueueFull = "the mail queue is full";

    explicit MailOutbox(size_t capacity = kDefaultCapacity, SmtpTimeouts timeouts = {},
                        QObject* parent = nullptr);
    // Cancels the mail being submitted (within about a second) and drops the waiting ones
    // without calling their `done`.
    ~MailOutbox() override;

    // Queues a mail; `done` is called on this object's thread once its submission returned.
    // The mails of one `group` (other than 0) share their fate: when one fails for any reason
    // but its recipient, those of the group still waiting are not tried, and their `done` gets
    // Result::Cancelled, after the failure.
    void submit(Job job, Done done, uint64_t group = 0);
    // Mails whose result has not come back yet.
    size_t pending() const { return done_.size(); }

private:
    struct Entry {
        uint64_t id;
        uint64_t group;
        Job job;
    };

    void run();
    void deliver(uint64_t id, const SmtpOutcome& outcome);

    const size_t capacity_;
    const SmtpTimeouts timeouts_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<Entry> waiting_;
    bool stopping_ = false;
    std::atomic<bool> abort_{false};
    // Owned by this object's thread.
    std::unordered_map<uint64_t, Done> done_;
    uint64_t nextId_ = 1;
    std::thread worker_;
};

} // namespace lw
