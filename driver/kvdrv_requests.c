#include "kvdrv_requests.h"

static uint32_t LoadU32(const void* buffer) {
  const uint8_t* b = (const uint8_t*)buffer;
  return (uint32_t)b[0] | ((uint32_t)b[1] << 8) | ((uint32_t)b[2] << 16) | ((uint32_t)b[3] << 24);
}

static void StoreU32(void* buffer, uint32_t value) {
  uint8_t* b = (uint8_t*)buffer;
  b[0] = (uint8_t)value;
  b[1] = (uint8_t)(value >> 8);
  b[2] = (uint8_t)(value >> 16);
  b[3] = (uint8_t)(value >> 24);
}

/* How many bytes from `address` on lie in [base, base + size); 0 when `address` lies outside. */
static uint64_t RoomIn(uint32_t base, uint64_t size, uint32_t address) {
  if (address < base || (uint64_t)address >= (uint64_t)base + size) return 0;
  return (uint64_t)base + size - address;
}

/* The number of bytes readable from `address` on, up to `wanted`: inside the kernel image or the
   service table only, never past the end of the one that holds `address`. */
static uint32_t ReadablePrefix(const KvKernel* kernel, uint32_t address, uint32_t wanted) {
  uint32_t count = 0, image_size = 0;
  const uint32_t table = kernel->service_table(kernel->context, &count);
  const uint32_t image = kernel->kernel_image(kernel->context, &image_size);
  uint64_t room = image != 0 ? RoomIn(image, image_size, address) : 0;
  if (room == 0 && table != 0) room = RoomIn(table, (uint64_t)count * 4, address);
  if (room < wanted) wanted = (uint32_t)room;
  uint32_t length = 0;
  while (length < wanted && address + length >= address &&
         kernel->is_readable(kernel->context, address + length, 1)) {
    ++length;
  }
  return length;
}

int32_t KvHandleRequest(const KvKernel* kernel, uint32_t code, void* buffer, uint32_t in_length,
                        uint32_t out_length, uint32_t* information) {
  *information = 0;
  switch (code) {
    case KV_IOCTL_GET_SERVICE_TABLE: {
      uint32_t count = 0;
      if (out_length < 4) return KV_STATUS_BUFFER_TOO_SMALL;
      const uint32_t table = kernel->service_table(kernel->context, &count);
      if (table == 0) return KV_STATUS_UNSUCCESSFUL;
      StoreU32(buffer, table);
      *information = 4;
      return KV_STATUS_SUCCESS;
    }
    case KV_IOCTL_READ_SERVICE_ENTRY: {
      uint32_t count = 0;
      if (in_length < 4 || out_length < 4) return KV_STATUS_BUFFER_TOO_SMALL;
      const uint32_t number = LoadU32(buffer);
      const uint32_t table = kernel->service_table(kernel->context, &count);
      if (table == 0) return KV_STATUS_UNSUCCESSFUL;
      if (number >= count || (uint64_t)table + ((uint64_t)number << 2) + 4 > 0x100000000ull) {
        return KV_STATUS_INVALID_PARAMETER;
      }
      const uint32_t entry = table + number * 4;
      if (!kernel->is_readable(kernel->context, entry, 4)) return KV_STATUS_ACCESS_VIOLATION;
      uint8_t value[4];
      kernel->read(kernel->context, entry, value, 4);
      StoreU32(buffer, LoadU32(value));
      *information = 4;
      return KV_STATUS_SUCCESS;
    }
    case KV_IOCTL_READ_KERNEL_BYTES: {
      if (in_length < 4) return KV_STATUS_BUFFER_TOO_SMALL;
      if (out_length < KV_KERNEL_BYTES) return KV_STATUS_BUFFER_TOO_SMALL;
      const uint32_t address = LoadU32(buffer);
      /* A routine near the end of the kernel's last page answers with what can be read. */
      const uint32_t length = ReadablePrefix(kernel, address, KV_KERNEL_BYTES);
      if (length == 0) return KV_STATUS_ACCESS_VIOLATION;
      uint8_t bytes[KV_KERNEL_BYTES];
      kernel->read(kernel->context, address, bytes, length);
      for (uint32_t i = 0; i < KV_KERNEL_BYTES; ++i) ((uint8_t*)buffer)[i] = i < length ? bytes[i] : 0;
      *information = length;
      return KV_STATUS_SUCCESS;
    }
    case KV_IOCTL_GET_SYSCALL_ENTRY: {
      if (out_length < 4) return KV_STATUS_BUFFER_TOO_SMALL;
      const uint32_t entry = kernel->syscall_entry(kernel->context);
      if (entry == 0) return KV_STATUS_UNSUCCESSFUL;
      StoreU32(buffer, entry);
      *information = 4;
      return KV_STATUS_SUCCESS;
    }
    default:
      return KV_STATUS_INVALID_DEVICE_REQUEST;
  }
}
