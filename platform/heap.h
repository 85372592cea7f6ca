#pragma once

// Memory the process has freed but the C library keeps for reuse.
namespace kuv {

// Hands the freed memory that the C library holds back to the system. After
// a large piece of work made of many small blocks (a print preview's pages)
// the process would otherwise stay as large as that work made it. Costs a
// walk over the heap: for the end of such work, never a hot path.
void ReturnFreedMemory();

}  // namespace kuv
