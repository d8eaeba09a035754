// The update check over the fake web: the request, the four results and what the user is told,
// the time limit, and a late answer that must not reach a later check.
#include <gtest/gtest.h>

#include <atomic>

#include "inspect/lang.h"
#include "platform/fake/fake_machine.h"
#include "scan/update_check.h"

namespace {

using platform::fake::HttpAnswer;
using platform::fake::Machine;
namespace win = platform::win;

const std::string kUrl = "http://update.orvatek.com/updates/burrowsentry/version.ini";

struct TPrompts : inspect::TPrompter {
  std::vector<std::string> texts;
  int answer = win::kIdNo;
  int Prompt(const std::string& text, const std::string& caption, uint32_t) override {
    texts.push_back(caption + ": " + text);
    return answer;
  }
};

class UpdateCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.Install();
    inspect::ClearLngTable();
    inspect::FillDefaultTexts();
  }
  void TearDown() override { inspect::ClearLngTable(); }
  void Serve(const std::string& status, const std::string& body) {
    auto answer = std::make_shared<HttpAnswer>();
    answer->status = status;
    answer->body = body;
    machine.internet().answers[kUrl] = answer;
  }
  Machine machine;
  scan::TUpdateCheck checker;  // after the machine: its late workers end before the machine goes
};

TEST_F(UpdateCheck, ResultsAndMessages) {
  struct Case {
    const char* name;
    const char* status;
    std::string body;
    bool listening;
    const char* result;
    const char* told;
  };
  const Case cases[] = {
      {"same version", "200", "[Update]\r\nVersion=1.8.4.0\r\n", true, "", "Info: No new version available."},
      {"newer", "200", "Version=1.8.5.0", true, "y", "Info: A new version of Burrow Sentry is available for download.\r\n"
                                                     "Do you want to visit the homepage to download the new version ?"},
      {"older is also announced", "200", "Version=1.8.3.0", true, "y", nullptr},
      {"only seven characters count", "200", "Version=1.8.4.0.1", true, "", "Info: No new version available."},
      {"short body", "200", "Version=1.9", true, "y", nullptr},
      {"no version", "200", "hello", true, "", "Info: No new version available."},
      {"version past the first block", "200", std::string(3000, ' ') + "Version=2.0.0.0", true, "y", nullptr},
      {"version past the 4 KB read", "200", std::string(4096, ' ') + "Version=2.0.0.0", true, "",
       "Info: No new version available."},
      {"not found", "404", "Version=9.9.9.9", true, "error2", "Error: Error downloading data... Please retry later."},
      {"redirect", "302", "", true, "error2", nullptr},
      {"nothing listening", "200", "", false, "error",
       "Error: Error downloading data... Please check you are connected to Internet."},
  };
  for (const Case& c : cases) {
    if (c.listening) {
      Serve(c.status, c.body);
    } else {
      machine.internet().answers.clear();
    }
    TPrompts prompts;
    EXPECT_EQ(checker.CheckAndWait(kUrl, true, prompts), c.result) << c.name;
    ASSERT_EQ(prompts.texts.size(), 1u) << c.name;
    if (c.told) {
      EXPECT_EQ(prompts.texts[0], c.told) << c.name;
    }
    EXPECT_FALSE(checker.Running());
  }
  const auto& requests = machine.internet().requests;
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests[0].flags, win::kInternetFlagReload | win::kInternetFlagNoCacheWrite |
                                   win::kInternetFlagNoAutoRedirect);
  EXPECT_EQ(machine.internet().userAgents[0], "Orvatek Update Check");
  for (uint32_t size : machine.internet().readSizes) EXPECT_LE(size, 1024u);
}

// A server that sends without end: four blocks are read, then the request is closed.
TEST_F(UpdateCheck, AnEndlessAnswerIsReadOnlyToItsCap) {
  Serve("200", std::string(1 << 20, 'x'));
  EXPECT_EQ(scan::RequestUpdateVersion(kUrl, "1.8.4.0"), "");
  EXPECT_EQ(machine.internet().readSizes.size(), 4u);
  EXPECT_EQ(machine.internet().openHandles, 0);
}

TEST_F(UpdateCheck, YesOpensTheHomePageAndTheQuietModeTellsOnlyNews) {
  Serve("200", "Version=1.9.0.0");
  TPrompts yes;
  yes.answer = win::kIdYes;
  checker.CheckAndWait(kUrl, true, yes);
  ASSERT_EQ(machine.shellUi().shellExecutions.size(), 1u);
  EXPECT_EQ(machine.shellUi().shellExecutions[0].verb, "open");

  Serve("404", "");
  TPrompts quiet;
  EXPECT_EQ(checker.CheckAndWait(kUrl, false, quiet), "error2");
  EXPECT_TRUE(quiet.texts.empty());
}

TEST_F(UpdateCheck, ASlowServerIsNoNewsAndItsLateAnswerReachesNoLaterCheck) {
  Serve("200", "Version=1.9.0.0");
  auto held = std::make_shared<std::atomic<bool>>(false);
  machine.internet().answers[kUrl]->held = held;
  machine.system().tickStep = 500;  // the clock runs ahead of the real passes
  TPrompts prompts;
  EXPECT_EQ(checker.CheckAndWait(kUrl, true, prompts), "");
  EXPECT_EQ(prompts.texts, (std::vector<std::string>{"Info: No new version available."}));
  EXPECT_FALSE(checker.Running());

  // The next check starts while the first worker still waits; then the first one answers.
  Serve("200", "Version=1.8.4.0");
  TPrompts second;
  EXPECT_EQ(checker.CheckAndWait(kUrl, true, second), "");
  *held = true;
  machine.system().tickStep = 0;
  EXPECT_EQ(second.texts, (std::vector<std::string>{"Info: No new version available."}));
  // The late worker finishes before the machine goes.
  for (int i = 0; i < 5000 && machine.internet().openHandles > 0; ++i) platform::Sys().Sleep(1, false);
  EXPECT_EQ(machine.internet().openHandles, 0);
}

TEST_F(UpdateCheck, AThreadThatCannotStartIsTold) {
  machine.threads().creationFails = true;
  TPrompts prompts;
  EXPECT_EQ(checker.CheckAndWait(kUrl, true, prompts), "");
  EXPECT_EQ(prompts.texts, (std::vector<std::string>{"Warning: ERROR #6 : Cannot create thread."}));
  EXPECT_FALSE(checker.Running());
}

TEST_F(UpdateCheck, TheServerKeyReplacesOurHost) {
  const std::string ini = "C:\\Tools\\BurrowSentry\\Data\\Options.ini";
  EXPECT_EQ(scan::UpdateUrl("C:\\Tools\\BurrowSentry\\"), kUrl);
  machine.AddFile(ini, "[Options]\r\nUpdateServer= 127.0.0.1:8080 \r\n");
  EXPECT_EQ(scan::UpdateUrl("C:\\Tools\\BurrowSentry\\"),
            "http://127.0.0.1:8080/updates/burrowsentry/version.ini");
}

}  // namespace
