#include "linux/completion_hook.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "linux/service_log.h"

namespace kestova {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// Waits up to 10 s for `path` to exist.
bool AppearsSoon(const std::string& path) {
  for (int i = 0; i < 500 && !Exists(path); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return Exists(path);
}

// A scratch folder with a hook script that records its arguments and KESTOVA_ variables
// in <folder>/<id>.run; for KESTOVA_NAME "hang.MPG" it writes its pid and sleeps.
class CompletionHookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kestova-hook-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    script_ = folder_ + "/hook.sh";
    std::ofstream(script_) << "#!/bin/sh\n"
                              "cd \"$(dirname \"$0\")\"\n"
                              "if [ \"$KESTOVA_NAME\" = hang.MPG ]; then echo $$ > hang.pid; "
                              "exec sleep 60; fi\n"
                              "env | grep '^KESTOVA_' | sort > \"$KESTOVA_ID.tmp\"\n"
                              "echo \"args:$*\" >> \"$KESTOVA_ID.tmp\"\n"
                              "mv \"$KESTOVA_ID.tmp\" \"$KESTOVA_ID.run\"\n"
                              "[ \"$KESTOVA_STATE\" = received ]\n";
    chmod(script_.c_str(), 0755);
    CServiceLog::Instance().SetSink(
        [](const std::string& line, void* context) {
          auto* self = static_cast<CompletionHookTest*>(context);
          std::lock_guard<std::mutex> hold(self->logMutex_);
          self->log_ += line + "\n";
        },
        this);
  }
  void TearDown() override {
    CServiceLog::Instance().SetSink(nullptr, nullptr);
    const std::string pid = ReadFile(folder_ + "/hang.pid");
    if (!pid.empty()) kill(std::atoi(pid.c_str()), SIGKILL);
    std::system(("rm -rf '" + folder_ + "'").c_str());
  }
  std::string Log() {
    std::lock_guard<std::mutex> hold(logMutex_);
    return log_;
  }

  BoardRecord Record(uint64_t id, BoardState state, const std::string& name) {
    BoardRecord record;
    record.id = id;
    record.state = state;
    record.fileName = name;
    record.path = folder_ + "/" + name;
    record.receivedBytes = 1234567;
    record.startedAt = 1000;
    record.endedAt = 1042;
    return record;
  }

  std::string folder_;
  std::string script_;
  std::mutex logMutex_;
  std::string log_;
};

TEST_F(CompletionHookTest, RunsOncePerEndedReceptionWithItsVariables) {
  CCompletionHook hook(script_ + " one  two");
  const std::string evil = "'; touch pwned1; ' $(touch pwned2) `touch pwned3`.MPG";
  BoardRecord announced = Record(1, BoardState::kReceived, "ニュース.MPG");
  announced.announcedBytes = 4096000;
  hook.Run(announced);
  hook.Run(Record(2, BoardState::kInterrupted, evil));
  BoardRecord full = Record(3, BoardState::kWriteFailed, "full.MPG");
  full.reason = "No space left on device";
  hook.Run(full);
  hook.Run(Record(4, BoardState::kCreateFailed, "none.MPG"));  // no file: no run
  hook.Run(Record(5, BoardState::kReceiving, "busy.MPG"));     // not ended: no run
  ASSERT_TRUE(hook.WaitIdle(10000));

  EXPECT_EQ(ReadFile(folder_ + "/1.run"),
            "KESTOVA_BYTES=1234567\nKESTOVA_ERROR=\nKESTOVA_EXPECTED_BYTES=4096000\nKESTOVA_FILE=" + folder_ +
                "/ニュース.MPG\nKESTOVA_ID=1\nKESTOVA_NAME=ニュース.MPG\nKESTOVA_SECONDS=42\n"
                "KESTOVA_STATE=received\nargs:one two\n");
  const std::string second = ReadFile(folder_ + "/2.run");
  EXPECT_NE(second.find("KESTOVA_NAME=" + evil + "\n"), std::string::npos) << second;
  EXPECT_NE(second.find("KESTOVA_STATE=interrupted\n"), std::string::npos);
  EXPECT_NE(second.find("KESTOVA_EXPECTED_BYTES=\n"), std::string::npos);  // none announced
  const std::string third = ReadFile(folder_ + "/3.run");
  EXPECT_NE(third.find("KESTOVA_STATE=write-failed\n"), std::string::npos) << third;
  EXPECT_NE(third.find("KESTOVA_ERROR=No space left on device\n"), std::string::npos) << third;
  EXPECT_FALSE(Exists(folder_ + "/4.run"));
  EXPECT_FALSE(Exists(folder_ + "/5.run"));
  for (const char* pwned : {"pwned1", "pwned2", "pwned3"}) {
    EXPECT_FALSE(Exists(folder_ + "/" + pwned)) << pwned;
    EXPECT_FALSE(Exists(pwned)) << pwned;
  }
  // The script fails for every state but received: each failure is logged.
  const std::string log = Log();
  EXPECT_NE(log.find("#2 " + evil + ": the command ended with status 1"), std::string::npos) << log;
  EXPECT_NE(log.find("#3 full.MPG: the command ended with status 1"), std::string::npos) << log;
  EXPECT_EQ(log.find("#1 "), std::string::npos) << log;
}

