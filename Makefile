# The project's commands. Everything is cross-built for 64-bit Windows into build/ and run under Wine.
#   make run         build, then open the exam on the sample bank (examples/questions.json)
#   make test        install what is missing, build, and run every test under Wine
#   make package     build dist/tessavon-VERSION-win64.zip, what a candidate copies to a Windows PC, and dist/SHA256SUMS
#   make screenshot  retake the pictures in docs/ (sample bank, Japanese, long question) on a private virtual display
#   make bench       build, then measure the loader on banks of 1,000 to 100,000 questions and the program's start-up,
#                    showing long and huge questions, and the importer beside Python on tables of up to 100,000 rows
#   make check       build the bank checker, then check BANK (default examples/questions.json): one path, spaces and
#                    all, or several, a path with spaces among them in quotes: BANK='"exam 1/questions.json" b.json'
#   make import      build the importer, then make a bank of the table CSV (written to OUT, by default CSV's name
#                    with .json); a path may hold spaces: make import CSV="my tables/week 1.csv"
#   make fuzz        build, then run the bank fuzzer with a much larger budget (FUZZ_INPUTS, FUZZ_BOX_INPUTS,
#                    FUZZ_TABLES, FUZZ_SEED)
BUILD := build
WITH_DISPLAY := scripts/with-display.sh $(BUILD)
# What the pictures need beyond the build: xwd, xwininfo, ImageMagick, and Wine's own fonts for the title bar
# that Wine draws in its virtual desktop.
SCREENSHOT_PACKAGES := x11-apps x11-utils imagemagick fonts-wine

.PHONY: all deps configure build test run check import package screenshot bench fuzz clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@[ -f $(BUILD)/build.ninja ] || cmake --preset mingw

build: configure
	@cmake --build $(BUILD)

test: build
	@$(WITH_DISPLAY) test scripts/run-tests.sh $(BUILD)

# Twenty-five times the inputs of `make test` in memory, each through the checker too (about ten minutes), and
# twenty times its inputs through the real file and message box; the seed differs from run to run unless given.
FUZZ_INPUTS ?= 10000000
FUZZ_BOX_INPUTS ?= 20000
FUZZ_TABLES ?= 1000000
ifndef FUZZ_SEED
FUZZ_SEED := $(shell date +%s)
endif

# The importer's part runs Python on the Linux side beside it, so a script drives both (BENCH_LARGE_TABLE=1 adds a
# table of about 100 MB of short rows).
bench: build
	@$(WITH_DISPLAY) test sh -c '$(BUILD)/wine-run.sh $(BUILD)/bench/bank_bench.exe && \
		$(BUILD)/wine-run.sh $(BUILD)/bench/fitting_bench.exe && \
		scripts/import-bench.sh $(BUILD) $(if $(BENCH_LARGE_TABLE),--large)'

fuzz: build
	@echo "Fuzzing with seed $(FUZZ_SEED): $(FUZZ_INPUTS) inputs in memory, $(FUZZ_BOX_INPUTS) through the message box"
	@TESSAVON_FUZZ_SEED=$(FUZZ_SEED) TESSAVON_FUZZ_INPUTS=$(FUZZ_INPUTS) TESSAVON_FUZZ_BOX_INPUTS=$(FUZZ_BOX_INPUTS) \
		TESSAVON_FUZZ_TABLES=$(FUZZ_TABLES) $(WITH_DISPLAY) test $(BUILD)/wine-run.sh $(BUILD)/tests/bank_fuzz_test.exe

# Only the program itself: a first run need not wait for the tests to build.
run: configure
	@cmake --build $(BUILD) --target tessavon
	@scripts/run-exam.sh $(BUILD) examples

# Only the checker: its exit status is make's, so a CI job fails on a bank the exam would refuse. BANK goes to the
# script in the environment, as given: one path with spaces, or several paths, those with spaces in quotes.
BANK ?= examples/questions.json
check: export TESSAVON_CHECK_BANKS = $(BANK)
check: configure
	@cmake --build $(BUILD) --target tessavon-check
	@$(WITH_DISPLAY) test scripts/check-banks.sh $(BUILD)

# Only the importer. Each path reaches Wine as one argument, spaces and quotes and all. Its input is not the terminal:
# Wine gives a program started from a shell a console of its own, which on Windows would mean it was started from
# Explorer and should wait for a key before its window closes.
quote = '$(subst ','\'',$(1))'
import: configure
	@[ -n $(call quote,$(CSV)) ] || { echo 'Name the table: make import CSV=path/to/table.csv [OUT=bank.json]'; exit 2; }
	@cmake --build $(BUILD) --target tessavon-import
	@$(WITH_DISPLAY) test $(BUILD)/wine-run.sh $(BUILD)/tessavon-import.exe $(if $(OUT),-o $(call quote,$(OUT))) \
		-- $(call quote,$(CSV)) </dev/null

package: build
	@cmake --build $(BUILD) --target package

screenshot: build
	@scripts/install-deps.sh $(SCREENSHOT_PACKAGES)
	@env -u DISPLAY $(WITH_DISPLAY) test scripts/screenshot.sh $(BUILD) docs

clean:
	rm -rf $(BUILD)
