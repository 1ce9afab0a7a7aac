# `make run` and `make test` do all set-up on a fresh Debian 12 machine.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

FUZZ_SECONDS ?= 600

# CI turns warnings into errors; Debug builds always do.
DAYLUME_WERROR ?= OFF
SOURCES = $(shell git ls-files '*.cpp' '*.h')

.PHONY: all deps deps-tests configure configure-run build run test check-desktops bench fuzz sanitize format format-check \
	tidy deb lintian clean

all: build

# What building and running need; deps-tests adds the tests' and the checks' packages.
deps:
	./scripts/install-deps

deps-tests:
	./scripts/install-deps --tests

# Configures once, with the tests (again, when `make run` configured without them); the build
# re-runs CMake by itself when a CMakeLists.txt changes.
CMAKE_CONFIGURE = cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	-DDAYLUME_WERROR=$(DAYLUME_WERROR)
configure: deps-tests
	@grep -qs '^BUILD_TESTING:BOOL=ON' $(BUILD_DIR)/CMakeCache.txt || $(CMAKE_CONFIGURE) -DBUILD_TESTING=ON

# Without the tests, whose packages `make run` does not install.
configure-run: deps
	@test -f $(BUILD_DIR)/build.ninja || $(CMAKE_CONFIGURE) -DBUILD_TESTING=OFF

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Only the program, not the tests and benchmarks.
run: configure-run
	cmake --build $(BUILD_DIR) -j $(JOBS) --target daylume
	./$(BUILD_DIR)/daylume

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

# Each desktop back end against the real component (sway, LXQt, KDE Plasma, the portal); installs
# a lot, so it is not part of `make test`. Needs root.
check-desktops: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target daylume
	tools/desktops/check-desktops $(BUILD_DIR)/daylume

bench: build
	./$(BUILD_DIR)/bench/bench-lookup
	./$(BUILD_DIR)/bench/bench-lookup --http1
	./$(BUILD_DIR)/bench/bench-download
	./$(BUILD_DIR)/bench/bench-burst
	./$(BUILD_DIR)/bench/bench-install
	tests/run-with-xvfb bench/idle.sh $(BUILD_DIR)/daylume $(BUILD_DIR)/bench/bench-bare-tray

# The market-answer fuzzer (libFuzzer, clang, address and undefined-behaviour sanitizers) for a
# bounded time; new inputs it finds go to build-fuzz/corpus.
fuzz: deps-tests
	@test -f build-fuzz/build.ninja || cmake -S . -B build-fuzz -G Ninja \
		-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDAYLUME_FUZZ=ON
	cmake --build build-fuzz -j $(JOBS)
	mkdir -p build-fuzz/corpus
	./build-fuzz/fuzz/market_answer_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=5 \
		-rss_limit_mb=2048 -print_final_stats=1 build-fuzz/corpus fuzz/corpus

# The whole test suite built with the address and undefined-behaviour sanitizers.
SANITIZE_FLAGS = -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer
sanitize: deps-tests
	@test -f build-asan/build.ninja || cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
		-DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE_FLAGS)"
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS) --timeout 300

# The Debian package, built offline from a copy of this tree in build-deb/, where
# dpkg-buildpackage also leaves the package (it writes beside the tree it builds).
deb: deps-tests
	rm -rf build-deb && mkdir -p build-deb/daylume
	tar --exclude='./build*' --exclude='./obj-*' -cf - . | tar -xf - -C build-deb/daylume
	cd build-deb/daylume && dpkg-buildpackage -us -uc -b

lintian: deb
	lintian --fail-on error,warning build-deb/daylume_*.changes

format:
	clang-format -i $(SOURCES)

format-check:
	clang-format --dry-run --Werror $(SOURCES)

# The checks in .clang-tidy over the program's own sources, whose findings are errors. After a
# build: the sources include headers that moc and the other generators write there.
tidy: build
	run-clang-tidy -quiet -j $(JOBS) -p $(BUILD_DIR) '$(CURDIR)/src/'

clean:
	rm -rf $(BUILD_DIR) build-fuzz build-asan build-deb
