#pragma once

// The part of the Win32 API that the serial backend uses, implemented on
// POSIX (Linux) for real ttys: USB serial adapters, on-board UARTs and
// pseudo-terminals. Names, types, values and semantics follow Win32 so the
// backend source is the same on every platform.
//
// Differences worth knowing:
// - Overlapped operations always complete before the call returns; the
//   OVERLAPPED's event is signalled and GetOverlappedResult reports the count.
// - ReadFile never waits: it returns what the driver holds (the backend only
//   uses the "return at once" read time-outs).
// - What CancelIoEx can cancel is a WaitCommEvent or WriteFile that another
//   thread is blocked in; it then fails with ERROR_OPERATION_ABORTED.
// - A hang-up makes WaitCommEvent fail with ERROR_BAD_COMMAND, as Windows
//   reports a removed USB adapter, and from then on every call on the device
//   fails.
// - ClearCommError reports the input queue as the last EV_RXCHAR counted it
//   while nothing was read or purged since (bytes that came later are told by
//   the next event), and never the output queue: cbOutQue is always 0.
// - CP_ACP is UTF-8.
// - A tty is opened exclusively: a second open, by us or by a program that
//   honours flock or TIOCEXCL, fails with ERROR_ACCESS_DENIED.
// - Only serial lines and pseudo-terminals open: the controlling terminal,
//   virtual consoles and other terminals fail with ERROR_FILE_NOT_FOUND.
//   Closing puts back the line settings the tty had when it was opened.
// - Port names: "\\.\ttyUSB0" opens /dev/ttyUSB0, "\\./dev/pts/3" the
//   path itself (PortName.h).

#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using ULONG_PTR = std::uintptr_t;
using WCHAR = char16_t;
using HANDLE = void*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPDWORD = DWORD*;
using LPCSTR = const char*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD MAXDWORD = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_BAD_COMMAND = 22;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_SEM_TIMEOUT = 121;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_OPERATION_ABORTED = 995;
constexpr DWORD ERROR_IO_PENDING = 997;
constexpr DWORD ERROR_NOT_FOUND = 1168;
constexpr DWORD ERROR_TIMEOUT = 1460;

constexpr DWORD EV_RXCHAR = 0x0001;

constexpr DWORD PURGE_TXABORT = 0x0001;
constexpr DWORD PURGE_RXABORT = 0x0002;
constexpr DWORD PURGE_TXCLEAR = 0x0004;
constexpr DWORD PURGE_RXCLEAR = 0x0008;

constexpr DWORD SETRTS = 3;
constexpr DWORD CLRRTS = 4;
constexpr DWORD SETDTR = 5;
constexpr DWORD CLRDTR = 6;

constexpr DWORD DTR_CONTROL_ENABLE = 1;
constexpr DWORD RTS_CONTROL_DISABLE = 0;
constexpr DWORD RTS_CONTROL_ENABLE = 1;
constexpr DWORD RTS_CONTROL_HANDSHAKE = 2;

constexpr BYTE NOPARITY = 0;
constexpr BYTE ODDPARITY = 1;
constexpr BYTE EVENPARITY = 2;
constexpr BYTE MARKPARITY = 3;
constexpr BYTE SPACEPARITY = 4;
constexpr BYTE ONESTOPBIT = 0;
constexpr BYTE ONE5STOPBITS = 1;
constexpr BYTE TWOSTOPBITS = 2;

constexpr UINT CP_ACP = 0;

#ifndef __stdcall
#define __stdcall
#endif

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};

static_assert(sizeof(DCB) == 28, "DCB keeps the Win32 layout");

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};

// Only the size of the input queue is known (the rest reads 0, "unavailable").
struct COMMPROP {
    WORD wPacketLength;
    WORD wPacketVersion;
    DWORD dwServiceMask;
    DWORD dwReserved1;
    DWORD dwMaxTxQueue;
    DWORD dwMaxRxQueue;
    DWORD dwMaxBaud;
    DWORD dwProvSubType;
    DWORD dwProvCapabilities;
    DWORD dwSettableParams;
    DWORD dwSettableBaud;
    WORD wSettableData;
    WORD wSettableStopParity;
    DWORD dwCurrentTxQueue;
    DWORD dwCurrentRxQueue;
    DWORD dwProvSpec1;
    DWORD dwProvSpec2;
    WCHAR wcProvChar[1];
};

struct COMSTAT {
    DWORD fFlags; // the status bits; always 0 here
    DWORD cbInQue;
    DWORD cbOutQue; // always 0 here
};

struct OVERLAPPED {
    ULONG_PTR Internal;     // the operation's Win32 error code
    ULONG_PTR InternalHigh; // bytes transferred
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};

// Handles and waiting
BOOL CloseHandle(HANDLE object);
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState,
                    LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
DWORD GetLastError();
void SetLastError(DWORD error);
void Sleep(DWORD milliseconds);
std::uintptr_t _beginthreadex(void* security, unsigned stackSize,
                              unsigned(__stdcall* startAddress)(void*), void* argument,
                              unsigned initFlag, unsigned* threadId);

// Text
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int textBytes, LPWSTR wide,
                        int wideCapacity);

// Files and communication devices
HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES attributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
              OVERLAPPED* overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               OVERLAPPED* overlapped);
BOOL GetOverlappedResult(HANDLE file, OVERLAPPED* overlapped, LPDWORD bytesTransferred,
                         BOOL wait);
BOOL CancelIoEx(HANDLE file, OVERLAPPED* overlapped);
BOOL FlushFileBuffers(HANDLE file);
BOOL GetCommState(HANDLE comm, DCB* dcb);
BOOL SetCommState(HANDLE comm, DCB* dcb);
BOOL SetCommTimeouts(HANDLE comm, COMMTIMEOUTS* timeouts);
BOOL SetCommMask(HANDLE comm, DWORD eventMask);
BOOL WaitCommEvent(HANDLE comm, LPDWORD eventMask, OVERLAPPED* overlapped);
BOOL ClearCommError(HANDLE comm, LPDWORD errors, COMSTAT* status);
BOOL GetCommProperties(HANDLE comm, COMMPROP* properties);
BOOL PurgeComm(HANDLE comm, DWORD flags);
BOOL EscapeCommFunction(HANDLE comm, DWORD function);
