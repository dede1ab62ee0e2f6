// Interlocked operations on 32-bit counters. Each is one atomic
// read-modify-write and a full memory barrier, as on the platform, where
// these are compiler intrinsics rather than library functions.
#pragma once

#include "win/WinTypes.h"

// The new value.
inline LONG InterlockedIncrement(LONG volatile* pAddend) noexcept {
    return __atomic_add_fetch(pAddend, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(LONG volatile* pAddend) noexcept {
    return __atomic_sub_fetch(pAddend, 1, __ATOMIC_SEQ_CST);
}

// The value before the exchange.
inline LONG InterlockedExchange(LONG volatile* pTarget, LONG value) noexcept {
    return __atomic_exchange_n(pTarget, value, __ATOMIC_SEQ_CST);
}

// Stores exchange only if *pDestination equals comparand; returns the value
// *pDestination had before, whether or not it was replaced.
inline LONG InterlockedCompareExchange(LONG volatile* pDestination, LONG exchange, LONG comparand) noexcept {
    __atomic_compare_exchange_n(pDestination, &comparand, exchange, /*weak=*/false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return comparand;
}
