// The SDK's debugging macros as a release build has them: assertions and
// debug logging compile to nothing, pointer checks return early.
#pragma once

#include <cstddef>

#include <windows.h>

#ifndef ASSERT
#define ASSERT(_x_) ((void)0)
#endif
#define EXECUTE_ASSERT(_x_) ((void)(_x_))
#define KASSERT(_x_) ((void)0)
#define DbgBreak(_x_) ((void)0)
#define DbgLog(_x_) ((void)0)
#define DbgAssert(_x_, _y_, _z_) ((void)0)
#define DisplayType(label, pmtIn) ((void)0)
#define NOTE(_x_) ((void)0)

// Debug names of objects are kept as wide text (NAME("...") gives L"...").
#define NAME(_x_) TEXT(_x_)

#define LOG_TIMING 0x01
#define LOG_TRACE 0x02
#define LOG_MEMORY 0x04
#define LOG_LOCKING 0x08
#define LOG_ERROR 0x10

#define CheckPointer(p, ret)                                                                                           \
    {                                                                                                                  \
        if ((p) == NULL) return (ret);                                                                                 \
    }
#define ValidateReadPtr(p, cb) ((void)0)
#define ValidateWritePtr(p, cb) ((void)0)
#define ValidateReadWritePtr(p, cb) ((void)0)
#define ValidateStringPtr(p) ((void)0)
#define ValidateStringPtrA(p) ((void)0)
#define ValidateStringPtrW(p) ((void)0)

#ifndef UNREFERENCED_PARAMETER
#define UNREFERENCED_PARAMETER(P) (void)(P)
#endif
#ifndef NUMELMS
#define NUMELMS(aa) (sizeof(aa) / sizeof((aa)[0]))
#endif
#ifndef FIELD_OFFSET
#define FIELD_OFFSET(type, field) offsetof(type, field)
#endif
