# Lumsifter: `make run` builds and starts the program, `make test` builds and runs every test.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

DEBIAN_PACKAGES := build-essential cmake ninja-build pkg-config git \
	libgtest-dev libgmock-dev \
	qt6-base-dev qt6-svg-dev qt6-qpa-plugins qt6-image-formats-plugins \
	libcanberra-dev libglib2.0-dev mdbtools \
	xvfb xauth xdotool x11-utils imagemagick fonts-wine \
	xclip dbus-daemon at-spi2-core shared-mime-info libfuse3-dev fuse3 \
	fd-find findutils \
	desktop-file-utils appstream man-db dpkg-dev file lintian devscripts \
	clang-14 libclang-rt-14-dev llvm-14

# Only the bench needs these: a locate index to compare with, and the accessibility bus for the
# stall measured with Qt's accessibility bridge on.
BENCH_PACKAGES := plocate at-spi2-core dbus

# The sanitizer build and the fuzzing build live in folders of their own.
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
# make fuzz: how long the fuzzer runs; make test: how many inputs it tries.
FUZZ_SECONDS ?= 600
FUZZ_RUNS ?= 1500

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps bench-deps install-missing configure build run test unit-test e2e-test package package-test bench screenshot clean format \
	test-sanitize sanitize-build fuzz fuzz-test fuzz-build fuzz-seeds

all: build

deps:
	@$(MAKE) --no-print-directory install-missing PACKAGES="$(DEBIAN_PACKAGES)"

bench-deps:
	@$(MAKE) --no-print-directory install-missing PACKAGES="$(BENCH_PACKAGES)"

install-missing:
	@missing=$$(for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
		echo "Installing missing packages:" $$missing; \
		$(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -q && \
		$(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

configure: deps $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
		echo "No display found. Lumsifter is a desktop program; start it on a desktop, or in a virtual X server:"; \
		echo "    xvfb-run -a $(BUILD_DIR)/bin/lumsifter"; \
		exit 1; \
	fi
	$(BUILD_DIR)/bin/lumsifter

unit-test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -LE e2e

e2e-test: build
	cd $(BUILD_DIR) && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -L e2e

test: unit-test e2e-test test-sanitize fuzz-test package-test

# The unit, window and helper tests built with AddressSanitizer and UndefinedBehaviorSanitizer; any
# report fails. Only what those tests need is built.
$(SANITIZE_DIR)/build.ninja:
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMSIFTER_SANITIZE=ON

sanitize-build: deps $(SANITIZE_DIR)/build.ninja
	cmake --build $(SANITIZE_DIR) -j $(JOBS)

test-sanitize: sanitize-build
	tests/sanitize/run-tests.sh $(SANITIZE_DIR) $(JOBS)

# The database helper's fuzzer (clang's libFuzzer): make fuzz runs it for FUZZ_SECONDS, make test
# for FUZZ_RUNS inputs from the committed corpus. make fuzz-seeds writes the fixture writer's seeds.
$(FUZZ_DIR)/build.ninja:
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMSIFTER_FUZZ=ON

fuzz-build: deps $(FUZZ_DIR)/build.ninja
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target lumsifter-dbhost-fuzzer

fuzz: fuzz-build
	tests/fuzz/run-fuzzer.sh $(FUZZ_DIR) long $(FUZZ_SECONDS)

fuzz-test: fuzz-build
	tests/fuzz/run-fuzzer.sh $(FUZZ_DIR) short $(FUZZ_RUNS)

fuzz-seeds: build
	cmake --build $(BUILD_DIR) --target lumsifter_fuzz_seeds
	$(BUILD_DIR)/tests/fuzz/lumsifter_fuzz_seeds tests/fuzz/corpus

# A Debian package and a .tar.gz of the portable folder, in $(BUILD_DIR)/packages.
package: build
	cmake --build $(BUILD_DIR) --target package

# lintian on the package; as root also dpkg -i, the installed program as a user under Xvfb, dpkg --purge.
package-test: package
	tests/package/check-package.sh $(BUILD_DIR)

# One run prints every figure side by side, then soaks repeat searches against fresh walks.
BENCH_ROUNDS ?= 3
SOAK_ROUNDS ?= 5000
bench: build bench-deps
	$(BUILD_DIR)/bin/lumsifter-bench $(BUILD_DIR)/bench --rounds $(BENCH_ROUNDS) --soak $(SOAK_ROUNDS)
	$(BUILD_DIR)/bin/lumsifter-dbbench $(BUILD_DIR)/bench
	$(BUILD_DIR)/bin/lumsifter-bench-savedlist $(BUILD_DIR)/bench
	$(BUILD_DIR)/bin/lumsifter-bench-savedlist $(BUILD_DIR)/bench --giant

screenshot: build
	tests/e2e/take-screenshot.sh $(BUILD_DIR)/bin/lumsifter docs/main-window.png
	tests/e2e/take-menu-screenshot.sh $(BUILD_DIR)/bin/lumsifter docs/context-menu.png

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR)
