# The two commands of the project: `make test` and `make demo`. Both install what is
# missing (scripts/setup-deps, as root), build the host and the Windows presets, then
# run the tests or the demo.
JOBS ?= 2
export CTEST_OUTPUT_ON_FAILURE=1

.PHONY: all deps configure build test test-host test-asan test-wine demo bench fuzz clean

all: build

deps:
	@bash scripts/setup-deps

configure: deps
	@cmake --preset host -Wno-dev >/dev/null
	@cmake --preset win32 -Wno-dev >/dev/null

build: configure
	cmake --build build/host -j $(JOBS)
	cmake --build build/win32 -j $(JOBS)

test-host: build
	ctest --test-dir build/host -j $(JOBS)

test-asan: deps
	@cmake --preset host-asan -Wno-dev >/dev/null
	cmake --build build/host-asan -j $(JOBS)
	ctest --test-dir build/host-asan -j $(JOBS) -L host

test-wine: build
	ctest --test-dir build/win32 -j $(JOBS)
	@if [ -f build/win32/wine/unavailable ]; then \
	  echo "NOTE: the Wine tests were skipped, not run: $$(cat build/win32/wine/unavailable)"; fi

test: test-host test-wine test-asan

demo: build
	bash scripts/demo

bench: build
	bash scripts/bench

# Every fuzz target for FUZZ_RUNS executions (host-asan build, clang only).
FUZZ_RUNS ?= 1000000
fuzz: deps
	@cmake --preset host-asan -Wno-dev >/dev/null
	cmake --build build/host-asan -j $(JOBS) --target lv_fuzzers
	bash tests/fuzz/fuzz-all build/host-asan $(FUZZ_RUNS) $(JOBS)

clean:
	rm -rf build