TEST_F(CompletionHookTest, AHangingCommandDelaysNeitherRunNorTheNextReception) {
  CCompletionHook hook(script_);
  const auto before = std::chrono::steady_clock::now();
  hook.Run(Record(1, BoardState::kReceived, "hang.MPG"));
  ASSERT_TRUE(AppearsSoon(folder_ + "/hang.pid"));
  hook.Run(Record(2, BoardState::kReceived, "next.MPG"));
  EXPECT_TRUE(AppearsSoon(folder_ + "/2.run"));
  // Well before the hanging command's 60 s.
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(30));
}

TEST_F(CompletionHookTest, RunsBeyondTheLimitWaitInOrderAndAreNeverDropped) {
  CCompletionHook hook(script_, 1);
  hook.Run(Record(1, BoardState::kReceived, "hang.MPG"));
  ASSERT_TRUE(AppearsSoon(folder_ + "/hang.pid"));
  hook.Run(Record(2, BoardState::kReceived, "next.MPG"));
  hook.Run(Record(3, BoardState::kReceived, "last.MPG"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(Exists(folder_ + "/2.run"));
  const std::string log = Log();
  EXPECT_NE(log.find("#2 next.MPG: waits (1 running, 0 waiting before it)"), std::string::npos)
      << log;
  EXPECT_NE(log.find("#3 last.MPG: waits (1 running, 1 waiting before it)"), std::string::npos)
      << log;
  kill(std::atoi(ReadFile(folder_ + "/hang.pid").c_str()), SIGKILL);
  EXPECT_TRUE(AppearsSoon(folder_ + "/2.run"));
  EXPECT_TRUE(AppearsSoon(folder_ + "/3.run"));
}

TEST_F(CompletionHookTest, ACommandThatCannotStartIsLogged) {
  {
    CCompletionHook hook(folder_ + "/missing-program --x");
    hook.Run(Record(9, BoardState::kReceived, "a.MPG"));
    ASSERT_TRUE(hook.WaitIdle(10000));
  }
  // posix_spawnp reports the failed exec itself; under qemu-user the child reports it as
  // status 127. Either way the log says so.
  const std::string log = Log();
  EXPECT_TRUE(log.find("#9 a.MPG: cannot start " + folder_ + "/missing-program") !=
                  std::string::npos ||
              log.find("#9 a.MPG: the command ended with status 127") != std::string::npos)
      << log;
  EXPECT_FALSE(CCompletionHook("  \t ").Enabled());
  EXPECT_EQ(SplitHookCommand(" a  b\tc "), (std::vector<std::string>{"a", "b", "c"}));
}

}  // namespace
}  // namespace kestova
