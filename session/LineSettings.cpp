#include "session/LineSettings.h"

const std::vector<LineChoice<int>>& baudRateChoices()
{
    static const std::vector<LineChoice<int>> choices{
        {300, "300", "300"},       {600, "600", "600"},       {1200, "1200", "1200"},
        {2400, "2400", "2400"},    {4800, "4800", "4800"},    {9600, "9600", "9600"},
        {14400, "14400", "14400"}, {19200, "19200", "19200"}, {38400, "38400", "38400"},
        {56000, "56000", "56000"}, {57600, "57600", "57600"}, {115200, "115200", "115200"},
    };
    return choices;
}

const std::vector<LineChoice<SerialParity>>& parityChoices()
{
    static const std::vector<LineChoice<SerialParity>> choices{
        {ParityNone, "None", "none"}, {ParityOdd, "Odd", "odd"},       {ParityEven, "Even", "even"},
        {ParityMark, "Mark", "mark"}, {ParitySpace, "Space", "space"},
    };
    return choices;
}

const std::vector<LineChoice<SerialDataBits>>& dataBitsChoices()
{
    static const std::vector<LineChoice<SerialDataBits>> choices{
        {DataBits5, "5", "5"}, {DataBits6, "6", "6"}, {DataBits7, "7", "7"}, {DataBits8, "8", "8"},
    };
    return choices;
}

const std::vector<LineChoice<SerialStopBits>>& stopBitsChoices()
{
    static const std::vector<LineChoice<SerialStopBits>> choices{
        {StopBitsOne, "1", "1"}, {StopBitsOneAndHalf, "1.5", "1.5"}, {StopBitsTwo, "2", "2"},
    };
    return choices;
}

const std::vector<LineChoice<Pacing>>& pacingChoices()
{
    static const std::vector<LineChoice<Pacing>> choices{
        {Pacing::Protocol, "Protocol pauses", "protocol"},
        {Pacing::Acknowledged, "As acknowledged", "acknowledged"},
    };
    return choices;
}
