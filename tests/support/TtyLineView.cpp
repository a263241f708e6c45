#include "tests/support/TtyLineView.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

TtyLineView TtyLineView::ofSlaveOf(int masterFd)
{
    termios2 tty{};
    if (ioctl(masterFd, TCGETS2, &tty) != 0)
        return TtyLineView();
    return of(tty);
}

TtyLineView TtyLineView::of(const termios2& tty)
{
    TtyLineView view;
    view.baudRate = tty.c_ospeed;
    switch (tty.c_cflag & CSIZE) {
    case CS5: view.dataBits = 5; break;
    case CS6: view.dataBits = 6; break;
    case CS7: view.dataBits = 7; break;
    default: view.dataBits = 8; break;
    }
    if (!(tty.c_cflag & PARENB))
        view.parity = 'N';
    else if (tty.c_cflag & CMSPAR)
        view.parity = (tty.c_cflag & PARODD) ? 'M' : 'S';
    else
        view.parity = (tty.c_cflag & PARODD) ? 'O' : 'E';
    view.extraStopBit = (tty.c_cflag & CSTOPB) != 0;
    view.raw = !(tty.c_lflag & (ECHO | ICANON | ISIG | IEXTEN)) &&
               !(tty.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP)) && !(tty.c_oflag & OPOST);
    return view;
}
