#pragma once
// The setup windows in a test: opened through the main window's menu handler, shown (so they
// load as they do for the operator), worked by the test and closed by it or cancelled.

#include <functional>

#include "MonitorFixture.h"

namespace lw::test {

// The highest port the setup windows take.
inline constexpr int kLastRegisteredPort = 49151;

// A T (a server or reserved port of the test support) whose port the setup windows can take:
// the system picks ports up to 60999.
template <class T, class... Args> std::unique_ptr<T> withSettablePort(Args&&... args) {
    for (int attempt = 0;; ++attempt) {
        auto t = std::make_unique<T>(args...);
        if (t->port() <= kLastRegisteredPort || attempt == 50)
            return t;
    }
}

class SetupTest : public MonitorTest {
protected:
    // The next dialog the window opens is shown and handed to `work`; unless `work` closed it,
    // it is cancelled. lastResult tells how it closed.
    template <class Window> void onNextDialog(std::function<void(Window&)> work) {
        dialogs.answer = [this, work](QDialog& dialog) {
            auto& w = dynamic_cast<Window&>(dialog);
            dialog.setResult(QDialog::Rejected);
            dialog.show();
            work(w);
            if (dialog.isVisible())
                dialog.reject();
            lastResult = dialog.result();
            return lastResult;
        };
    }

    int lastResult = -1;
};

} // namespace lw::test
