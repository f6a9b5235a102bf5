// stashwick-setup run as a program with --answers: exit statuses, and words
// that are missing, left over or do not fit the moment.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

constexpr int kInstalled = 0, kCancelled = 1, kUsage = 2, kRefused = 3, kFailed = 4;

class SetupCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "swk-cli-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    // Runs the setup on this test's machine, with `input` as its standard
    // input; returns its exit status.
    int Run(const std::string& arguments, const std::string& input = "") {
        std::ofstream(folder_ / "in.txt") << input;
        const std::string command = std::string(SWK_SETUP_BINARY) + " --machine '" +
                                    (folder_ / "machine").string() + "' " + arguments + " < '" +
                                    (folder_ / "in.txt").string() + "' > '" +
                                    (folder_ / "out.txt").string() + "' 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Output() const {
        std::ifstream in(folder_ / "out.txt");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void SetProfile(const std::string& line) {
        std::ofstream(folder_ / "machine" / "profile.ini", std::ios::app) << line << "\n";
    }

    std::filesystem::path folder_;
};

TEST_F(SetupCommandTest, InstallsAndReportsWhatItDid) {
    ASSERT_EQ(Run("--answers ok,cancel,cancel"), kInstalled) << Output();
    const std::string out = Output();
    EXPECT_NE(out.find("C:\\Program Files\\Tarnwell\\Stashwick\\swk.exe"), std::string::npos)
        << out;
    EXPECT_NE(out.find("Stashwick.lnk"), std::string::npos);
    EXPECT_NE(out.find("App Paths\\swk.exe"), std::string::npos);
    EXPECT_NE(out.find("swkh.exe"), std::string::npos);

    // Over that installation: the question, answered No, refuses.
    EXPECT_EQ(Run("--answers no"), kRefused) << Output();
    // Answered Yes, the user's pages are backed up.
    EXPECT_EQ(Run("--answers yes,ok,cancel,cancel"), kInstalled) << Output();
    EXPECT_NE(Output().find("Pages_"), std::string::npos) << Output();
}

struct AnswersCase {
    std::string answers;
    int status;
};

class AnswersTest : public SetupCommandTest, public ::testing::WithParamInterface<AnswersCase> {};

TEST_P(AnswersTest, ExitStatusFollowsTheOutcome) {
    EXPECT_EQ(Run("--answers " + GetParam().answers), GetParam().status) << Output();
}

INSTANTIATE_TEST_SUITE_P(
    Words, AnswersTest,
    ::testing::Values(AnswersCase{"cancel", kCancelled},
                      AnswersCase{"ok,ok,ok", kInstalled},         // Next, Run Program
                      AnswersCase{"ok,cancel", kUsage},            // runs out on page 2
                      AnswersCase{"ok,cancel,cancel,ok", kUsage},  // a word left over
                      AnswersCase{"yes", kUsage},                  // no question is open
                      AnswersCase{"restart", kUsage},              // the button is hidden
                      AnswersCase{"", kUsage}),
    [](const auto& param) {
        std::string name = param.param.answers.empty() ? "none" : param.param.answers;
        std::replace(name.begin(), name.end(), ',', '_');
        return name;
    });

TEST_F(SetupCommandTest, ProductRunningIsARefusal) {
    ASSERT_EQ(Run("--answers cancel"), kCancelled);  // creates the machine
    SetProfile("productSemaphore = 1");
    EXPECT_EQ(Run("--answers ok,ok,cancel"), kRefused) << Output();
}

TEST_F(SetupCommandTest, UnsupportedPlatformIsARefusal) {
    ASSERT_EQ(Run("--answers cancel"), kCancelled);
    SetProfile("platformId = 0");
    EXPECT_EQ(Run("--answers ok"), kRefused) << Output();
}

TEST_F(SetupCommandTest, FailedInstallationHasItsOwnStatus) {
    ASSERT_EQ(Run("--answers cancel"), kCancelled);
    SetProfile("pathDenyWrite = C:\\ProgramData\\Tarnwell");
    EXPECT_EQ(Run("--answers ok,ok,cancel"), kFailed) << Output();
}

TEST_F(SetupCommandTest, KeysCanBePipedIn) {
    // Enter installs, an unknown key is refused and asked again, Escape leads
    // to page 2 and closes the setup.
    EXPECT_EQ(Run("", "\nz\nesc\nc\n"), kInstalled) << Output();
    EXPECT_NE(Output().find("That key does nothing here."), std::string::npos);
    // Input that ends while the wizard waits stops the run.
    EXPECT_EQ(Run("", "y\n"), kUsage) << Output();
}

TEST_F(SetupCommandTest, UnknownArgumentIsAUsageError) {
    EXPECT_EQ(Run("--colour blue"), kUsage);
}

}  // namespace
