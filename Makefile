# Veltaro: the two commands of the README, plus build helpers.
#   make demo   runs the program against a simulated rig and a simulated antenna controller
#   make test   builds and runs every test
SHELL := /bin/bash
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
SOAK_MINUTES ?= 60

.PHONY: all build build-asan build-win style test test-dev test-asan test-win demo deps clean fuzz soak bench

all: build

deps:
	@scripts/deps.sh build test

build:
	@scripts/deps.sh build
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS)
	$(MAKE) build-win

build-win:
	@scripts/deps.sh build win
	JOBS=$(JOBS) scripts/win-build.sh

build-asan:
	@scripts/deps.sh build
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)

# The house style (clang-format, clang-tidy over the core) is checked with the dev build.
style: deps build
	JOBS=$(JOBS) scripts/style.sh

test-dev: deps build style
	scripts/with-session.sh ctest --preset dev -j $(JOBS)

test-asan: deps build-asan
	scripts/with-session.sh ctest --preset asan -j $(JOBS)

test-win: build-win
	@scripts/deps.sh test
	scripts/win-test.sh -j $(JOBS)

test: test-dev test-asan test-win

demo:
	@scripts/deps.sh build demo
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS) --target veltaro veltaro-link-publisher veltaro-steppir-sim
	scripts/with-session.sh scripts/demo.sh

# Longer runs than the test suite makes: each fuzz target for FUZZ_SECONDS, the soak for
# SOAK_MINUTES, and the benchmarks (figures printed and written to docs/performance.md).
fuzz:
	@scripts/deps.sh build fuzz
	FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/fuzz.sh

soak: build
	@scripts/deps.sh test
	SOAK_MINUTES=$(SOAK_MINUTES) scripts/soak.sh

bench:
	@scripts/deps.sh build test
	scripts/bench.sh

clean:
	rm -rf build build-asan build-win
