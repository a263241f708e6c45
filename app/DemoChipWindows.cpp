#include "app/DemoChip.h"

std::unique_ptr<DemoChip> DemoChip::start(QString& whyNot)
{
    whyNot = QStringLiteral("the virtual chip needs a POSIX system with pseudo-terminals");
    return nullptr;
}
