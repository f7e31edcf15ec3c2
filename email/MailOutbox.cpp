#include "MailOutbox.h"

#include <optional>

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

int MailOutbox::cancel(uint64_t group) {
    int taken = 0;
    std::lock_guard lock(lock_);
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        if (it->group != group) {
            ++it;
            continue;
        }
        done_.erase(it->id);
        it = waiting_.erase(it);
        ++taken;
    }
    return taken;
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
        QMetaObject::invokeMethod(
            this, [this, id = entry.id, outcome] { deliver(id, outcome); }, Qt::QueuedConnection);
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
