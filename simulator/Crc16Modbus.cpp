#include "simulator/Crc16Modbus.h"

std::uint16_t crc16Modbus(const std::uint8_t* bytes, std::size_t size)
{
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool shiftedOutOne = (crc & 1) != 0;
            crc >>= 1;
            if (shiftedOutOne)
                crc ^= 0xA001;
        }
    }
    return crc;
}
