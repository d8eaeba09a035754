// Counts of the registry, file and service-manager calls a run makes, for timings: facilities
// that count each call and pass it to the installed backend's own. Nothing counts until a
// TCallCounter is installed; the digest's bytes and the pacing pauses are counted by whoever
// hashes a file or pauses.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace platform {

struct TCallCounts {
  uint64_t keysOpened = 0;      // OpenKey, OpenKeyEx, CreateKey
  uint64_t keysEnumerated = 0;  // EnumKey, EnumValue, EnumValueData, QueryInfoKey
  uint64_t valuesRead = 0;      // QueryValue, QueryValueW, EnumValueData with the data
  uint64_t filesOpened = 0;     // CreateFile, GetFileVersionInfo
  uint64_t filesFound = 0;      // FindFirstFile, FindNextFile
  uint64_t attributesRead = 0;  // GetFileAttributes
  uint64_t bytesHashed = 0;     // file bytes fed to a digest
  uint64_t pauses = 0;          // pacing pauses of 1 ms
  uint64_t servicesOpened = 0;  // OpenSCManager, OpenService
  uint64_t bytesRead = 0;       // ReadFile

  TCallCounts operator-(const TCallCounts& earlier) const;
};

// The counts so far in this process (every thread).
TCallCounts CallCounts();
void CountHashedBytes(uint64_t bytes);
void CountPause();

// "keys opened N, keys enumerated N, values read N, files opened N, files found N, attributes
// read N, bytes hashed N, pauses N, services opened N, bytes read N".
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
