#pragma once

#include "session/LineSettings.h"

class QComboBox;

// The port panel's setting boxes carry their settings' values: each item's
// data is the value its text stands for, so that a box is read by value,
// never by the position of its items.
void attachLineValues(QComboBox& baudRate, QComboBox& parity, QComboBox& dataBits, QComboBox& stopBits);
LineSettings lineSettingsOf(const QComboBox& baudRate, const QComboBox& parity, const QComboBox& dataBits,
                            const QComboBox& stopBits);
