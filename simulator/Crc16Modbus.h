#pragma once

#include <cstddef>
#include <cstdint>

// The CRC the RQ51x bootloader checks its frames with (CRC-16/MODBUS: register
// 0xFFFF, reflected polynomial 0xA001, no final XOR). The chip simulator keeps
// its own copy so that it checks the program's frames independently of the
// program's CRC.
std::uint16_t crc16Modbus(const std::uint8_t* bytes, std::size_t size);
