// The program's TWAIN records and constants (TwainTypes.h, which the virtual scanner shares) held
// against the TWAIN Working Group's own header (third_party/twaindsm/include/twain.h), at compile
// time, in each edition: every record's size, alignment and fields (offset, size, signedness),
// the scalar types' sizes, the calling convention of the manager's memory functions, and every
// constant's value. Managers and drivers are built with twain.h; a record that differs from it
// reads and writes the wrong bytes in their memory, which no test against the virtual scanner
// can see, since that uses the same TwainTypes.h.
//
// TwainTypes.h is read first, in a namespace of its own and before <windows.h> and twain.h, so
// that twain.h's records keep their global names and its constants (macros) do not exist yet.
// Nothing here is called; the object file holds no code.
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace ours {
#include "TwainTypes.h"
}

// Each constant that TwainTypes.h defines. A constant added there belongs here too.
#define ZEMBROLITE_TWAIN_CONSTANTS(X) \
  X(DG_CONTROL)                       \
  X(DG_IMAGE)                         \
  X(DF_DSM2)                          \
  X(DF_APP2)                          \
  X(DF_DS2)                           \
  X(DAT_NULL)                         \
  X(DAT_CAPABILITY)                   \
  X(DAT_EVENT)                        \
  X(DAT_IDENTITY)                     \
  X(DAT_PARENT)                       \
  X(DAT_PENDINGXFERS)                 \
  X(DAT_STATUS)                       \
  X(DAT_USERINTERFACE)                \
  X(DAT_ENTRYPOINT)                   \
  X(DAT_IMAGELAYOUT)                  \
  X(DAT_IMAGENATIVEXFER)              \
  X(MSG_NULL)                         \
  X(MSG_GET)                          \
  X(MSG_GETCURRENT)                   \
  X(MSG_GETDEFAULT)                   \
  X(MSG_GETFIRST)                     \
  X(MSG_GETNEXT)                      \
  X(MSG_SET)                          \
  X(MSG_RESET)                        \
  X(MSG_XFERREADY)                    \
  X(MSG_CLOSEDSREQ)                   \
  X(MSG_OPENDSM)                      \
  X(MSG_CLOSEDSM)                     \
  X(MSG_OPENDS)                       \
  X(MSG_CLOSEDS)                      \
  X(MSG_USERSELECT)                   \
  X(MSG_DISABLEDS)                    \
  X(MSG_ENABLEDS)                     \
  X(MSG_PROCESSEVENT)                 \
  X(MSG_ENDXFER)                      \
  X(TWRC_SUCCESS)                     \
  X(TWRC_FAILURE)                     \
  X(TWRC_CHECKSTATUS)                 \
  X(TWRC_CANCEL)                      \
  X(TWRC_DSEVENT)                     \
  X(TWRC_NOTDSEVENT)                  \
  X(TWRC_XFERDONE)                    \
  X(TWRC_ENDOFLIST)                   \
  X(TWCC_SUCCESS)                     \
  X(TWCC_BUMMER)                      \
  X(TWCC_LOWMEMORY)                   \
  X(TWCC_NODS)                        \
  X(TWCC_OPERATIONERROR)              \
  X(TWCC_BADCAP)                      \
  X(TWCC_BADPROTOCOL)                 \
  X(TWCC_BADVALUE)                    \
  X(TWCC_SEQERROR)                    \
  X(TWCC_BADDEST)                     \
  X(TWCC_PAPERJAM)                    \
  X(TWON_ARRAY)                       \
  X(TWON_ENUMERATION)                 \
  X(TWON_ONEVALUE)                    \
  X(TWON_RANGE)                       \
  X(TWTY_INT8)                        \
  X(TWTY_INT16)                       \
  X(TWTY_INT32)                       \
  X(TWTY_UINT8)                       \
  X(TWTY_UINT16)                      \
  X(TWTY_UINT32)                      \
  X(TWTY_BOOL)                        \
  X(TWTY_FIX32)                       \
  X(TWTY_FRAME)                       \
  X(CAP_XFERCOUNT)                    \
  X(ICAP_PIXELTYPE)                   \
  X(ICAP_UNITS)                       \
  X(ICAP_PHYSICALWIDTH)               \
  X(ICAP_PHYSICALHEIGHT)              \
  X(ICAP_XRESOLUTION)                 \
  X(ICAP_YRESOLUTION)                 \
  X(ICAP_BITDEPTH)                    \
  X(TWPT_BW)                          \
  X(TWPT_GRAY)                        \
  X(TWPT_RGB)                         \
  X(TWLG_ENGLISH)                     \
  X(TWCY_UNITEDKINGDOM)               \
  X(TWUN_INCHES)

// Our values, taken while the names are still our own: twain.h makes each name a macro.
namespace ours_values {
#define ZEMBROLITE_TAKE_OURS(name) constexpr long long our_##name = ours::name;
ZEMBROLITE_TWAIN_CONSTANTS(ZEMBROLITE_TAKE_OURS)
#undef ZEMBROLITE_TAKE_OURS
}  // namespace ours_values

