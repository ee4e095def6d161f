# Recipes are shell: quotes, comments and substitutions as the shell reads them.
PROG    := demo
DATE    := $(shell date -u '+%Y-%m-%d')
GITREV  := $(shell git rev-parse --short HEAD 2>/dev/null || echo 'unknown')

ifeq ($(OS),Windows_NT)
	EXE := .exe
endif

all: $(PROG)$(EXE)

$(PROG)$(EXE): main.o util.o
	@echo '  LD      $@'   # quiet link
	$(CC) $(LDFLAGS) -o $@ $^ -DBUILD_DATE='"$(DATE)"'
	# a shell comment: it's passed to the shell

check: all
	@set -e; for t in tests/*.sh; do \
	    if sh "$$t" >/dev/null 2>&1; then \
	        echo "ok   $$t"; \
	    else \
	        echo "FAIL $$t (exit $$?)"; exit 1; \
	    fi; \
	done
	echo "found $$(ls tests | wc -l) files in 'tests'"
	printf '%s\n' '$(subst ','\'',$(MSG))'
	test -n "$${HOME}" && echo "$$HOME" # "quoted" in a comment
	sed -e 's/#.*//' -e "s/@VERSION@/$(VERSION)/" config.in > config
	rm -f *.o \#not-a-comment

# After the recipe, make lines again
clean: ; rm -f $(PROG) 'a b' && if true; then echo "done"; fi
OBJS = main.o \
	util.o
.PHONY: all check clean
