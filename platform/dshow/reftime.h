// Reference time: signed 64-bit, in units of 100 ns.
#pragma once

#include <windows.h>

#include <strmif.h>

const LONGLONG MILLISECONDS = 1000;
const LONGLONG NANOSECONDS = 1000000000;
const LONGLONG UNITS = NANOSECONDS / 100;

#ifndef Int32x32To64
#define Int32x32To64(a, b) ((LONGLONG)(LONG)(a) * (LONGLONG)(LONG)(b))
#endif
#define MILLISECONDS_TO_100NS_UNITS(lMs) Int32x32To64((lMs), (UNITS / MILLISECONDS))

#ifndef MAX_TIME
#define MAX_TIME 0x7FFFFFFFFFFFFFFF
#endif

class CRefTime {
public:
    REFERENCE_TIME m_time;

    CRefTime() : m_time(0) {}
    // An integer of 32 bits is taken as milliseconds.
    CRefTime(LONG msecs) : m_time(MILLISECONDS_TO_100NS_UNITS(msecs)) {}
    CRefTime(REFERENCE_TIME rt) : m_time(rt) {}
    CRefTime(const CRefTime &) = default;

    operator REFERENCE_TIME() const { return m_time; }

    CRefTime &operator=(const CRefTime &rt) = default;
    CRefTime &operator=(const LONGLONG ll)
    {
        m_time = ll;
        return *this;
    }
    CRefTime &operator+=(const CRefTime &rt)
    {
        m_time += rt.m_time;
        return *this;
    }
    CRefTime &operator-=(const CRefTime &rt)
    {
        m_time -= rt.m_time;
        return *this;
    }

    LONG Millisecs() const { return (LONG)(m_time / (UNITS / MILLISECONDS)); }
    LONGLONG GetUnits() const { return m_time; }
};

const LONGLONG TimeZero = 0;
