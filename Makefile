# The two commands: `make demo` and `make check`.
BUILD       ?= build
CHECK_BUILD ?= build-check
JOBS        ?= $(shell nproc)

.PHONY: demo check setup build build-check bench fuzz clean

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

clean:
	rm -rf $(BUILD) $(CHECK_BUILD) build-bench build-fuzz
