// INSTALL and UNINSTALL of the collector's systemd unit, with a unit folder of the test's own
// and a stand-in systemctl that records how it was called.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "ServiceProcess.h"

using namespace lw::test;

namespace {

constexpr char kSystemdAnalyze[] = "/usr/bin/systemd-analyze";

class Install : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        std::filesystem::create_directories(units);
        setSystemctl(0);
    }
    // The stand-in appends its arguments to a file and exits with `code`.
    void setSystemctl(int code) {
        lw::test::writeFile(systemctl, "#!/bin/sh\necho \"$*\" >> '" + calls.string() +
                                           "'\necho 'systemctl says no' >&2\nexit " +
                                           std::to_string(code) + "\n");
        ::chmod(systemctl.c_str(), 0755);
    }
    // Exit code, with standard output and error of the run in `output`.
    int run(std::vector<std::string> args) {
        args.insert(args.begin(), LEVELWATCH_BIN_DIR "/OstrelService");
        RunResult r = runToEnd(args, installEnv());
        output = std::move(r.output);
        return r.exitCode;
    }
    std::map<std::string, std::string> installEnv() const {
        return {{"OSTREL_UNIT_DIR", units.string()}, {"OSTREL_SYSTEMCTL", systemctl.string()}};
    }
    std::string callsMade() {
        const std::string text = readFile(calls);
        std::filesystem::remove(calls);
        return text;
    }

    const std::filesystem::path units = root / "units";
    const std::filesystem::path unit = units / "OstrelService1.service";
    const std::filesystem::path systemctl = root / "systemctl";
    const std::filesystem::path calls = root / "calls";
    std::string output;
};

} // namespace

TEST_F(Install, InstallWritesAndEnablesTheUnitUninstallDisablesAndRemovesIt) {
    ASSERT_EQ(run({"INSTALL"}), 0) << output;
    EXPECT_EQ(output, "Service installed successfully.\n");
    EXPECT_EQ(callsMade(), "daemon-reload\nenable OstrelService1.service\n");
    const std::string text = readFile(unit);
    for (const char* line :
         {"Description=Provides Levelwatching for Ostrel Instruments gauges.",
          "Environment=OSTREL_HOME=/var/lib/ostrel", "Restart=on-failure",
          "ExecStart=\"" LEVELWATCH_BIN_DIR "/OstrelService\"", "RestartPreventExitStatus=78",
          "WantedBy=multi-user.target"})
        EXPECT_TRUE(hasLine(text, line)) << line;
    EXPECT_FALSE(std::filesystem::exists(file("LastData.txt"))) << "no service run on install";

    ASSERT_EQ(run({"/uninstall", "-silent"}), 0) << output;
    EXPECT_EQ(output, "");
    EXPECT_EQ(callsMade(), "disable OstrelService1.service\ndaemon-reload\n");
    EXPECT_FALSE(std::filesystem::exists(unit));
}

// A path with a blank, '%' and '$' is one word to systemd, and none of it is expanded; one that
// systemd cannot start is refused rather than installed.
TEST_F(Install, AnExecutablePathWithBlanksAndSpecifiersIsQuoted) {
    const auto installFrom = [&](const std::string& folderName) {
        const std::filesystem::path folder = root / folderName;
        std::filesystem::create_directories(folder);
        const std::filesystem::path program = folder / "OstrelService";
        std::filesystem::copy_file(LEVELWATCH_BIN_DIR "/OstrelService", program);
        ChildProcess run({program.string(), "INSTALL", "SILENT"}, {.env = installEnv()});
        return run.waitExit(20000).value_or(-1);
    };
    EXPECT_EQ(installFrom("Ostrel \\\"x"), 1);
    EXPECT_FALSE(std::filesystem::exists(unit));

    ASSERT_EQ(installFrom("Ostrel 100% $HOME"), 0);
    const std::string text = readFile(unit);
    const std::string expected =
        "ExecStart=\"" + root.path().string() + "/Ostrel 100%% $HOME/OstrelService\"";
    EXPECT_TRUE(hasLine(text, expected)) << text;

    // Let systemd's own parser judge it where it is installed: it resolves the executable.
    if (std::filesystem::exists(kSystemdAnalyze)) {
        // Its exit status may also speak of this machine's own units.
        const std::string said =
            runToEnd({kSystemdAnalyze, "verify", "--man=no", unit.string()}).output;
        EXPECT_EQ(said.find("OstrelService1.service:"), std::string::npos) << said;
        EXPECT_EQ(said.find("not executable"), std::string::npos) << said;
    }
}

TEST_F(Install, FailuresEndWithAnErrorAndSilentKeepsThemQuiet) {
    EXPECT_EQ(run({"UNINSTALL"}), 1);
    EXPECT_NE(output.find("not installed"), std::string::npos) << output;

    setSystemctl(1);
    EXPECT_EQ(run({"INSTALL", "SILENT"}), 1);
    EXPECT_EQ(output, "");
    EXPECT_EQ(run({"INSTALL"}), 1);
    EXPECT_NE(output.find("systemctl says no"), std::string::npos) << output;

    EXPECT_EQ(run({"INSTALL", "UNINSTALL"}), 2);
    EXPECT_EQ(run({"REINSTALL"}), 2);
}
