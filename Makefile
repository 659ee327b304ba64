# Two entry points: `make run` builds and starts Wavelark, `make test` builds and runs every test.
# Both install the Debian packages they need first. `make check` is the quick loop while working:
# it builds $(TEST_BUILD_DIR) and runs the tests labelled `unit`, installing nothing.
#
# Two build folders: $(BUILD_DIR) holds the program alone (`make run`, `make install`, `make deb`),
# with no test, benchmark or test tool; $(TEST_BUILD_DIR) holds everything, with compiler warnings
# as errors (`make test`, `make bench`).

BUILD_DIR ?= build-app
TEST_BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)

BUILD_PKGS := build-essential cmake pkg-config qt6-base-dev qt6-tools-dev qt6-l10n-tools \
              libgl-dev libavformat-dev libavcodec-dev libavutil-dev libplist-dev libtag1-dev ffmpeg
# Only the tests need these: the program's own build must never ask for one of them.
TEST_ONLY_PKGS := clang-format sox flac vorbis-tools desktop-file-utils appstream dbus-daemon \
                  oggz-tools file lintian exfat-fuse exfatprogs fusefat dosfstools
TEST_PKGS := $(BUILD_PKGS) $(TEST_ONLY_PKGS)
DEB_PKGS := $(BUILD_PKGS) dpkg-dev file

.PHONY: run test check build configure deps test-deps deb-deps test-build program-check install \
        uninstall deb bench clean format hooks

run: deps build
	$(BUILD_DIR)/bin/wavelark

# The program's own build comes first: it fails when a test-only tool leaks into it.
test: test-deps program-check test-build
	cd $(TEST_BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 600

# The fast loop: no package installs, no build of the program alone, only the `unit` label (the
# `e2e` tests run ffmpeg end to end, drive windows through runs, build packages or install).
check: test-build
	cd $(TEST_BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -L unit --timeout 300

deps:
	@scripts/ensure-packages.sh $(BUILD_PKGS)

test-deps:
	@scripts/ensure-packages.sh $(TEST_PKGS)

deb-deps:
	@scripts/ensure-packages.sh $(DEB_PKGS)

configure:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_INSTALL_PREFIX=$(PREFIX) \
	    -DWAVELARK_BUILD_TESTS=OFF

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

program-check: build
	scripts/check-program-build.sh $(BUILD_DIR) $(TEST_ONLY_PKGS)

test-build:
	cmake -S . -B $(TEST_BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	    -DWAVELARK_BUILD_TESTS=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
	cmake --build $(TEST_BUILD_DIR) -j $(JOBS)

install: deps build
	cmake --install $(BUILD_DIR)

uninstall:
	@test -f $(BUILD_DIR)/install_manifest.txt || { echo "nothing installed from $(BUILD_DIR)"; exit 0; }
	xargs -d '\n' rm -f < $(BUILD_DIR)/install_manifest.txt

# wavelark_<version>_<arch>.deb in this folder; install it with `apt-get install ./wavelark_*.deb`.
deb: deb-deps build
	cd $(BUILD_DIR) && cpack -G DEB -D CPACK_OUTPUT_FILE_PREFIX=$(CURDIR)

bench: test-deps test-build
	$(TEST_BUILD_DIR)/bin/probe_bench
	QT_QPA_PLATFORM=offscreen $(TEST_BUILD_DIR)/bin/mainwindow_bench
	$(TEST_BUILD_DIR)/bin/cli_bench 3
	QT_QPA_PLATFORM=offscreen $(TEST_BUILD_DIR)/bin/library_bench
	$(TEST_BUILD_DIR)/bin/mirror_bench
	QT_QPA_PLATFORM=offscreen $(TEST_BUILD_DIR)/bin/handover_bench
	$(TEST_BUILD_DIR)/bin/formats_bench

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# A pre-commit hook that clang-formats the staged C++ files (scripts/hooks/pre-commit).
hooks:
	install -m 755 scripts/hooks/pre-commit "$$(git rev-parse --git-path hooks)/pre-commit"

clean:
	rm -rf $(BUILD_DIR) $(TEST_BUILD_DIR)
