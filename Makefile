# Thin wrapper around CMake. BUILD_DIR and CMAKE_FLAGS may be overridden,
# e.g. make test BUILD_DIR=build-asan CMAKE_FLAGS="-DQUORVANTA_SANITIZE=address,undefined"
BUILD_DIR ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: build run test bench deps test-deps clean

# Installs the compiler and CMake from Debian's archive when they are missing.
deps:
	@command -v cmake >/dev/null 2>&1 && command -v g++ >/dev/null 2>&1 || \
	  { echo "Installing g++ and cmake (apt-get)..."; \
	    apt-get update -qq && apt-get install -y -qq g++ cmake make; }

# GoogleTest as well, for the test suite.
test-deps: deps
	@test -f /usr/include/gtest/gtest.h || \
	  { echo "Installing GoogleTest (apt-get)..."; \
	    apt-get update -qq && apt-get install -y -qq libgtest-dev; }

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@./$(BUILD_DIR)/quorvanta

test: test-deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

bench: build
	./$(BUILD_DIR)/quorvanta-bench

clean:
	rm -rf $(BUILD_DIR)
