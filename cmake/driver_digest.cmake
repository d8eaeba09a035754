# Writes the header that carries the MD5 digest of the driver just built:
# cmake -DDRIVER=<kvdrv.sys> -DOUT=<header> -P driver_digest.cmake
file(MD5 ${DRIVER} digest)
set(text "// Generated at build time from kvdrv.sys; do not edit.\n#pragma once\n\nnamespace rootkit {\ninline constexpr char kBuiltDriverMd5[] = \"${digest}\";\n}  // namespace rootkit\n")
file(WRITE ${OUT}.new "${text}")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OUT}.new ${OUT})
file(REMOVE ${OUT}.new)
