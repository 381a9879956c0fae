# Convenience front end to CMake. `make demo` runs the program on the bundled
# examples; `make check` builds and passes every test.
BUILD    ?= build
PREFIX   ?= /usr/local
DESTDIR  ?=
JOBS     ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 60
# Warnings are errors in development and CI builds (WERROR=ON); a user's or
# packager's build keeps them as warnings.
WERROR   ?= OFF
CMAKE_OPTS := -DZUMTAL_WERROR=$(WERROR)
CMAKE_GEN := $(shell command -v ninja >/dev/null 2>&1 && echo -G Ninja)

.PHONY: all build demo check asan tsan fuzz bench install uninstall package windows windows64 windows-check windows-zip clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_OPTS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	cd examples && ../$(BUILD)/zumtal '*.prg' '*.d64' '*.d71' '*.d81' '*.g64' '*.nib' '*.nbz' '1!*.z64' '*.t64' '*.p00' '*.lnx' '*.crt' '*.sid' '*.tap'
	cd examples && ../$(BUILD)/zumtal -l games.d64 example.d81 example.g64 example.nib example.nbz '1!Sent Game (1988)(Maker).z64' demo.t64 pinball.p00 tools.lnx rescue.crt theme.sid cassette.tap
	cd examples && ../$(BUILD)/zumtal demos.zip games.d64.gz

check: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
asan:
	cmake -S . -B build-asan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DZUMTAL_SANITIZE=ON $(CMAKE_OPTS)
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The whole test suite under ThreadSanitizer: the end-to-end tests run every
# catalogue on eight threads as well as on one.
tsan:
	cmake -S . -B build-tsan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUMTAL_TSAN=ON $(CMAKE_OPTS)
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# Each fuzz target (one per reader, one for the disk family) for FUZZ_SECONDS seconds.
fuzz:
	cmake -S . -B build-fuzz $(CMAKE_GEN) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DZUMTAL_FUZZ=ON -DZUMTAL_TESTS=OFF $(CMAKE_OPTS)
	cmake --build build-fuzz -j $(JOBS)
	fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

bench: build
	bench/run.sh $(BUILD)

# The manifest is copied aside: packaging rewrites CMake's own.
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)
	cp $(BUILD)/install_manifest.txt $(BUILD)/installed-files.txt

uninstall:
	@test -f $(BUILD)/installed-files.txt || { echo "nothing installed from $(BUILD)"; exit 1; }
	while IFS= read -r file || [ -n "$$file" ]; do rm -f -- "$(DESTDIR)$$file"; done < $(BUILD)/installed-files.txt
	rm -f $(BUILD)/installed-files.txt

VERSION := $(shell sed -n 's/^project.zumtal VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

# The .deb, and the Windows zip too where the Windows build exists.
package: build
	cd $(BUILD) && cpack -G DEB
	if [ -f build-windows/zumtal.exe ]; then $(MAKE) windows-zip; fi

# zumtal.exe, the i686 program we ship; and its x86-64 twin, for testing
# where Wine cannot run 32-bit programs.
windows:
	cmake -S . -B build-windows $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release $(CMAKE_OPTS)
	cmake --build build-windows -j $(JOBS)

windows64:
	cmake -S . -B build-windows64 $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release $(CMAKE_OPTS)
	cmake --build build-windows64 -j $(JOBS)

# zumtal.exe under Wine: its unit tests, and the same output as the Linux
# build. The script picks the i686 or the x86-64 build (WINDOWS_CHECK_ARCH).
windows-check: build
	scripts/windows_check.sh $(BUILD)

# zumtal.exe with the manual as plain text with CR LF line ends.
windows-zip: windows
	groff -man -Tascii -P-cbou doc/zumtal.1 | sed 's/$$/\r/' > build-windows/zumtal.txt
	cd build-windows && cmake -E tar cf zumtal-$(VERSION)-win32.zip --format=zip zumtal.exe zumtal.txt

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz build-windows build-windows64 build-release
