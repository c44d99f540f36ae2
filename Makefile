# Set-up and everyday commands. `make test` and `make demo` install missing build packages
# first when run as root.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Benchmarks build in release mode in a folder of their own, with their data beside them.
BENCH_BUILD ?= build-bench

# The 32-bit Windows program and its tests, cross-compiled with mingw-w64 and run under Wine.
WINDOWS_BUILD ?= build-windows

.PHONY: all deps configure build test demo screenshot bench gbench fuzz windows windows-test clean

all: build

deps:
	@sh scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DTARVEX_UI=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target tarvex_bench tarvex-gamegen
	$(BENCH_BUILD)/tools/tarvex-gamegen --bench-data $(BENCH_BUILD)/bench-data
	nice $(BENCH_BUILD)/bench/tarvex_bench $(BENCH_BUILD)/bench-data

gbench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DTARVEX_UI=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target tarvex_gbench
	nice $(BENCH_BUILD)/bench/tarvex_gbench

demo: build
	@sh scripts/demo.sh $(BUILD)

screenshot: build
	@sh scripts/screenshot.sh $(BUILD)

# Each libFuzzer target for FUZZ_SECONDS (default 60), from its seed corpus in fuzz/corpus/;
# findings land in build-fuzz/fuzz-findings/.
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DTARVEX_SANITIZE=ON -DTARVEX_FUZZ=ON -DTARVEX_UI=OFF -DTARVEX_BENCH=OFF
	cmake --build build-fuzz -j $(JOBS) --target fuzz_targets
	sh scripts/fuzz.sh build-fuzz $(FUZZ_SECONDS)

windows:
	@sh scripts/install-deps.sh windows
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

windows-test: windows
	sh scripts/windows-test.sh $(WINDOWS_BUILD)

clean:
	rm -rf $(BUILD) $(BENCH_BUILD) $(WINDOWS_BUILD) build-san build-fuzz demo
