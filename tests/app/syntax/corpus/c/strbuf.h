/*
 * strbuf.h - a growable, always NUL-terminated byte string.
 *
 * Usage:
 *     strbuf sb = STRBUF_INIT;
 *     strbuf_appendf(&sb, "%d items", n);
 *     puts(sb.buf);
 *     strbuf_release(&sb);
 */
#ifndef STRBUF_H
#define STRBUF_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__) || defined(__clang__)
#  define STRBUF_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#  define STRBUF_NODISCARD __attribute__((warn_unused_result))
#elif defined(_MSC_VER) && _MSC_VER >= 1700
#  define STRBUF_PRINTF(fmt, args)
#  define STRBUF_NODISCARD _Check_return_
#else
#  define STRBUF_PRINTF(fmt, args)
#  define STRBUF_NODISCARD
#endif

/* The initial capacity; a power of two keeps growth cheap. */
#define STRBUF_MIN_ALLOC 64u
#define STRBUF_MAX_SIZE  (SIZE_MAX / 2)

typedef struct strbuf {
    size_t alloc; /* bytes allocated, including the NUL */
    size_t len;   /* bytes used, excluding the NUL */
    char *buf;    /* never NULL once initialised */
} strbuf;

extern char strbuf_empty[];
#define STRBUF_INIT { 0, 0, strbuf_empty }

/* Ensures room for `extra` more bytes plus the terminator. */
int strbuf_grow(strbuf *sb, size_t extra) STRBUF_NODISCARD;

void strbuf_release(strbuf *sb);
char *strbuf_detach(strbuf *sb, size_t *len);

int strbuf_add(strbuf *sb, const void *data, size_t len);
int strbuf_addch(strbuf *sb, int c);
int strbuf_addstr(strbuf *sb, const char *s);
int strbuf_appendf(strbuf *sb, const char *fmt, ...) STRBUF_PRINTF(2, 3);
int strbuf_vappendf(strbuf *sb, const char *fmt, va_list ap);

/* Appends `s` wrapped in double quotes, escaping \" \\ and control bytes. */
int strbuf_add_quoted(strbuf *sb, const char *s);

void strbuf_trim(strbuf *sb);
size_t strbuf_split(const strbuf *sb, char delim, strbuf **out);

static inline void strbuf_reset(strbuf *sb)
{
    sb->len = 0;
    sb->buf[0] = '\0';
}

static inline int strbuf_ends_with(const strbuf *sb, char c)
{
    return sb->len > 0 && sb->buf[sb->len - 1] == c;
}

/* Loops over the lines of a buffer without copying:
 *   STRBUF_FOR_EACH_LINE(&sb, line, n) { fwrite(line, 1, n, stdout); }
 */
#define STRBUF_FOR_EACH_LINE(sb, line, n)                                  \
    for (const char *line = (sb)->buf, *line##_end_ = NULL;               \
         line < (sb)->buf + (sb)->len &&                                   \
         ((line##_end_ = memchr(line, '\n', (sb)->buf + (sb)->len - line)), \
          1);                                                              \
         line = line##_end_ ? line##_end_ + 1 : (sb)->buf + (sb)->len)     \
        for (size_t n = (line##_end_ ? (size_t)(line##_end_ - line)        \
                                     : (size_t)((sb)->buf + (sb)->len - line)), \
                    n##_once_ = 1;                                         \
             n##_once_; n##_once_ = 0)

#ifdef __cplusplus
}
#endif

#endif /* STRBUF_H */
