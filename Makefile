# Two entry points: `make run` builds and starts Wavelark, `make test` builds and runs every test.
# Both install the Debian packages they need first.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)

BUILD_PKGS := build-essential cmake pkg-config qt6-base-dev qt6-l10n-tools libgl-dev \
              libavformat-dev libavcodec-dev libavutil-dev libplist-dev ffmpeg
TEST_PKGS := $(BUILD_PKGS) clang-format sox flac vorbis-tools desktop-file-utils appstream \
             dbus-daemon oggz-tools

.PHONY: run test build configure deps test-deps install uninstall bench clean format

run: deps build
	$(BUILD_DIR)/bin/wavelark

test: test-deps build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 600

deps:
	@scripts/ensure-packages.sh $(BUILD_PKGS)

test-deps:
	@scripts/ensure-packages.sh $(TEST_PKGS)

configure:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_INSTALL_PREFIX=$(PREFIX)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

install: deps build
	cmake --install $(BUILD_DIR)

uninstall:
	@test -f $(BUILD_DIR)/install_manifest.txt || { echo "nothing installed from $(BUILD_DIR)"; exit 0; }
	xargs -d '\n' rm -f < $(BUILD_DIR)/install_manifest.txt

bench: test-deps build
	$(BUILD_DIR)/bin/probe_bench
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/bin/mainwindow_bench
	$(BUILD_DIR)/bin/cli_bench 3

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR)
