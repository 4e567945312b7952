// The transports under the sessions: instrument addresses, the raw SCPI socket against small
// scripted servers on 127.0.0.1 (answers, silence, partial answers, dropped connections) and
// the VISA transport with a missing library and with a tiny fake one.
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "instrument/bus/instrument_address.h"
#include "instrument/bus/instrument_session.h"
#include "instrument/bus/transport.h"
#include "instrument/bus/visa_transport.h"
#include "instrument_test_support.h"

extern "C" int fake_visa_log(char* buffer, int size);

namespace vexa {
namespace {

using ::testing::ElementsAre;
using Lines = std::vector<std::string>;

// ---------------------------------------------------------------------------------------------
// Addresses

TEST(InstrumentAddressTest, ReadsResourceStrings) {
  struct Case {
    const char* text;
    TransportKind natural;
    int board, primary, secondary;
    const char* host;
    int port;
  };
  const Case cases[] = {
      {"GPIB0::14::INSTR", TransportKind::kGpib, 0, 14, -1, "", 0},
      {"gpib1::5", TransportKind::kGpib, 1, 5, -1, "", 0},
      {"GPIB::30::2::INSTR", TransportKind::kGpib, 0, 30, 2, "", 0},
      {"  TCPIP0::127.0.0.1::5025::SOCKET\t", TransportKind::kSocket, 0, -1, -1, "127.0.0.1", 5025},
      {"tcpip::testset.lab::5025::socket", TransportKind::kSocket, 0, -1, -1, "testset.lab", 5025},
      {"TCPIP0::[fe80::1]::5026::SOCKET", TransportKind::kSocket, 0, -1, -1, "fe80::1", 5026},
      {"TCPIP0::testset.lab::inst0::INSTR", TransportKind::kVisa, 0, -1, -1, "", 0},
      {"TCPIP0::10.0.0.7::hislip0::INSTR", TransportKind::kVisa, 0, -1, -1, "", 0},
      {"USB0::0x0957::0x1234::MY001::INSTR", TransportKind::kVisa, 0, -1, -1, "", 0},
      {"GPIB0::INTFC", TransportKind::kVisa, 0, -1, -1, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error;
    const std::optional<InstrumentAddress> address = ParseInstrumentAddress(c.text, &error);
    ASSERT_TRUE(address) << error;
    EXPECT_EQ(address->natural, c.natural);
    EXPECT_EQ(address->board, c.board);
    EXPECT_EQ(address->primary, c.primary);
    EXPECT_EQ(address->secondary, c.secondary);
    EXPECT_EQ(address->host, c.host);
    EXPECT_EQ(address->port, c.port);
  }
}

TEST(InstrumentAddressTest, RefusesBadAddressesAndTransportsThatCannotCarryThem) {
  for (const char* text : {"", "   ", "GPIB0::31::INSTR", "GPIB0::14::31", "TCPIP0::h::0::SOCKET",
                           "TCPIP0::h::70000::SOCKET", "TCPIP0::::5025::SOCKET", "GPIB0:: 14",
                           "TCPIP0::a\tb::5025::SOCKET"}) {
    std::string error;
    EXPECT_FALSE(ParseInstrumentAddress(text, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
  EXPECT_EQ(CheckConnection(TransportKind::kVisa, "GPIB0::14::INSTR"), "");
  EXPECT_EQ(CheckConnection(TransportKind::kVisa, "TCPIP0::h::5025::SOCKET"), "");
  EXPECT_EQ(CheckConnection(TransportKind::kGpib, "TCPIP0::h::5025::SOCKET"),
            "The GPIB driver takes GPIB addresses such as GPIB0::14::INSTR, not "
            "\"TCPIP0::h::5025::SOCKET\"");
  EXPECT_NE(CheckConnection(TransportKind::kSocket, "TCPIP0::h::inst0::INSTR"), "");
  // A refused connection leaves the session's connection as it was.
  InstrumentSession session(14, 0, AfterFailedClear::kContinue);
  EXPECT_NE(session.SetConnection({TransportKind::kSocket, "GPIB0::14::INSTR"}), "");
  EXPECT_EQ(session.connection(), DefaultGpibConnection(14));
}

// ---------------------------------------------------------------------------------------------
// The raw socket against a scripted server

// What the scripted instrument does with one received line.
struct Reply {
  std::string bytes;         // sent back as they are (an LF only when given)
  bool close_after = false;  // then closes the connection
};

// A TCP server on 127.0.0.1 that serves one client after the other, answering each line (LF
// removed) through `script`, and records the lines.
class ScriptedInstrument {
 public:
  explicit ScriptedInstrument(std::function<Reply(const std::string&)> script)
      : script_(std::move(script)) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    EXPECT_EQ(bind(listener_, reinterpret_cast<sockaddr*>(&address), length), 0);
    EXPECT_EQ(listen(listener_, 4), 0);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ScriptedInstrument() {
    stop_ = true;
    thread_.join();
    close(listener_);
  }
  ScriptedInstrument(const ScriptedInstrument&) = delete;
  ScriptedInstrument& operator=(const ScriptedInstrument&) = delete;

  std::string resource() const {
    return "TCPIP0::127.0.0.1::" + std::to_string(port_) + "::SOCKET";
  }
  Lines received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }
  int connections() const { return connections_.load(); }
  // The lines received once `count` have arrived (or after 5 s, with what there is).
  Lines WaitForLines(std::size_t count) const {
    for (int i = 0; i < 500 && received().size() < count; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return received();
  }

 private:
  bool Ready(int fd) const {
    while (!stop_) {
      pollfd watched{fd, POLLIN, 0};
      if (poll(&watched, 1, 20) > 0)
        return true;
    }
    return false;
  }
  void Serve() {
    while (Ready(listener_)) {
      const int client = accept(listener_, nullptr, nullptr);
      if (client < 0)
        continue;
      ++connections_;
      std::string pending;
      bool open = true;
      while (open && Ready(client)) {
        char chunk[1024];
        const ssize_t n = recv(client, chunk, sizeof chunk, 0);
        if (n <= 0)
          break;
        pending.append(chunk, static_cast<std::size_t>(n));
        for (std::size_t end; open && (end = pending.find('\n')) != std::string::npos;) {
          const std::string line = pending.substr(0, end);
          pending.erase(0, end + 1);
          {
            std::lock_guard<std::mutex> lock(mutex_);
            received_.push_back(line);
          }
          const Reply reply = script_(line);
          send(client, reply.bytes.data(), reply.bytes.size(), MSG_NOSIGNAL);
          open = !reply.close_after;
        }
      }
      close(client);
    }
  }

  std::function<Reply(const std::string&)> script_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  Lines received_;
  std::thread thread_;
};

class SocketTransportTest : public testing::SimulatorTest {
 protected:
  // Connects and reads give up after 300 ms.
  static constexpr TransportOptions kShortTimeOut{std::chrono::milliseconds(300)};

  void Connect(const ScriptedInstrument& instrument) {
    ASSERT_EQ(
        TestSetDevice.SetConnection({TransportKind::kSocket, instrument.resource()}, kShortTimeOut),
        "");
  }
};

TEST_F(SocketTransportTest, ConsoleSendsLinesAndShowsAnswersLikeGpib) {
  ScriptedInstrument instrument(
      [](const std::string& line) { return Reply{line == "*IDN?" ? "ACME,Test Set,1,2\n" : ""}; });
  Connect(instrument);
  EXPECT_TRUE(TestSetDevice.SendConsoleText("*IDN?"));
  EXPECT_TRUE(TestSetDevice.SendConsoleText("*RST"));
  EXPECT_THAT(test_set_memo.Lines(), ElementsAre("<---*IDN?", "--->ACME,Test Set,1,2", "<---*RST"));
  EXPECT_THAT(instrument.WaitForLines(2), ElementsAre("*IDN?", "*RST"));
  EXPECT_THAT(TestSetDevice.ConnectionNote(),
              ::testing::StartsWith(instrument.resource() + " - LAN socket to 127.0.0.1 port "));
}

TEST_F(SocketTransportTest, SilenceAndPartialAnswersEndInATimeOutLine) {
  ScriptedInstrument instrument([](const std::string& line) {
    return Reply{line == "PART?" ? "12.5" : ""};  // no LF: the answer never ends
  });
  Connect(instrument);
  EXPECT_FALSE(TestSetDevice.SendConsoleText("MUTE?"));
  EXPECT_FALSE(TestSetDevice.SendConsoleText("PART?"));
  // As on GPIB, the shown answer is cut one byte before the count received.
  EXPECT_THAT(
      test_set_memo.Lines(),
      ElementsAre("<---MUTE?", "Unable to read from device status = 0xc000 error = 110 (ETIMEDOUT)",
                  "--->", "<---PART?",
                  "Unable to read from device status = 0xc000 error = 110 (ETIMEDOUT)", "--->12."));
}

TEST_F(SocketTransportTest, AClosedPortAndAnUnknownPortAreOpenFailuresInWords) {
  int port = 0;
  {
    ScriptedInstrument gone([](const std::string&) { return Reply{}; });
    port = std::stoi(gone.resource().substr(19));
  }
  ASSERT_EQ(TestSetDevice.SetConnection(
                {TransportKind::kSocket, "TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET"},
                kShortTimeOut),
            "");
  EXPECT_FALSE(TestSetDevice.SendConsoleText("*IDN?"));
  EXPECT_THAT(test_set_memo.Lines(),
              ElementsAre("Unable to open device status = 0x8000 error = 111 (ECONNREFUSED)",
                          "127.0.0.1 port " + std::to_string(port) +
                              " refused the connection (no instrument listening there?)"));
}

TEST_F(SocketTransportTest, ADroppedConnectionFailsTheReadAndTheNextWriteConnectsAnew) {
  ScriptedInstrument instrument([](const std::string& line) {
    if (line == "BYE?")
      return Reply{"", true};
    return Reply{line.back() == '?' ? "1\n" : ""};
  });
  Connect(instrument);
  bool opened = false;
  InstrumentSession::Link link = TestSetDevice.OpenLink(&opened);
  ASSERT_TRUE(opened);
  EXPECT_FALSE(link.Write("A?").Failed());
  bus::Status status;
  EXPECT_EQ(link.ReadAnswer(20, &status), "1");
  EXPECT_FALSE(link.Write("BYE?").Failed());
  EXPECT_EQ(link.ReadAnswer(20, &status), "");
  EXPECT_TRUE(status.Failed());
  EXPECT_EQ(status.iberr, ECONNRESET);
  TestSetDevice.ReportError("Unable to read from device", status);
  // The report took the descriptor offline: later calls on it are refused, not sent.
  EXPECT_TRUE(link.Write("C?").Failed());
  EXPECT_THAT(test_set_memo.Lines(),
              ElementsAre("Unable to read from device status = 0x8000 error = 104 (ECONNRESET)"));
  EXPECT_THAT(instrument.received(), ElementsAre("A?", "BYE?"));

  // Without a report, a run keeps its descriptor: the next write reaches the instrument again.
  InstrumentSession::Link again = TestSetDevice.OpenLink(&opened);
  ASSERT_TRUE(opened);
  EXPECT_FALSE(again.Write("BYE?").Failed());
  again.ReadAnswer(20, &status);
  EXPECT_EQ(status.iberr, ECONNRESET);
  EXPECT_FALSE(again.Write("D?").Failed());
  EXPECT_EQ(again.ReadAnswer(20, &status), "1");
  EXPECT_EQ(instrument.connections(), 3);
}

// ---------------------------------------------------------------------------------------------
// VISA

class VisaTransportTest : public testing::SimulatorTest {
 protected:
  void SetUp() override {
    SimulatorTest::SetUp();
    UseVisa(FAKE_VISA_LIBRARY);
    char flushed[8192];
    fake_visa_log(flushed, sizeof flushed);
  }
  void TearDown() override {
    SimulatorTest::TearDown();
    UseVisa(nullptr);
  }
  static void UseVisa(const char* library) {
    if (library) {
      setenv("VEXA_VISA_LIBRARY", library, 1);
    } else {
      unsetenv("VEXA_VISA_LIBRARY");
    }
    ReloadVisaLibrary();
  }
  static std::string Log() {
    char text[8192];
    fake_visa_log(text, sizeof text);
    return text;
  }
};

TEST_F(VisaTransportTest, AMissingLibraryFailsEveryOpenWithItsName) {
  UseVisa("/nonexistent/libvisa-vexa-test.so");
  ASSERT_EQ(TestSetDevice.SetConnection({TransportKind::kVisa, "GPIB0::14::INSTR"}), "");
  EXPECT_FALSE(TestSetDevice.SendConsoleText("*IDN?"));
  EXPECT_THAT(test_set_memo.Lines(),
              ElementsAre("Unable to open device status = 0x8000 viStatus = 0xBFFF009E "
                          "(VI_ERROR_LIBRARY_NFOUND)",
                          "No usable VISA library: none found (tried "
                          "VEXA_VISA_LIBRARY=/nonexistent/libvisa-vexa-test.so: cannot open "
                          "shared object file: No such file or directory)"));
  EXPECT_EQ(TestSetDevice.ConnectionNote(),
            "GPIB0::14::INSTR - VISA: none found (tried "
            "VEXA_VISA_LIBRARY=/nonexistent/libvisa-vexa-test.so: cannot open shared object "
            "file: No such file or directory)");
}

TEST_F(VisaTransportTest, InstrResourcesSendTheBareCommandAndSocketResourcesAnLf) {
  ASSERT_EQ(TestSetDevice.SetConnection({TransportKind::kVisa, "TCPIP0::ts.lab::inst0::INSTR"}),
            "");
  EXPECT_TRUE(TestSetDevice.SendConsoleText("*IDN?"));
  EXPECT_EQ(Log(), "rm|open TCPIP0::ts.lab::inst0::INSTR|clear|write [*IDN?]");
  EXPECT_EQ(TestSetDevice.ConnectionNote(),
            std::string("TCPIP0::ts.lab::inst0::INSTR - VISA: ") + FAKE_VISA_LIBRARY);

  ASSERT_EQ(TestSetDevice.SetConnection({TransportKind::kVisa, "TCPIP0::ts.lab::5025::SOCKET"}),
            "");
  EXPECT_TRUE(TestSetDevice.SendConsoleText("*IDN?"));
  // The switch released the INSTR session (its number 2) once nothing used it.
  EXPECT_EQ(Log(), "close 2|open TCPIP0::ts.lab::5025::SOCKET|termchar on|clear|write [*IDN?\n]");
  EXPECT_THAT(test_set_memo.Lines(),
              ElementsAre("<---*IDN?", "--->FAKE,VISA,TCPIP0::ts.lab::inst0::INSTR,1", "<---*IDN?",
                          "--->FAKE,VISA,TCPIP0::ts.lab::5025::SOCKET,1"));
}

TEST_F(VisaTransportTest, VisaFailuresUseTheVisaNames) {
  ASSERT_EQ(TestSetDevice.SetConnection({TransportKind::kVisa, "USB0::NOSUCH::INSTR"}), "");
  EXPECT_FALSE(TestSetDevice.SendConsoleText("*IDN?"));
  ASSERT_EQ(TestSetDevice.SetConnection({TransportKind::kVisa, "GPIB0::14::INSTR"}), "");
  EXPECT_FALSE(TestSetDevice.SendConsoleText("SLOW?"));
  EXPECT_THAT(test_set_memo.Lines(),
              ElementsAre("Unable to open device status = 0x8000 viStatus = 0xBFFF0011 "
                          "(VI_ERROR_RSRC_NFOUND)",
                          "VISA found no instrument at USB0::NOSUCH::INSTR", "<---SLOW?",
                          "Unable to read from device status = 0xc000 viStatus = 0xBFFF0015 "
                          "(VI_ERROR_TMO)",
                          "--->"));
}

}  // namespace
}  // namespace vexa
