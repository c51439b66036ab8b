// How tests steer the virtual scanner from outside its process: "VirtualScanner.ini" beside the
// data source file, read at every call, and the call log "VirtualScanner.log" beside it.
//
//   [Fail]                      return codes to answer instead of doing the work
//   IDENTITY.OPENDS=1           any call, by data type and message name
//   CAPABILITY.SET.1118=1       a capability call for one capability (hex number)
//   IMAGELAYOUT.SET.CC=10       the condition code that goes with a failure (default 1, TWCC_BUMMER)
//   [Crash]                     what a faulty driver does in a call, by its name as for [Fail]:
//   IDENTITY.OPENDS=access-violation   writes to address 0
//   USERINTERFACE.ENABLEDS=stack-overflow
//   IMAGENATIVEXFER.GET=cpp-exception  throws as a driver built with Visual C++ does
//   IDENTITY.OPENDS=hang        never returns; "hang 5000" returns after 5000 ms
//   [Device]
//   PhysicalWidth=8.5           inches
//   PhysicalHeight=11.69
//   [Behaviour]
//   Ready=transfer              without its interface: transfer (default), close (ask to be
//                               closed before any transfer) or never (wait for ever)
//   ReadyDelayMs=2000           how long the image takes to be ready
//   PagesLeft=2                 pages still in the feeder after each transfer (-1: unknown, some);
//                               by default none, or with its own dialog -1
//   Transfer=image              the native transfer: image (default), jam (fails with
//                               TWCC_PAPERJAM, the page left pending), cancel (the operator
//                               cancelled it in the source's window) or noimage (done, no handle)
//   Image=dib                   the native transfer's image: dib (default, a packed DIB in global
//                               memory), dibsection or dibsection-topdown (a bitmap handle of a DIB
//                               section, as some drivers give), brush (a GDI object, no image)
//   Handle=low32                only the low 32 bits of the handle written, as a driver written for
//                               32 bits does (default whole)
//   Container=onevalue          what MSG_GET answers in: onevalue (default), enumeration (the
//                               value the current of three items), range (the current value) or
//                               array (no current value)
//   [Log]
//   Calls=1                     append one line per call to VirtualScanner.log, a call that TWAIN
//                               does not allow in the scanner's state marked "(out of state N)";
//                               the manager and the application's identity at each opening, and
//                               each click on Scan in its dialog
//   Checksum=1                  and with each image the FNV-1a checksum of its pixel bytes
//   Times=1                     and when it was enabled and when an image was transferred, as
//                               "time <event> qpc=<QueryPerformanceCounter>" (benchmarks)
#pragma once

#include <string>

#include "../twain/TwainTypes.h"

// The name of a call for the control file and the log: "IDENTITY.OPENDS", "CAPABILITY.SET".
std::string CallName(TW_UINT16 dataType, TW_UINT16 message);

// The return code that the control file asks for this call, or -1 when the call should work.
// For capability calls, capability selects the more specific key.
int ScriptedFailure(const std::string& callName, int capability, TW_UINT16& conditionCode);

// What the control file asks this call to do as a faulty driver would ("" for nothing).
std::string ScriptedCrash(const std::string& callName);

double DeviceSetting(const char* key, double defaultValue);
std::string BehaviourSetting(const char* key, const char* defaultValue);

void LogCall(const std::string& line);
bool LogsChecksums();
void LogTime(const char* event);
