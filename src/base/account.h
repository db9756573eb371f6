// The host's account record and the record of the export in progress.
#pragma once

#include "wqrt.h"

namespace wq {

// Empties the three strings and sets the other fields to their defaults (timeout 30, port 143).
void ResetAccountSettings(AccountSettings& account);

// The record of the export in progress; not owned. Set by every export that reaches the server
// before it connects, and left in place until the next export replaces it.
AccountSettings* CurrentAccount();
void SetCurrentAccount(AccountSettings* account);

// A record's text field as a string (a null pointer reads as empty).
inline const char* AccountText(const char* field) {
    return field ? field : "";
}

}  // namespace wq
