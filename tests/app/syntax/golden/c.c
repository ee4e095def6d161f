/*
 * ringbuf.c - a fixed-size ring buffer of bytes.
 * Braces in comments { do not fold }.
 */
#include <stdio.h>
#include <stdlib.h>
#include "ringbuf.h"   /* our own header */

#define RB_MAGIC   0xC0FFEEu   // marks a live buffer
#define RB_MIN(a, b) ((a) < (b) ? (a) : (b))
#define RB_SWAP(x, y) do { \
        size_t t_ = (x); /* temp */ \
        (x) = (y); (y) = t_;    \
    } while (0)
#if defined(_WIN32) && !defined(RB_NO_LOCK)
#  define RB_LOCKED 1
#else
#  define RB_LOCKED 0
#endif

/** A ring of bytes.
 *  @param size capacity, a power of two
 */
typedef struct ringbuf {
    unsigned int magic;
    size_t head, tail, size;
    uint8_t *data;
} ringbuf_t;

static const double kGrowth = 1.5e0;
static const float kEps = .25f;
static const long kMask = 0b1010L;
static const char kSep = ',', kNul = '\0', kQuote = '\'';
static const wchar_t kWide = L'x';

/// Creates a buffer of `size` bytes; returns NULL when out of memory.
ringbuf_t *rb_create(size_t size)
{
    ringbuf_t *rb = malloc(sizeof *rb);
    if (rb == NULL)
        return NULL;
    rb->data = calloc(size, 1);
    if (!rb->data) {
        free(rb);
        return NULL;
    }
    rb->magic = RB_MAGIC;
    rb->head = rb->tail = 0;
    rb->size = size;
    return rb;
}

int rb_put(ringbuf_t *rb, const void *src, size_t n)
{
    const uint8_t *p = src;
    size_t i;
    for (i = 0; i < n; i++) {
        if (rb->head - rb->tail == rb->size)
            break;   /* full: "{" in a comment */
        rb->data[rb->head++ & (rb->size - 1)] = p[i];
    }
    return (int)i;
}

void rb_dump(const ringbuf_t *rb, FILE *out)
{
    fprintf(out, "ring %p: head=%zu tail=%zu \"%s\"\n",
            (void *)rb, rb->head, rb->tail, "{not a block}");
    switch (rb->size % 4) {
    case 0:
        fputs("aligned\t\n", out);
        break;
    default:
        fputs("odd\x21\n", out);
    }
    /* a comment that
       spans two lines */
    goto done;
done:
    return;
}
