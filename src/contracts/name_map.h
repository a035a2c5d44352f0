// The ordered point-name map of the generators: the name a host gives, mapped to the name
// written. Ordered by COrvStringT::Compare of the keys; its nodes live on the utility heap.
#pragma once

#include <map>
#include <utility>

#include "contracts/heap.h"
#include "contracts/orv_string.h"

namespace orv {

using NameMap =
    std::map<COrvStringT, COrvStringT, CompareText, heap::Allocator<std::pair<const COrvStringT, COrvStringT>>>;

}  // namespace orv
