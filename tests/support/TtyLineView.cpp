#include "tests/support/TtyLineView.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

TtyLineView TtyLineView::ofSlaveOf(int masterFd)
{
    termios2 tty{};
    TtyLineView view;
    if (ioctl(masterFd, TCGETS2, &tty) != 0)
        return view;
    view.baudRate = tty.c_ospeed;
    view.speedCode = tty.c_cflag & CBAUD;
    view.extraStopBit = (tty.c_cflag & CSTOPB) != 0;
    view.raw = !(tty.c_lflag & (ECHO | ICANON | ISIG | IEXTEN)) && !(tty.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP)) &&
               !(tty.c_oflag & OPOST);
    return view;
}
