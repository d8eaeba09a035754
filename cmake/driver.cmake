# kvdrv.sys, built beside the executables on both presets, and the generated header with its
# digest (<build>/generated/driver_digest.h) that bs_rootkit compiles in.
find_program(BS_DRIVER_CC NAMES i686-w64-mingw32-gcc-win32 i686-w64-mingw32-gcc-posix i686-w64-mingw32-gcc REQUIRED)
set(BS_DRIVER_FILE ${CMAKE_BINARY_DIR}/kvdrv.sys)
set(BS_DRIVER_DIGEST_HEADER ${CMAKE_BINARY_DIR}/generated/driver_digest.h)
file(GLOB BS_DRIVER_SRC CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/driver/*.c ${CMAKE_SOURCE_DIR}/driver/*.h)
add_custom_command(
  OUTPUT ${BS_DRIVER_FILE}
  COMMAND ${CMAKE_COMMAND} -DCC=${BS_DRIVER_CC} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}/driver -DOUT=${BS_DRIVER_FILE}
          -P ${CMAKE_SOURCE_DIR}/cmake/build_driver.cmake
  DEPENDS ${BS_DRIVER_SRC} ${CMAKE_SOURCE_DIR}/cmake/build_driver.cmake
  COMMENT "Building kvdrv.sys")
add_custom_command(
  OUTPUT ${BS_DRIVER_DIGEST_HEADER}
  COMMAND ${CMAKE_COMMAND} -DDRIVER=${BS_DRIVER_FILE} -DOUT=${BS_DRIVER_DIGEST_HEADER}
          -P ${CMAKE_SOURCE_DIR}/cmake/driver_digest.cmake
  DEPENDS ${BS_DRIVER_FILE} ${CMAKE_SOURCE_DIR}/cmake/driver_digest.cmake
  COMMENT "Writing the digest of kvdrv.sys")
add_custom_target(kvdrv ALL DEPENDS ${BS_DRIVER_FILE} ${BS_DRIVER_DIGEST_HEADER})
