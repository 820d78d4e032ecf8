# The two commands a new user needs are `make demo` and `make test`; the rest are for us.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all linux windows asan demo test test-linux test-asan bench fuzz format clean packages-build packages-test

all: linux

packages-build:
	@scripts/ensure-packages.sh build

packages-test:
	@scripts/ensure-packages.sh test

linux: packages-build
	cmake --preset linux >/dev/null
	cmake --build build/linux -j $(JOBS)

windows: packages-build
	cmake --preset windows >/dev/null
	cmake --build build/windows -j $(JOBS)

asan: packages-build
	cmake --preset asan >/dev/null
	cmake --build build/asan -j $(JOBS)

demo: linux windows
	@scripts/demo.sh

# Every test: the Linux build's suite (which also loads the Windows build under wine).
test: packages-test linux windows
	cd build/linux && ctest --output-on-failure -j $(JOBS)

test-asan: packages-test asan
	cd build/asan && ctest --output-on-failure -j $(JOBS) -E windows_under_wine

bench: linux
	build/linux/bench/tessarine_bench 64 2

fuzz:
	@echo "fuzz targets: see fuzz/README.md"

format:
	find src tools tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build out
