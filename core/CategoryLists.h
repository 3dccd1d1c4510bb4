// Shared list blocks of category sets: every distinct set of two or more
// category ids is held once, as a u16 typed array whose id fits the 16-bit
// categories field of a record, and counts the records that refer to it.
// Layout.cpp keeps the records' fields; everything that stores, replaces or
// drops a list-form set goes through here, so a shared block is freed once,
// when its last reference goes.
#pragma once

#include "core/BlockStore.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace vltrx {

/// Makes list refer to a list block holding set (sorted, distinct, at least
/// two ids). list is 0 or a reference the caller holds, which is given up:
/// an existing block of the same content gets one more reference; a block
/// only list refers to and that has as many ids is rewritten in place; else
/// a new block is made. 0, or -602 when no id below 65536 (or no memory) is
/// left; list is then 0 and its old reference released.
int assignCategoryList(BlockId& list, std::span<const uint16_t> set);

/// Gives up one reference to the list block list and sets it to 0; the last
/// reference frees the block. An id that is no list block is left alone.
void releaseCategoryList(BlockId& list);

/// Number of references to the list block id (0: no list block).
uint32_t categoryListReferences(BlockId id);

/// Number of distinct list blocks.
size_t categoryListCount();

/// Forgets every list block without freeing it; the measurement store calls
/// it when it releases all blocks at once.
void resetCategoryLists();

}  // namespace vltrx
