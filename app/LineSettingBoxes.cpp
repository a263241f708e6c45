#include "app/LineSettingBoxes.h"

#include <QComboBox>

namespace {

template <typename Value>
void attachValues(QComboBox& box, const std::vector<LineChoice<Value>>& choices)
{
    for (const LineChoice<Value>& choice : choices) {
        const int index = box.findText(QLatin1String(choice.text));
        if (index >= 0)
            box.setItemData(index, static_cast<int>(choice.value));
    }
}

} // namespace

void attachLineValues(QComboBox& baudRate, QComboBox& parity, QComboBox& dataBits, QComboBox& stopBits)
{
    attachValues(baudRate, baudRateChoices());
    attachValues(parity, parityChoices());
    attachValues(dataBits, dataBitsChoices());
    attachValues(stopBits, stopBitsChoices());
}

LineSettings lineSettingsOf(const QComboBox& baudRate, const QComboBox& parity, const QComboBox& dataBits,
                            const QComboBox& stopBits)
{
    return {baudRate.currentData().toInt(), static_cast<SerialParity>(parity.currentData().toInt()),
            static_cast<SerialDataBits>(dataBits.currentData().toInt()),
            static_cast<SerialStopBits>(stopBits.currentData().toInt())};
}
