// Rows of per-voice arrays found with one multiply.
#pragma once

#include <cstdint>

// The size of a row of rows as a multiplier the compiler does not see (an empty asm): a row
// of an array indexed by voice is then one multiply by a register, where the constant would
// take a chain of shifts and adds (worth it where a loop has a register to keep it in).
template <class Row>
inline intptr_t opaqueStride(const Row*) {
    intptr_t size = sizeof(Row);
    asm("" : "+r"(size));
    return size;
}
// Row v of rows, stride: opaqueStride(rows).
template <class Row>
inline Row* rowAt(Row* rows, intptr_t stride, int v) {
    return reinterpret_cast<Row*>(reinterpret_cast<char*>(rows) + v * stride);
}
template <class Row>
inline const Row* rowAt(const Row* rows, intptr_t stride, int v) {
    return reinterpret_cast<const Row*>(reinterpret_cast<const char*>(rows) + v * stride);
}
