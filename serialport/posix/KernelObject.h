#pragma once

#include "serialport/posix/Win32Subset.h"

// Every HANDLE of the POSIX layer points to a KernelObject; CloseHandle deletes it.
struct KernelObject
{
    virtual ~KernelObject() = default;
};

// The object behind a handle if it is of the wanted kind, else null with
// ERROR_INVALID_HANDLE as the thread's last error.
template <class Object>
Object* objectOf(HANDLE handle)
{
    Object* object = nullptr;
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
        object = dynamic_cast<Object*>(static_cast<KernelObject*>(handle));
    if (object == nullptr)
        SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

inline HANDLE handleOf(KernelObject* object)
{
    return static_cast<HANDLE>(object);
}
