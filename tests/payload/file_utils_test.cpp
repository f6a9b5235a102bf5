// The file utilities on their own: what they create, keep and refuse.
#include "payload/file_utils.h"

#include <gtest/gtest.h>

#include "tests/payload/payload_fixtures.h"
#include "tests/registration/forwarding_services.h"

namespace swk {
namespace {

using test::Bytes;
using test::BytesOf;

constexpr const char* kFile = "C:\\Program Files\\Stashwick\\cmptree.exe";
constexpr FILETIME kTime = MakeFileTime(0x01CEE13A32F40EF2ull);
constexpr std::uint64_t kOldTime = 0x01D5000012345678ull;

class FileUtils : public test::MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        Machine().PutFolder("C:\\Program Files\\Stashwick");
    }
};

TEST_F(FileUtils, SetFileLastWriteTimeChangesOnlyTheTimeOfAnExistingFile) {
    Machine().PutFile(kFile, BytesOf("old program"), kOldTime);
    EXPECT_TRUE(SetFileLastWriteTime(kFile, kTime));
    EXPECT_EQ(Machine().ReadFileBytes(kFile), BytesOf("old program"));
    EXPECT_EQ(Machine().Stat(kFile)->lastWriteTime, FileTimeValue(kTime));
}

TEST_F(FileUtils, SetFileLastWriteTimeNeverCreatesAFile) {
    EXPECT_FALSE(SetFileLastWriteTime(kFile, kTime));
    EXPECT_FALSE(Machine().Exists(kFile)) << Describe();
}

TEST_F(FileUtils, WriteFileWithTimeRefusesAReadOnlyFileAndLeavesIt) {
    Machine().PutFile(kFile, BytesOf("kept"), kOldTime);
    Machine().SetReadOnly(kFile, true);
    EXPECT_FALSE(WriteFileWithTime(kFile, BytesOf("new"), kTime));
    EXPECT_EQ(Machine().ReadFileBytes(kFile), BytesOf("kept"));
}

TEST_F(FileUtils, WriteFileWithTimeFailsWhenTheTimeCannotBeSet) {
    Machine().Fault().FailCall(sim::Op::SetFileTime, 1);
    EXPECT_FALSE(WriteFileWithTime(kFile, BytesOf("new"), kTime));
    EXPECT_EQ(Machine().Fault().FiredCount(), 1);
}

// A full disk takes part of a write: the utilities must report it, not succeed.
TEST_F(FileUtils, AWriteCutShortByAFullDiskIsAFailure) {
    Machine().Profile().drives[0].fillsAfterBytes = 100;  // bytes written from now on
    EXPECT_FALSE(WriteFileWithTime(kFile, Bytes(1000, 1), kTime)) << Describe();
    EXPECT_FALSE(WriteNewFile("C:\\Program Files\\Stashwick\\prog.tmp", Bytes(1000, 1)));
}

// A system that writes only part of a buffer yet reports success: the count
// written is the only sign, and the utilities must not take it as done.
class HalfWrites final : public test::ForwardingServices {
public:
    using ForwardingServices::ForwardingServices;
    BOOL WriteFile(HANDLE file, const void* buffer, DWORD size, DWORD* written,
                   void* overlapped) override {
        return ForwardingServices::WriteFile(file, buffer, size / 2, written, overlapped);
    }
};

TEST_F(FileUtils, AShortWriteReportedAsSuccessIsAFailure) {
    HalfWrites halfWrites(Machine());
    ScopedSystemServices scope(halfWrites);
    EXPECT_FALSE(WriteFileWithTime(kFile, Bytes(1000, 1), kTime)) << Describe();
    EXPECT_FALSE(WriteNewFile("C:\\Program Files\\Stashwick\\prog.tmp", Bytes(1000, 1)));
    const HANDLE file = CreateFileForWriting("C:\\Program Files\\Stashwick\\other.bin");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteBuffer(file, Bytes(1000, 1)));
    EXPECT_TRUE(WriteBuffer(file, Bytes{}));  // nothing asked, nothing missing
    Sys().CloseHandle(file);
}

TEST_F(FileUtils, WritesAndTimesANewFile) {
    EXPECT_TRUE(WriteFileWithTime(kFile, BytesOf("program"), kTime));
    EXPECT_EQ(Machine().ReadFileBytes(kFile), BytesOf("program"));
    EXPECT_EQ(Machine().Stat(kFile)->lastWriteTime, FileTimeValue(kTime));
    EXPECT_EQ(OpenFileForWriting("C:\\Program Files\\Stashwick\\missing.exe"),
              INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Machine().Exists("C:\\Program Files\\Stashwick\\missing.exe"));
}

}  // namespace
}  // namespace swk
