# rules.mk -- shared rules for the libraries and tools under src/.
#
# Each directory's Module.mk lists its sources and calls one of the
# templates below, e.g.
#
#     $(eval $(call add_library,inkcore,$(wildcard src/core/*.c)))
#     $(eval $(call add_program,inkcat,src/cli/main.c,inkcore))
#
# Everything is built out of tree in $(OUT); nothing is written to src/.

OUT        ?= out
OBJDIR     := $(OUT)/obj
LIBDIR     := $(OUT)/lib
BINDIR     := $(OUT)/bin

AR         ?= ar
ARFLAGS    := rcs
RANLIB     ?= ranlib
INSTALL    ?= install
PYTHON     ?= python3

ALL_LIBS   :=
ALL_PROGS  :=
CLEAN_EXTRA += $(OUT)/gen

# Turn src/foo/bar.c into out/obj/src/foo/bar.o
obj_of = $(addprefix $(OBJDIR)/,$(patsubst %.c,%.o,$(patsubst %.cpp,%.o,$(1))))

# Pretty printing: "  CC  src/x.c" unless V=1.
ifneq ($(V),1)
  quiet = @printf '  %-6s %s\n' '$(1)' '$(2)';
  Q     := @
else
  quiet =
  Q     :=
endif

define add_library
ALL_LIBS += $(LIBDIR)/lib$(1).a
$(1)_OBJS := $(call obj_of,$(2))

$(LIBDIR)/lib$(1).a: $$($(1)_OBJS) | $(LIBDIR)
	$$(call quiet,AR,$$@)$(AR) $(ARFLAGS) $$@ $$^

-include $$($(1)_OBJS:.o=.d)
endef

define add_program
ALL_PROGS += $(BINDIR)/$(1)
$(1)_OBJS := $(call obj_of,$(2))
$(1)_LIBS := $(foreach l,$(3),$(LIBDIR)/lib$(l).a)

$(BINDIR)/$(1): $$($(1)_OBJS) $$($(1)_LIBS) | $(BINDIR)
	$$(call quiet,LINK,$$@)$(CXX) $(LDFLAGS) -o $$@ $$($(1)_OBJS) $$($(1)_LIBS) $(LDLIBS)

-include $$($(1)_OBJS:.o=.d)
endef

# Pattern rules.  The directory is created on demand; "mkdir -p" is cheap.
$(OBJDIR)/%.o: %.c
	$(call quiet,CC,$<)mkdir -p $(@D) && $(CC) $(CPPFLAGS) $(CFLAGS) -MMD -MP -c $< -o $@

$(OBJDIR)/%.o: %.cpp
	$(call quiet,CXX,$<)mkdir -p $(@D) && $(CXX) $(CPPFLAGS) $(CXXFLAGS) -MMD -MP -c $< -o $@

# Generated sources: tables produced by a Python script from a TSV file.
$(OUT)/gen/%.inc: data/%.tsv tools/gen_table.py
	$(call quiet,GEN,$@)mkdir -p $(@D) && $(PYTHON) tools/gen_table.py --name '$*' $< > $@.tmp
	$(Q)mv -f $@.tmp $@

# Embedding a file as a C array; "xxd -i" is not everywhere, so use od.
$(OUT)/gen/%_blob.c: assets/%
	$(call quiet,EMBED,$<)mkdir -p $(@D); \
	name=$$(echo '$*' | tr -c 'A-Za-z0-9\n' '_'); \
	{ \
	    printf '/* generated from %s -- do not edit */\n' '$<'; \
	    printf 'const unsigned char %s_data[] = {\n' "$$name"; \
	    od -An -v -tx1 '$<' | sed -e 's/ *\([0-9a-f][0-9a-f]\)/0x\1, /g' -e 's/^/    /'; \
	    printf '};\nconst unsigned long %s_size = sizeof %s_data;\n' "$$name" "$$name"; \
	} > $@

$(LIBDIR) $(BINDIR):
	$(Q)mkdir -p $@

# Per-target flags: the hot paths get -O3 even in debug builds,
# and vendored code is compiled without warnings.
$(OBJDIR)/src/core/search.o $(OBJDIR)/src/core/hash.o: CFLAGS += -O3
$(OBJDIR)/vendor/%.o: CFLAGS := $(filter-out -W%,$(CFLAGS)) -w
$(OBJDIR)/vendor/%.o: private CPPFLAGS += -DVENDORED=1

# Print the objects a library would be built from: make show-inkcore
show-%:
	@echo '$*: $($*_OBJS)' | tr ' ' '\n' | sed '1!s/^/    /'

# ALL_PROGS is filled in later by the Module.mk files, hence the "$$".
.SECONDEXPANSION:
install-bin: $$(ALL_PROGS)
	$(INSTALL) -d '$(DESTDIR)$(PREFIX)/bin'
	@for p in $^; do \
	    case "$$p" in \
	        *-test|*_bench) echo "skip $$p"; continue ;; \
	    esac; \
	    echo "install $$p"; \
	    $(INSTALL) -m 0755 "$$p" '$(DESTDIR)$(PREFIX)/bin/' || exit 1; \
	done

clean-rules:
	rm -rf $(OBJDIR) $(LIBDIR) $(BINDIR) $(CLEAN_EXTRA)

.PHONY: install-bin clean-rules show-%
.DELETE_ON_ERROR:
.SECONDARY:
