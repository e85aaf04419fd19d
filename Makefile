# The two commands of the project: `make test` and `make demo`. Both install what is
# missing (scripts/setup-deps, as root), build the host and the Windows presets, then
# run the tests or the demo.
#
# The Windows code runs under Wine. `make test` runs the 32-bit suite (win32 preset,
# the product's build) where this machine runs 32-bit programs, itself or through the
# emulator setup-deps registers, and otherwise the 64-bit suite (win64 preset, the same
# code built for x86_64) in its place; it ends
# with one line saying which suite ran and why (scripts/wine-select). If neither can
# run, that is a failure. LV_WINE_ARCH=win32|win64 forces one; `make test-win64` and
# `make test-win32` run that suite on any machine. The 32-bit product is built always,
# and its image tables checked (test-product).
JOBS ?= 2
export CTEST_OUTPUT_ON_FAILURE=1
WINE_CHOICE := build/wine-suite

.PHONY: all deps configure build build-host build-win32 build-win64 product-win32 \
        test test-host test-product test-asan test-wine test-win32 test-win64 wine-select demo bench fuzz clean

all: build

deps:
	@bash scripts/setup-deps

configure: deps
	@cmake --preset host -Wno-dev >/dev/null
	@cmake --preset win32 -Wno-dev >/dev/null

build: build-host build-win32

build-host: deps
	@cmake --preset host -Wno-dev >/dev/null
	cmake --build build/host -j $(JOBS)

build-win32: deps
	@cmake --preset win32 -Wno-dev >/dev/null
	cmake --build build/win32 -j $(JOBS)

build-win64: deps
	@cmake --preset win64 -Wno-dev >/dev/null
	cmake --build build/win64 -j $(JOBS)

# The 32-bit product alone (install.exe, impborl.dll): where the 64-bit suite runs in
# place of the 32-bit one, its test programs are not built (they could not run).
product-win32: deps
	@cmake --preset win32 -Wno-dev >/dev/null
	cmake --build build/win32 -j $(JOBS) --target lv_product

# The 32-bit product's image checks (import and export tables), which need no Wine:
# they run on every machine, also where the 64-bit suite runs in place of the 32-bit one.
test-product: product-win32
	ctest --test-dir build/win32 -L product

test-host: build-host
	ctest --test-dir build/host -j $(JOBS)

test-asan: deps
	@cmake --preset host-asan -Wno-dev >/dev/null
	cmake --build build/host-asan -j $(JOBS)
	ctest --test-dir build/host-asan -j $(JOBS) -L host

# The Wine suites use the host's lvpack as well.
test-win32: build-host build-win32
	ctest --test-dir build/win32 -j $(JOBS)

test-win64: build-host build-win64
	ctest --test-dir build/win64 -j $(JOBS)

# The suite for this machine (or the one LV_WINE_ARCH names): its architecture on the
# first line of $(WINE_CHOICE), the line saying which and why on the second.
wine-select:
	@mkdir -p build && bash scripts/wine-select > $(WINE_CHOICE)

test-wine: wine-select
	@$(MAKE) --no-print-directory test-$$(sed -n 1p $(WINE_CHOICE)); rc=$$?; \
	  sed -n 2p $(WINE_CHOICE); exit $$rc

# The ASan suite is built and run beside the Wine suite, which mostly waits for
# windows and processes; its output follows the Wine suite's, and the line saying
# which Wine suite ran ends the whole.
test: test-host test-product wine-select
	@$(MAKE) --no-print-directory test-asan > build/test-asan.log 2>&1 & asan=$$!; \
	  $(MAKE) --no-print-directory test-$$(sed -n 1p $(WINE_CHOICE)); wine=$$?; \
	  wait $$asan; asan=$$?; \
	  echo "== ASan suite, run beside the Wine suite (build/test-asan.log):"; cat build/test-asan.log; \
	  sed -n 2p $(WINE_CHOICE); [ $$wine -eq 0 ] && [ $$asan -eq 0 ]

# The demo and the bench run the build of the chosen suite; the bench's image sizes
# are the 32-bit product's.
demo: build-host wine-select
	@sed -n 2p $(WINE_CHOICE)
	@$(MAKE) --no-print-directory build-$$(sed -n 1p $(WINE_CHOICE))
	LV_WINE_ARCH=$$(sed -n 1p $(WINE_CHOICE)) bash scripts/demo

# The bench never times an emulator: where 32-bit Wine runs only through one, it runs win64.
bench: build-host product-win32
	@mkdir -p build && LV_WINE_NATIVE=1 bash scripts/wine-select > build/wine-bench-suite
	@sed -n 2p build/wine-bench-suite
	@$(MAKE) --no-print-directory build-$$(sed -n 1p build/wine-bench-suite)
	LV_WINE_ARCH=$$(sed -n 1p build/wine-bench-suite) bash scripts/bench

# Every fuzz target for FUZZ_RUNS executions (host-asan build, clang only).
FUZZ_RUNS ?= 1000000
fuzz: deps
	@cmake --preset host-asan -Wno-dev >/dev/null
	cmake --build build/host-asan -j $(JOBS) --target lv_fuzzers
	bash tests/fuzz/fuzz-all build/host-asan $(FUZZ_RUNS) $(JOBS)

clean:
	rm -rf build
