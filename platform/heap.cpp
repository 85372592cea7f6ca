#include "platform/heap.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace kuv {

void ReturnFreedMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

}  // namespace kuv
