# The two commands a new user needs are `make demo` and `make test`; the rest are for us.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all linux windows asan demo test test-sanitized test-asan test-tsan test-threads bench bench-peers fuzz fuzz-build fuzz-short fuzz-long format clean \
	packages-build packages-test packages-bench \
	packages-demo packages-fuzz sanitized-build \
	screenshots package install

all: linux

packages-build:
	@scripts/ensure-packages.sh build

packages-test:
	@scripts/ensure-packages.sh test

packages-bench:
	@scripts/ensure-packages.sh bench

packages-demo:
	@scripts/ensure-packages.sh demo

packages-fuzz:
	@scripts/ensure-packages.sh fuzz

linux: packages-build
	cmake --preset linux >/dev/null
	cmake --build build/linux -j $(JOBS)

windows: packages-build
	cmake --preset windows >/dev/null
	cmake --build build/windows -j $(JOBS)

asan: packages-build
	cmake --preset asan >/dev/null
	cmake --build build/asan -j $(JOBS)

demo: packages-demo linux windows
	@scripts/demo.sh

# One clang tree with AddressSanitizer and UndefinedBehaviorSanitizer (build/fuzz, preset fuzz)
# serves two purposes: the test programs that hold the hostile-input corpora and drive the
# plug-in through its VST interface run in it under ASan, UBSan and LeakSanitizer, and the
# libFuzzer targets are built in it.
SANITIZED_TESTS = test_plugin test_compiler test_samples test_sf2import
# The ctest labels of those programs (one label per test folder).
SANITIZED_LABELS = ^(plugin|compiler|samples|sf2import)$$
FUZZ_TARGETS = CompilerFuzz AudioFileFuzz SoundFontFuzz ChunkFuzz MidiFileFuzz EventsFuzz
# LeakSanitizer passes over what libraries keep for the process on purpose (tests/lsan-suppressions.txt).
SANITIZER_ENV = LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan-suppressions.txt
# How many fuzz targets run at once, and for how long each.
FUZZ_PARALLEL ?= 1
FUZZ_SECONDS ?= 60

# Every test: the Linux and Windows builds, the sanitized programs, the Linux build's whole
# suite (which also loads the Windows build under wine), then each fuzz target for about 20 s,
# as many at once as there are cores.
test: packages-test linux windows
	$(MAKE) --no-print-directory sanitized-build SANITIZED_BUILD_TARGETS="$(SANITIZED_TESTS) $(FUZZ_TARGETS) FuzzSeeds"
	cd build/fuzz && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS) -L '$(SANITIZED_LABELS)'
	cd build/linux && ctest --output-on-failure -j $(JOBS)
	@fuzz/seeds.sh
	@fuzz/run.sh -j $(JOBS) $(FUZZ_TARGETS) -- -max_total_time=20

SANITIZED_BUILD_TARGETS ?= $(SANITIZED_TESTS)
sanitized-build: packages-build packages-fuzz
	cmake --preset fuzz >/dev/null
	cmake --build build/fuzz -j $(JOBS) --target $(SANITIZED_BUILD_TARGETS)

test-sanitized: sanitized-build
	cd build/fuzz && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS) -L '$(SANITIZED_LABELS)'

# The tests where a second thread changes parameters, restores a state or reloads the
# instrument while the audio thread renders, under ThreadSanitizer.
THREAD_TESTS = HostParameters.ChangesFromAnotherThreadWhileRendering:SavedState.ARestoreWorksInEveryHostOrder:LoadWhilePlaying.*

test-tsan: packages-build
	cmake --preset tsan >/dev/null
	cmake --build build/tsan -j $(JOBS) --target test_plugin
	TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/test_plugin --gtest_filter='$(THREAD_TESTS)'

test-threads: test-tsan

test-asan: packages-test asan
	cd build/asan && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS) -E windows_under_wine

# Pictures of the Windows and the Linux editor for every example (under wine and Xvfb) in
# out/screenshots/.
screenshots: packages-test linux windows
	@scripts/screenshots.sh

# Release packages of both builds in dist/ (see scripts/package.sh).
package: linux windows
	@command -v zip >/dev/null || scripts/ensure-packages.sh package
	@scripts/package.sh

# The plug-in into $$VST_DIR (default ~/.vst), the tool into $$PREFIX/bin (default ~/.local/bin).
install: linux
	@scripts/install.sh build/linux

bench: packages-bench linux
	@scripts/bench.sh build/linux

# Tessarine side by side with Csound and FluidSynth on the same notes (RUNS=3 timings each).
bench-peers: packages-bench linux
	@scripts/bench-peers.sh build/linux

# libFuzzer targets (clang, with AddressSanitizer and UndefinedBehaviorSanitizer), run over
# corpora that fuzz/seeds.sh fills, FUZZ_PARALLEL at a time; findings land in build/fuzz/findings/.
fuzz-build: packages-test
	$(MAKE) --no-print-directory sanitized-build SANITIZED_BUILD_TARGETS="$(FUZZ_TARGETS) FuzzSeeds"
	@fuzz/seeds.sh

fuzz: fuzz-build
	@fuzz/run.sh -j $(FUZZ_PARALLEL) $(FUZZ_TARGETS) -- -max_total_time=$(FUZZ_SECONDS)

# About 20 s per target over its corpus, as many at a time as there are cores (as make test runs them).
fuzz-short: fuzz-build
	@fuzz/run.sh -j $(JOBS) $(FUZZ_TARGETS) -- -max_total_time=20

# Ten million executions or one hour per target, whichever comes first (hours in all), one at a
# time and at the lowest priority.
fuzz-long: fuzz-build
	@nice -n 19 fuzz/run.sh $(FUZZ_TARGETS) -- -runs=10000000 -max_total_time=3600

format:
	find src tools tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build out
