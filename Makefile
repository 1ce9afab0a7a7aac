# `make run` and `make test` do all set-up on a fresh Debian 12 machine.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench clean

all: build

deps:
	./scripts/install-deps

# Configures once; the build re-runs CMake by itself when a CMakeLists.txt changes.
configure: deps
	@test -f $(BUILD_DIR)/build.ninja || cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/daylume

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

bench: build
	./$(BUILD_DIR)/bench/bench-lookup
	./$(BUILD_DIR)/bench/bench-install

clean:
	rm -rf $(BUILD_DIR)
