// The Windows Tools menu and the power commands over the fake. The power questions are answered
// Yes only here, where ExitWindowsEx is the fake's record.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "inspect/lang.h"
#include "managers/windows_tools.h"
#include "platform/fake/fake_machine.h"

namespace {

namespace win = platform::win;
using platform::fake::Machine;

struct TAnswering : inspect::TPrompter {
  int answer = win::kIdNo;
  std::vector<std::string> asked;
  int Prompt(const std::string& text, const std::string& caption, uint32_t flags) override {
    asked.push_back(text + "|" + caption + "|" + std::to_string(flags));
    return answer;
  }
};

size_t IndexOf(const std::string& component) {
  const auto& tools = managers::WindowsTools();
  for (size_t i = 0; i < tools.size(); ++i) {
    if (component == tools[i].component) return i;
  }
  ADD_FAILURE() << "no entry " << component;
  return tools.size();
}

class WindowsTools : public ::testing::Test {
 protected:
  void SetUp() override {
    m.Install();
    inspect::ClearLngTable();
  }
  Machine m;
};

TEST_F(WindowsTools, EntriesAreEnabledByTheFilesThatExist) {
  for (const char* file : {"cmd.exe", "netstat.exe", "taskmgr.exe", "services.msc"}) {
    m.AddFile(std::string("C:\\WINDOWS\\system32\\") + file);
  }
  m.AddFile("C:\\WINDOWS\\regedit.exe");
  m.AddFile("C:\\WINDOWS\\pchealth\\helpctr\\binaries\\msconfig.exe");
  m.AddFile("C:\\WINDOWS\\driverquery.exe");  // in the wrong folder

  const auto enabled = managers::EnabledWindowsTools();
  std::vector<std::string> on;
  for (size_t i = 0; i < enabled.size(); ++i) {
    if (enabled[i]) on.push_back(managers::WindowsTools()[i].component);
  }
  EXPECT_EQ(on, (std::vector<std::string>{"DOSPrompt1", "Netstatnetstatexe1", "RegistryEditor1", "ServicesManager1",
                                          "WindowsTaskmanager1", "SystemConfigurationUtility1"}));

  // Files that come later wait for the next start: the enabling is a reading of the moment.
  m.AddFile("C:\\WINDOWS\\system32\\mrt.exe");
  EXPECT_FALSE(enabled[IndexOf("MicrosoftMaliciousSoftwareRemovalTool1")]);
  EXPECT_TRUE(managers::EnabledWindowsTools()[IndexOf("MicrosoftMaliciousSoftwareRemovalTool1")]);
}

TEST_F(WindowsTools, CommandWindowEntriesNeedBothFiles) {
  struct Case {
    std::vector<const char*> files;  // of the system folder
    const char* component;
    bool enabled;
  };
  const Case cases[] = {
      {{"driverquery.exe"}, "DriverQuery1", false},
      {{"cmd.exe", "driverquery.exe"}, "DriverQuery1", true},
      {{"netstat.exe"}, "Netstatnetstatexe1", false},
      {{"cmd.exe"}, "Netstatnetstatexe1", false},
  };
  for (const Case& c : cases) {
    Machine fresh;
    fresh.Install();
    for (const char* file : c.files) fresh.AddFile(std::string("C:\\WINDOWS\\system32\\") + file);
    EXPECT_EQ(managers::EnabledWindowsTools()[IndexOf(c.component)], c.enabled) << c.component << " " << c.files.size();
  }
}

TEST_F(WindowsTools, MenuHoldsEightSecurityEntriesThenElevenUtilities) {
  const auto& tools = managers::WindowsTools();
  for (size_t i = 0; i < tools.size(); ++i) {
    EXPECT_EQ(tools[i].menu, i < 8 ? managers::TToolMenu::Security : managers::TToolMenu::Utilities) << i;
  }
}

TEST_F(WindowsTools, EntriesStartTheirProgram) {
  struct Case {
    const char* component;
    const char* file;
    const char* parameters;
  };
  const Case cases[] = {
      {"DriverQuery1", "C:\\WINDOWS\\system32\\cmd.exe", "/k \"C:\\WINDOWS\\system32\\driverquery.exe\""},
      {"Netstatnetstatexe1", "C:\\WINDOWS\\system32\\cmd.exe", "/k \"C:\\WINDOWS\\system32\\netstat.exe\""},
      {"RegistryEditor1", "C:\\WINDOWS\\regedit.exe", ""},
      {"SystemConfigurationUtility1", "C:\\WINDOWS\\pchealth\\helpctr\\binaries\\msconfig.exe", ""},
      {"WindowsCleanDiskManager1", "C:\\WINDOWS\\system32\\cleanmgr.exe", ""},
  };
  for (const Case& c : cases) {
    m.shellUi().shellExecutions.clear();
    managers::StartWindowsTool(IndexOf(c.component));
    ASSERT_EQ(m.shellUi().shellExecutions.size(), 1u) << c.component;
    const auto& run = m.shellUi().shellExecutions[0];
    EXPECT_EQ(run.verb, "open");
    EXPECT_EQ(run.file, c.file);
    EXPECT_EQ(run.parameters, c.parameters);
    EXPECT_EQ(run.directory, "");
    EXPECT_EQ(run.show, win::kSwShow);
  }
}

TEST_F(WindowsTools, RunStartsTheChosenFileAndACancelStartsNothing) {
  inspect::SetLng(226, "Run a program");
  EXPECT_EQ(managers::RunDialogTitle(), "Run a program");
  managers::RunChosenFile("");
  EXPECT_TRUE(m.shellUi().shellExecutions.empty());
  managers::RunChosenFile("C:\\tools\\chosen.exe");
  ASSERT_EQ(m.shellUi().shellExecutions.size(), 1u);
  EXPECT_EQ(m.shellUi().shellExecutions[0].file, "C:\\tools\\chosen.exe");
}

TEST_F(WindowsTools, PowerQuestionsEndWindowsOnlyOnYes) {
  struct Case {
    bool (*command)(inspect::TPrompter&, const std::function<void()>&);
    const char* question;
    uint32_t flags;
  };
  const Case cases[] = {
      {managers::AskAndReboot, "Do you want to reboot the system ?", 6},
      {managers::AskAndShutdown, "Do you want to shutdown the system ?", 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.question);
    m.system().exitWindowsCalls.clear();
    int saved = 0;
    std::vector<uint32_t> exitCallsWhenSaved{99};
    const auto save = [&] {
      ++saved;
      exitCallsWhenSaved = m.system().exitWindowsCalls;
    };
    TAnswering no;
    EXPECT_FALSE(c.command(no, save));
    EXPECT_EQ(no.asked, std::vector<std::string>{std::string(c.question) + "|Info|" +
                                                 std::to_string(win::kMbYesNo | win::kMbIconInformation | win::kMbTopmost)});
    EXPECT_TRUE(m.system().exitWindowsCalls.empty());
    EXPECT_EQ(saved, 0);

    // A forced end closes nothing: the settings are saved first.
    TAnswering yes;
    yes.answer = win::kIdYes;
    EXPECT_TRUE(c.command(yes, save));
    EXPECT_EQ(m.system().exitWindowsCalls, std::vector<uint32_t>{c.flags});
    EXPECT_EQ(saved, 1);
    EXPECT_TRUE(exitCallsWhenSaved.empty());
  }
  EXPECT_NE(std::find(m.security().enabledPrivileges.begin(), m.security().enabledPrivileges.end(), "SeShutdownPrivilege"),
            m.security().enabledPrivileges.end());
}

}  // namespace
