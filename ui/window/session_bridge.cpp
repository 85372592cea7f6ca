#include "ui/window/session_bridge.h"

#include "ui/conflicts/conflict_watch.h"

kuv::ConflictChoice TSessionBridge::ResolveConflict(const kuv::DiskConflict& conflict) {
    return TConflictWatch::Resolve(conflict);
}
