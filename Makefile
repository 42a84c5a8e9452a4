# SPDX-License-Identifier: GPL-3.0-or-later
# Everyday commands; CMake does the real work underneath.
#   make run    install what is missing, build, start the program
#   make test   install what is missing, build, run every test
#   make asan   the tests again under AddressSanitizer + UndefinedBehaviorSanitizer
#   make format-check  every C++ source already laid out as .clang-format says
#   make bench  the speed comparison against reference implementations
#   make install / uninstall   into PREFIX (default /usr/local); DESTDIR is honoured
#   make package        the Debian package (build/kova-voltare_*.deb)
#   make package-check  installs that package on this machine, checks it, purges it (root)
#   make postfix-check  a long encrypted message through a real local Postfix relay (root)
#   make screenshots  every window as a PNG file in build/screenshots/, on a dark palette in build/screenshots/dark/,
#                     with a 16 pt font in build/screenshots/large-font/, and the main window and password
#                     prompt at QT_SCALE_FACTOR=2 in build/screenshots/scale-2/, every window in German in
#                     build/screenshots/de/ and in the pseudo-locale in build/screenshots/pseudo/ (under Xvfb)
#   make wayland-check  the window tests under weston with a keyboard seat, Qt on Wayland (not part of CI)
#   make update-po  po/kova-voltare.pot from the sources, layouts and desktop files; each po/<lang>.po merged
#   make fuzz   every fuzz target for FUZZ_SECONDS seconds (installs clang-16 first; not part of CI)

BUILD_DIR  := build
ASAN_DIR   := build-asan
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local
CMAKE_GEN  := -G Ninja

.PHONY: update-po all deps configure build test asan format-check bench run clean install uninstall package package-check postfix-check wayland-check screenshots fuzz

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The tests and CI treat warnings as errors; a plain `make build` leaves the
# choice as it is (off in a fresh build directory, as for distributions).
test: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DVOLTARE_WERROR=ON
	cmake --build $(BUILD_DIR) -j $(JOBS)
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

asan: deps
	cmake -S . -B $(ASAN_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	      -DVOLTARE_SANITIZE=ON -DVOLTARE_BUILD_BENCH=OFF -DVOLTARE_WERROR=ON
	cmake --build $(ASAN_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS)

format-check: deps
	./scripts/format.sh --check

bench: build
	./scripts/run-bench.sh $(BUILD_DIR)

# Every fuzz target for FUZZ_SECONDS (default 120) each, with clang; not part of CI.
# scripts/fuzz.sh installs clang-16 and libclang-rt-16-dev, which only it needs.
fuzz: deps
	./scripts/fuzz.sh

# The catalogue's template from the sources, then every po/<lang>.po merged with it.
update-po:
	./scripts/update-po.sh

run: build
	./scripts/run-program.sh $(BUILD_DIR)

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

# Removes what the last `make install` wrote (give it the same DESTDIR).
uninstall:
	DESTDIR="$(DESTDIR)" cmake -DMANIFEST=$(BUILD_DIR)/install_manifest.txt -P cmake/VoltareUninstall.cmake

package: build
	cd $(BUILD_DIR) && cpack -G DEB

# Changes the machine: never part of `make test` or CI.
package-check: package
	./scripts/package-check.sh $(BUILD_DIR)

# Changes the machine too (installs and starts postfix, loopback only, then
# stops it): never part of `make test` or CI.
postfix-check: build
	./scripts/postfix-check.sh $(BUILD_DIR)

# Installs weston when it is missing: never part of `make test` or CI.
wayland-check: build
	./scripts/wayland-check.sh $(BUILD_DIR)

# Under a virtual display of its own, so the pictures look the same on every
# machine and no window flashes up on the user's screen.
screenshots: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS) --target voltare-screenshots translations
	xvfb-run -a -s "-screen 0 1280x1024x24" $(BUILD_DIR)/src/gui/voltare-screenshots $(BUILD_DIR)/screenshots
	QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 2560x2048x24" $(BUILD_DIR)/src/gui/voltare-screenshots --scale-2 $(BUILD_DIR)/screenshots
	xvfb-run -a -s "-screen 0 1280x1024x24" $(BUILD_DIR)/src/gui/voltare-screenshots --language de $(BUILD_DIR)/screenshots
	xvfb-run -a -s "-screen 0 1280x1024x24" $(BUILD_DIR)/src/gui/voltare-screenshots --language en@pseudo $(BUILD_DIR)/screenshots

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) build-fuzz
