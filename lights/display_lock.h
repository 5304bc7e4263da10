// The short lock that guards DisplayState: the listener's update against the
// painter's copy. One file per platform: a Win32 critical section for the
// Windows program (it must load where the C++ thread library's calls do not
// exist), std::mutex elsewhere.
#pragma once

void DisplayLockEnter();
void DisplayLockLeave();

// Holds the lock for a scope.
class DisplayLockHold {
 public:
  DisplayLockHold() { DisplayLockEnter(); }
  ~DisplayLockHold() { DisplayLockLeave(); }
  DisplayLockHold(const DisplayLockHold&) = delete;
  DisplayLockHold& operator=(const DisplayLockHold&) = delete;
};
