// ExtractPayload against a simulated machine: what lands on the drive, with which
// times, which messages the user sees, and what is left after a failure.
#include "payload/extraction.h"

#include <gtest/gtest.h>

#include <functional>

#include "payload/container.h"
#include "tests/payload/payload_fixtures.h"

namespace swk {
namespace {

using test::Bytes;
using test::BytesOf;
using test::EntrySpec;
using test::LiteralStream;

constexpr const char* kSetupPath = "C:\\Setup\\StashwickSetup.exe";
constexpr const char* kTemporaryPath = "C:\\Users\\User\\AppData\\Local\\Stashwick\\prog.tmp";
constexpr std::uint64_t kTime1 = 0x01CFC82DB4AEB480ull;    // shared by two entries
constexpr std::uint64_t kTime2 = 0x01C84A05C9C6A001ull;    // odd tick: times are exact
constexpr std::uint64_t kOldTime = 0x01D5000012345678ull;  // files there before the run

Bytes Pattern(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 % 251);
    return bytes;
}

struct Product {
    std::string target;
    Bytes content;
    std::uint64_t fileTime;
};

const std::vector<Product>& Products() {
    static const std::vector<Product> products = {
        {"C:\\Program Files\\Stashwick\\swk.exe", BytesOf("main program, twenty+"), kTime1},
        {"C:\\Program Files\\Stashwick\\swkh.exe", Pattern(5000), kTime2},
        {"C:\\ProgramData\\Stashwick\\help.bin", Bytes{0x42}, kTime1},
        {"C:\\ProgramData\\Stashwick\\samples1.swk", BytesOf("8 bytes!9"), 0x01CE0000FFFFFFFFull},
    };
    return products;
}

std::vector<EntrySpec> ProductEntries() {
    std::vector<EntrySpec> entries;
    for (const Product& p : Products()) entries.push_back({p.fileTime, LiteralStream(p.content)});
    return entries;
}

std::vector<std::string> Targets(std::size_t count = Products().size()) {
    std::vector<std::string> targets;
    for (std::size_t k = 0; k < count; ++k)
        targets.push_back(k < Products().size()
                              ? Products()[k].target
                              : "C:\\Program Files\\Stashwick\\extra" + std::to_string(k) + ".bin");
    return targets;
}

class Extraction : public test::MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        PrepareMachine();
    }

    // The folders the install attempt makes sure of, and the setup with its container.
    void PrepareMachine() {
        Machine().PutFolder("C:\\Program Files\\Stashwick");
        Machine().PutFolder("C:\\ProgramData\\Stashwick");
        Machine().PutFolder("C:\\Users\\User\\AppData\\Local\\Stashwick");
        InstallContainer(test::BuildContainer(ProductEntries()));
    }

    void InstallContainer(const Bytes& container) {
        Machine().SetOwnModule(kSetupPath, {{kPayloadResourceId, container}}, {});
    }

    bool Extract(const std::vector<std::string>& targets) {
        return ExtractPayload(targets, kTemporaryPath, kPayloadResourceId);
    }

    // Target k holds exactly product k's bytes and has its time to the tick.
    void ExpectExtracted(std::size_t k) {
        const Product& p = Products()[k];
        EXPECT_EQ(Machine().ReadFileBytes(p.target), p.content) << p.target << "\n" << Describe();
        const auto state = Machine().Stat(p.target);
        ASSERT_TRUE(state.has_value()) << p.target;
        EXPECT_EQ(state->lastWriteTime, p.fileTime) << p.target;
    }

    // Targets before `first` extracted, the rest absent.
    void ExpectExtractedUpTo(std::size_t first, std::size_t count = Products().size()) {
        for (std::size_t k = 0; k < first; ++k) ExpectExtracted(k);
        for (std::size_t k = first; k < count; ++k)
            EXPECT_FALSE(Machine().Exists(Targets(count)[k])) << Targets(count)[k] << "\n"
                                                              << Describe();
    }

    std::vector<std::string> ErrorMessages(std::size_t n) {
        return std::vector<std::string>(n, std::string(kErrorInInstallation));
    }
};

