/* The four device-control requests of kvdrv.sys, apart from the kernel calls they need, so that
   the same code runs in the driver and in a host test with a kernel of its own. */
#ifndef KVDRV_REQUESTS_H
#define KVDRV_REQUESTS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Device type 0x22, buffered, read and write access. */
#define KV_IOCTL(function) ((0x22u << 16) | (3u << 14) | ((uint32_t)(function) << 2))
#define KV_IOCTL_GET_SERVICE_TABLE KV_IOCTL(0x801)
#define KV_IOCTL_READ_SERVICE_ENTRY KV_IOCTL(0x802)
#define KV_IOCTL_READ_KERNEL_BYTES KV_IOCTL(0x803)
#define KV_IOCTL_GET_SYSCALL_ENTRY KV_IOCTL(0x804)

#define KV_KERNEL_BYTES 15u

#define KV_STATUS_SUCCESS 0x00000000
#define KV_STATUS_UNSUCCESSFUL ((int32_t)0xC0000001)
#define KV_STATUS_ACCESS_VIOLATION ((int32_t)0xC0000005)
#define KV_STATUS_INVALID_PARAMETER ((int32_t)0xC000000D)
#define KV_STATUS_INVALID_DEVICE_REQUEST ((int32_t)0xC0000010)
#define KV_STATUS_BUFFER_TOO_SMALL ((int32_t)0xC0000023)

/* What the requests need of the kernel. */
typedef struct KvKernel {
  void* context;
  /* The service table: the array of service routine addresses and its entry count. */
  uint32_t (*service_table)(void* context, uint32_t* count);
  /* The kernel image: its base and size; 0 when unknown. */
  uint32_t (*kernel_image)(void* context, uint32_t* size);
  /* Whether every byte of [address, address + length) is resident kernel memory. */
  int (*is_readable)(void* context, uint32_t address, uint32_t length);
  void (*read)(void* context, uint32_t address, void* out, uint32_t length);
  /* Where system calls enter the kernel; 0 when unknown. */
  uint32_t (*syscall_entry)(void* context);
} KvKernel;

/* Handles one buffered request. `buffer` holds `in_length` bytes of input and receives up to
   `out_length` bytes of output; `*information` gets the bytes answered. Kernel bytes are read
   only inside the kernel image and the service table, and only where the kernel calls them
   readable; nothing is written past either length. */
int32_t KvHandleRequest(const KvKernel* kernel, uint32_t code, void* buffer, uint32_t in_length,
                        uint32_t out_length, uint32_t* information);

#ifdef __cplusplus
}
#endif

#endif
