// A small in-memory Windows machine for tests. Build a scenario through its methods (keys,
// values, files, processes, services) and through the facts and records of each facility
// (machine.system().version = ..., machine.shellUi().messageBoxes), then Install() it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/fake/machine_state.h"
#include "platform/platform.h"

namespace platform::fake {

class Machine {
 public:
  // A Windows XP SP3 machine on C:\ with the usual folders, the executable in
  // C:\Tools\BurrowSentry\, and an empty registry apart from the roots.
  Machine();
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  Backend backend();
  // Installs this machine as the process-wide backend (and restores the previous one on destruction).
  void Install();

  // --- registry -------------------------------------------------------------------------
  void CreateKey(RegKey root, const std::string& path);
  void SetValue(RegKey root, const std::string& path, const std::string& name, uint32_t type,
                std::vector<uint8_t> data);
  // As RegSetValueExW stores it: string data in UTF-16, read back in the code page by the ...A calls.
  void SetValueW(RegKey root, const std::string& path, const std::string& name, uint32_t type,
                 std::vector<uint8_t> data);
  void SetString(RegKey root, const std::string& path, const std::string& name, const std::string& text,
                 uint32_t type = win::kRegSz);  // stored with its NUL
  void SetDword(RegKey root, const std::string& path, const std::string& name, uint32_t value);
  bool KeyExists(RegKey root, const std::string& path);
  std::optional<RegValue> GetValue(RegKey root, const std::string& path, const std::string& name);
  // A registry link at `path` (made with its parent keys) that leads to the key at `targetPath`
  // (made too); it holds the REG_LINK value "SymbolicLinkValue", as Windows keeps one.
  void CreateLink(RegKey root, const std::string& path, RegKey targetRoot, const std::string& targetPath);
  // Keys that refuse to open (access denied), by root and path.
  void DenyKey(RegKey root, const std::string& path);
  // Imports regedit text (reg_import.h).
  void ImportReg(const std::string& text);

  // --- files ----------------------------------------------------------------------------
  void AddFolder(const std::string& path);
  // Creates the file and every missing folder above it.
  FakeFile& AddFile(const std::string& path, const std::string& contents = "",
                    uint32_t attributes = win::kFileAttributeArchive);
  bool Exists(const std::string& path);
  FakeFile* File(const std::string& path);
  std::string Contents(const std::string& path);
  void RemoveFile(const std::string& path);
  // Gives an existing file an 8.3 name besides its name; the file opens by either.
  void SetShortName(const std::string& path, const std::string& shortName);
  // Folders whose creation fails (as on a read-only medium).
  void DenyCreate(const std::string& folderPrefix);

  // --- processes and services -----------------------------------------------------------
  FakeProcess& AddProcess(uint32_t pid, const std::string& exePath, std::vector<std::string> modules = {});
  FakeService& AddService(const std::string& name, const std::string& displayName, uint32_t serviceType,
                          uint32_t currentState, const std::string& binaryPath);

  // --- process memory (fake_process_memory.cpp) -----------------------------------------
  // Maps `bytes` at `base` in the process `pid` as one region of its own allocation.
  void MapMemory(uint32_t pid, Address base, std::vector<uint8_t> bytes, uint32_t state = nt::kMemCommit);
  // Maps a module image and links it at the end of the process's loader list, making the
  // process's environment block and loader data on first use.
  void LoadModule(uint32_t pid, Address base, std::vector<uint8_t> image, const std::string& fullPath);
  // What LoadLibraryA of `fileName` maps into the own process.
  void AddLoadableLibrary(const std::string& fileName, Address base, std::vector<uint8_t> image,
                          const std::string& fullPath);
  AddressSpace& Memory(uint32_t pid) { return state_.native.spaces[pid]; }

  // --- facts and records of each facility -----------------------------------------------
  SystemState& system() { return state_.system; }
  SecurityState& security() { return state_.security; }
  ProcessState& processes() { return state_.processes; }
  ServiceState& services() { return state_.services; }
  ThreadState& threads() { return state_.threads; }
  ShellUiState& shellUi() { return state_.shellUi; }
  IpHelperState& ipHelper() { return state_.ipHelper; }
  InternetState& internet() { return state_.internet; }
  NativeState& native() { return state_.native; }
  KernelState& kernel() { return state_.kernel; }
  // Images mapped into the own process and not released yet.
  size_t MappedImageCount();

 private:
  struct Facilities;

  MachineState state_;
  std::unique_ptr<Facilities> facilities_;  // after state_: they hold references to it
  Backend previous_;
  bool installed_ = false;
};

}  // namespace platform::fake