#include <windows.h>
// twain.h takes its Windows branch (HANDLE, UINT_PTR, PASCAL, 2-byte packing) on WIN32, which
// Windows compilers define for Windows programs; GCC does not in a strict C++ mode.
#ifndef WIN32
#define WIN32
#endif
#include "../third_party/twaindsm/include/twain.h"

namespace {

// The scalar types: as wide, and signed alike.
#define ZEMBROLITE_SAME_SCALAR(type)                                                \
  static_assert(sizeof(ours::type) == sizeof(::type), #type " has twain.h's size"); \
  static_assert(std::is_signed<ours::type>::value == std::is_signed<::type>::value, #type " is signed as in twain.h");

ZEMBROLITE_SAME_SCALAR(TW_INT16)
ZEMBROLITE_SAME_SCALAR(TW_INT32)
ZEMBROLITE_SAME_SCALAR(TW_UINT8)
ZEMBROLITE_SAME_SCALAR(TW_UINT16)
ZEMBROLITE_SAME_SCALAR(TW_UINT32)
ZEMBROLITE_SAME_SCALAR(TW_BOOL)
ZEMBROLITE_SAME_SCALAR(TW_HANDLE)
ZEMBROLITE_SAME_SCALAR(TW_MEMREF)
ZEMBROLITE_SAME_SCALAR(TW_UINTPTR)
ZEMBROLITE_SAME_SCALAR(TW_STR32)
#undef ZEMBROLITE_SAME_SCALAR

// A record: its size and alignment, as a field of another record and in arrays.
#define ZEMBROLITE_SAME_RECORD(record)                                                    \
  static_assert(sizeof(ours::record) == sizeof(::record), #record " has twain.h's size"); \
  static_assert(alignof(ours::record) == alignof(::record), #record " has twain.h's alignment");

// A field: where it lies, how wide it is and whether it is signed.
#define ZEMBROLITE_SAME_FIELD(record, field)                                                                    \
  static_assert(offsetof(ours::record, field) == offsetof(::record, field),                                     \
                #record "." #field " lies where twain.h has it");                                               \
  static_assert(sizeof(ours::record::field) == sizeof(::record::field),                                         \
                #record "." #field " is as wide as in twain.h");                                                \
  static_assert(                                                                                                \
      std::is_signed<decltype(ours::record::field)>::value == std::is_signed<decltype(::record::field)>::value, \
      #record "." #field " is signed as in twain.h");

ZEMBROLITE_SAME_RECORD(TW_FIX32)
ZEMBROLITE_SAME_FIELD(TW_FIX32, Whole)
ZEMBROLITE_SAME_FIELD(TW_FIX32, Frac)

ZEMBROLITE_SAME_RECORD(TW_VERSION)
ZEMBROLITE_SAME_FIELD(TW_VERSION, MajorNum)
ZEMBROLITE_SAME_FIELD(TW_VERSION, MinorNum)
ZEMBROLITE_SAME_FIELD(TW_VERSION, Language)
ZEMBROLITE_SAME_FIELD(TW_VERSION, Country)
ZEMBROLITE_SAME_FIELD(TW_VERSION, Info)

ZEMBROLITE_SAME_RECORD(TW_IDENTITY)
ZEMBROLITE_SAME_FIELD(TW_IDENTITY, Id)
ZEMBROLITE_SAME_FIELD(TW_IDENTITY, Version)
ZEMBROLITE_SAME_FIELD(TW_IDENTITY, ProtocolMajor)
ZEMBROLITE_SAME_FIELD(TW_IDENTITY, ProtocolMinor)
ZEMBROLITE_SAME_FIELD(TW_IDENTITY, SupportedGroups)
ZEMBROLITE_SAME_FIELD(TW_IDENTITY, Manufacturer)
ZEMBROLITE_SAME_FIELD(TW_IDENTITY, ProductFamily)
ZEMBROLITE_SAME_FIELD(TW_IDENTITY, ProductName)

ZEMBROLITE_SAME_RECORD(TW_ONEVALUE)
ZEMBROLITE_SAME_FIELD(TW_ONEVALUE, ItemType)
ZEMBROLITE_SAME_FIELD(TW_ONEVALUE, Item)

// The items follow the header from ItemList on.
ZEMBROLITE_SAME_RECORD(TW_ENUMERATION)
ZEMBROLITE_SAME_FIELD(TW_ENUMERATION, ItemType)
ZEMBROLITE_SAME_FIELD(TW_ENUMERATION, NumItems)
ZEMBROLITE_SAME_FIELD(TW_ENUMERATION, CurrentIndex)
ZEMBROLITE_SAME_FIELD(TW_ENUMERATION, DefaultIndex)
ZEMBROLITE_SAME_FIELD(TW_ENUMERATION, ItemList)

ZEMBROLITE_SAME_RECORD(TW_RANGE)
ZEMBROLITE_SAME_FIELD(TW_RANGE, ItemType)
ZEMBROLITE_SAME_FIELD(TW_RANGE, MinValue)
ZEMBROLITE_SAME_FIELD(TW_RANGE, MaxValue)
ZEMBROLITE_SAME_FIELD(TW_RANGE, StepSize)
ZEMBROLITE_SAME_FIELD(TW_RANGE, DefaultValue)
ZEMBROLITE_SAME_FIELD(TW_RANGE, CurrentValue)

ZEMBROLITE_SAME_RECORD(TW_CAPABILITY)
ZEMBROLITE_SAME_FIELD(TW_CAPABILITY, Cap)
ZEMBROLITE_SAME_FIELD(TW_CAPABILITY, ConType)
ZEMBROLITE_SAME_FIELD(TW_CAPABILITY, hContainer)

ZEMBROLITE_SAME_RECORD(TW_FRAME)
ZEMBROLITE_SAME_FIELD(TW_FRAME, Left)
ZEMBROLITE_SAME_FIELD(TW_FRAME, Top)
ZEMBROLITE_SAME_FIELD(TW_FRAME, Right)
ZEMBROLITE_SAME_FIELD(TW_FRAME, Bottom)

ZEMBROLITE_SAME_RECORD(TW_IMAGELAYOUT)
ZEMBROLITE_SAME_FIELD(TW_IMAGELAYOUT, Frame)
ZEMBROLITE_SAME_FIELD(TW_IMAGELAYOUT, DocumentNumber)
ZEMBROLITE_SAME_FIELD(TW_IMAGELAYOUT, PageNumber)
ZEMBROLITE_SAME_FIELD(TW_IMAGELAYOUT, FrameNumber)

ZEMBROLITE_SAME_RECORD(TW_USERINTERFACE)
ZEMBROLITE_SAME_FIELD(TW_USERINTERFACE, ShowUI)
ZEMBROLITE_SAME_FIELD(TW_USERINTERFACE, ModalUI)
ZEMBROLITE_SAME_FIELD(TW_USERINTERFACE, hParent)

ZEMBROLITE_SAME_RECORD(TW_EVENT)
ZEMBROLITE_SAME_FIELD(TW_EVENT, pEvent)
ZEMBROLITE_SAME_FIELD(TW_EVENT, TWMessage)

ZEMBROLITE_SAME_RECORD(TW_PENDINGXFERS)
ZEMBROLITE_SAME_FIELD(TW_PENDINGXFERS, Count)
ZEMBROLITE_SAME_FIELD(TW_PENDINGXFERS, Reserved)

ZEMBROLITE_SAME_RECORD(TW_STATUS)
ZEMBROLITE_SAME_FIELD(TW_STATUS, ConditionCode)
ZEMBROLITE_SAME_FIELD(TW_STATUS, Reserved)

ZEMBROLITE_SAME_RECORD(TW_ENTRYPOINT)
ZEMBROLITE_SAME_FIELD(TW_ENTRYPOINT, Size)
ZEMBROLITE_SAME_FIELD(TW_ENTRYPOINT, DSM_Entry)
ZEMBROLITE_SAME_FIELD(TW_ENTRYPOINT, DSM_MemAllocate)
ZEMBROLITE_SAME_FIELD(TW_ENTRYPOINT, DSM_MemFree)
ZEMBROLITE_SAME_FIELD(TW_ENTRYPOINT, DSM_MemLock)
ZEMBROLITE_SAME_FIELD(TW_ENTRYPOINT, DSM_MemUnlock)
// The memory functions that the manager hands out are called as it defines them (__stdcall in
// 32-bit Windows: the callee takes its arguments off the stack).
static_assert(std::is_same<decltype(ours::TW_ENTRYPOINT::DSM_MemFree), ::DSM_MEMFREE>::value,
              "DSM_MemFree is called as twain.h declares it");
static_assert(std::is_same<decltype(ours::TW_ENTRYPOINT::DSM_MemLock), ::DSM_MEMLOCK>::value,
              "DSM_MemLock is called as twain.h declares it");
static_assert(std::is_same<decltype(ours::TW_ENTRYPOINT::DSM_MemUnlock), ::DSM_MEMUNLOCK>::value,
              "DSM_MemUnlock is called as twain.h declares it");

#undef ZEMBROLITE_SAME_FIELD
#undef ZEMBROLITE_SAME_RECORD

// The constants: twain.h's macro against our value taken above.
#define ZEMBROLITE_SAME_CONSTANT(name) \
  static_assert(ours_values::our_##name == static_cast<long long>(name), #name " has twain.h's value");
ZEMBROLITE_TWAIN_CONSTANTS(ZEMBROLITE_SAME_CONSTANT)
#undef ZEMBROLITE_SAME_CONSTANT

}  // namespace
