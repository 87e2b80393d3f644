# The two ways in: `make run` builds and starts the program, `make test` builds with
# warnings as errors and runs every test headless. Both install what is missing first.
BUILD_DIR ?= build
SAN_BUILD_DIR ?= build-san
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: run build test test-sanitize deps configure format clean

deps:
	@./scripts/install-deps

$(BUILD_DIR)/build.ninja: | deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DSKYSAIL_WERROR=ON $(CMAKE_FLAGS)

configure: $(BUILD_DIR)/build.ninja

build: deps configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/src/app/skysail-paste

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer (clang), with the
# fuzz targets built alongside.
test-sanitize: deps
	CC=clang CXX=clang++ cmake -S . -B $(SAN_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
		-DSKYSAIL_WERROR=ON -DSKYSAIL_SANITIZE=ON -DSKYSAIL_FUZZ=ON -DSKYSAIL_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(SAN_BUILD_DIR) -j $(JOBS)
	cd $(SAN_BUILD_DIR) && QT_QPA_PLATFORM=offscreen \
		ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR) $(SAN_BUILD_DIR)
