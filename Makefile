# The two commands of the project: `make test` and `make demo`. Both install what is
# missing (scripts/setup-deps, as root), build the host and the Windows presets, then
# run the tests or the demo.
#
# The Windows code runs under Wine. `make test` runs the 32-bit suite (win32 preset,
# the product's build) where this machine runs 32-bit programs, and otherwise the
# 64-bit suite (win64 preset, the same code built for x86_64) in its place; it ends
# with one line saying which suite ran and why (scripts/wine-select). If neither can
# run, that is a failure. LV_WINE_ARCH=win32|win64 forces one; `make test-win64` and
# `make test-win32` run that suite on any machine. The 32-bit product is built always.
JOBS ?= 2
export CTEST_OUTPUT_ON_FAILURE=1
WINE_CHOICE := build/wine-suite

.PHONY: all deps configure build build-win64 test test-host test-asan test-wine \
        test-win32 test-win64 wine-select demo bench fuzz clean

all: build

deps:
	@bash scripts/setup-deps

configure: deps
	@cmake --preset host -Wno-dev >/dev/null
	@cmake --preset win32 -Wno-dev >/dev/null

build: configure
	cmake --build build/host -j $(JOBS)
	cmake --build build/win32 -j $(JOBS)

build-win64: deps
	@cmake --preset win64 -Wno-dev >/dev/null
	cmake --build build/win64 -j $(JOBS)

test-host: build
	ctest --test-dir build/host -j $(JOBS)

test-asan: deps
	@cmake --preset host-asan -Wno-dev >/dev/null
	cmake --build build/host-asan -j $(JOBS)
	ctest --test-dir build/host-asan -j $(JOBS) -L host

test-win32: build
	ctest --test-dir build/win32 -j $(JOBS)

test-win64: build-win64
	ctest --test-dir build/win64 -j $(JOBS)

# The suite for this machine (or the one LV_WINE_ARCH names): its architecture on the
# first line of $(WINE_CHOICE), the line saying which and why on the second.
wine-select:
	@mkdir -p build && bash scripts/wine-select > $(WINE_CHOICE)

test-wine: wine-select
	@$(MAKE) --no-print-directory test-$$(sed -n 1p $(WINE_CHOICE)); rc=$$?; \
	  sed -n 2p $(WINE_CHOICE); exit $$rc

# The Wine suite last, so that its line ends the output.
test: test-host test-asan test-wine

demo: build wine-select
	@arch=$$(sed -n 1p $(WINE_CHOICE)); sed -n 2p $(WINE_CHOICE); \
	  if [ $$arch = win64 ]; then $(MAKE) --no-print-directory build-win64 || exit 1; fi; \
	  LV_WINE_ARCH=$$arch bash scripts/demo

bench: build wine-select
	@arch=$$(sed -n 1p $(WINE_CHOICE)); sed -n 2p $(WINE_CHOICE); \
	  if [ $$arch = win64 ]; then $(MAKE) --no-print-directory build-win64 || exit 1; fi; \
	  LV_WINE_ARCH=$$arch bash scripts/bench

# Every fuzz target for FUZZ_RUNS executions (host-asan build, clang only).
FUZZ_RUNS ?= 1000000
fuzz: deps
	@cmake --preset host-asan -Wno-dev >/dev/null
	cmake --build build/host-asan -j $(JOBS) --target lv_fuzzers
	bash tests/fuzz/fuzz-all build/host-asan $(FUZZ_RUNS) $(JOBS)

clean:
	rm -rf build
