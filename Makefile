# Thin wrapper around CMake and CTest; plain cmake/ctest use works the same.
BUILD ?= build
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
CMAKE_FLAGS ?=
# WERROR=ON makes every compiler warning an error (CI sets it); it is passed
# to every build folder this file configures.
WERROR ?= OFF
CONFIGURE = scripts/install-deps configure && cmake -S . $(GENERATOR) -DLUMENPULL_WERROR=$(WERROR)

.PHONY: all builddeps build test test32 demo asan tsan fuzz bench deps clean windows test-windows package

all: build

$(BUILD)/CMakeCache.txt: | builddeps
	$(CONFIGURE) -B $(BUILD) $(CMAKE_FLAGS)

# Configured on every call, so that WERROR and CMAKE_FLAGS given now apply to
# a folder configured earlier.
build: builddeps
	$(CONFIGURE) -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD)

# Installs the Debian packages the build (libdeflate) and the image-reader
# tests use, when missing.
deps:
	@scripts/install-deps

builddeps:
	@scripts/install-deps build

test: deps build
	ctest --test-dir $(BUILD) --output-on-failure -j 2 --timeout 600

# The whole suite built for 32-bit Linux and run under qemu-i386 (installs
# the emulator, the multilib compiler and 32-bit zlib when missing).
test32: deps
	@scripts/test32 build-32 -DLUMENPULL_WERROR=$(WERROR)

# Only what the demo runs: the tool and the sample maker (no tests, no GoogleTest).
demo: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) --target lumenpull make_samples
	@scripts/run-demo $(BUILD)

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
asan:
	$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DLUMENPULL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug"

# The threaded code under ThreadSanitizer: the job runner's tests, the runs
# of the executable with several jobs (a race in the tool makes its run
# print a report and fail) and the library used from two threads. Only the
# command-line and library tests are built.
# Not the interrupts of a several-job run: a signal that lands while the main
# thread is inside pthread_create leaves the sanitizer's own thread registry
# locked, and the exit from the signal handler then waits for it forever
# (the sanitizer's doing; those runs are checked in every other build).
TSAN_BUILD ?= build-tsan
tsan: deps
	$(CONFIGURE) -B $(TSAN_BUILD) -DLUMENPULL_SANITIZE_THREADS=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMENPULL_BUILD_TOOLS=OFF
	cmake --build $(TSAN_BUILD) --target lumenpull cli_tests system_tests api_tests
	TSAN_OPTIONS="halt_on_error=1 $(TSAN_OPTIONS)" ctest --test-dir $(TSAN_BUILD) --output-on-failure -j 2 --timeout 600 \
	  -R 'JobRunner|Jobs|SameRunForEveryJobCount|ApiThreads' -E 'AnInterruptDuringSeveralJobs'

# libFuzzer targets (clang), each run for FUZZ_SECONDS; FUZZ_TARGETS picks some.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
fuzz: builddeps
	$(CONFIGURE) -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DLUMENPULL_BUILD_FUZZ=ON \
	  -DLUMENPULL_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD)
	scripts/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# The Google Benchmark programs and the end-to-end corpus maker, built (not
# run) in a Release folder of their own: build-bench/bench/*.
BENCH_BUILD ?= build-bench
bench:
	@scripts/install-deps bench
	$(CONFIGURE) -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DLUMENPULL_BUILD_BENCH=ON -DLUMENPULL_BUILD_TESTS=OFF
	cmake --build $(BENCH_BUILD)

# Windows executables, cross-compiled with MinGW-w64 and linked statically:
# build-win-x86_64/lumenpull.exe and build-win-i686/lumenpull.exe.
# A folder configured with other compilers (the toolchain files changed since)
# is configured anew: CMake never changes the compiler of a configured folder.
windows:
	@scripts/install-deps windows
	for arch in x86_64 i686; do \
	  if [ -f build-win-$$arch/CMakeCache.txt ] && ! grep -qs "mingw32-g++-posix" \
	       build-win-$$arch/CMakeFiles/*/CMakeCXXCompiler.cmake; then rm -rf build-win-$$arch; fi; \
	  $(CONFIGURE) -B build-win-$$arch -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-$$arch.cmake \
	    -DLUMENPULL_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release $(WINDOWS_FLAGS) && cmake --build build-win-$$arch || exit 1; \
	done

# The Windows build's tests under Wine (installs MinGW-w64 and Wine when missing).
test-windows:
	@scripts/test-windows $(BUILD)

# Packages in build-package/: a .deb of a native Release build (without the
# tests) and a .zip of each Windows executable.
PACKAGE_BUILD ?= build-package
package:
	@scripts/install-deps package
	$(MAKE) windows
	$(CONFIGURE) -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DLUMENPULL_BUILD_TESTS=OFF -DLUMENPULL_BUILD_TOOLS=OFF
	cmake --build $(PACKAGE_BUILD)
	cd $(PACKAGE_BUILD) && cpack -B packages
	for arch in x86_64 i686; do \
	  (cd build-win-$$arch && cpack -B ../$(PACKAGE_BUILD)/packages) || exit 1; \
	done
	@rm -rf $(PACKAGE_BUILD)/packages/_CPack_Packages
	@ls -1 $(PACKAGE_BUILD)/packages/*.deb $(PACKAGE_BUILD)/packages/*.zip

# Every folder the targets above make.
clean:
	rm -rf build build-asan build-32 build-tsan build-fuzz build-bench build-package build-win-x86_64 build-win-i686 \
	  $(BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(PACKAGE_BUILD)
