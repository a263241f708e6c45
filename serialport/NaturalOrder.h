#pragma once

#include <string_view>

// Text order in which runs of digits compare by their value, so "ttyS2" comes
// before "ttyS10", and letters regardless of case, so "com3" comes before
// "COM10" (Windows names ports in any case). Names equal that way ("ttyS01",
// "ttyS1"; "COM1", "com1") fall back to plain text order, which keeps the
// order strict for sorting.
bool naturalLess(std::string_view left, std::string_view right);
