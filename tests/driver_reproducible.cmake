# Rebuilds kvdrv.sys from a copy of driver/ in another folder and compares it with the built one;
# then checks the generated digest header against the built file.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/elsewhere)
file(COPY ${SOURCE_DIR}/driver/ DESTINATION ${WORK}/elsewhere/src)
execute_process(
  COMMAND ${CMAKE_COMMAND} -DCC=${CC} -DSOURCE_DIR=${WORK}/elsewhere/src -DOUT=${WORK}/kvdrv.sys
          -P ${SOURCE_DIR}/cmake/build_driver.cmake
  RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "the copy of the driver sources did not build")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${DRIVER} ${WORK}/kvdrv.sys RESULT_VARIABLE same)
if(NOT same EQUAL 0)
  message(FATAL_ERROR "kvdrv.sys differs when built from ${WORK}/elsewhere/src")
endif()
file(MD5 ${DRIVER} digest)
file(READ ${HEADER} header)
string(FIND "${header}" "\"${digest}\"" at)
if(at EQUAL -1)
  message(FATAL_ERROR "driver_digest.h does not carry the digest ${digest} of ${DRIVER}")
endif()
file(REMOVE_RECURSE ${WORK})
message(STATUS "kvdrv.sys ${digest}: same bytes from another folder")
