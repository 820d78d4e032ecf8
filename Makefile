# The two commands a new user needs are `make demo` and `make test`; the rest are for us.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all linux windows asan demo test test-sanitized test-asan test-tsan test-threads bench bench-peers fuzz fuzz-build fuzz-short fuzz-long format clean \
	packages-build packages-test packages-bench \
	packages-demo \
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

# The test programs that hold the hostile-input corpora and drive the plug-in through its VST
# interface also run under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer.
SANITIZED_TESTS = test_plugin test_compiler test_samples test_sf2import

# Every test: the sanitized programs, then the Linux build's whole suite (which also loads the
# Windows build under wine).
test: packages-test linux windows
	$(MAKE) --no-print-directory test-sanitized
	cd build/linux && ctest --output-on-failure -j $(JOBS)

test-sanitized: packages-build
	cmake --preset asan >/dev/null
	cmake --build build/asan -j $(JOBS) --target $(SANITIZED_TESTS)
	@for t in $(SANITIZED_TESTS); do echo "== $$t (sanitized)"; build/asan/tests/$$t --gtest_brief=1 || exit 1; done

# The tests where a second thread changes parameters, restores a state or reloads the
# instrument while the audio thread renders, under ThreadSanitizer.
THREAD_TESTS = HostParameters.ChangesFromAnotherThreadWhileRendering:SavedState.ARestoreWorksInEveryHostOrder:LoadWhilePlaying.*

test-tsan: packages-build
	cmake --preset tsan >/dev/null
	cmake --build build/tsan -j $(JOBS) --target test_plugin
	TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/test_plugin --gtest_filter='$(THREAD_TESTS)'

test-threads: test-tsan

test-asan: packages-test asan
	cd build/asan && ctest --output-on-failure -j $(JOBS) -E windows_under_wine

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

# libFuzzer targets (clang, with AddressSanitizer and UndefinedBehaviorSanitizer), run one at
# a time over corpora that fuzz/seeds.sh fills; findings land in build/fuzz/findings/.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = CompilerFuzz AudioFileFuzz SoundFontFuzz ChunkFuzz MidiFileFuzz EventsFuzz

fuzz-build: packages-build
	@scripts/ensure-packages.sh fuzz
	@scripts/ensure-packages.sh test
	CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARINE_TESTS=OFF \
	  -DTESSARINE_BENCH=OFF -DTESSARINE_FUZZ=ON -DTESSARINE_WERROR=OFF \
	  "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined" >/dev/null
	cmake --build build/fuzz -j $(JOBS) --target $(FUZZ_TARGETS) FuzzSeeds
	@fuzz/seeds.sh

fuzz: fuzz-build
	@fuzz/run.sh $(FUZZ_TARGETS) -- -max_total_time=$(FUZZ_SECONDS)

# About 20 s per target over its corpus.
fuzz-short: fuzz-build
	@fuzz/run.sh $(FUZZ_TARGETS) -- -max_total_time=20

# Ten million executions or one hour per target, whichever comes first (hours in all).
fuzz-long: fuzz-build
	@fuzz/run.sh $(FUZZ_TARGETS) -- -runs=10000000 -max_total_time=3600

format:
	find src tools tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build out