TEST_F(Extraction, WritesEveryEntryWithItsTimeThroughOneTemporaryFile) {
    EXPECT_TRUE(Extract(Targets()));
    ExpectExtractedUpTo(Products().size());
    EXPECT_FALSE(Machine().Exists(kTemporaryPath)) << Describe();
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(Extraction, ReplacesALargerOldTargetCompletely) {
    Machine().PutFile(Products()[0].target, Bytes(10'000, 0xEE), kOldTime);
    Machine().PutFile(Products()[2].target, Pattern(3), kOldTime);
    EXPECT_TRUE(Extract(Targets()));
    ExpectExtracted(0);  // no tail of the old file, no zeros from the output buffer
    ExpectExtracted(2);
}

TEST_F(Extraction, ZeroTargetsWriteNothingButStillRemoveTheTemporaryPath) {
    Machine().PutFile(kTemporaryPath, BytesOf("left over"));
    EXPECT_TRUE(Extract({}));
    EXPECT_FALSE(Machine().Exists(kTemporaryPath));
    ExpectExtractedUpTo(0);
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(Extraction, MoreTargetsThanEntriesSucceedAtTheEndMarker) {
    EXPECT_TRUE(Extract(Targets(7)));
    ExpectExtractedUpTo(Products().size(), 7);
    EXPECT_FALSE(Machine().Exists(kTemporaryPath));
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(Extraction, AZeroStreamLengthEndsTheRunWithSuccess) {
    std::vector<EntrySpec> entries = ProductEntries();
    entries[2].streamLength = 0;
    InstallContainer(test::BuildContainer(entries));
    EXPECT_TRUE(Extract(Targets()));
    ExpectExtractedUpTo(2);
    EXPECT_TRUE(messages_.shown.empty());
}

// ---- Failures ------------------------------------------------------------------

class ExtractionFailure;

struct FailureCase {
    const char* name;
    std::function<void(ExtractionFailure&)> prepare;
    std::size_t extracted;  // targets in place before the failing entry
    std::size_t messages;   // "Error in installation" shown by the extraction
    bool temporaryRemains;
};

class ExtractionFailure : public Extraction, public ::testing::WithParamInterface<FailureCase> {
public:
    using Extraction::InstallContainer;
    using MachineTest::Machine;
};

// Replaces entry k's stream, keeping the rest of the container intact.
void StreamAt(ExtractionFailure& fixture, std::size_t k, Bytes stream) {
    std::vector<EntrySpec> entries = ProductEntries();
    entries[k].stream = std::move(stream);
    fixture.InstallContainer(test::BuildContainer(entries));
}

const std::string kOldContent = "the old swkh.exe";

TEST_P(ExtractionFailure, KeepsEarlierTargetsAndReportsAsTheUserShouldSee) {
    const FailureCase& c = GetParam();
    Machine().PutFile(Products()[1].target, BytesOf(kOldContent), kOldTime);
    c.prepare(*this);

    EXPECT_FALSE(Extract(Targets()));
    EXPECT_EQ(messages_.shown, ErrorMessages(c.messages));
    for (std::size_t k = 0; k < c.extracted; ++k) ExpectExtracted(k);
    for (std::size_t k = std::max<std::size_t>(c.extracted + 1, 2); k < Products().size(); ++k)
        EXPECT_FALSE(Machine().Exists(Products()[k].target)) << Describe();
    EXPECT_EQ(Machine().Exists(kTemporaryPath), c.temporaryRemains) << Describe();
}

INSTANTIATE_TEST_SUITE_P(
    Payload, ExtractionFailure,
    ::testing::Values(
        FailureCase{
            "MissingResource",
            [](ExtractionFailure& fixture) { fixture.Machine().SetOwnModule(kSetupPath, {}, {}); },
            0, 1, false},
        FailureCase{"EntryExpandsToNothing",
                    [](ExtractionFailure& fixture) { StreamAt(fixture, 1, LiteralStream({})); }, 1,
                    1, true},
        FailureCase{"EntryInAnUnknownMode",
                    [](ExtractionFailure& fixture) {
                        Bytes stream = LiteralStream(BytesOf("mode Q data"));
                        stream[4] = 'Q';
                        StreamAt(fixture, 1, stream);
                    },
                    1, 1, true},
        FailureCase{"StreamLongerThanTheContainer",
                    [](ExtractionFailure& fixture) {
                        std::vector<EntrySpec> entries = ProductEntries();
                        entries[2].streamLength = 1'000'000;
                        fixture.InstallContainer(test::BuildContainer(entries, false));
                    },
                    2, 1, true},
        FailureCase{"ReadOnlyTarget",
                    [](ExtractionFailure& fixture) {
                        fixture.Machine().SetReadOnly(Products()[1].target, true);
                    },
                    1, 0, true},
        FailureCase{"RunningProgramTarget",
                    [](ExtractionFailure& fixture) {
                        fixture.Machine().Profile().runningPrograms.insert(Products()[1].target);
                    },
                    1, 0, true},
        FailureCase{"TemporaryFileCannotBeCreated",
                    [](ExtractionFailure& fixture) {
                        fixture.Machine().Profile().pathsDenyWrite.insert(
                            "C:\\Users\\User\\AppData\\Local\\Stashwick");
                    },
                    0, 1, false},
        FailureCase{"FirstTemporaryWriteFails",
                    [](ExtractionFailure& fixture) {
                        fixture.Machine().Fault().FailCall(sim::Op::WriteFile, 1);
                    },
                    0, 1, true}),
    test::CaseName());

TEST_F(Extraction, AnEntryThatExpandsToNothingLeavesItsTargetUntouched) {
    Machine().PutFile(Products()[1].target, BytesOf(kOldContent), kOldTime);
    std::vector<EntrySpec> entries = ProductEntries();
    entries[1].stream = LiteralStream({});
    InstallContainer(test::BuildContainer(entries));
    EXPECT_FALSE(Extract(Targets()));
    EXPECT_EQ(Machine().ReadFileBytes(Products()[1].target), BytesOf(kOldContent));
    EXPECT_EQ(Machine().Stat(Products()[1].target)->lastWriteTime, kOldTime);
}

// ---- Faults at every call -----------------------------------------------------------

// How many leading targets hold exactly their product; the rest must be absent,
// except the one the run failed on.
std::size_t CompletePrefix(sim::SimulatedMachine& machine) {
    std::size_t k = 0;
    while (k < Products().size() &&
           machine.ReadFileBytes(Products()[k].target) == Products()[k].content &&
           machine.Stat(Products()[k].target)->lastWriteTime == Products()[k].fileTime)
        ++k;
    return k;
}

struct FaultCase {
    const char* name;
    sim::Op op;
};

class ExtractionFaults : public Extraction, public ::testing::WithParamInterface<FaultCase> {};

// Fails the Nth call of one operation, for N = 1, 2, ... until no fault fires: every
// run either succeeds with every file, or fails with a clean prefix of the targets
// and at most the one "Error in installation" of the extraction.
TEST_P(ExtractionFaults, EveryRunSucceedsFullyOrFailsCleanly) {
    const sim::Op op = GetParam().op;
    int n = 1;
    for (; n <= 100; ++n) {
        ResetMachine();
        PrepareMachine();
        Machine().Fault().FailCall(op, n);
        const bool done = Extract(Targets());
        const std::size_t prefix = CompletePrefix(Machine());
        SCOPED_TRACE("fault at call " + std::to_string(n) + ", complete prefix " +
                     std::to_string(prefix) + "\n" + Describe());

        if (Machine().Fault().FiredCount() == 0) {
            EXPECT_TRUE(done);
            EXPECT_EQ(prefix, Products().size());
            EXPECT_TRUE(messages_.shown.empty());
            break;
        }
        if (done) {
            EXPECT_EQ(prefix, Products().size());
            EXPECT_TRUE(messages_.shown.empty());
            continue;
        }
        EXPECT_LT(prefix, Products().size());
        EXPECT_LE(messages_.shown.size(), 1u);
        for (const std::string& text : messages_.shown) EXPECT_EQ(text, kErrorInInstallation);
        for (std::size_t k = prefix + 1; k < Products().size(); ++k)
            EXPECT_FALSE(Machine().Exists(Products()[k].target)) << Products()[k].target;
    }
    EXPECT_GT(n, 1) << "the operation was never called";
    EXPECT_LE(n, 100) << "faults kept firing";
}

INSTANTIATE_TEST_SUITE_P(Payload, ExtractionFaults,
                         ::testing::Values(FaultCase{"CreateFileW", sim::Op::CreateFileW},
                                           FaultCase{"WriteFile", sim::Op::WriteFile},
                                           FaultCase{"SetFileTime", sim::Op::SetFileTime},
                                           FaultCase{"LZOpenFileW", sim::Op::LZOpenFileW},
                                           FaultCase{"LZRead", sim::Op::LZRead},
                                           FaultCase{"FindResourceA", sim::Op::FindResourceA},
                                           FaultCase{"DeleteFileW", sim::Op::DeleteFileW}),
                         test::CaseName());

}  // namespace
}  // namespace swk
