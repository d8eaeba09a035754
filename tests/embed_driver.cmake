# Writes the bytes of the driver built with the tests into a header (cmake -DDRIVER= -DOUT= -P),
# so that the tests over the fake machine can put the genuine file beside the executable.
file(READ ${DRIVER} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE ${OUT}.tmp "// Generated from kvdrv.sys when it is built.\n#pragma once\ninline const unsigned char kBuiltDriverBytes[] = {${bytes}};\n")
file(RENAME ${OUT}.tmp ${OUT})
