// Contract-test support: runs one test body over the fake machine and, in the win32 build,
// over the real backend, each with its own scratch registry key and folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/fake/fake_machine.h"
#include "platform/platform.h"

namespace bs_test {

enum class BackendKind { Fake, Win32 };

// The fake always; the real backend too when the tests are built with BS_WIN32_BACKEND.
std::vector<BackendKind> ContractBackends();
// The same for what only a 32-bit process does (the native layer, the driver client): Windows
// only in the i686 build.
std::vector<BackendKind> ContractBackends32();
std::string BackendName(const testing::TestParamInfo<BackendKind>& info);
void PrintTo(BackendKind kind, std::ostream* out);

// Installs a backend for its lifetime and makes a scratch area on it: the empty key
// HKEY_CURRENT_USER\Software\BurrowSentryTests\<unique> and a new folder in the temp folder.
// Both are removed, and the previous backend reinstalled, on destruction.
class BackendScratch {
 public:
  static constexpr platform::RegKey kRoot = platform::kHkeyCurrentUser;

  explicit BackendScratch(BackendKind kind);
  ~BackendScratch();
  BackendScratch(const BackendScratch&) = delete;
  BackendScratch& operator=(const BackendScratch&) = delete;

  BackendKind kind() const { return kind_; }
  platform::fake::Machine* machine() { return machine_.get(); }  // null for the real backend
  const std::string& keyPath() const { return keyPath_; }
  const std::string& folder() const { return folder_; }  // no trailing backslash
  std::string KeyOf(const std::string& relative) const { return keyPath_ + "\\" + relative; }
  std::string PathOf(const std::string& relative) const { return folder_ + "\\" + relative; }

 private:
  BackendKind kind_;
  std::unique_ptr<platform::fake::Machine> machine_;
  platform::Backend previous_;
  std::string keyPath_;
  std::string folder_;
};

// Holds a file open without sharing, as another process would, until destroyed: the real
// backend opens it with share mode 0; the fake marks it locked.
class ExclusiveHold {
 public:
  ExclusiveHold(BackendScratch& scratch, const std::string& path);
  ~ExclusiveHold();
  ExclusiveHold(const ExclusiveHold&) = delete;
  ExclusiveHold& operator=(const ExclusiveHold&) = delete;
  bool held() const { return held_; }

 private:
  BackendScratch& scratch_;
  std::string path_;
  platform::Handle handle_ = platform::kInvalidHandle;
  bool held_ = false;
};

// Whole-file helpers over the installed backend.
bool WriteWholeFile(const std::string& path, const std::string& contents);
std::optional<std::string> ReadWholeFile(const std::string& path);
// Removes a folder with everything in it (read-only files too); true when it is gone.
bool DeleteTree(const std::string& folder);
// Removes a registry key with all its subkeys; true when it is gone.
bool DeleteKeyTree(platform::RegKey root, const std::string& path);

// Base of the value-parameterized contract tests: a fresh scratch per test.
class ContractTest : public testing::TestWithParam<BackendKind> {
 protected:
  void SetUp() override { scratch_ = std::make_unique<BackendScratch>(GetParam()); }
  void TearDown() override { scratch_.reset(); }
  BackendScratch& scratch() { return *scratch_; }

 private:
  std::unique_ptr<BackendScratch> scratch_;
};

}  // namespace bs_test
