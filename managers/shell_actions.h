// Shell actions the manager lists share.
#pragma once

#include <string>

namespace managers {

// Opens the folder of `file` (its path up to and including the last "\") with the shell; false
// when the path has no folder or the shell refuses.
bool OpenContainingFolder(const std::string& file);

}  // namespace managers
