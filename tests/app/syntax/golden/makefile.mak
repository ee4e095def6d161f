# Makefile for the command-line tools
# (GNU make; recipes are indented with tabs)

CC      := x86_64-w64-mingw32-gcc
CXX     ?= x86_64-w64-mingw32-g++
CFLAGS  += -O2 -Wall -Wextra
LDFLAGS  = -static -municode
PREFIX  ::= /usr/local
export WINEDEBUG = -all
override JOBS = 2

SOURCES := $(wildcard src/*.c) $(wildcard src/*.cpp)
OBJECTS := $(patsubst src/%.c,build/%.o,$(filter %.c,$(SOURCES)))
HEADERS  = $(shell find include -name '*.h')
VERSION != git describe --tags

.PHONY: all clean install test

all: build/tool.exe

build/tool.exe: $(OBJECTS) | build
	$(CC) $(LDFLAGS) -o $@ $^
	@echo "linked $@ from $(words $(OBJECTS)) objects"

build/%.o: src/%.c $(HEADERS)
	$(CC) $(CFLAGS) -c -o $@ $<

build:
	mkdir -p $@

ifeq ($(OS),Windows_NT)
    EXE := .exe
else ifdef WINE
    EXE := .exe
else
    EXE :=
endif

ifndef DEBUG
CFLAGS += -DNDEBUG
endif

define run-test
	@echo "running $(1)"
	wine $(1) --gtest_brief=1
endef

test: all
	$(call run-test,build/tests$(EXE))
	-$(RM) build/*.log

install: all
	install -m 755 build/tool.exe $(DESTDIR)$(PREFIX)/bin/
	@printf '%s\n' "installed to $${PREFIX}"   # shell variable

clean:
	$(RM) -r build
	rm -f *.o \#not-a-comment

include config.mk
-include $(OBJECTS:.o=.d)
$(info sources: $(SOURCES))
