// Whole-file saves: what reaches the disk before the replacing rename, and that the target is
// never gone or cut short on the way, for the saves that go through the replacing writer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inspect/save_file.h"
#include "platform/fake/fake_machine.h"
#include "scan/settings.h"
#include "tests/support/forwarding_file_system.h"

namespace {

namespace win = platform::win;

// Records every call that changes a file, and after each whether the target holds the old or
// the new text in full.
class SaveRecorder : public bs_test::ForwardingFileSystem {
 public:
  SaveRecorder(platform::fake::Machine& machine, std::string target, std::string before, std::string after)
      : machine_(machine), target_(std::move(target)), before_(std::move(before)), after_(std::move(after)) {}

  Handle CreateFile(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition,
                    uint32_t attributes) override {
    const Handle file = ForwardingFileSystem::CreateFile(path, access, share, disposition, attributes);
    if (access & win::kGenericWrite) Note("create " + path);
    return file;
  }
  bool WriteFile(Handle file, const void* buffer, uint32_t size, uint32_t* written) override {
    const bool ok = ForwardingFileSystem::WriteFile(file, buffer, size, written);
    Note("write");
    return ok;
  }
  bool FlushFileBuffers(Handle file) override {
    const bool ok = ForwardingFileSystem::FlushFileBuffers(file);
    Note("flush");
    return ok;
  }
  bool MoveFileEx(const std::string& from, const std::string& to, uint32_t flags) override {
    const bool ok = ForwardingFileSystem::MoveFileEx(from, to, flags);
    Note("move " + to);
    return ok;
  }
  bool DeleteFile(const std::string& path) override {
    const bool ok = ForwardingFileSystem::DeleteFile(path);
    Note("delete " + path);
    return ok;
  }

  std::vector<std::string> calls;
  bool targetAlwaysWhole = true;

 private:
  void Note(const std::string& call) {
    calls.push_back(call);
    const std::string now = machine_.Exists(target_) ? machine_.Contents(target_) : "<gone>";
    if (now != before_ && now != after_) {
      targetAlwaysWhole = false;
      ADD_FAILURE() << "after '" << call << "' the target holds '" << now << "'";
    }
  }

  platform::fake::Machine& machine_;
  std::string target_, before_, after_;
};

size_t IndexOf(const std::vector<std::string>& calls, const std::string& call, bool last = false) {
  size_t found = calls.size();
  for (size_t i = 0; i < calls.size(); ++i) {
    if (calls[i] == call) {
      found = i;
      if (!last) break;
    }
  }
  return found;
}

TEST(SaveFileReplacing, FlushesTheNewTextBeforeTheRenameAndNeverCutsTheTarget) {
  platform::fake::Machine m;
  m.Install();
  const std::string target = "C:\\Tools\\BurrowSentry\\hosts";
  m.AddFile(target, "old text");
  SaveRecorder recorder(m, target, "old text", "new text");
  recorder.Install();
  ASSERT_EQ(inspect::SaveFileReplacing(target, "new text"), 0u);
  EXPECT_EQ(m.Contents(target), "new text");
  const auto& calls = recorder.calls;
  const size_t lastWrite = IndexOf(calls, "write", true), flush = IndexOf(calls, "flush"),
               move = IndexOf(calls, "move " + target);
  ASSERT_LT(move, calls.size()) << testing::PrintToString(calls);
  EXPECT_LT(lastWrite, flush) << testing::PrintToString(calls);
  EXPECT_LT(flush, move) << testing::PrintToString(calls);
  EXPECT_TRUE(recorder.targetAlwaysWhole);
}

// The list files of the Settings page: the old list stays whole until the new one replaces it.
TEST(SaveFileReplacing, SettingsListFilesAreReplacedNeverTruncatedInPlace) {
  platform::fake::Machine m;
  m.Install();
  const std::string app = "C:\\Tools\\BurrowSentry\\";
  const std::string list = app + "Data\\exelist.txt";
  m.AddFile(app + "Data\\Options.ini", "");
  m.AddFile(list, "C:\\old\\\r\n");
  SaveRecorder recorder(m, list, "C:\\old\\\r\n", "C:\\new\\\r\n");
  recorder.Install();
  scan::TSettings settings;
  settings.ExeLister = {"C:\\new\\"};
  scan::SaveSettings(app, settings);
  EXPECT_EQ(m.Contents(list), "C:\\new\\\r\n");
  EXPECT_EQ(IndexOf(recorder.calls, "create " + list), recorder.calls.size()) << "the list was opened for writing in place";
  EXPECT_LT(IndexOf(recorder.calls, "move " + list), recorder.calls.size());
  EXPECT_TRUE(recorder.targetAlwaysWhole);
}

}  // namespace
