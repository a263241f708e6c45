// Windows tells a console program of Ctrl-C, Ctrl-Break and a closed console
// through its console control handler, on a thread the system starts for the
// event. Signing out and shutting down reach that handler only in programs
// that do not load user32.dll; Qt Core loads it, so those two come as
// WM_ENDSESSION to a hidden top-level window (which lets WM_QUERYENDSESSION
// pass: the runs are cancelled, no reason to keep the session), served by a
// thread of its own because its answer blocks.
//
// Either way the notice only sets an event, which a QWinEventNotifier turns
// into interrupted() on the notifier's thread. For the notices after which
// Windows ends the process, the notice's thread then waits until the notifier
// is gone (the runs have ended and been recorded) or kEndingGraceMs have
// passed, and returns: Windows then ends the process.
#include "cli/InterruptNotifier.h"

#include <QWinEventNotifier>

#include <windows.h>

#include <thread>

namespace {

// Windows ends a process about 5 s after a closed console or the end of the
// session at the latest.
constexpr DWORD kEndingGraceMs = 4000;

// The hidden window's class, which also tells it apart from other windows.
constexpr wchar_t kSessionWindowClass[] = L"OrvanneFlashSessionEnd";

// Both events last as long as the process: a notice may still arrive, on the
// system's thread, while or after the notifier is destroyed.
HANDLE interruptRequested()
{
    static const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return event;
}

HANDLE notifierGone()
{
    static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

void requestInterrupt(bool processEnds)
{
    SetEvent(interruptRequested());
    if (processEnds)
        WaitForSingleObject(notifierGone(), kEndingGraceMs);
}

BOOL WINAPI onConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        requestInterrupt(false);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        requestInterrupt(true);
        return TRUE;
    default:
        return FALSE;
    }
}

LRESULT CALLBACK onSessionWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ENDSESSION:
        if (wParam)
            requestInterrupt(true);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// Creates the hidden window on the calling thread and serves it until it is
// destroyed; `created` receives the window (null when it could not be made)
// and is then set.
void serveSessionWindow(HWND* window, HANDLE created)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = onSessionWindowMessage;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kSessionWindowClass;
    RegisterClassW(&windowClass); // fails harmlessly when an earlier notifier registered it
    *window = CreateWindowExW(0, kSessionWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
    const bool serving = *window != nullptr;
    SetEvent(created);
    if (!serving)
        return;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
}

} // namespace

struct InterruptNotifier::Platform
{
    QWinEventNotifier requested{interruptRequested()};
    HWND sessionWindow = nullptr;
    std::thread sessionThread;
};

InterruptNotifier::InterruptNotifier(QObject* parent) : QObject(parent), platform_(std::make_unique<Platform>())
{
    ResetEvent(notifierGone());
    ResetEvent(interruptRequested());
    connect(&platform_->requested, &QWinEventNotifier::activated, this, &InterruptNotifier::interrupted);

    const HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (created) {
        platform_->sessionThread = std::thread(serveSessionWindow, &platform_->sessionWindow, created);
        WaitForSingleObject(created, INFINITE);
        CloseHandle(created);
    }
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

InterruptNotifier::~InterruptNotifier()
{
    // First release a notice that waits for the end; the console's handler
    // list may be locked while a handler runs.
    SetEvent(notifierGone());
    if (platform_->sessionWindow)
        PostMessageW(platform_->sessionWindow, WM_CLOSE, 0, 0);
    if (platform_->sessionThread.joinable())
        platform_->sessionThread.join();
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
}
