// Counts of the registry, file, service-manager, path, process and network-table calls a run
// makes, for timings: facilities that count each call and pass it to the installed backend's own. Nothing counts until a
// TCallCounter is installed; the digest's bytes and the pacing pauses are counted by whoever
// hashes a file or pauses.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace platform {

// The kinds of call counted, in the order of the timings text: X(member, text).
#define BS_CALL_COUNTS(X)                                                                          \
  X(keysOpened, "keys opened")         /* OpenKey, OpenKeyEx, CreateKey */                         \
  X(keysEnumerated, "keys enumerated") /* EnumKey, EnumValue, EnumValueData, QueryInfoKey */       \
  X(valuesRead, "values read")         /* QueryValue, QueryValueW, EnumValueData with the data */  \
  X(filesOpened, "files opened")       /* CreateFile */                                            \
  X(filesFound, "files found")         /* FindFirstFile, FindNextFile */                           \
  X(attributesRead, "attributes read") /* GetFileAttributes */                                     \
  X(attributesMissing, "attributes missing") /* those reads that found nothing */               \
  X(bytesHashed, "bytes hashed")       /* file bytes fed to a digest */                            \
  X(pauses, "pauses")                  /* pacing pauses of 1 ms */                                 \
  X(servicesOpened, "services opened") /* OpenSCManager, OpenService */                            \
  X(bytesRead, "bytes read")           /* ReadFile */                                              \
  X(findsStarted, "finds started")     /* FindFirstFile: a directory opened and searched */        \
  X(pathLookups, "path lookups")       /* special folders, long and parsed paths, drive types */   \
  X(processCalls, "process calls")     /* process snapshots and opens, module lists and names */   \
  X(tcpTables, "tcp tables")           /* each TCP table call, the size query included */          \
  X(udpTables, "udp tables")           /* each UDP table call, the size query included */          \
  X(versionReads, "version reads")     /* GetFileVersionInfo: the file opened and mapped */

struct TCallCounts {
#define BS_CALL_COUNT_MEMBER(member, text) uint64_t member = 0;
  BS_CALL_COUNTS(BS_CALL_COUNT_MEMBER)
#undef BS_CALL_COUNT_MEMBER

  TCallCounts operator-(const TCallCounts& earlier) const;
};

// The counts so far in this process (every thread).
TCallCounts CallCounts();
void CountHashedBytes(uint64_t bytes);
void CountPause();

// "keys opened N, keys enumerated N, ..., udp tables N": each kind's text and count, in order.
std::string CallCountsText(const TCallCounts& counts);

// Puts the counting facilities in place of the installed backend's until destroyed.
class TCallCounter {
 public:
  TCallCounter();
  ~TCallCounter();
  TCallCounter(const TCallCounter&) = delete;
  TCallCounter& operator=(const TCallCounter&) = delete;

 private:
  struct Facilities;
  std::unique_ptr<Facilities> facilities_;
  Backend previous_;
};

}  // namespace platform
