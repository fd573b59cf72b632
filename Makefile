# The two everyday commands: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all deps build run tour test bench fuzz soak install uninstall package clean

FUZZ_SECONDS ?= 60
PREFIX ?= $(HOME)/.local
AUTOSTART ?= 0
PURGE ?= 0

all: build

# Which packages (scripts/deps.sh groups) and which targets: `make run` needs
# the program only, `make test` everything. Set per target, they reach `build`.
DEPS ?=
TARGETS ?=

deps:
	@bash scripts/deps.sh $(DEPS)

# Configured once; again when the tests are wanted but the first configure ran
# before their packages were there (after a `make run`).
build: deps
	@if [ ! -f $(BUILD)/CMakeCache.txt ] || \
	  { [ "$(DEPS)" != "" ] && [ ! -f $(BUILD)/tests/CTestTestfile.cmake ]; }; then \
	  cmake -S . -B $(BUILD) $(CMAKE_FLAGS); fi
	cmake --build $(BUILD) -j $(JOBS) $(if $(TARGETS),--target $(TARGETS))

tour: TARGETS = morvane
run:
	@[ -x $(BUILD)/morvane ] || echo "First run: on a fresh Debian 12 with two cores 3 to 7 minutes (305 packages, then the program is built); later runs start at once."
	@$(MAKE) --no-print-directory build TARGETS=morvane
	@bash scripts/run.sh $(BUILD)/morvane

# Plays the screenshot tour on a virtual display and refreshes docs/images/.
tour: build
	@bash scripts/tour.sh $(BUILD)/morvane --docs

package soak bench: DEPS = --tests
test:
	@[ -f $(BUILD)/tests/CTestTestfile.cmake ] || echo "First test run: on a fresh Debian 12 with two cores about 6 to 10 minutes (784 more packages, the tests are built, then 2 to 5 minutes of tests)."
	@$(MAKE) --no-print-directory build DEPS="--tests --kde --gnome"
	cd $(BUILD) && ctest --output-on-failure --no-tests=error -j 1

# A per-user installation by default; AUTOSTART=1 adds a session autostart entry.
install: build
	@PREFIX="$(PREFIX)" AUTOSTART="$(AUTOSTART)" bash scripts/install.sh $(BUILD)

# Keeps the user's Morvane.ini unless PURGE=1.
uninstall:
	@PREFIX="$(PREFIX)" PURGE="$(PURGE)" bash scripts/uninstall.sh

# The Debian package, made by CPack from the build tree: out/package/morvane_<version>_<arch>.deb
package: build
	rm -rf $(BUILD)/cpack out/package
	cd $(BUILD) && cpack -G DEB -B $(abspath $(BUILD))/cpack
	mkdir -p out/package && cp $(BUILD)/cpack/*.deb out/package/
	lintian --fail-on error out/package/*.deb

bench: build
	@bash scripts/bench.sh $(BUILD)

# Runs the settings-file fuzzer from its seed corpus for FUZZ_SECONDS.
fuzz:
	@bash scripts/deps.sh --fuzz
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DMORVANE_FUZZ=ON -DMORVANE_BENCH=OFF -DMORVANE_TESTS=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-fuzz -j $(JOBS) --target fuzz_settings
	mkdir -p build-fuzz/corpus
	cd build-fuzz && ./tests/fuzz/fuzz_settings -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 corpus ../tests/fuzz/corpus

# The long soak: the offscreen overlay cycles, then SOAK_CYCLES drawing sessions on
# a real (virtual) display with memory and X resources measured.
SOAK_CYCLES ?= 100
soak: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ./tests/test_reliability --gtest_filter='Soak.*'
	MORVANE_BIN=$(abspath $(BUILD))/morvane SOAK_CYCLES=$(SOAK_CYCLES) bash tests/e2e/test_reliability_soak.sh

clean:
	rm -rf $(BUILD)
