// Whom both Windows programs, the installer and the setup's helper, trust,
// without a system header, so that the setup's policy, built and tested on
// every system, reads the very list the installer does (the system's side:
// win32_identity.h).
#ifndef LEVELSET_PLATFORM_WINDOWS_TRUST_H
#define LEVELSET_PLATFORM_WINDOWS_TRUST_H

#include <cstring>

// The accounts trusted besides the user that runs the program, as SIDs in
// the system's text: Administrators, SYSTEM and TrustedInstaller. A link
// one of them owns may lead the installer anywhere; they may change the
// folder the setup installs into.
constexpr const char* kTrustedAccounts[] = {
    "S-1-5-32-544",
    "S-1-5-18",
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
};

// Whether sid is one of them or self, the user that runs the program (null
// when it is not known).
inline bool IsTrustedAccount(const char* sid, const char* self) {
  if (self != nullptr && strcmp(sid, self) == 0) return true;
  for (const char* trusted : kTrustedAccounts) {
    if (strcmp(sid, trusted) == 0) return true;
  }
  return false;
}

#endif
