# Builds kvdrv.sys: cmake -DCC=<mingw gcc> -DSOURCE_DIR=<driver folder> -DOUT=<file> -P build_driver.cmake
# A native-subsystem image without timestamp, compiler identification or debug information, so
# that the same sources give the same bytes wherever they are built (the executables carry the
# digest of this very file).
foreach(var CC SOURCE_DIR OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "build_driver.cmake: ${var} is not set")
  endif()
endforeach()
execute_process(COMMAND ${CC} -print-sysroot OUTPUT_VARIABLE sysroot OUTPUT_STRIP_TRAILING_WHITESPACE)
set(ddk "")
foreach(dir ${sysroot}/include/ddk /usr/i686-w64-mingw32/include/ddk /usr/share/mingw-w64/include/ddk)
  if(EXISTS ${dir}/ntddk.h)
    set(ddk ${dir})
    break()
  endif()
endforeach()
if(NOT ddk)
  message(FATAL_ERROR "build_driver.cmake: the MinGW-w64 DDK headers (ntddk.h) are missing")
endif()
execute_process(
  COMMAND ${CC} -O2 -g0 -fno-ident -std=c11 -Wall -Wextra -Werror -ffreestanding -fno-stack-protector
          -fno-asynchronous-unwind-tables -isystem ${ddk} -nostdlib -nostartfiles
          -Wl,--subsystem,native -Wl,--entry,_DriverEntry@8 -Wl,--no-insert-timestamp
          -Wl,--image-base,0x10000 -Wl,--dynamicbase
          -o ${OUT} kvdrv.c kvdrv_requests.c -lntoskrnl -lhal
  WORKING_DIRECTORY ${SOURCE_DIR}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${OUT})
  message(FATAL_ERROR "build_driver.cmake: the driver did not build")
endif()
