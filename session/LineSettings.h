#pragma once

#include "flash/DialogueSettings.h"
#include "serialport/SerialPortBase.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The line settings a port is opened with; the defaults are the ones the
// window preselects.
struct LineSettings
{
    int baud = 115200;
    SerialParity parity = ParityNone;
    SerialDataBits dataBits = DataBits8;
    SerialStopBits stopBits = StopBitsOne;
};

// One value an operator can choose for a line setting: the text the window
// shows for it and the word the command line takes for it.
template <typename Value>
struct LineChoice
{
    Value value;
    const char* text;
    const char* word;
};

// The choices offered, in the order the window lists them.
const std::vector<LineChoice<int>>& baudRateChoices();
const std::vector<LineChoice<SerialParity>>& parityChoices();
const std::vector<LineChoice<SerialDataBits>>& dataBitsChoices();
const std::vector<LineChoice<SerialStopBits>>& stopBitsChoices();
// Not a line setting, but chosen the same ways: protocol, acknowledged.
const std::vector<LineChoice<Pacing>>& pacingChoices();

// The value whose command-line word is `word`, in any case; nothing for a
// word no choice has.
template <typename Value>
std::optional<Value> choiceForWord(const std::vector<LineChoice<Value>>& choices, const QString& word)
{
    for (const LineChoice<Value>& choice : choices) {
        if (word.compare(QLatin1String(choice.word), Qt::CaseInsensitive) == 0)
            return choice.value;
    }
    return std::nullopt;
}

// The command-line word of a value; empty for a value no choice has.
template <typename Value>
QString choiceWord(const std::vector<LineChoice<Value>>& choices, Value value)
{
    for (const LineChoice<Value>& choice : choices) {
        if (choice.value == value)
            return QLatin1String(choice.word);
    }
    return QString();
}

// "none, odd, even, mark, space": the words, for a usage message.
template <typename Value>
QString choiceWords(const std::vector<LineChoice<Value>>& choices)
{
    QStringList words;
    for (const LineChoice<Value>& choice : choices)
        words.append(QLatin1String(choice.word));
    return words.join(QStringLiteral(", "));
}
