// The one rule that bounds what a load may cost: everything a load allocates for
// its record must fit both VNL_MAX_ALLOCATION and eight times the length of the
// block it reads plus 16 MiB. A complete file never needs more than about six
// times its own size, so only headers claiming far more than the block holds are
// refused (with VNL_NO_MEMORY), while a real file that merely ends early stays
// loadable: its missing bytes read as zeros.
//
// Every picture and every sprite or model frame counts as at least 4 KiB, about
// what the smallest image file made from it costs: a skin group or sprite of
// tens of thousands of empty pictures is then refused before it can turn into as
// many files.
#ifndef VARNEL_BUDGET_H
#define VARNEL_BUDGET_H

#include <cstdint>

namespace vnl {

constexpr uint64_t kBudgetExpansion = 8;
constexpr uint64_t kBudgetSlack = uint64_t(16) << 20;
constexpr uint64_t kLeastItemCost = 4096;

// The most a load from a block of `blockLength` bytes may allocate.
uint64_t LoadBudget(uint64_t blockLength);
// True when `bytes` fits the budget of a block of `blockLength` bytes.
bool WithinBudget(uint64_t bytes, uint64_t blockLength);
// What one picture or frame of `bytes` counts toward the budget.
uint64_t ItemCost(uint64_t bytes);

}  // namespace vnl

#endif
