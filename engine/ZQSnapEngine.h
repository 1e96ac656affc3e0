// The interface of the snapshot-engine family: the values an engine may ask
// its host for, the shared naming and time constants, and the entry points a
// host resolves by name after loading an engine module.
#ifndef ZQ_SNAP_ENGINE_H
#define ZQ_SNAP_ENGINE_H

#include <cstdint>

#include "../SnapCommon/ZQExport.h"

namespace ZQSO {
// Keys of the values an engine can ask its host for; they run from 0 to 33
// without gaps.
constexpr std::int32_t GET_VALUE_UNKNOWN_VALUE = 0;
constexpr std::int32_t GET_VALUE_SUBCLINET_ID = 1;
constexpr std::int32_t GET_VALUE_SOURCE_CLIENT_ID = 2;
constexpr std::int32_t GET_VALUE_PROXY_CLIENT_ID = 3;
constexpr std::int32_t GET_VALUE_MOUNT_HOST_ID = 4;
constexpr std::int32_t GET_VALUE_MOUNT_HOST_NAME = 5;
constexpr std::int32_t GET_VALUE_SNAP_CREATION_TIME = 6;
constexpr std::int32_t GET_VALUE_VOLSNAP_OP_SOURCE = 7;
constexpr std::int32_t GET_VALUE_VOL_MOUNT_PATH_FLAG = 8;
constexpr std::int32_t GET_VALUE_VOL_MOUNT_PATH = 9;
constexpr std::int32_t GET_VALUE_VOL_SOURCE_PATH = 10;
constexpr std::int32_t GET_VALUE_VOL_PLEXUS_ID = 11;
constexpr std::int32_t GET_VALUE_CURRENT_JOB_ID = 12;
constexpr std::int32_t GET_VALUE_VOL_SNAP_JOB_ID = 13;
constexpr std::int32_t GET_VALUE_VOLUME_FLAGS = 14;
constexpr std::int32_t GET_VALUE_APP_TYPE_ID = 15;
constexpr std::int32_t GET_VALUE_COPY_ID = 16;
constexpr std::int32_t GET_VALUE_VOL_CREATE_TIME = 17;
constexpr std::int32_t GET_VALUE_PLEXUS_NUMBER = 18;
constexpr std::int32_t GET_VALUE_VOL_SOURCE_DEVICE = 19;
constexpr std::int32_t GET_VALUE_VOL_SOURCE_GUID = 20;
constexpr std::int32_t GET_VALUE_VMAGENT_SERVER_CRED = 21;
constexpr std::int32_t GET_VALUE_HYPERVISOR_TYPE = 22;
constexpr std::int32_t GET_VALUE_MOUNT_JOB_ID = 23;
constexpr std::int32_t GET_SNAP_ACTION_FLAGS = 24;
constexpr std::int32_t GET_SNAP_COPY_TYPE = 25;
constexpr std::int32_t GET_ARRAY_REPL_GROUP_INFO_JSN = 26;
constexpr std::int32_t GET_ARRAY_REPL_PAIR_INFO_JSN = 27;
constexpr std::int32_t GET_SCSI_SERVER_MNT_HOST_ID = 28;
constexpr std::int32_t GET_VALUE_VOL_ARCHFILE_ID = 29;
constexpr std::int32_t GET_VALUE_REP_SNAP_META_DATA = 30;
constexpr std::int32_t GET_IS_SOURCE_COPY_PRIMARY_SNAP = 31;
constexpr std::int32_t GET_SOURCE_COPY_TYPE = 32;
constexpr std::int32_t GET_VALUE_OP_SOURCE = 33;
}  // namespace ZQSO

// Prefix the engine family puts in front of snapshot names.
constexpr const char* const ZQ_SNAP_NAME_PREFIX_2 = "ZQ";

// Width, in bits, of the option set used to form a snapshot identifier, and
// the positions of its flags.
constexpr std::int32_t SNAPUUID_BITSET_SIZE = 64;
constexpr std::int32_t SNAPUUID_BITSET_FLAG_LOWER_CASE = 0;
constexpr std::int32_t SNAPUUID_BITSET_FLAG_USE_EPOCH = 1;
constexpr std::int32_t SNAPUUID_BITSET_FLAG_SKIP_SNAP_ID = 2;

namespace FXTime {
// 100-nanosecond intervals from 1601-01-01 00:00 to the Unix epoch and to the
// 1899-12-30 day-count epoch.
constexpr std::int64_t SYSTEMTIME_19700101 = 116444736000000000LL;
constexpr std::int64_t SYSTEMTIME_18991230 = 94353120000000000LL;
}  // namespace FXTime

// The entry points, listed once: the module, the probe and the test modules
// are generated from this list, so that none of them can miss one. Each row
// is X(result, name, parameters, arguments); the arguments name the
// parameters in order, for definitions that pass them on. Pointer parameters
// are opaque to the module; the widths of the integer parameters are what
// binds an engine to its host.
#define ZQSO_ENTRY_POINTS(X)                                                                               \
    X(void, zqso_version, (void* a, void* b, void* c), (a, b, c))                                          \
    X(int, zqso_isSupported, (void* a, std::int32_t b, void* c, void* d, std::int16_t e), (a, b, c, d, e)) \
    X(int, zqso_prepareDevices, (void* a, std::int16_t b, void* c), (a, b, c))                             \
    X(int, zqso_unprepareDevices, (void* a, std::int16_t b, void* c), (a, b, c))                           \
    X(int, zqso_snapDevices, (void* a, std::int16_t b, void* c), (a, b, c))                                \
    X(int, zqso_postSnapDevices, (void* a, std::int16_t b, void* c), (a, b, c))                            \
    X(int, zqso_isMapped, (void* a, std::int16_t b, void* c), (a, b, c))                                   \
    X(int, zqso_mapSnaps, (void* a, std::int16_t b, void* c), (a, b, c))                                   \
    X(int, zqso_unmapSnaps, (void* a, std::int16_t b, void* c), (a, b, c))                                 \
    X(int, zqso_deleteSnaps, (void* a, std::int16_t b, void* c), (a, b, c))                                \
    X(int, zqso_revertSnaps, (void* a, std::int16_t b, void* c), (a, b, c))                                \
    X(int, zqso_fileRevert, (void* a, void* b, void* c, std::int16_t d, void* e), (a, b, c, d, e))         \
    X(int, zqso_reconcileSnaps, (void* a, std::int16_t b, void* c), (a, b, c))

#define ZQSO_DECLARE_ENTRY_POINT(result, name, parameters, arguments) ZQ_API result name parameters;
extern "C" {
ZQSO_ENTRY_POINTS(ZQSO_DECLARE_ENTRY_POINT)
}
#undef ZQSO_DECLARE_ENTRY_POINT

#endif
