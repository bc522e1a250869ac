# The front door. `make run` builds and starts the program; `make test` installs what is
# missing, builds everything and runs every test.
.PHONY: all deps build run test test-default sanitize bench clean

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
	$(MAKE) --no-print-directory sanitize

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
