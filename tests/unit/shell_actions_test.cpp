// The main window's menu work beside the program: folders, documents, Delete Logs.
#include <gtest/gtest.h>

#include "platform/fake/fake_machine.h"
#include "managers/shell_actions.h"

namespace {

const std::string kApp = "C:\\Tools\\BurrowSentry\\";

TEST(ShellActions, FoldersDocumentsAndLogs) {
  platform::fake::Machine machine;
  machine.Install();
  managers::CreateProgramFolders(kApp);
  EXPECT_TRUE(machine.Exists(kApp + "Data") && machine.Exists(kApp + "Logs"));

  // Only what exists is handed to the shell.
  machine.AddFile(kApp + "Readme.txt", "read me");
  EXPECT_TRUE(managers::OpenBesideProgram(kApp, "Readme.txt"));
  EXPECT_FALSE(managers::OpenBesideProgram(kApp, "Eula.rtf"));
  EXPECT_TRUE(managers::OpenBesideProgram(kApp, "Logs\\"));
  const auto& runs = machine.shellUi().shellExecutions;
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].file, kApp + "Readme.txt");
  EXPECT_EQ(runs[0].show, platform::win::kSwShow);

  machine.AddFile(kApp + "Logs\\a.log", "x");
  machine.AddFile(kApp + "Logs\\old\\b.log", "y", platform::win::kFileAttributeReadonly);
  managers::DeleteLogs(kApp);
  EXPECT_TRUE(machine.Exists(kApp + "Logs"));
  EXPECT_FALSE(machine.Exists(kApp + "Logs\\a.log") || machine.Exists(kApp + "Logs\\old"));
  managers::DeleteLogs(kApp);  // empty: nothing happens
  machine.RemoveFile(kApp + "Logs");
  managers::DeleteLogs(kApp);
  EXPECT_FALSE(machine.Exists(kApp + "Logs"));
}

}  // namespace
