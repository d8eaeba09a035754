// Shell actions the manager lists share.
#pragma once

#include <string>

namespace managers {

// A folder that exists on a drive of this machine ("C:\...", on a fixed, removable, CD or RAM drive). A
// share ("\\server\..."), a mapped network drive or a device path is none: the shell would
// reach out over the network for it, or hand it to whatever handles such a name.
bool IsLocalFolder(const std::string& folder);

// Opens the folder of `file` (its path up to and including the last "\") with the shell; false
// when that is not a local folder (IsLocalFolder) or the shell refuses.
bool OpenContainingFolder(const std::string& file);

}  // namespace managers
