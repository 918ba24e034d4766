#include "budget.h"

#include "varnel/varnel.h"

namespace vnl {

uint64_t LoadBudget(uint64_t blockLength) {
  // blockLength is at most 32 bits wide in every caller that matters, but a pack
  // file may be larger: the minimum keeps the product from mattering.
  const uint64_t scaled = blockLength > VNL_MAX_ALLOCATION ? VNL_MAX_ALLOCATION : kBudgetExpansion * blockLength;
  const uint64_t budget = scaled + kBudgetSlack;
  return budget < VNL_MAX_ALLOCATION ? budget : VNL_MAX_ALLOCATION;
}

bool WithinBudget(uint64_t bytes, uint64_t blockLength) { return bytes <= LoadBudget(blockLength); }

uint64_t ItemCost(uint64_t bytes) { return bytes < kLeastItemCost ? kLeastItemCost : bytes; }

}  // namespace vnl
