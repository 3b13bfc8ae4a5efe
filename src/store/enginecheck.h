#pragma once

// The database engine's part of the provider check at start-up: raises "Provider cannot be
// found" when the engine here is missing or too old for what the program does. The check
// itself, which tells the user, is the record window's (record/providercheck.h).
void checkEngine();
