#include "MailOutbox.h"

#include <optional>
#include <vector>

namespace lw {

MailOutbox::MailOutbox(size_t capacity, SmtpTimeouts timeouts, QObject* parent)
    : QObject(parent), capacity_(std::max<size_t>(1, capacity)), timeouts_(timeouts),
      worker_([this] { run(); }) {}

MailOutbox::~MailOutbox() {
    {
        std::lock_guard lock(lock_);
        stopping_ = true;
        waiting_.clear();
    }
    abort_ = true;
    wake_.notify_all();
    worker_.join();
}

void MailOutbox::submit(Job job, Done done, uint64_t group) {
    const uint64_t id = nextId_++;
    done_.emplace(id, std::move(done));
    std::optional<uint64_t> pushedOut;
    {
        std::lock_guard lock(lock_);
        if (waiting_.size() >= capacity_) {
            pushedOut = waiting_.front().id;
            waiting_.pop_front();
        }
        waiting_.push_back({id, group, std::move(job)});
    }
    wake_.notify_one();
    if (pushedOut) {
        // Reported like any other result, after the ones already on their way.
        const SmtpOutcome outcome{SmtpOutcome::Result::Failed, std::string(kQueueFull), false};
        QMetaObject::invokeMethod(
            this, [this, id = *pushedOut, outcome] { deliver(id, outcome); }, Qt::QueuedConnection);
    }
}

void MailOutbox::run() {
    for (;;) {
        Entry entry;
        {
            std::unique_lock lock(lock_);
            wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
            if (stopping_)
                return;
            entry = std::move(waiting_.front());
            waiting_.pop_front();
        }
        const SmtpOutcome outcome =
            submitMail(entry.job.settings, entry.job.mail, entry.job.emptyHost, timeouts_, &abort_);
        std::vector<uint64_t> cancelled;
        if (!outcome.done() && !outcome.recipientRefused && entry.group != 0) {
            std::lock_guard lock(lock_);
            std::erase_if(waiting_, [&](const Entry& e) {
                if (e.group == entry.group)
                    cancelled.push_back(e.id);
                return e.group == entry.group;
            });
        }
        QMetaObject::invokeMethod(
            this,
            [this, id = entry.id, outcome, cancelled] {
                deliver(id, outcome);
                const SmtpOutcome notTried{SmtpOutcome::Result::Cancelled, {}, false};
                for (const uint64_t c : cancelled)
                    deliver(c, notTried);
            },
            Qt::QueuedConnection);
    }
}

void MailOutbox::deliver(uint64_t id, const SmtpOutcome& outcome) {
    const auto it = done_.find(id);
    if (it == done_.end())
        return;
    const Done done = std::move(it->second);
    done_.erase(it);
    done(outcome);
}

} // namespace lw
