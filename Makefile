# Set-up and everyday commands. `make test` and `make demo` install missing build packages
# first when run as root.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Benchmarks build in release mode in a folder of their own, with their data beside them.
BENCH_BUILD ?= build-bench

# The 32-bit Windows program and its tests, cross-compiled with mingw-w64 and run under Wine.
WINDOWS_BUILD ?= build-windows

.PHONY: all deps configure build test demo screenshot bench gbench fuzz windows windows-test windows-test-emulated clean

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

WINDOWS_ARCH ?= i686

windows:
	@sh scripts/install-deps.sh windows
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-$(WINDOWS_ARCH)-w64-mingw32.cmake
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# The tests of the 32-bit build; where this machine's kernel cannot run 32-bit code (the 32-bit
# Wine loader fails), the same tests built as 64-bit programs under 64-bit Wine.
windows-test:
	@if sh scripts/windows-test.sh --runs-32-bit; then \
	    $(MAKE) windows && sh scripts/windows-test.sh $(WINDOWS_BUILD); \
	else \
	    echo "this machine cannot run 32-bit programs: testing the 64-bit Windows build"; \
	    $(MAKE) windows WINDOWS_ARCH=x86_64 WINDOWS_BUILD=$(WINDOWS_BUILD)64 && \
	    sh scripts/windows-test.sh $(WINDOWS_BUILD)64; \
	fi

# The 32-bit test programs through qemu's user-mode emulation, suite by suite, where the kernel
# cannot run 32-bit code (root; see the script for what the emulator cannot run).
windows-test-emulated: windows
	sh scripts/windows-test-emulated.sh $(WINDOWS_BUILD)

clean:
	rm -rf $(BUILD) $(BENCH_BUILD) $(WINDOWS_BUILD) $(WINDOWS_BUILD)64 build-san build-fuzz demo
