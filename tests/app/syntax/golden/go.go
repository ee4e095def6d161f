// Package stats computes simple statistics over streams of numbers.
package stats

import (
	"errors"
	"fmt"
	"math"
	"strings"
)

/*
Summary holds running totals.
Braces in comments { do not fold }.
*/
type Summary struct {
	Count int64
	Sum   float64
	Min   float64
	Max   float64
	Tags  map[string]bool
}

const (
	Mask    = 0xFF_FF
	Bits    = 0b1010
	Perm    = 0o755
	Epsilon = 1e-9
	Half    = .5
	Imag    = 2i
)

var ErrEmpty = errors.New("stats: no \"values\" yet")

//go:noinline
func (s *Summary) Add(values ...float64) {
	for _, v := range values {
		if s.Count == 0 || v < s.Min {
			s.Min = v
		}
		s.Max = math.Max(s.Max, v)
		s.Sum += v
		s.Count++
	}
}

// Mean returns the average, or ErrEmpty.
func (s *Summary) Mean() (float64, error) {
	if s.Count == 0 {
		return 0, ErrEmpty
	}
	return s.Sum / float64(s.Count), nil
}

func (s *Summary) String() string {
	var b strings.Builder
	fmt.Fprintf(&b, "n=%d sum=%.3f {min=%v}\n", s.Count, s.Sum, s.Min)
	b.WriteString(`raw string with \n and "quotes"
on two lines`)
	sep := '\t'
	quote := '\''
	b.WriteRune(sep)
	b.WriteRune(quote)
	return b.String()
}

func Collect(ch <-chan float64, done chan struct{}) (*Summary, error) {
	s := &Summary{Tags: make(map[string]bool)}
	defer close(done)
	for {
		select {
		case v, ok := <-ch:
			if !ok {
				return s, nil
			}
			s.Add(v)
		default:
			go func() { panic("unreachable") }()
		}
	}
}
