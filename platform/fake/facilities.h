// The facilities of a fake machine: one object per interface of platform.h, each over the
// machine's shared state. Machine (fake_machine.h) makes them and hands them out as a Backend.
#pragma once

#include <memory>
#include <string>

#include "platform/fake/machine_state.h"

namespace platform::fake {

std::unique_ptr<Registry> MakeRegistry(MachineState& state);      // fake_registry.cpp
std::unique_ptr<FileSystem> MakeFileSystem(MachineState& state);  // fake_files.cpp
std::unique_ptr<System> MakeSystem(MachineState& state);          // fake_system.cpp
std::unique_ptr<Security> MakeSecurity(MachineState& state);      // fake_security.cpp
std::unique_ptr<Processes> MakeProcesses(MachineState& state);    // fake_processes.cpp
std::unique_ptr<Services> MakeServices(MachineState& state);      // fake_services.cpp
std::unique_ptr<Shell> MakeShell(MachineState& state);            // fake_shell_ui.cpp
std::unique_ptr<Clipboard> MakeClipboard(MachineState& state);    // fake_shell_ui.cpp
std::unique_ptr<Ui> MakeUi(MachineState& state);                  // fake_shell_ui.cpp
std::unique_ptr<Threads> MakeThreads(MachineState& state);        // fake_threads.cpp
std::unique_ptr<IpHelper> MakeIpHelper(MachineState& state);      // fake_iphelper.cpp
std::unique_ptr<Internet> MakeInternet(MachineState& state);      // fake_internet.cpp
std::unique_ptr<NativeApi> MakeNativeApi(MachineState& state);    // fake_native.cpp

// Maps a module image into process `pid` and links it at the end of its loader list, making the
// environment block and loader data on first use (fake_process_memory.cpp).
void LinkModule(MachineState& state, uint32_t pid, Address base, std::vector<uint8_t> image,
                const std::string& fullPath);

// The kernel and the companion driver (fake_kernel.cpp); the caller holds the machine's lock.
uint32_t KernelQueryModules(MachineState& state, void* buffer, uint32_t size, uint32_t* returned);
uint32_t KernelLoadDriver(MachineState& state, const std::string& serviceKey);
uint32_t KernelUnloadDriver(MachineState& state, const std::string& serviceKey);
Handle KernelOpenDevice(MachineState& state, const std::string& path);
bool KernelCloseDevice(MachineState& state, Handle device);
uint32_t KernelDeviceControl(MachineState& state, Handle file, IoStatus* ioStatus, uint32_t code, const void* input,
                             uint32_t inputSize, void* output, uint32_t outputSize);
// A file laid out as an image in the own process (MapImageFile, LoadLibraryEx); 0 on failure.
Address MapImage(MachineState& state, const std::string& path, bool library);
bool UnmapImage(MachineState& state, Address base, bool library);

// Waits for every thread the machine started and forgets them (fake_threads.cpp).
void JoinThreads(MachineState& state);

}  // namespace platform::fake
