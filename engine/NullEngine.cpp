// The null engine: every operation accepts whatever it is given, touches
// nothing and answers 1. It keeps no state, so every entry point is reentrant.
#include "ZQSnapEngine.h"

namespace {
constexpr int kDone = 1;
}

extern "C" {
void zqso_version(void*, void*, void*) {}
int zqso_isSupported(void*, std::int32_t, void*, void*, std::int16_t) { return kDone; }
int zqso_prepareDevices(void*, std::int16_t, void*) { return kDone; }
int zqso_unprepareDevices(void*, std::int16_t, void*) { return kDone; }
int zqso_snapDevices(void*, std::int16_t, void*) { return kDone; }
int zqso_postSnapDevices(void*, std::int16_t, void*) { return kDone; }
int zqso_isMapped(void*, std::int16_t, void*) { return kDone; }
int zqso_mapSnaps(void*, std::int16_t, void*) { return kDone; }
int zqso_unmapSnaps(void*, std::int16_t, void*) { return kDone; }
int zqso_deleteSnaps(void*, std::int16_t, void*) { return kDone; }
int zqso_revertSnaps(void*, std::int16_t, void*) { return kDone; }
int zqso_fileRevert(void*, void*, void*, std::int16_t, void*) { return kDone; }
int zqso_reconcileSnaps(void*, std::int16_t, void*) { return kDone; }
}
