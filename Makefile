# Everyday commands. The build lives in build/ (release) and build-asan/ (sanitizers).
# These are the project's own builds: warnings are errors here (TGRAM_WERROR),
# unlike a plain cmake configure.
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD := build
ASAN_BUILD := build-asan
BENCH_BUILD := build-bench
EXHAUSTIVE_BUILD := build-exhaustive
WINDOWS_BUILD := build-windows
WINDOWS_TOOLCHAIN := cmake/mingw-w64-x86_64.cmake
# What the Windows build needs from the distribution (Debian package names).
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix wine64
# What tgramest needs to read every raster format besides the ASCII grid
# (Debian package name); the builds go on without it when it cannot be
# installed for want of root.
GDAL_PACKAGES := libgdal-dev
# The release archives: dist/ (see packaging/make-dist.sh).
DIST := dist
EXAMPLE := examples/meuse-soil
SCRATCH := $(BUILD)/run
PREFIX ?= /usr/local

.PHONY: all build programs run test asan test-asan bench exhaustive install windows windows-programs \
  test-windows windows-tools man-tools dist dist-tools check-dist gdal clean

all: build

# GDAL for tgramest, installed from the distribution before the first
# configure when it is missing (as root; others are told how, and build
# without it).
gdal:
	@if ! command -v gdal-config >/dev/null 2>&1; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing GDAL ($(GDAL_PACKAGES)) for tgramest's raster formats."; \
	    apt-get update -qq && \
	    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $(GDAL_PACKAGES); \
	  else \
	    echo "GDAL is missing: tgramest is built to read ESRI ASCII grids only. For GeoTIFF and the"; \
	    echo "other raster formats, install it as root (apt-get install $(GDAL_PACKAGES)), then make clean."; \
	  fi; \
	fi

# Configured again when this Makefile changes, so that its options reach
# build folders made before.
$(BUILD)/CMakeCache.txt: Makefile | gdal
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTGRAM_WERROR=ON

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The programs alone, without the tests.
programs: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target programs

# The whole chain on the bundled example in a scratch folder: estimates the
# experimental transiograms from the samples, interpolates them, draws them.
# Builds only the three programs it runs.
run: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target tgramest tgraminterp tgramplot
	rm -rf $(SCRATCH) && mkdir -p $(SCRATCH)
	cp $(EXAMPLE)/meuse-soil.csv $(SCRATCH)/
	@echo "--- estimate ($(SCRATCH)) ---"
	cd $(SCRATCH) && ../tgramest --lag-width 100 --max-class 15 --min-pairs 30 --max-lag 20 meuse-soil.csv
	@echo "--- console ($(SCRATCH)) ---"
	@cd $(SCRATCH) && ../tgraminterp; echo "--- exit status $$? ---"
	@echo "--- $(SCRATCH)/TgramModels.txt ---"
	@cat $(SCRATCH)/TgramModels.txt
	@echo "--- plot ---"
	@cd $(SCRATCH) && ../tgramplot && echo "The picture: $(abspath $(SCRATCH))/Transiograms.svg (open it in a web browser)"

test: build man-tools
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The manual-page checker the tests use (mandoc -T lint). Installed when
# missing and this is root, as in CI; otherwise those tests say they are
# skipped, and why.
man-tools:
	@if ! command -v mandoc >/dev/null 2>&1; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing the manual-page checker (mandoc)."; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mandoc; \
	  else \
	    echo "mandoc is missing: the manual-page checks will be skipped (apt-get install mandoc)."; \
	  fi; \
	fi

$(ASAN_BUILD)/CMakeCache.txt: Makefile | gdal
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTGRAM_SANITIZE=ON -DTGRAM_WERROR=ON

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

$(BENCH_BUILD)/CMakeCache.txt: Makefile | gdal
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DTGRAM_TESTS=OFF -DTGRAM_BENCH=ON -DTGRAM_WERROR=ON

bench: $(BENCH_BUILD)/CMakeCache.txt
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	@for b in $(BENCH_BUILD)/bench/*_bench; do echo "== $$b"; $$b; done

$(EXHAUSTIVE_BUILD)/CMakeCache.txt:
	cmake -S . -B $(EXHAUSTIVE_BUILD) -DCMAKE_BUILD_TYPE=Release -DTGRAM_TESTS=OFF -DTGRAM_EXHAUSTIVE=ON -DTGRAM_WERROR=ON

# Every 4-byte real under the fast editing forms against the general way
# (minutes; THREADS=n to use n threads, default 2).
THREADS ?= 2
exhaustive: $(EXHAUSTIVE_BUILD)/CMakeCache.txt
	cmake --build $(EXHAUSTIVE_BUILD) -j $(JOBS) --target real4_fast_edit_exhaustive
	$(EXHAUSTIVE_BUILD)/tests/exhaustive/real4_fast_edit_exhaustive $(THREADS)

# The Windows programs (64-bit console .exe files, linked statically),
# cross-built with MinGW-w64 into $(WINDOWS_BUILD)/.
windows-tools:
	@if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || ! test -x /usr/lib/wine/wine64; then \
	  echo "Installing the cross compiler and Wine ($(WINDOWS_PACKAGES)); this needs root."; \
	  apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $(WINDOWS_PACKAGES); \
	fi

$(WINDOWS_BUILD)/CMakeCache.txt: Makefile $(WINDOWS_TOOLCHAIN) | windows-tools
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(WINDOWS_TOOLCHAIN) \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTGRAM_WERROR=ON

windows: $(WINDOWS_BUILD)/CMakeCache.txt
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

windows-programs: $(WINDOWS_BUILD)/CMakeCache.txt
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target programs

# The whole test suite, cross-built, run under Wine.
test-windows: windows
	tools/wine-ctest.sh $(WINDOWS_BUILD)

# Installs the programs into $(PREFIX)/bin (default /usr/local/bin), their
# manual pages into $(PREFIX)/share/man/man1 and the README, licence and
# changelog into $(PREFIX)/share/doc/tgraminterp.
install: programs
	cmake --install $(BUILD) --prefix "$(PREFIX)"

# The release archives and their SHA-256 sums in $(DIST)/, made from the
# programs of build/ and build-windows/ (those that make test and make
# test-windows built, when they ran before), stripped.
dist: programs windows-programs dist-tools
	packaging/make-dist.sh $(BUILD) $(WINDOWS_BUILD) $(DIST)

dist-tools: windows-tools
	@if ! command -v zip >/dev/null 2>&1 || ! command -v unzip >/dev/null 2>&1; then \
	  echo "Installing zip and unzip; this needs root."; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends zip unzip; \
	fi

# Checks the archives of $(DIST)/ as a user meets them: each unpacked into an
# empty folder, the example run from there (the Windows programs under Wine).
check-dist: dist-tools
	packaging/check-dist.sh $(DIST) $(WINDOWS_BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(EXHAUSTIVE_BUILD) $(WINDOWS_BUILD) $(DIST)
