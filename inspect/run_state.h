// What the window is busy with: owned by the window, handed to the scan and the Restorer so that
// neither starts while the other runs. Read and written on the window's thread only.
#pragma once

namespace inspect {

struct TRunState {
  bool scanning = false;   // from the press of "Scan PC" until its end has been taken
  bool repairing = false;  // from the Restorer's guard until its last message is answered
};

}  // namespace inspect
