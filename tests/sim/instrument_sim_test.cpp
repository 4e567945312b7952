// vexa-instrument-sim as a process: its two raw-socket instruments answer every line as the
// simulator library answers the same messages over GPIB (this process links the library and
// asks it directly for the reference), and the server copes with clients that stop mid-line,
// overlong lines, bad command lines and the stop signals.
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "instrument/gpib_status.h"
#include "sim/gpib_entry_points.h"
#include "sim/vexa_gpib_sim.h"
#include "support/instrument_sim_process.h"
#include "support/run_process.h"

namespace vexa {
namespace {

using ::testing::MatchesRegex;
using testing::ServerProcess;

constexpr int kTestSetAddress = 14;
constexpr int kDcSourceAddress = 5;
constexpr std::size_t kMaxLineBytes = 64 * 1024;

// The simulator library in this process answering `message` at `address`: the response of a
// query (with its LF), "" for a command.
std::string GpibAnswer(int address, const std::string& message) {
  const int ud = ibdev(0, address, 0, gpib::kTimeout10s, 1, 0);
  EXPECT_GE(ud, 0);
  EXPECT_FALSE(ibwrt(ud, message.data(), static_cast<long>(message.size())) & gpib::kErr)
      << message;
  std::string answer;
  if (message.find('?') != std::string::npos) {
    char buffer[4096];
    int status = 0;
    do {
      status = ibrd(ud, buffer, sizeof buffer);
      EXPECT_FALSE(status & gpib::kErr) << message;
      answer.append(buffer, static_cast<std::size_t>(ThreadIbcntl()));
    } while (!(status & gpib::kErr) && !(status & gpib::kEnd));
  }
  ibonl(ud, 0);
  return answer;
}

// A plain TCP client of 127.0.0.1. Reads give up after 10 s so that a server that never
// answers fails the test instead of hanging it.
class Client {
 public:
  explicit Client(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    timeval limit{10, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~Client() { close(fd_); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool connected() const { return connected_; }

  // Sends all of `text`; false when the server has closed the connection.
  bool Send(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = send(fd_, text.data() + done, text.size() - done, MSG_NOSIGNAL);
      if (n <= 0)
        return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  // The next line with its LF; nullopt once the server has closed the connection.
  std::optional<std::string> ReadLine() {
    for (;;) {
      if (const std::size_t lf = buffer_.find('\n'); lf != std::string::npos) {
        std::string line = buffer_.substr(0, lf + 1);
        buffer_.erase(0, lf + 1);
        return line;
      }
      char chunk[4096];
      const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        ADD_FAILURE() << "no answer within 10 s";
        return std::nullopt;
      }
      if (n <= 0)
        return std::nullopt;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

  // Closes the sending side: what the server reads next is the end of the stream.
  void FinishSending() { shutdown(fd_, SHUT_WR); }

 private:
  int fd_ = -1;
  bool connected_ = false;
  std::string buffer_;
};

class InstrumentSimTest : public ::testing::Test {
 protected:
  void SetUp() override { vexa_sim_reset(); }
};

TEST_F(InstrumentSimTest, AnswersEveryLineAsTheGpibSimulator) {
  struct Case {
    int address;
    std::vector<std::string> lines;  // sent in one go, each ended by LF
  };
  // Commands without answer before queries: an answer to a command would shift every later
  // one. Both sides keep their state from one case to the next, so they must stay in step.
  const Case cases[] = {
      {kTestSetAddress, {"*IDN?"}},
      {kTestSetAddress,
       {"*IDN?\r", "CALL:TCH:BAND DCS", "CALL:MS:TXL 7", "CALL:TCH:BAND?",
        "CALL:MS:TXL?;:CALL:CONN?", "FETCH:TXPOWER?"}},
      {kDcSourceAddress, {"*IDN?"}},
      {kDcSourceAddress,
       {"VOLT 3.8", "VOLT?;*OPC?", "", "SENS:SWE:POIN 16", "MEAS:CURR?", "MEAS:CURR?",
        "NOT:A:QUERY?"}},
  };
  ServerProcess server;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "address " << c.address << ", " << c.lines.front());
    Client client(server.port(c.address));
    ASSERT_TRUE(client.connected());
    std::string sent;
    std::vector<std::string> expected;
    for (const std::string& line : c.lines) {
      sent += line + "\n";
      std::string message = line;
      if (!message.empty() && message.back() == '\r')
        message.pop_back();
      if (std::string answer = GpibAnswer(c.address, message); !answer.empty())
        expected.push_back(answer);
    }
    ASSERT_TRUE(client.Send(sent));
    for (const std::string& answer : expected)
      EXPECT_EQ(client.ReadLine(), answer);
    client.FinishSending();
    EXPECT_EQ(client.ReadLine(), std::nullopt) << "an answer too many";
  }
  EXPECT_EQ(GpibAnswer(kTestSetAddress, "*IDN?"), "VEXA Simulator,GSM Test Set,SIM00014,A.02.02\n");
}

TEST_F(InstrumentSimTest, DropsAnUnfinishedLineAndServesTheNextClient) {
  ServerProcess server;
  {
    Client client(server.port(kDcSourceAddress));
    ASSERT_TRUE(client.Send("VOLT 3.8\nVOLT 4.2"));
  }
  Client next(server.port(kDcSourceAddress));
  ASSERT_TRUE(next.Send("VOLT?\n"));
  EXPECT_EQ(next.ReadLine(), "3.800000E+00\n");
}

TEST_F(InstrumentSimTest, ClosesAClientWhoseLineExceedsTheLimit) {
  ServerProcess server;
  const int port = server.port(kTestSetAddress);
  const std::string idn = GpibAnswer(kTestSetAddress, "*IDN?");
  // "*IDN?" padded with blanks: the longest line still taken, then one byte more.
  const std::string longest = "*IDN?" + std::string(kMaxLineBytes - 5, ' ');
  {
    Client client(port);
    ASSERT_TRUE(client.Send(longest + "\n"));
    EXPECT_EQ(client.ReadLine(), idn);
    client.Send(longest + " \n*IDN?\n");  // may fail once the server has closed
    EXPECT_EQ(client.ReadLine(), std::nullopt);
  }
  {
    Client client(port);  // an overlong line without LF at all
    client.Send(longest + "  ");
    EXPECT_EQ(client.ReadLine(), std::nullopt);
  }
  Client next(port);
  ASSERT_TRUE(next.Send("*IDN?\n"));
  EXPECT_EQ(next.ReadLine(), idn);
}

TEST_F(InstrumentSimTest, SetupOptionAppliesTheSimulatorSettings) {
  ServerProcess server({"--setup", "call=0;current=0.5;current_spread=0;latency_ms=1"});
  Client testset(server.port(kTestSetAddress));
  Client dcsource(server.port(kDcSourceAddress));
  ASSERT_TRUE(testset.Send("CALL:CONN?\n"));
  ASSERT_TRUE(dcsource.Send("MEAS:CURR?\n"));
  EXPECT_EQ(testset.ReadLine(), "0\n");
  EXPECT_EQ(dcsource.ReadLine(), "5.000000E-01\n");
}

TEST_F(InstrumentSimTest, StopSignalsEndTheServerWithStatusZero) {
  for (const int signal_number : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal_number);
    ServerProcess server;
    Client client(server.port(kDcSourceAddress));
    ASSERT_TRUE(client.Send("*OPC?\n"));
    ASSERT_EQ(client.ReadLine(), "1\n");  // being served while the signal comes
    const int status = server.Stop(signal_number);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(client.ReadLine(), std::nullopt);
  }
}

TEST_F(InstrumentSimTest, RefusesBadCommandLines) {
  for (const char* arguments : {"--testset-port 65536", "--dcsource-port -1", "--testset-port",
                                "--host not-an-address", "--color 1", "--dcsource-port 12x"}) {
    SCOPED_TRACE(arguments);
    const testing::ProcessResult result =
        testing::RunProcess(std::string(VEXA_INSTRUMENT_SIM_PATH) + " --testset-port 0 " +
                            "--dcsource-port 0 " + arguments);
    EXPECT_NE(result.exit_code, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_THAT(result.err, ::testing::HasSubstr("vexa-instrument-sim: "));
  }
}

}  // namespace
}  // namespace vexa
