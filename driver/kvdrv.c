/* kvdrv.sys: lets the scanner read the kernel's service table, kernel code bytes and the
   system-call entry. Every address asked for is checked before it is read; every request
   completes at once. */
#include <ntddk.h>

#include "kvdrv_requests.h"

/* The service descriptor the kernel exports (the first of its tables). */
typedef struct KvServiceDescriptor {
  PULONG base;
  PULONG counters;
  ULONG count;
  PUCHAR arguments;
} KvServiceDescriptor;

__declspec(dllimport) KvServiceDescriptor KeServiceDescriptorTable;

static const WCHAR kDeviceName[] = L"\\Device\\kvdrv";
static const WCHAR kLinkName[] = L"\\DosDevices\\kvdrv";

static uint32_t ServiceTable(void* context, uint32_t* count) {
  (void)context;
  *count = KeServiceDescriptorTable.count;
  return (uint32_t)(ULONG_PTR)KeServiceDescriptorTable.base;
}

static int IsReadable(void* context, uint32_t address, uint32_t length) {
  (void)context;
  if (length == 0 || address + length - 1 < address) return 0;
  if ((ULONG_PTR)address < (ULONG_PTR)MmSystemRangeStart) return 0;
  /* Both ends: a range of at most a page crosses one boundary at most. */
  return length <= PAGE_SIZE && MmIsAddressValid((PVOID)(ULONG_PTR)address) &&
         MmIsAddressValid((PVOID)(ULONG_PTR)(address + length - 1));
}

static void Read(void* context, uint32_t address, void* out, uint32_t length) {
  (void)context;
  RtlCopyMemory(out, (const void*)(ULONG_PTR)address, length);
}

/* The sysenter target on systems that enter by sysenter (minor version not 0), else the
   interrupt 0x2E handler from the descriptor table. */
static uint32_t SyscallEntry(void* context) {
  (void)context;
  ULONG major = 0, minor = 0;
  PsGetVersion(&major, &minor, NULL, NULL);
  if (minor != 0) {
    uint32_t low = 0, high = 0;
    __asm__ volatile("rdmsr" : "=a"(low), "=d"(high) : "c"(0x176u));
    (void)high;
    return low;
  }
  struct __attribute__((packed)) {
    uint16_t limit;
    uint32_t base;
  } idt = {0, 0};
  __asm__ volatile("sidt %0" : "=m"(idt));
  const uint32_t gate = idt.base + 0x2E * 8;
  if (idt.limit < 0x2E * 8 + 7 || !IsReadable(NULL, gate, 8)) return 0;
  const uint16_t* words = (const uint16_t*)(ULONG_PTR)gate;
  return (uint32_t)words[0] | ((uint32_t)words[3] << 16);
}

static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

static NTSTATUS NTAPI CreateClose(PDEVICE_OBJECT device, PIRP irp) {
  (void)device;
  return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI DeviceControl(PDEVICE_OBJECT device, PIRP irp) {
  (void)device;
  const PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  const KvKernel kernel = {NULL, ServiceTable, IsReadable, Read, SyscallEntry};
  uint32_t information = 0;
  void* buffer = irp->AssociatedIrp.SystemBuffer;
  const ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
  const ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
  if (buffer == NULL && (in != 0 || out != 0)) return Complete(irp, STATUS_INVALID_PARAMETER, 0);
  const NTSTATUS status =
      KvHandleRequest(&kernel, stack->Parameters.DeviceIoControl.IoControlCode, buffer, in, out, &information);
  return Complete(irp, status, NT_SUCCESS(status) ? information : 0);
}

static VOID NTAPI Unload(PDRIVER_OBJECT driver) {
  UNICODE_STRING link;
  RtlInitUnicodeString(&link, kLinkName);
  IoDeleteSymbolicLink(&link);
  if (driver->DeviceObject != NULL) IoDeleteDevice(driver->DeviceObject);
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
  (void)registryPath;
  UNICODE_STRING name, link;
  RtlInitUnicodeString(&name, kDeviceName);
  RtlInitUnicodeString(&link, kLinkName);
  PDEVICE_OBJECT device = NULL;
  NTSTATUS status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
  if (!NT_SUCCESS(status)) return status;
  status = IoCreateSymbolicLink(&link, &name);
  if (!NT_SUCCESS(status)) {
    IoDeleteDevice(device);
    return status;
  }
  driver->MajorFunction[IRP_MJ_CREATE] = CreateClose;
  driver->MajorFunction[IRP_MJ_CLOSE] = CreateClose;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DeviceControl;
  driver->DriverUnload = Unload;
  device->Flags |= DO_BUFFERED_IO;
  device->Flags &= ~DO_DEVICE_INITIALIZING;
  return STATUS_SUCCESS;
}
