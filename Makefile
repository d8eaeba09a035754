# The front door. Every target installs what is missing first (tools/setup).
SHELL := /bin/bash
JOBS ?= 2

.PHONY: all setup build build-win32 build-native build-fuzz demo test gui dist bench clean

all: build

setup:
	@tools/setup

build-win32: setup
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 -j $(JOBS)

build-native: setup
	@cmake --preset native >/dev/null
	@cmake --build --preset native -j $(JOBS)

build-fuzz: setup
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)

build: build-win32 build-native

demo: build-win32
	@tools/demo build/win32

test: build-win32 build-native
	@ctest --test-dir build/native --output-on-failure
	@ctest --test-dir build/win32 --output-on-failure

gui: build-win32
	@tools/gui build/win32

dist: build-win32
	@tools/dist build/win32 build/dist

bench: build-win32 build-native
	@tools/bench build

clean:
	rm -rf build
