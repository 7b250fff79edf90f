# Front door: `make demo` and `make test` set up a fresh Debian 12 machine,
# build and run. Build trees: build/ (plain) and build-asan/ (sanitizers).
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build test demo clean windows test-windows

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	$(BUILD)/bin/zarn-host demo --out demo-out

# The real Windows module, cross-built with mingw-w64 (FFmpeg cached outside
# the clone), and its tests run under Wine.
WIN_BUILD ?= build-win

windows:
	JOBS=$(JOBS) scripts/windows/build.sh $(WIN_BUILD)

test-windows: windows
	cd $(WIN_BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) build-asan
