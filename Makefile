# Front door: `make demo` and `make test` set up a fresh Debian 12 machine,
# build and run. Build trees: build/ (plain) and build-asan/ (sanitizers).
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan

.PHONY: all deps build test test-plain test-asan test-tsan bench demo clean windows test-windows

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The whole suite twice: a plain tree, then one under AddressSanitizer and
# UndefinedBehaviorSanitizer, where any report fails the run; then the tests
# that call from many threads under ThreadSanitizer. Each part prints its time.
test: deps
	@scripts/timed "test plain" $(MAKE) --no-print-directory test-plain
	@scripts/timed "test asan" $(MAKE) --no-print-directory test-asan
	@scripts/timed "test tsan" $(MAKE) --no-print-directory test-tsan

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(ASAN_BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(ASAN_BUILD) -DZARN_SANITIZE=ON -DZARN_BUILD_BENCH=OFF $(CMAKE_FLAGS)

test-asan: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

$(TSAN_BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(TSAN_BUILD) -DZARN_TSAN=ON -DZARN_BUILD_BENCH=OFF $(CMAKE_FLAGS)

test-tsan: deps $(TSAN_BUILD)/CMakeCache.txt
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target reliability_threads_test test_media
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/tsan.supp \
	  ctest --output-on-failure -R ReliabilityThreads

# Benchmark clips (1080p H.264, HEVC and 10-bit HEVC, 60 s of 5.1 sound), then the module
# beside plain FFmpeg loops doing the same work in the same run.
bench: build
	cmake -S . -B $(BUILD) -DZARN_BUILD_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)
	cmake --build $(BUILD) --target bench_media
	$(BUILD)/bench/zarn-bench video
	$(BUILD)/bench/zarn-bench deep
	$(BUILD)/bench/zarn-bench import
	$(BUILD)/bench/audio/zarn-audio-bench

demo: build
	$(BUILD)/bin/zarn-host demo --out demo-out

# The real Windows module, cross-built with mingw-w64 (FFmpeg cached outside
# the clone), and its tests run under Wine.
WIN_BUILD ?= build-win

windows:
	JOBS=$(JOBS) scripts/windows/build.sh $(WIN_BUILD)

# The Linux tree's zarn-host is the reference the Windows module must match.
# A test that fails is run once more: Wine's background services are still
# starting while the first tests run, and a program can die before its first
# line (seen once, with no output); a real failure fails twice.
# One Wine server for the whole run, started up front (with the prefix) and
# stopped at the end whatever the outcome.
WINE_PREFIX = $(CURDIR)/$(WIN_BUILD)/wineprefix
test-windows: windows build
	scripts/windows/wine-run $(WINE_PREFIX) --start-server
	cd $(WIN_BUILD) && ZARN_LINUX_HOST=$(CURDIR)/$(BUILD)/bin/zarn-host \
	  ctest --output-on-failure --repeat until-pass:2 -j $(JOBS); \
	  status=$$?; $(CURDIR)/scripts/windows/wine-run $(WINE_PREFIX) --stop-server; exit $$status

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)

# Fuzzing: clang/libFuzzer tree in build-fuzz/, each target FUZZ_SECONDS long.
FUZZ_SECONDS ?= 60
.PHONY: fuzz
fuzz:
	FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run_fuzz.sh build-fuzz
