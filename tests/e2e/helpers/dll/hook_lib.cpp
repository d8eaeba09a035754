// The library hooks lead into: one function and one pointer cell, which an FF 25 jump reads.
extern "C" __declspec(dllexport) int HookTarget() { return 0; }
extern "C" __declspec(dllexport) void* HookCell = reinterpret_cast<void*>(&HookTarget);
