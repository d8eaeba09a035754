// Registry files as regedit writes them (REGEDIT4 or "Windows Registry Editor Version 5.00"),
// imported into the fake registry.
#pragma once

#include <string>

#include "platform/fake/machine_state.h"

namespace platform::fake {

// Applies the text: [key] makes a key, [-key] removes it with everything below, and a value line
// sets a string, dword:, hex: or hex(n): value or, with "=-", removes it. Lines ending in "\"
// continue on the next; unknown roots and lines are passed over.
void ImportReg(RegistryTree& registry, const std::string& text);

}  // namespace platform::fake
