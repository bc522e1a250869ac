# The front door. `make run` builds and starts the program; `make test` installs what is
# missing, builds everything and runs every test. `make windows` cross-builds Vantrell.exe
# and `make run-windows` starts it under Wine.
.PHONY: all deps build run test test-default test-windows sanitize bench windows run-windows clean

all: build

deps:
	@tools/install-deps.sh

build: deps
	cmake --preset default
	cmake --build --preset default

run: build
	build/default/ui/qt/vantrell

test: build
	ctest --preset default
	$(MAKE) --no-print-directory test-windows
	$(MAKE) --no-print-directory sanitize

windows: deps
	cmake --preset windows
	cmake --build --preset windows

# Under Wine, on a virtual display, in a fresh prefix removed afterwards. The walk
# comparison needs the Linux walkdump from `build`.
test-windows: build windows
	tools/wine-session.sh ctest --preset windows

# Writes Vantrell.kml here, as `make run` does. The prefix stays in build/windows.
run-windows: windows
	WINEPREFIX=$(CURDIR)/build/windows/wine-run tools/wine-prefix.sh
	WINEPREFIX=$(CURDIR)/build/windows/wine-run WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
		wine build/windows/ui/win32/Vantrell.exe

# The engine's tests under AddressSanitizer + UndefinedBehaviorSanitizer, then ThreadSanitizer.
sanitize: deps
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

bench: build
	build/default/bench/vantrell_bench

clean:
	rm -rf build
