// A harmless stand-in for an injected library: it exports one function and does nothing when
// loaded. sample_payload.exe loads it from a folder outside the Windows folder.
extern "C" __declspec(dllexport) int SampleHookVersion() { return 1; }
