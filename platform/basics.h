// The Windows numbers the facilities share, and the handle type.
#pragma once

#include <cstdint>

namespace platform {

// Windows numbers the callers share with both backends (values as in the Windows headers).
namespace win {
constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorInvalidData = 13;
constexpr uint32_t kErrorNoMoreFiles = 18;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorFileExists = 80;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorCallNotImplemented = 120;
constexpr uint32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kErrorAlreadyExists = 183;
constexpr uint32_t kErrorMoreData = 234;
constexpr uint32_t kErrorNoMoreItems = 259;
constexpr uint32_t kErrorDirNotEmpty = 145;
constexpr uint32_t kErrorKeyHasChildren = 1020;
constexpr uint32_t kErrorKeyDeleted = 1018;

constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegLink = 6;
constexpr uint32_t kRegMultiSz = 7;
constexpr uint32_t kRegQword = 11;

constexpr uint32_t kKeyQueryValue = 0x0001;
constexpr uint32_t kKeySetValue = 0x0002;
constexpr uint32_t kKeyCreateSubKey = 0x0004;
constexpr uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWrite = 0x20006;
constexpr uint32_t kKeyAllAccess = 0xF003F;
constexpr uint32_t kDelete = 0x10000;
constexpr uint32_t kRegOptionOpenLink = 0x08;

constexpr uint32_t kFileAttributeReadonly = 0x01;
constexpr uint32_t kFileAttributeHidden = 0x02;
constexpr uint32_t kFileAttributeSystem = 0x04;
constexpr uint32_t kFileAttributeDirectory = 0x10;
constexpr uint32_t kFileAttributeArchive = 0x20;
constexpr uint32_t kFileAttributeNormal = 0x80;
constexpr uint32_t kDriveUnknown = 0;
constexpr uint32_t kDriveRemovable = 2;
constexpr uint32_t kDriveFixed = 3;
constexpr uint32_t kDriveRemote = 4;
constexpr uint32_t kDriveCdRom = 5;
constexpr uint32_t kDriveRamDisk = 6;
constexpr uint32_t kFileAttributeReparsePoint = 0x400;
constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFF;

constexpr uint32_t kGenericRead = 0x80000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kFileAppendData = 0x0004;
constexpr uint32_t kFileShareRead = 1;
constexpr uint32_t kFileShareWrite = 2;
constexpr uint32_t kFileShareDelete = 4;
constexpr uint32_t kCreateNew = 1;
constexpr uint32_t kCreateAlways = 2;
constexpr uint32_t kOpenExisting = 3;
constexpr uint32_t kOpenAlways = 4;
constexpr uint32_t kFileBegin = 0;
constexpr uint32_t kFileCurrent = 1;
constexpr uint32_t kFileEnd = 2;
constexpr uint32_t kMoveFileReplaceExisting = 1;

constexpr uint32_t kVerPlatformWin32Windows = 1;
constexpr uint32_t kVerPlatformWin32Nt = 2;

constexpr uint32_t kStillActive = 259;
constexpr uint32_t kInfinite = 0xFFFFFFFF;
constexpr int kSwShowNormal = 1;
constexpr int kSwShow = 5;

constexpr uint32_t kMbOk = 0x0;
constexpr uint32_t kMbYesNo = 0x4;
constexpr uint32_t kMbIconError = 0x10;
constexpr uint32_t kMbIconQuestion = 0x20;
constexpr uint32_t kMbIconWarning = 0x30;
constexpr uint32_t kMbIconInformation = 0x40;
constexpr uint32_t kMbTopmost = 0x40000;
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

constexpr int kCsidlDesktopDirectory = 16;
constexpr int kCsidlStartup = 7;
constexpr int kCsidlCommonStartup = 24;
constexpr int kCsidlAppData = 26;
constexpr int kCsidlCommonAppData = 35;
constexpr int kCsidlProgramFiles = 38;

constexpr uint32_t kProcessQueryInformation = 0x0400;
constexpr uint32_t kProcessVmRead = 0x0010;
constexpr uint32_t kProcessAllAccess = 0x1F0FFF;
constexpr uint32_t kTokenAdjustPrivileges = 0x20;
constexpr uint32_t kFileFlagSequentialScan = 0x08000000;
constexpr uint32_t kFileFlagBackupSemantics = 0x02000000;
constexpr uint32_t kFileFlagOpenReparsePoint = 0x00200000;
constexpr uint32_t kFileReadAttributes = 0x0080;

constexpr uint32_t kScManagerConnect = 0x0001;
constexpr uint32_t kScManagerEnumerateService = 0x0004;
constexpr uint32_t kScManagerAllAccess = 0xF003F;
constexpr uint32_t kServiceQueryConfig = 0x0001;
constexpr uint32_t kServiceQueryStatus = 0x0004;
constexpr uint32_t kServiceAllAccess = 0xF01FF;
constexpr uint32_t kServiceKernelDriver = 0x01;
constexpr uint32_t kServiceFileSystemDriver = 0x02;
constexpr uint32_t kServiceDriver = 0x0B;
constexpr uint32_t kServiceWin32OwnProcess = 0x10;
constexpr uint32_t kServiceWin32ShareProcess = 0x20;
constexpr uint32_t kServiceWin32 = 0x30;
constexpr uint32_t kServiceActive = 1;
constexpr uint32_t kServiceInactive = 2;
constexpr uint32_t kServiceStateAll = 3;
constexpr uint32_t kServiceStopped = 1;
constexpr uint32_t kServiceRunning = 4;
constexpr uint32_t kTokenQuery = 0x08;

constexpr uint32_t kInternetFlagReload = 0x80000000;
constexpr uint32_t kInternetFlagNoCacheWrite = 0x04000000;
constexpr uint32_t kInternetFlagNoAutoRedirect = 0x00200000;
constexpr uint32_t kErrorInternetNameNotResolved = 12007;
constexpr uint32_t kErrorInternetCannotConnect = 12029;

constexpr uint32_t kAfInet = 2;
constexpr uint32_t kTcpTableOwnerPidAll = 5;
constexpr uint32_t kUdpTableOwnerPid = 1;
}  // namespace win

using Handle = std::uintptr_t;
constexpr Handle kNoHandle = 0;
constexpr Handle kInvalidHandle = ~Handle{0};

}  // namespace platform
