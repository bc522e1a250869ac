# The front door. `make run` installs what the Linux program needs, builds it and starts
# it; `make test` installs the rest, builds everything and runs every test, the Windows
# program's under Wine included. `make windows` cross-builds Vantrell.exe and
# `make run-windows` starts it under Wine.
.PHONY: all deps-run deps-test build build-all run test test-windows sanitize bench bench-startup \
        windows run-windows fuzz icons clean

all: build

deps-run:
	@tools/install-deps.sh run

deps-test:
	@tools/install-deps.sh test

# Configured once, and again only when the presets change; after that the build itself
# re-runs CMake when a CMakeLists.txt changes. Order-only: CMake itself may be among the
# packages still to be installed, so under -j nothing configures before they are.
build/default/build.ninja: CMakePresets.json | deps-run
	cmake --preset default

# The Linux program alone.
build: deps-run build/default/build.ninja
	cmake --build --preset default --target vantrell

run: build
	build/default/ui/qt/vantrell

# Configured again here: packages the tests need may have come since the last configure.
build-all: deps-test
	cmake --preset default
	cmake --build --preset default

# The Windows build comes first: the package test puts Vantrell.exe in the zip. One make
# graph, no make within make, so the packages are checked and each build configured once;
# the test runs follow each other, never side by side.
test: build-all windows
	ctest --preset default
	$(test-windows-recipe)
	$(sanitize-recipe)

windows: deps-test
	cmake --preset windows
	cmake --build --preset windows

# Under Wine, on a virtual display, in a fresh prefix removed afterwards. The walk
# comparison needs the Linux walkdump from `build-all`.
define test-windows-recipe
tools/wine-session.sh ctest --preset windows
endef
test-windows: build-all windows
	$(test-windows-recipe)

# Writes Vantrell.kml here, as `make run` does. The prefix stays in build/windows.
run-windows: windows
	WINEPREFIX=$(CURDIR)/build/windows/wine-run tools/wine-prefix.sh
	WINEPREFIX=$(CURDIR)/build/windows/wine-run WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
		wine build/windows/ui/win32/Vantrell.exe

# The engine's tests under AddressSanitizer + UndefinedBehaviorSanitizer, then ThreadSanitizer.
define sanitize-recipe
cmake --preset asan
cmake --build --preset asan
ctest --preset asan
cmake --preset tsan
cmake --build --preset tsan
ctest --preset tsan
endef
sanitize: deps-test
	$(sanitize-recipe)

# Each fuzz target for FUZZ_SECONDS, from the committed seeds. What a run adds to the
# corpus stays in build/fuzz/corpus; a finding is saved as build/fuzz/findings/*.
FUZZ_SECONDS ?= 60
fuzz: deps-test
	cmake --preset fuzz
	cmake --build --preset fuzz
	@set -e; for target in walk text; do \
		mkdir -p build/fuzz/corpus/$$target build/fuzz/findings; \
		echo "fuzzing $$target for $(FUZZ_SECONDS) s"; \
		build/fuzz/fuzz/Fuzz$$(echo $$target | sed 's/./\U&/') -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
			-print_final_stats=1 -artifact_prefix=build/fuzz/findings/$$target- \
			build/fuzz/corpus/$$target fuzz/corpus/$$target; \
	done

bench: build-all
	build/default/bench/vantrell_bench

# Start-up to a mapped window and idle memory, against a minimal Qt dialog, on Xvfb.
bench-startup: build-all
	xvfb-run -a -s "-screen 0 1024x768x24" build/default/bench/startup/vantrell_startup_bench 10 \
		build/default/ui/qt/vantrell build/default/bench/startup/minimal_dialog

# After an SVG in res/icon/ changes: render the icon set there again, to be committed.
icons: deps-test
	cmake --preset default
	cmake --build --preset default --target icons

clean:
	rm -rf build

# The release files in build/package: the Debian package and Vantrell-<version>-win64.zip.
.PHONY: package
package: windows
	tools/package.sh build/package
