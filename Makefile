# The front door. Every target installs what is missing first (tools/setup).
SHELL := /bin/bash
JOBS ?= 2
# The Windows build this host runs under Wine: win32 where it runs 32-bit code, else win64.
HOST_BUILD = $(shell source tools/host.sh && bs_host_tree)

.PHONY: all setup build build-win32 build-win64 build-native build-fuzz demo test gui dist bench clean

all: build

setup:
	@tools/setup

build-win32: setup
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 -j $(JOBS)

build-win64: setup
	@cmake --preset win64 >/dev/null
	@cmake --build --preset win64 -j $(JOBS)

build-native: setup
	@cmake --preset native >/dev/null
	@cmake --build --preset native -j $(JOBS)

build-fuzz: setup
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)

build: build-win32 build-win64 build-native

# Then the same sample laid out as a Windows volume at rest, scanned natively (bsscan --offline).
demo: setup
	@$(MAKE) --no-print-directory build-$(HOST_BUILD)
	@cmake --preset native >/dev/null
	@cmake --build --preset native -j $(JOBS) --target bsscan_offline
	@tools/demo build/$(HOST_BUILD)
	@tools/demo-offline build/native build/$(HOST_BUILD)

# Both Windows builds are built and tested on every host; where the host runs only 64-bit code
# the win32 Wine entries report themselves skipped, with the reason.
test: build
	@source tools/host.sh && bs_host_summary
	@ctest --test-dir build/native --output-on-failure
	@ctest --test-dir build/win64 --output-on-failure
	@ctest --test-dir build/win32 --output-on-failure

gui: setup
	@$(MAKE) --no-print-directory build-$(HOST_BUILD)
	@tools/gui build/$(HOST_BUILD)

dist: build-win32 build-win64
	@tools/dist build/win32 build/dist build/win64

bench: build-native
	@$(MAKE) --no-print-directory build-$(HOST_BUILD)
	@tools/bench build

clean:
	rm -rf build
