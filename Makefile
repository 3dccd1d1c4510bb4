# The two commands: `make demo` and `make check`.
BUILD       ?= build
CHECK_BUILD ?= build-check
JOBS        ?= $(shell nproc)

.PHONY: demo check setup build build-check bench fuzz package clean

demo: build
	@scripts/demo.sh $(BUILD)/app/vltrx

check: build-check
	cd $(CHECK_BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

setup:
	@scripts/setup.sh

build: setup
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVLTRX_TESTS=OFF >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

# The test build runs under AddressSanitizer and UndefinedBehaviorSanitizer.
build-check: setup
	cmake -S . -B $(CHECK_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVLTRX_SANITIZE=ON -DVLTRX_TESTS=ON >/dev/null
	cmake --build $(CHECK_BUILD) -j $(JOBS)

bench: setup
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVLTRX_TESTS=OFF -DVLTRX_BENCH=ON >/dev/null
	cmake --build build-bench -j $(JOBS)
	scripts/bench.sh build-bench

# The Debian package vltrx_<version>_<arch>.deb of a release build, with the
# library dependencies from dpkg-shlibdeps.
package: setup
	cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DVLTRX_TESTS=OFF >/dev/null
	cmake --build build-package -j $(JOBS)
	cd build-package && cpack -G DEB

# libFuzzer on every file parser (clang): FUZZ_SECONDS each, seeds from
# fuzz/corpus and tests/data (scripts/fuzz.sh); new inputs go to build-fuzz/corpus/<name>.
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/setup.sh fuzz
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVLTRX_FUZZ=ON -DVLTRX_TESTS=OFF >/dev/null
	cmake --build build-fuzz -j $(JOBS)
	scripts/fuzz.sh build-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(CHECK_BUILD) build-bench build-fuzz build-package
