# Thin wrapper around CMake and CTest; plain cmake/ctest use works the same.
BUILD ?= build
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
CMAKE_FLAGS ?=

.PHONY: all build test demo asan fuzz deps clean windows test-windows

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(GENERATOR) $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD)

# Installs the Debian packages the image-reader tests use, when missing.
deps:
	@scripts/install-deps

test: deps build
	ctest --test-dir $(BUILD) --output-on-failure -j 2

# Only what the demo runs: the tool and the sample maker (no tests, no GoogleTest).
demo: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) --target lumenpull make_samples
	@scripts/run-demo $(BUILD)

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
asan:
	$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DLUMENPULL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug"

# libFuzzer targets (clang), each run for FUZZ_SECONDS; FUZZ_TARGETS picks some.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
fuzz:
	cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_CXX_COMPILER=clang++ -DLUMENPULL_BUILD_FUZZ=ON \
	  -DLUMENPULL_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD)
	scripts/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

clean:
	rm -rf build build-asan build-win-x86_64 build-win-i686

# Windows executables, cross-compiled with MinGW-w64 and linked statically:
# build-win-x86_64/lumenpull.exe and build-win-i686/lumenpull.exe.
windows:
	for arch in x86_64 i686; do \
	  cmake -S . -B build-win-$$arch $(GENERATOR) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-$$arch.cmake \
	    -DLUMENPULL_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release $(WINDOWS_FLAGS) && cmake --build build-win-$$arch || exit 1; \
	done

# The Windows build's tests under Wine (installs MinGW-w64 and Wine when missing).
test-windows:
	@scripts/test-windows $(BUILD)
