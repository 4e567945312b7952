// vexa-instrument-sim as a process: its two raw-socket instruments answer every line as the
// simulator library answers the same messages over GPIB (this process links the library and
// asks it directly for the reference), and the server copes with clients that stop mid-line,
// overlong lines, bad command lines and the stop signals. It serves many clients at once, one
// message at a time, and works with an independent client (PyVISA) beside vexa-cli.
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "instrument/bus/bus_status.h"
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
  const int ud = ibdev(0, address, 0, bus::kTimeout10s, 1, 0);
  EXPECT_GE(ud, 0);
  EXPECT_FALSE(ibwrt(ud, message.data(), static_cast<long>(message.size())) & bus::kErr)
      << message;
  std::string answer;
  if (message.find('?') != std::string::npos) {
    char buffer[4096];
    int status = 0;
    do {
      status = ibrd(ud, buffer, sizeof buffer);
      EXPECT_FALSE(status & bus::kErr) << message;
      answer.append(buffer, static_cast<std::size_t>(ThreadIbcntl()));
    } while (!(status & bus::kErr) && !(status & bus::kEnd));
  }
  ibonl(ud, 0);
  return answer;
}

// A plain TCP client of 127.0.0.1. Connecting and reads give up after 10 s so that a server
// that never answers fails the test instead of hanging it.
class Client {
 public:
  explicit Client(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    timeval limit{10, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
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
                                "--host not-an-address", "--color 1", "--dcsource-port 12x",
                                "--max-clients 0", "--max-clients 1001", "--max-clients many"}) {
    SCOPED_TRACE(arguments);
    const testing::ProcessResult result =
        testing::RunProcess(std::string(VEXA_INSTRUMENT_SIM_PATH) + " --testset-port 0 " +
                            "--dcsource-port 0 " + arguments);
    EXPECT_NE(result.exit_code, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_THAT(result.err, ::testing::HasSubstr("vexa-instrument-sim: "));
  }
}

TEST_F(InstrumentSimTest, AnswersAClientPromptlyWhileManyOthersHoldTheirConnections) {
  ServerProcess server;
  const int port = server.port(kTestSetAddress);
  const std::string idn = GpibAnswer(kTestSetAddress, "*IDN?");
  // Fifty connections held open: idle ones, ones that stopped mid-line, one that was answered;
  // and an idle client of the DC source.
  std::vector<std::unique_ptr<Client>> held;
  for (int i = 0; i < 50; ++i) {
    held.push_back(std::make_unique<Client>(port));
    ASSERT_TRUE(held.back()->connected()) << "connection " << i;
    if (i % 3 == 1) {
      ASSERT_TRUE(held.back()->Send("CALL:MS:"));
    }
  }
  ASSERT_TRUE(held[0]->Send("*IDN?\n"));
  EXPECT_EQ(held[0]->ReadLine(), idn);
  Client idle_dcsource(server.port(kDcSourceAddress));
  ASSERT_TRUE(idle_dcsource.connected());

  Client client(port);
  ASSERT_TRUE(client.connected());
  ASSERT_TRUE(client.Send("*IDN?\nCALL:MS:TXL 9\nCALL:MS:TXL?\n"));
  EXPECT_EQ(client.ReadLine(), idn);
  EXPECT_EQ(client.ReadLine(), "9\n");
  Client dcsource(server.port(kDcSourceAddress));
  ASSERT_TRUE(dcsource.Send("VOLT 3.8;VOLT?\n"));
  EXPECT_EQ(dcsource.ReadLine(), "3.800000E+00\n");
  // The clients share the instrument: one that stopped mid-line finishes its query.
  ASSERT_TRUE(held[1]->Send("TXL?\n"));
  EXPECT_EQ(held[1]->ReadLine(), "9\n");
}

TEST_F(InstrumentSimTest, ClientsTalkingAtOnceEachGetTheAnswersToTheirOwnMessages) {
  ServerProcess server;
  const int port = server.port(kTestSetAddress);
  constexpr int kClients = 4;
  constexpr int kRounds = 100;
  std::vector<int> right(kClients, 0);
  std::vector<std::thread> threads;
  for (int c = 0; c < kClients; ++c) {
    threads.emplace_back([&, c] {
      Client client(port);
      if (!client.connected())
        return;
      // Each message sets a level and asks it back; another client's message in between
      // would change the answer, or take it.
      const std::string level = std::to_string(3 + c);
      for (int i = 0; i < kRounds; ++i) {
        if (!client.Send("CALL:MS:TXL " + level + ";TXL?\n"))
          return;
        const std::optional<std::string> answer = client.ReadLine();
        if (!answer)
          return;
        right[static_cast<std::size_t>(c)] += *answer == level + "\n";
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_THAT(right, ::testing::Each(kRounds));
}

// vexa-cli's console connects for each command: a command sent by a client that has left runs
// before the lines of a client that connected after it, as on a single connection.
TEST_F(InstrumentSimTest, CommandOfAClientThatLeftRunsBeforeTheNextClientsQuery) {
  ServerProcess server;
  Client idle(server.port(kTestSetAddress));  // served meanwhile too
  for (int round = 0; round < 50; ++round) {
    const std::string level = std::to_string(round % 32);  // levels go from 0 to 31
    {
      Client set(server.port(kTestSetAddress));
      ASSERT_TRUE(set.Send("CALL:MS:TXL " + level + "\n"));
    }
    Client ask(server.port(kTestSetAddress));
    ASSERT_TRUE(ask.Send("CALL:MS:TXL?\n"));
    EXPECT_EQ(ask.ReadLine(), level + "\n");
  }
}

TEST_F(InstrumentSimTest, RefusesAClientBeyondTheLimitWithTheReason) {
  ServerProcess server({"--max-clients", "2"});
  const int port = server.port(kDcSourceAddress);
  auto first = std::make_unique<Client>(port);
  Client second(port);
  for (Client* client : {first.get(), &second}) {
    ASSERT_TRUE(client->Send("*OPC?\n"));
    ASSERT_EQ(client->ReadLine(), "1\n");  // being served
  }
  {
    Client third(port);
    EXPECT_EQ(third.ReadLine(),
              "vexa-instrument-sim: the dcsource serves at most 2 clients at once; "
              "connection closed\n");
    EXPECT_EQ(third.ReadLine(), std::nullopt);
  }
  // The limit is per instrument: the test set still takes clients.
  Client testset(server.port(kTestSetAddress));
  ASSERT_TRUE(testset.Send("*OPC?\n"));
  EXPECT_EQ(testset.ReadLine(), "1\n");
  // Once a client has left, its place is free.
  first->FinishSending();
  ASSERT_EQ(first->ReadLine(), std::nullopt);
  first.reset();
  Client next(port);
  ASSERT_TRUE(next.Send("*OPC?\n"));
  EXPECT_EQ(next.ReadLine(), "1\n");
}

// A child process with its standard input and output on pipes; stderr stays the test's.
class PipedProcess {
 public:
  explicit PipedProcess(std::vector<std::string> arguments) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
      return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], STDIN_FILENO);
      dup2(out[1], STDOUT_FILENO);
      for (const int fd : {in[0], in[1], out[0], out[1]})
        close(fd);
      std::vector<char*> argv;
      for (std::string& argument : arguments)
        argv.push_back(argument.data());
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    to_ = fdopen(in[1], "w");
    from_ = fdopen(out[0], "r");
  }
  ~PipedProcess() {
    if (to_)
      std::fclose(to_);
    if (from_)
      std::fclose(from_);
    if (pid_ > 0 && !waited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  PipedProcess(const PipedProcess&) = delete;
  PipedProcess& operator=(const PipedProcess&) = delete;

  // The next line of its output without the LF; nullopt at its end.
  std::optional<std::string> ReadLine() {
    char line[1024];
    if (!from_ || !std::fgets(line, sizeof line, from_))
      return std::nullopt;
    std::string text(line);
    if (!text.empty() && text.back() == '\n')
      text.pop_back();
    return text;
  }
  void WriteLine(const std::string& text) {
    std::fputs((text + "\n").c_str(), to_);
    std::fflush(to_);
  }
  // The exit status once it has ended.
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  bool waited_ = false;
  FILE* to_ = nullptr;
  FILE* from_ = nullptr;
};

// A Python that has PyVISA and its pure-Python backend (Debian's python3-pyvisa and
// python3-pyvisa-py are for /usr/bin/python3), or "" when none has.
std::string PythonWithPyVisa() {
  for (const char* python : {"/usr/bin/python3", "python3"}) {
    const std::string command =
        std::string(python) + " -c 'import pyvisa, pyvisa_py' >/dev/null 2>&1";
    if (std::system(command.c_str()) == 0)
      return python;
  }
  return "";
}

// PyVISA (pyvisa-py's '@py' backend) holds a session on the test set while vexa-cli's console
// talks to the same instrument; each sees what the other set.
TEST_F(InstrumentSimTest, PyVisaSessionAndTheConsoleShareTheInstrument) {
  const std::string python = PythonWithPyVisa();
  if (python.empty())
    GTEST_SKIP() << "python3 cannot import pyvisa and pyvisa_py "
                    "(packages python3-pyvisa, python3-pyvisa-py)";
  ServerProcess server;
  const std::string resource =
      "TCPIP0::127.0.0.1::" + std::to_string(server.port(kTestSetAddress)) + "::SOCKET";
  const char* script =
      "import sys, pyvisa\n"
      "rm = pyvisa.ResourceManager('@py')\n"
      "inst = rm.open_resource(sys.argv[1], read_termination='\\n',\n"
      "                        write_termination='\\n', timeout=10000)\n"
      "print(inst.query('*IDN?'), flush=True)\n"
      "sys.stdin.readline()\n"
      "print(inst.query('CALL:MS:TXL?'), flush=True)\n"
      "inst.write('CALL:MS:TXL 4')\n"
      "print(inst.query('CALL:MS:TXL?'), flush=True)\n"
      "inst.close()\n"
      "rm.close()\n";
  PipedProcess pyvisa({python, "-c", script, resource});
  ASSERT_EQ(pyvisa.ReadLine(), "VEXA Simulator,GSM Test Set,SIM00014,A.02.02");

  // The console, while PyVISA keeps its connection open; run in a scratch folder.
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vexa_sim_pyvisa_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const auto console = [&](const std::string& commands) {
    return testing::RunProcess("cd '" + folder.string() +
                               "' && VEXA_GPIB_LIBRARY=/nonexistent/libgpib.so '" VEXA_CLI_PATH
                               "' console --testset " +
                               resource + " testset " + commands);
  };
  const testing::ProcessResult set = console("\"CALL:MS:TXL 9\" \"CALL:MS:TXL?\"");
  EXPECT_EQ(set.exit_code, 0) << set.err;
  EXPECT_EQ(set.out, "<---CALL:MS:TXL 9\n<---CALL:MS:TXL?\n--->9\n");

  pyvisa.WriteLine("go on");
  EXPECT_EQ(pyvisa.ReadLine(), "9");  // the console's setting
  EXPECT_EQ(pyvisa.ReadLine(), "4");
  EXPECT_EQ(pyvisa.Wait(), 0);
  const testing::ProcessResult after = console("\"CALL:MS:TXL?\"");
  EXPECT_EQ(after.exit_code, 0) << after.err;
  EXPECT_EQ(after.out, "<---CALL:MS:TXL?\n--->4\n");  // PyVISA's setting
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace vexa
