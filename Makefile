# Set-up and everyday commands. `make test` and `make demo` install missing build packages
# first when run as root.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build test demo screenshot bench clean

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

clean:
	rm -rf $(BUILD) build-san build-fuzz demo
