# Set-up and everyday commands. `make test` and `make demo` install missing build packages
# first when run as root.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build test demo screenshot bench fuzz clean

all: build

deps:
	@sh scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

bench: build
	$(BUILD)/bench/tarvex_bench

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

clean:
	rm -rf $(BUILD) build-san build-fuzz demo
