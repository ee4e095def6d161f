// Package ratelimit implements a token-bucket rate limiter.
package ratelimit

import (
	"context"
	"fmt"
	"math"
	"sync"
	"time"
)

// Limiter allows up to Burst events at once and Rate events per second on average.
type Limiter struct {
	mu     sync.Mutex
	rate   float64 // tokens per second
	burst  float64
	tokens float64
	last   time.Time
	now    func() time.Time
}

// Option configures a Limiter.
type Option func(*Limiter)

// WithClock replaces time.Now, for tests.
func WithClock(now func() time.Time) Option {
	return func(l *Limiter) { l.now = now }
}

// New returns a limiter that starts full.
func New(rate float64, burst int, opts ...Option) *Limiter {
	if rate <= 0 || burst < 1 {
		panic(fmt.Sprintf("ratelimit: invalid rate %v or burst %d", rate, burst))
	}
	l := &Limiter{rate: rate, burst: float64(burst), tokens: float64(burst), now: time.Now}
	for _, o := range opts {
		o(l)
	}
	l.last = l.now()
	return l
}

func (l *Limiter) refill(t time.Time) {
	elapsed := t.Sub(l.last).Seconds()
	if elapsed > 0 {
		l.tokens = math.Min(l.burst, l.tokens+elapsed*l.rate)
		l.last = t
	}
}

// Allow reports whether one event may happen now, and takes a token if so.
func (l *Limiter) Allow() bool {
	l.mu.Lock()
	defer l.mu.Unlock()
	l.refill(l.now())
	if l.tokens >= 1 {
		l.tokens--
		return true
	}
	return false
}

// Reserve returns how long to wait before one event may happen.
func (l *Limiter) Reserve() time.Duration {
	l.mu.Lock()
	defer l.mu.Unlock()
	l.refill(l.now())
	l.tokens--
	if l.tokens >= 0 {
		return 0
	}
	return time.Duration(-l.tokens / l.rate * float64(time.Second))
}

// Wait blocks until an event may happen or ctx is done.
func (l *Limiter) Wait(ctx context.Context) error {
	d := l.Reserve()
	if d == 0 {
		return nil
	}
	timer := time.NewTimer(d)
	defer timer.Stop()
	select {
	case <-timer.C:
		return nil
	case <-ctx.Done():
		l.mu.Lock()
		l.tokens++ // give the token back
		l.mu.Unlock()
		return fmt.Errorf("ratelimit: %w after waiting %s", ctx.Err(), d.Round(time.Millisecond))
	}
}

// String implements fmt.Stringer.
func (l *Limiter) String() string {
	l.mu.Lock()
	defer l.mu.Unlock()
	return fmt.Sprintf(`Limiter{rate: %.2f/s, burst: %g, tokens: %.2f}`, l.rate, l.burst, l.tokens)
}

// Per is a helper: Per(100, time.Minute) is 100 events per minute, as a per-second rate.
func Per(n int, d time.Duration) float64 {
	return float64(n) / d.Seconds()
}

const (
	_   = iota
	KiB = 1 << (10 * iota)
	MiB
	GiB
	maxBurst = 0x7fff_ffff
	ratio    = 1.5e-3
	octal    = 0o644
	imagUnit = 2i
)

var runes = []rune{'a', '\n', '\'', '\x41', '\u00e9', '😀'}
