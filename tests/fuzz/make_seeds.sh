#!/usr/bin/env bash
# Seeds of the PE fuzz targets, made from images of our own: the driver and a small library built
# here as a 32-bit and a 64-bit DLL. Usage: make_seeds.sh CC32 CC64 SOURCE_DIR DRIVER OUT_DIR
set -euo pipefail
cc32=$1 cc64=$2 src=$3 driver=$4 out=$5
work=$out/images
rm -rf "$out"
mkdir -p "$work" "$out/pe_exports_fuzz" "$out/kernel_files_fuzz" "$out/ring3_walkers_fuzz"
"$cc32" -O1 -shared -nostdlib -Wl,--entry,_DllMain@12 -Wl,--no-insert-timestamp -o "$work/seed32.dll" \
  "$src/seed_library.c" "$src/seed_library.def" -lkernel32
"$cc64" -O1 -shared -nostdlib -Wl,--entry,DllMain -Wl,--no-insert-timestamp -o "$work/seed64.dll" \
  "$src/seed_library.c" "$src/seed_library.def" -lkernel32
cp "$driver" "$work/kvdrv.sys"
for image in "$work"/*; do
  name=$(basename "$image")
  cp "$image" "$out/pe_exports_fuzz/$name"
  cp "$image" "$out/kernel_files_fuzz/$name"
  # The walker target reads its first byte as the mode: 1 takes the image as it is, 3 and 7 its
  # bytes as patches over well-formed images, 0 as the environment block and loader data.
  for mode in 0 1 3 7; do
    { printf "\\$(printf '%03o' $mode)"; cat "$image"; } >"$out/ring3_walkers_fuzz/$mode-$name"
  done
done
