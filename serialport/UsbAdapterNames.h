#pragma once

#include <cstring>
#include <map>

// Orders keys by their text rather than by their address.
struct TextOrder {
    bool operator()(const char* left, const char* right) const { return std::strcmp(left, right) < 0; }
};

// Known USB-to-serial adapters: "vvvv" vendor keys and "vvvv:pppp" adapter
// keys to their descriptions. Built before main and never changed, so readers
// need no lock; keys and descriptions are the built-in literals, never copies.
using AdapterNameTable = std::map<const char*, const char*, TextOrder>;
extern const AdapterNameTable usbAdapterNames;
