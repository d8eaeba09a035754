// Plants user-mode hooks in its own process, the way injected code does, then waits; the
// end-to-end test runs it as explorer.exe from the Windows folder for bsscan to find.
//
//   hook_shell.exe SECONDS DLL clean           loads the DLL, plants nothing
//   hook_shell.exe SECONDS DLL all             the DLL is hook_lib.dll: every kind, see below
//   hook_shell.exe SECONDS DLL inline EXPORT   one E9 jump from kernel32!Beep to the DLL's EXPORT
//
// "all" plants, in kernel32: an E9 jump (Beep), a push/ret pair (WinExec) and an FF 25 jump
// through HookCell (MulDiv) into the DLL; an E9 jump that stays inside kernel32 (_lopen); the
// export-table entry of GetAtomNameA moved onto HookTarget; and the import-table entry of this
// program for GetComputerNameA pointed at HookTarget. It prints "ready" once they are in.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool Patch(void* at, const void* bytes, size_t size) {
  DWORD old = 0;
  if (!VirtualProtect(at, size, PAGE_EXECUTE_READWRITE, &old)) return false;
  std::memcpy(at, bytes, size);
  VirtualProtect(at, size, old, &old);
  FlushInstructionCache(GetCurrentProcess(), at, size);
  return true;
}

bool Opening(HMODULE module, const char* name, unsigned char first, DWORD operand, const unsigned char* tail,
             size_t tailSize) {
  auto* at = reinterpret_cast<unsigned char*>(GetProcAddress(module, name));
  if (!at) return false;
  unsigned char bytes[8] = {first};
  std::memcpy(bytes + 1, &operand, 4);
  if (tailSize) std::memcpy(bytes + 5, tail, tailSize);
  return Patch(at, bytes, 5 + tailSize);
}

bool Jump(HMODULE module, const char* name, const void* target) {
  const auto at = reinterpret_cast<DWORD>(GetProcAddress(module, name));
  return at && Opening(module, name, 0xE9, reinterpret_cast<DWORD>(target) - (at + 5), nullptr, 0);
}

IMAGE_NT_HEADERS* Headers(HMODULE module) {
  auto* base = reinterpret_cast<unsigned char*>(module);
  return reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
}

// The export-table entry of `name` now leads to `target`: its relative address wraps past the image.
bool MoveExport(HMODULE module, const char* name, const void* target) {
  auto* base = reinterpret_cast<unsigned char*>(module);
  const IMAGE_DATA_DIRECTORY& entry = Headers(module)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  auto* dir = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
  auto* names = reinterpret_cast<DWORD*>(base + dir->AddressOfNames);
  auto* ordinals = reinterpret_cast<WORD*>(base + dir->AddressOfNameOrdinals);
  auto* functions = reinterpret_cast<DWORD*>(base + dir->AddressOfFunctions);
  for (DWORD i = 0; i < dir->NumberOfNames; ++i) {
    if (std::strcmp(reinterpret_cast<char*>(base + names[i]), name) != 0) continue;
    const DWORD rva = reinterpret_cast<DWORD>(target) - reinterpret_cast<DWORD>(base);
    return Patch(&functions[ordinals[i]], &rva, sizeof rva);
  }
  return false;
}

// The import-table entry of this program for `module`!`name` now holds `target`.
bool MoveImport(const char* module, const char* name, const void* target) {
  auto* base = reinterpret_cast<unsigned char*>(GetModuleHandleA(nullptr));
  const IMAGE_DATA_DIRECTORY& entry =
      Headers(GetModuleHandleA(nullptr))->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + entry.VirtualAddress); d->Name; ++d) {
    if (lstrcmpiA(reinterpret_cast<char*>(base + d->Name), module) != 0 || !d->OriginalFirstThunk) continue;
    auto* lookup = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* iat = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; lookup->u1.AddressOfData; ++lookup, ++iat) {
      if (IMAGE_SNAP_BY_ORDINAL(lookup->u1.Ordinal)) continue;
      auto* hintName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + lookup->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char*>(hintName->Name), name) != 0) continue;
      const DWORD value = reinterpret_cast<DWORD>(target);
      return Patch(&iat->u1.Function, &value, sizeof value);
    }
  }
  return false;
}

bool PlantAll(HMODULE dll) {
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  void* target = reinterpret_cast<void*>(GetProcAddress(dll, "HookTarget"));
  void* cell = reinterpret_cast<void*>(GetProcAddress(dll, "HookCell"));
  if (!kernel32 || !target || !cell) return false;
  const unsigned char ret[] = {0xC3};
  const DWORD cellAddress = reinterpret_cast<DWORD>(cell);
  // FF 25 <cell>: the opening byte, then 25 and the cell's address.
  unsigned char indirect[6] = {0xFF, 0x25};
  std::memcpy(indirect + 2, &cellAddress, 4);
  auto* mulDiv = reinterpret_cast<void*>(GetProcAddress(kernel32, "MulDiv"));
  return Jump(kernel32, "Beep", target) &&
         Opening(kernel32, "WinExec", 0x68, reinterpret_cast<DWORD>(target), ret, sizeof ret) &&
         mulDiv && Patch(mulDiv, indirect, sizeof indirect) &&
         Jump(kernel32, "_lopen", reinterpret_cast<unsigned char*>(kernel32) + 0x1000) &&
         MoveExport(kernel32, "GetAtomNameA", target) && MoveImport("kernel32.dll", "GetComputerNameA", target);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: hook_shell SECONDS DLL clean|all|inline EXPORT\n");
    return 2;
  }
  // Keeps the import of GetComputerNameA that "all" moves.
  char computer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = sizeof computer;
  GetComputerNameA(computer, &size);
  HMODULE dll = LoadLibraryA(argv[2]);
  if (!dll) {
    std::fprintf(stderr, "hook_shell: cannot load %s (error %lu)\n", argv[2], GetLastError());
    return 2;
  }
  const char* mode = argv[3];
  bool planted = true;
  if (std::strcmp(mode, "all") == 0) {
    planted = PlantAll(dll);
  } else if (std::strcmp(mode, "inline") == 0) {
    const FARPROC target = argc > 4 ? GetProcAddress(dll, argv[4]) : nullptr;
    planted = target && Jump(GetModuleHandleA("kernel32.dll"), "Beep", reinterpret_cast<void*>(target));
  } else if (std::strcmp(mode, "clean") != 0) {
    planted = false;
  }
  if (!planted) {
    std::fprintf(stderr, "hook_shell: %s: not planted\n", mode);
    return 3;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(std::atoi(argv[1])) * 1000);
  return 0;
}
