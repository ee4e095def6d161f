// Command wordfreq prints the most frequent words in its input.
//
// Usage:
//
//	wordfreq [-n 10] [-min 3] < file.txt
package main

import (
	"bufio"
	"errors"
	"flag"
	"fmt"
	"io"
	"os"
	"regexp"
	"sort"
	"strings"
	"unicode"
)

const usage = `wordfreq - count words

Reads text from standard input and prints the top N words.
Words are split on anything that is not a letter, digit or '.
Backslashes are literal in raw strings: C:\temp\words.txt
`

var (
	topN    = flag.Int("n", 10, "how many words to print")
	minLen  = flag.Int("min", 1, "ignore words shorter than this")
	stopRe  = regexp.MustCompile(`^(a|an|the|and|or|of|to|in)$`)
	quoteRe = regexp.MustCompile(`^["'` + "`" + `]+|["'` + "`" + `]+$`)
)

// Pair is a word and how often it occurred.
type Pair struct {
	Word  string
	Count int
}

type byCount []Pair

func (p byCount) Len() int      { return len(p) }
func (p byCount) Swap(i, j int) { p[i], p[j] = p[j], p[i] }
func (p byCount) Less(i, j int) bool {
	if p[i].Count != p[j].Count {
		return p[i].Count > p[j].Count
	}
	return p[i].Word < p[j].Word
}

var errEmpty = errors.New("no words in input")

func isWordRune(r rune) bool {
	return unicode.IsLetter(r) || unicode.IsDigit(r) || r == '\'' || r == '’'
}

// Count reads r and returns word counts, skipping stop words and short words.
func Count(r io.Reader, min int) (map[string]int, error) {
	counts := make(map[string]int)
	sc := bufio.NewScanner(r)
	sc.Buffer(make([]byte, 0, 64*1024), 1<<20)
	for sc.Scan() {
		words := strings.FieldsFunc(sc.Text(), func(r rune) bool { return !isWordRune(r) })
		for _, w := range words {
			w = strings.ToLower(quoteRe.ReplaceAllString(w, ""))
			if len([]rune(w)) < min || stopRe.MatchString(w) {
				continue
			}
			counts[w]++
		}
	}
	if err := sc.Err(); err != nil {
		return nil, fmt.Errorf("reading input: %w", err)
	}
	if len(counts) == 0 {
		return nil, errEmpty
	}
	return counts, nil
}

// Top returns the n most frequent words.
func Top(counts map[string]int, n int) []Pair {
	pairs := make([]Pair, 0, len(counts))
	for w, c := range counts {
		pairs = append(pairs, Pair{w, c})
	}
	sort.Sort(byCount(pairs))
	if n < len(pairs) {
		pairs = pairs[:n]
	}
	return pairs
}

func main() {
	flag.Usage = func() { fmt.Fprint(os.Stderr, usage); flag.PrintDefaults() }
	flag.Parse()

	counts, err := Count(os.Stdin, *minLen)
	switch {
	case errors.Is(err, errEmpty):
		fmt.Fprintln(os.Stderr, "wordfreq: nothing to count")
		os.Exit(1)
	case err != nil:
		fmt.Fprintf(os.Stderr, "wordfreq: %v\n", err)
		os.Exit(2)
	}

	total := 0
	for _, c := range counts {
		total += c
	}
	for i, p := range Top(counts, *topN) {
		bar := strings.Repeat("█", p.Count*40/total+1)
		fmt.Printf("%2d. %-20q %5d %5.1f%% %s\n", i+1, p.Word, p.Count, 100*float64(p.Count)/float64(total), bar)
	}
	fmt.Printf("\t%d distinct, %d total, tab=%c quote=%c nl=%q\n", len(counts), total, '\t', '"', '\n')
}
