#pragma once

// Tables that sort the 1024 parameter indices into families (how a value reads, how a typed
// value converts), written as the lists of indices and ranges that make up each family.

#include <array>
#include <cstdint>
#include <initializer_list>

#include "effect/ParameterLayout.h"

struct IndexSpan {
    int first;
    int last = -1;  // -1: the single index first
};

template <typename Family>
using FamilyTable = std::array<Family, PARAMETER_COUNT>;

template <typename Family>
void markFamily(FamilyTable<Family>& table, Family family, std::initializer_list<IndexSpan> spans) {
    for (const IndexSpan& span : spans) {
        for (int i = span.first; i <= (span.last < 0 ? span.first : span.last); ++i)
            table[static_cast<std::size_t>(i)] = family;
    }
}

// A choice that reads as one of its option texts (the XY record mode has none).
inline bool readsAsOption(const SlotInfo& slot) {
    return slot.kind == SlotKind::Choice && slot.options != nullptr;
}
