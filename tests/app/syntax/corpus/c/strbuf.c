// strbuf.c - implementation of strbuf.h
#include "strbuf.h"

#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

char strbuf_empty[1] = "";

static const char hex_digits[] = "0123456789abcdef";

int strbuf_grow(strbuf *sb, size_t extra)
{
    size_t need, cap;
    char *p;

    if (extra > STRBUF_MAX_SIZE - sb->len - 1) {
        errno = ENOMEM;
        return -1;
    }
    need = sb->len + extra + 1;
    if (need <= sb->alloc)
        return 0;
    cap = sb->alloc ? sb->alloc : STRBUF_MIN_ALLOC;
    while (cap < need)
        cap += cap >> 1; /* grow by 1.5x */
    p = realloc(sb->alloc ? sb->buf : NULL, cap);
    if (!p)
        return -1;
    if (!sb->alloc)
        p[0] = '\0';
    sb->buf = p;
    sb->alloc = cap;
    return 0;
}

void strbuf_release(strbuf *sb)
{
    if (sb->alloc)
        free(sb->buf);
    sb->alloc = sb->len = 0;
    sb->buf = strbuf_empty;
}

int strbuf_add(strbuf *sb, const void *data, size_t len)
{
    if (strbuf_grow(sb, len) < 0)
        return -1;
    memcpy(sb->buf + sb->len, data, len);
    sb->len += len;
    sb->buf[sb->len] = '\0';
    return 0;
}

int strbuf_addch(strbuf *sb, int c)
{
    char ch = (char)c;
    return strbuf_add(sb, &ch, 1);
}

int strbuf_addstr(strbuf *sb, const char *s)
{
    return strbuf_add(sb, s, strlen(s));
}

int strbuf_vappendf(strbuf *sb, const char *fmt, va_list ap)
{
    va_list copy;
    int n;

    va_copy(copy, ap);
    n = vsnprintf(sb->buf + sb->len, sb->alloc ? sb->alloc - sb->len : 0, fmt, copy);
    va_end(copy);
    if (n < 0)
        return -1;
    if ((size_t)n >= (sb->alloc ? sb->alloc - sb->len : 0)) {
        if (strbuf_grow(sb, (size_t)n) < 0)
            return -1;
        n = vsnprintf(sb->buf + sb->len, sb->alloc - sb->len, fmt, ap);
    }
    sb->len += (size_t)n;
    return 0;
}

int strbuf_appendf(strbuf *sb, const char *fmt, ...)
{
    va_list ap;
    int rc;

    va_start(ap, fmt);
    rc = strbuf_vappendf(sb, fmt, ap);
    va_end(ap);
    return rc;
}

int strbuf_add_quoted(strbuf *sb, const char *s)
{
    int rc = strbuf_addch(sb, '"');
    for (; *s && rc == 0; s++) {
        unsigned char c = (unsigned char)*s;
        switch (c) {
        case '"':  rc = strbuf_addstr(sb, "\\\""); break;
        case '\\': rc = strbuf_addstr(sb, "\\\\"); break;
        case '\n': rc = strbuf_addstr(sb, "\\n"); break;
        case '\t': rc = strbuf_addstr(sb, "\\t"); break;
        case '\'': rc = strbuf_addch(sb, '\''); break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char esc[5] = { '\\', 'x', hex_digits[c >> 4], hex_digits[c & 0xF], '\0' };
                rc = strbuf_addstr(sb, esc);
            } else {
                rc = strbuf_addch(sb, c);
            }
        }
    }
    return rc ? rc : strbuf_addch(sb, '"');
}

void strbuf_trim(strbuf *sb)
{
    size_t start = 0;
    while (sb->len > 0 && isspace((unsigned char)sb->buf[sb->len - 1]))
        sb->len--;
    while (start < sb->len && isspace((unsigned char)sb->buf[start]))
        start++;
    memmove(sb->buf, sb->buf + start, sb->len - start);
    sb->len -= start;
    if (sb->alloc)
        sb->buf[sb->len] = '\0';
}

#ifdef STRBUF_DEMO
int main(void)
{
    strbuf sb = STRBUF_INIT;
    const double ratio = 1.5e-3;
    const unsigned long mask = 0xFFul, mode = 0755;

    strbuf_appendf(&sb, "ratio=%.4f mask=%#lx mode=%lo\n", ratio, mask, mode);
    strbuf_add_quoted(&sb, "tab\there, \"quoted\", caf\xc3\xa9");
    strbuf_addch(&sb, '\n');
    STRBUF_FOR_EACH_LINE(&sb, line, n) {
        printf("[%.*s]\n", (int)n, line);
    }
    strbuf_release(&sb);
    return 0;
}
#endif
