// The collector's state as systemctl shows it, and what the monitor makes of each.

#include <gtest/gtest.h>

#include "ServiceControl.h"

using namespace lw;

TEST(ServiceControl, StateFromTheOutputOfShow) {
    struct Case {
        const char* output;
        ServiceState state;
    } cases[] = {
        {"LoadState=loaded\nActiveState=active\nSubState=running\n", ServiceState::Running},
        {"LoadState=loaded\nActiveState=reloading\nSubState=reload\n", ServiceState::Running},
        {"LoadState=loaded\nActiveState=inactive\nSubState=dead\n", ServiceState::Stopped},
        // A unit that failed can be started again.
        {"LoadState=loaded\nActiveState=failed\nSubState=failed\n", ServiceState::Stopped},
        {"LoadState=loaded\nActiveState=activating\nSubState=start\n", ServiceState::StartPending},
        {"LoadState=loaded\nActiveState=activating\nSubState=auto-restart\n",
         ServiceState::StartPending},
        {"LoadState=loaded\nActiveState=deactivating\nSubState=stop-sigterm\n",
         ServiceState::StopPending},
        // systemd shows a unit it does not know as inactive: it is not installed.
        {"LoadState=not-found\nActiveState=inactive\nSubState=dead\n", ServiceState::Unknown},
        {"LoadState=loaded\r\nActiveState=active\r\nSubState=running\r\n", ServiceState::Running},
        {"ActiveState=maintenance\n", ServiceState::Other},
        {"", ServiceState::Unknown},
        {"ActiveState=\n", ServiceState::Unknown},
        {"XActiveState=active\nActiveStateX=active\n", ServiceState::Unknown},
    };
    for (const Case& c : cases)
        EXPECT_EQ(serviceStateFromShow(c.output), c.state) << c.output;
}
