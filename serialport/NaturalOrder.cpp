#include "serialport/NaturalOrder.h"

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

unsigned char foldedCase(char c)
{
    return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

// Takes the run of digits at the front of text, without its leading zeros.
std::string_view takeNumber(std::string_view& text)
{
    std::size_t end = 0;
    while (end < text.size() && isDigit(text[end]))
        ++end;
    std::string_view number = text.substr(0, end);
    text.remove_prefix(end);
    while (number.size() > 1 && number.front() == '0')
        number.remove_prefix(1);
    return number;
}

} // namespace

bool naturalLess(std::string_view left, std::string_view right)
{
    std::string_view restLeft = left;
    std::string_view restRight = right;
    while (!restLeft.empty() && !restRight.empty()) {
        if (isDigit(restLeft.front()) && isDigit(restRight.front())) {
            const std::string_view numberLeft = takeNumber(restLeft);
            const std::string_view numberRight = takeNumber(restRight);
            if (numberLeft.size() != numberRight.size())
                return numberLeft.size() < numberRight.size();
            if (numberLeft != numberRight)
                return numberLeft < numberRight;
        } else if (foldedCase(restLeft.front()) != foldedCase(restRight.front())) {
            return foldedCase(restLeft.front()) < foldedCase(restRight.front());
        } else {
            restLeft.remove_prefix(1);
            restRight.remove_prefix(1);
        }
    }
    if (restLeft.empty() != restRight.empty())
        return restLeft.empty();
    return left < right;
}
