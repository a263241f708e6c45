#pragma once

// Looks up a "vvvv:pppp" USB id (lower-case hex) among the known USB-to-serial
// adapters, falling back to "<vendor> serial" when only the vendor is known.
// A key that is not exactly 9 characters long, or a miss, leaves out
// untouched, so clear it first and test it for emptiness afterwards.
void lookupAdapterName(const char* key, char (&out)[256]);
