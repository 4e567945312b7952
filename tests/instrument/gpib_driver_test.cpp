// The run-time driver loader: which library it loads, how it reads the status values of each
// kind of library, and what every call reports when there is no usable driver.
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "instrument/bus/gpib_driver.h"
#include "instrument_test_support.h"

namespace vexa {
namespace {

using bus::Status;
using testing::UseDriverLibrary;

constexpr Status kCompleted{0x0100, 0, 0};

class DriverTest : public ::testing::Test {
 protected:
  void TearDown() override { UseDriverLibrary(VEXA_SIM_LIBRARY); }
};

// Every call of a driver that is not usable: nothing happens, ERR and EDVR with the OS error.
void ExpectEveryCallFails(long os_error) {
  const Status failure{0x8000, 0, os_error};
  Status status;
  EXPECT_EQ(gpib::ibdev(0, 14, 0, 13, 1, 0, &status), -1);
  EXPECT_EQ(status, failure);
  EXPECT_EQ(gpib::LastStatus(), failure);
  char buffer[8] = "unused";
  EXPECT_EQ(gpib::ibclr(16), failure);
  EXPECT_EQ(gpib::ibwrt(16, "*IDN?", 5), failure);
  EXPECT_EQ(gpib::ibrd(16, buffer, sizeof buffer), failure);
  EXPECT_STREQ(buffer, "unused");
  EXPECT_EQ(gpib::ibonl(16, 0), failure);
  EXPECT_EQ(gpib::LastStatus(), failure);
  EXPECT_EQ(gpib::ReleaseQuietly(16), failure);
}

// A library that does not load: every call fails with an OS error for the file, and the
// note says why, in the dynamic loader's own words (errno after dlopen() means nothing).
TEST_F(DriverTest, ALibraryThatDoesNotLoadFailsEveryCallAndTheNoteSaysWhy) {
  const std::string text_file = ::testing::TempDir() + "libgpib-not-a-library.so";
  std::ofstream(text_file) << std::string(200, '#') << "\n";
  struct Case {
    std::string path;
    long os_error;
    std::string reason;
  };
  for (const Case& c : {Case{"/nonexistent/libgpib-vexa-test.so", ENOENT,
                             "cannot open shared object file: No such file or directory"},
                        Case{text_file, ENOEXEC, "invalid ELF header"}}) {
    SCOPED_TRACE(c.path);
    UseDriverLibrary(c.path.c_str());
    ExpectEveryCallFails(c.os_error);
    EXPECT_EQ(gpib::DriverNote(),
              "GPIB driver: none found (tried VEXA_GPIB_LIBRARY=" + c.path + ": " + c.reason + ")");
    EXPECT_FALSE(gpib::DriverIsSimulator());
  }
  std::remove(text_file.c_str());
}

TEST_F(DriverTest, WithoutTheVariableTriesTheUsualNamesButNeverTheSimulator) {
  UseDriverLibrary(nullptr);
  const std::string note = gpib::DriverNote();
  if (note.rfind("GPIB driver: none found", 0) != 0) {
    GTEST_SKIP() << "a GPIB library is installed here: " << note;
  }
  EXPECT_EQ(note,
            "GPIB driver: none found (tried libgpib.so.0, /usr/local/lib/libgpib.so.0, "
            "libni4882.so, libgpibapi.so: cannot open shared object file: No such file or "
            "directory)");
  ExpectEveryCallFails(ENOENT);
}

TEST(LibraryLoadFailures, NamesFailingForTheSameReasonShareIt) {
  using gpib::LibraryLoadFailure;
  struct Case {
    std::vector<LibraryLoadFailure> failures;
    std::string text;
  };
  for (const Case& c :
       {Case{{}, ""}, Case{{{"a.so", "gone"}}, "a.so: gone"},
        Case{{{"a.so", "gone"}, {"b.so", "gone"}}, "a.so, b.so: gone"},
        Case{{{"a.so", "wrong ELF class: ELFCLASS32"}, {"b.so", "gone"}, {"c.so", "gone"}},
             "a.so: wrong ELF class: ELFCLASS32; b.so, c.so: gone"},
        Case{{{"a.so", "gone"}, {"b.so", "bad"}, {"c.so", "gone"}},
             "a.so: gone; b.so: bad; c.so: gone"}}) {
    EXPECT_EQ(gpib::DescribeLoadFailures(c.failures), c.text);
  }
}

TEST_F(DriverTest, LibraryWithoutStatusValuesIsNotUsed) {
  UseDriverLibrary(FAKE_GPIB_NO_STATUS);
  ExpectEveryCallFails(ENOSYS);
  EXPECT_EQ(gpib::DriverNote(), std::string("GPIB driver: ") + FAKE_GPIB_NO_STATUS +
                                    " (unusable: it has no status values)");
}

TEST_F(DriverTest, MissingEntryPointFailsOnlyThatCall) {
  UseDriverLibrary(FAKE_GPIB_NO_IBCLR);
  Status status;
  EXPECT_EQ(gpib::ibdev(0, 14, 0, 13, 1, 0, &status), 114);
  EXPECT_EQ(status, kCompleted);
  EXPECT_EQ(gpib::ibclr(114), (Status{0x8000, 0, ENOSYS}));
  EXPECT_EQ(gpib::LastStatus(), (Status{0x8000, 0, ENOSYS}));
  EXPECT_EQ(gpib::ibwrt(114, "*RST", 4), (Status{0x0100, 0, 4}));
  EXPECT_EQ(gpib::DriverNote(),
            std::string("GPIB driver: ") + FAKE_GPIB_NO_IBCLR + " (lacks ibclr)");
}

TEST_F(DriverTest, SimulatorIsNamedPlainly) {
  UseDriverLibrary(VEXA_SIM_LIBRARY);
  EXPECT_TRUE(gpib::DriverIsSimulator());
  EXPECT_EQ(gpib::DriverNote(), std::string("GPIB driver: VEXA instrument simulator (") +
                                    VEXA_SIM_LIBRARY + ") - no real instruments");
}

TEST_F(DriverTest, UnloadLetsTheNextCallLoadAnotherLibrary) {
  UseDriverLibrary("/nonexistent/libgpib-vexa-test.so");
  EXPECT_EQ(gpib::ibdev(0, 14, 0, 13, 1, 0), -1);
  UseDriverLibrary(VEXA_SIM_LIBRARY);
  EXPECT_EQ(gpib::LastStatus(), Status{});
  EXPECT_GE(gpib::ibdev(0, 14, 0, 13, 1, 0), 0);
  EXPECT_EQ(gpib::LastStatus(), kCompleted);
}

TEST_F(DriverTest, QuietReleaseFreesTheDescriptorAndLeavesTheProgramWideStatus) {
  UseDriverLibrary(VEXA_SIM_LIBRARY);
  vexa_sim_reset();
  const int ud = gpib::ibdev(0, 14, 0, 13, 1, 0);
  const Status written = gpib::ibwrt(ud, "*RST", 4);
  ASSERT_EQ(written, (Status{0x0100, 0, 4}));
  EXPECT_EQ(gpib::ReleaseQuietly(ud), kCompleted);
  EXPECT_EQ(vexa_sim_open_descriptors(), 0);
  EXPECT_EQ(gpib::LastStatus(), written);
  // Nor does a failed release publish its status.
  EXPECT_EQ(gpib::ReleaseQuietly(ud), (Status{0x8000, 0, EINVAL}));
  EXPECT_EQ(gpib::LastStatus(), written);
}

// One library per way of exposing the status values; the per-thread ones must win over the
// deliberately stale process-wide copies, and counts beyond 32 bits must survive.
struct SchemeCase {
  const char* name;
  const char* library;
};

void PrintTo(const SchemeCase& c, std::ostream* out) {
  *out << c.name;
}

class StatusSchemeTest : public DriverTest, public ::testing::WithParamInterface<SchemeCase> {};

TEST_P(StatusSchemeTest, EveryCallReportsItsOwnStatus) {
  UseDriverLibrary(GetParam().library);
  EXPECT_EQ(gpib::DriverNote(), std::string("GPIB driver: ") + GetParam().library);

  Status status;
  EXPECT_EQ(gpib::ibdev(0, 5, 0, 13, 1, 0, &status), 105);
  EXPECT_EQ(status, kCompleted);
  EXPECT_EQ(gpib::LastStatus(), kCompleted);

  const Status failed_clear{0x8100, 2, 0};
  EXPECT_EQ(gpib::ibclr(105), failed_clear);
  EXPECT_EQ(gpib::LastStatus(), failed_clear);

  const long huge_count = 5'000'000'000L;  // the fake library never touches the buffer
  const Status written{0x0100, 0, huge_count};
  EXPECT_EQ(gpib::ibwrt(105, "x", huge_count), written);
  EXPECT_EQ(gpib::LastStatus(), written);

  char reply[16] = {};
  const Status read{0x2100, 0, 5};
  EXPECT_EQ(gpib::ibrd(105, reply, sizeof reply - 1), read);
  EXPECT_EQ(std::string(reply), "FAKE\n");
  EXPECT_EQ(gpib::LastStatus(), read);
  EXPECT_EQ(gpib::LastStatus().ibcnt(), 5);

  EXPECT_EQ(gpib::ReleaseQuietly(105), kCompleted);
  EXPECT_EQ(gpib::LastStatus(), read);

  EXPECT_EQ(gpib::ibonl(105, 0), kCompleted);
  EXPECT_EQ(gpib::LastStatus(), kCompleted);
}

INSTANTIATE_TEST_SUITE_P(
    Schemes, StatusSchemeTest,
    ::testing::Values(SchemeCase{"OpenSourcePerThread", FAKE_GPIB_OS_THREAD},
                      SchemeCase{"OpenSourceData", FAKE_GPIB_OS_DATA},
                      SchemeCase{"VendorPerThread", FAKE_GPIB_VENDOR_THREAD},
                      SchemeCase{"VendorProcessWide", FAKE_GPIB_VENDOR_PROCESS}),
    [](const ::testing::TestParamInfo<SchemeCase>& info) { return info.param.name; });

}  // namespace
}  // namespace vexa
