/* kvdrv.sys: lets the scanner read the kernel's service table, kernel code bytes and the
   system-call entry. Only administrators and SYSTEM open its device, one handle at a time; kernel
   bytes are answered only inside the kernel image and its service table, each address checked
   before it is read; every request completes at once. */
#include <ntifs.h>

#include "kvdrv_requests.h"

/* The service descriptor the kernel exports (the first of its tables). */
typedef struct KvServiceDescriptor {
  PULONG base;
  PULONG counters;
  ULONG count;
  PUCHAR arguments;
} KvServiceDescriptor;

__declspec(dllimport) KvServiceDescriptor KeServiceDescriptorTable;

NTSTATUS NTAPI ZwQuerySystemInformation(ULONG infoClass, PVOID buffer, ULONG length, PULONG returned);

#define KV_POOL_TAG 0x7664764B /* 'Kvdv' */
#define KV_SYSTEM_MODULE_INFORMATION 11
#define KV_MODULE_LIST_LIMIT (4u << 20)

static const WCHAR kDeviceName[] = L"\\Device\\kvdrv";
static const WCHAR kLinkName[] = L"\\DosDevices\\kvdrv";

/* The kernel image, from the first entry of the system module list at load time. */
static uint32_t g_image_base;
static uint32_t g_image_size;
/* 1 while a handle to the device is open. */
static LONG g_open;

static uint32_t ServiceTable(void* context, uint32_t* count) {
  (void)context;
  *count = KeServiceDescriptorTable.count;
  return (uint32_t)(ULONG_PTR)KeServiceDescriptorTable.base;
}

static uint32_t KernelImage(void* context, uint32_t* size) {
  (void)context;
  *size = g_image_size;
  return g_image_base;
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

/* One open at a time, of the device itself: a name after the device's name is refused. */
static NTSTATUS NTAPI Create(PDEVICE_OBJECT device, PIRP irp) {
  (void)device;
  const PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  if (stack->FileObject != NULL && stack->FileObject->FileName.Length != 0) {
    return Complete(irp, STATUS_ACCESS_DENIED, 0);
  }
  if (InterlockedCompareExchange(&g_open, 1, 0) != 0) return Complete(irp, STATUS_ACCESS_DENIED, 0);
  return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI Close(PDEVICE_OBJECT device, PIRP irp) {
  (void)device;
  InterlockedExchange(&g_open, 0);
  return Complete(irp, STATUS_SUCCESS, 0);
}

/* Base and size of the first module the system lists: the kernel. Left 0 when the list cannot be
   had, and then no kernel bytes are answered. */
static void FindKernelImage(void) {
  for (ULONG length = 0x4000; length <= KV_MODULE_LIST_LIMIT; length *= 2) {
    PUCHAR list = (PUCHAR)ExAllocatePoolWithTag(PagedPool, length, KV_POOL_TAG);
    if (list == NULL) return;
    ULONG returned = 0;
    const NTSTATUS status = ZwQuerySystemInformation(KV_SYSTEM_MODULE_INFORMATION, list, length, &returned);
    /* The count, then entries of 284 bytes: base at 8, size at 12. */
    if (NT_SUCCESS(status) && *(PULONG)list != 0) {
      g_image_base = *(PULONG)(list + 4 + 8);
      g_image_size = *(PULONG)(list + 4 + 12);
    }
    ExFreePoolWithTag(list, KV_POOL_TAG);
    if (status != STATUS_INFO_LENGTH_MISMATCH) return;
  }
}

/* The two well-known SIDs, laid out as the kernel keeps them: S-1-5-18 and S-1-5-32-544. (Wine's
   kernel exports SeExports as a stub, so the SIDs are not read from there.) */
static const struct {
  UCHAR revision, count, authority[6];
  ULONG sub[1];
} kLocalSystemSid = {SID_REVISION, 1, {0, 0, 0, 0, 0, 5}, {SECURITY_LOCAL_SYSTEM_RID}};
static const struct {
  UCHAR revision, count, authority[6];
  ULONG sub[2];
} kAdminsSid = {SID_REVISION, 2, {0, 0, 0, 0, 0, 5}, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}};

/* A DACL of two entries on the device: full access for SYSTEM and for the Administrators group,
   nothing for anyone else. */
static NTSTATUS SecureDevice(PDEVICE_OBJECT device) {
  const PSID system = (PSID)&kLocalSystemSid, admins = (PSID)&kAdminsSid;
  const ULONG size = sizeof(ACL) + 2 * sizeof(ACCESS_ALLOWED_ACE) + RtlLengthSid(system) + RtlLengthSid(admins);
  PACL acl = (PACL)ExAllocatePoolWithTag(PagedPool, size, KV_POOL_TAG);
  if (acl == NULL) return STATUS_INSUFFICIENT_RESOURCES;
  SECURITY_DESCRIPTOR descriptor;
  NTSTATUS status = RtlCreateAcl(acl, size, ACL_REVISION);
  if (NT_SUCCESS(status)) status = RtlAddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, system);
  if (NT_SUCCESS(status)) status = RtlAddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, admins);
  if (NT_SUCCESS(status)) status = RtlCreateSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  if (NT_SUCCESS(status)) status = RtlSetDaclSecurityDescriptor(&descriptor, TRUE, acl, FALSE);
  HANDLE handle = NULL;
  if (NT_SUCCESS(status)) {
    status = ObOpenObjectByPointer(device, OBJ_KERNEL_HANDLE, NULL, WRITE_DAC, NULL, KernelMode, &handle);
  }
  if (NT_SUCCESS(status)) {
    status = ZwSetSecurityObject(handle, DACL_SECURITY_INFORMATION, &descriptor);
    ZwClose(handle);
  }
  ExFreePoolWithTag(acl, KV_POOL_TAG);
  return status;
}

static NTSTATUS NTAPI DeviceControl(PDEVICE_OBJECT device, PIRP irp) {
  (void)device;
  const PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  const KvKernel kernel = {NULL, ServiceTable, KernelImage, IsReadable, Read, SyscallEntry};
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
  FindKernelImage();
  NTSTATUS status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, FILE_DEVICE_SECURE_OPEN, TRUE, &device);
  if (!NT_SUCCESS(status)) return status;
  /* No device that anyone else could open: without its DACL the driver does not stay. A kernel
     without object security (Wine's answers STATUS_NOT_IMPLEMENTED) has no other user to keep out. */
  status = SecureDevice(device);
  if (!NT_SUCCESS(status) && status != STATUS_NOT_IMPLEMENTED) {
    IoDeleteDevice(device);
    return status;
  }
  status = IoCreateSymbolicLink(&link, &name);
  if (!NT_SUCCESS(status)) {
    IoDeleteDevice(device);
    return status;
  }
  driver->MajorFunction[IRP_MJ_CREATE] = Create;
  driver->MajorFunction[IRP_MJ_CLOSE] = Close;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DeviceControl;
  driver->DriverUnload = Unload;
  device->Flags |= DO_BUFFERED_IO;
  device->Flags &= ~DO_DEVICE_INITIALIZING;
  return STATUS_SUCCESS;
}
