# Thin wrapper around CMake and CTest; plain cmake/ctest use works the same.
BUILD ?= build
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
CMAKE_FLAGS ?=

.PHONY: all build test demo asan deps clean windows test-windows

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

demo: build
	@scripts/run-demo $(BUILD)

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
asan:
	$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DLUMENPULL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug"

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
