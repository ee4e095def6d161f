//! A hand-written tokenizer for a tiny configuration language.
//!
//! Tokens borrow from the source text, so a [`Token<'src>`] cannot outlive
//! the `&'src str` it was cut from.

#![allow(dead_code)]

use std::fmt;

/* The grammar, roughly:
 *
 *   item   = ident '=' value ';'
 *   value  = number | string | char | ident
 *
 * /* Nested comments are allowed, like in the language itself. */
 * Everything after this line is still inside the outer comment: 'x' "y"
 */

/// Kinds of token.
#[derive(Debug, Clone, Copy, PartialEq, Eq)]
pub enum Kind {
    Ident,
    Number,
    Str,
    Char,
    Punct,
    Comment,
}

/// One token: a kind and the slice of source it covers.
#[derive(Clone, Copy, PartialEq, Eq)]
pub struct Token<'src> {
    pub kind: Kind,
    pub text: &'src str,
    pub offset: usize,
}

impl<'src> fmt::Debug for Token<'src> {
    fn fmt(&self, f: &mut fmt::Formatter<'_>) -> fmt::Result {
        write!(f, "{:?}({:?}@{})", self.kind, self.text, self.offset)
    }
}

/// Streams tokens out of a `&str`.
pub struct Tokenizer<'src> {
    src: &'src str,
    pos: usize,
}

const PUNCT: &[char] = &['=', ';', ',', '(', ')', '{', '}', '[', ']', ':'];
const ESCAPES: [(char, char); 6] = [('n', '\n'), ('t', '\t'), ('r', '\r'), ('0', '\0'), ('\\', '\\'), ('\'', '\'')];
static KEYWORDS: &[&str] = &["let", "if", "else", "true", "false"];
static MAGIC: &[u8; 4] = b"CFG\x01";
const BOM: &[u8] = b"\xEF\xBB\xBF";

fn is_ident_start(c: char) -> bool {
    c == '_' || ('a'..='z').contains(&c) || ('A'..='Z').contains(&c) || c.is_alphabetic()
}

fn is_ident_char(c: char) -> bool {
    c == '_' || c == '-' || c.is_alphanumeric()
}

/// Returns the longest common prefix of two strings; both share `'a`.
pub fn common_prefix<'a>(a: &'a str, b: &'a str) -> &'a str {
    let n = a.chars().zip(b.chars()).take_while(|(x, y)| x == y).map(|(x, _)| x.len_utf8()).sum();
    &a[..n]
}

/// The first keyword that `word` starts with, if any.
pub fn keyword_prefix(word: &str) -> Option<&'static str> {
    KEYWORDS.iter().copied().find(|k| word.starts_with(k))
}

impl<'src> Tokenizer<'src> {
    pub fn new(src: &'src str) -> Self {
        let src = src.strip_prefix('\u{feff}').unwrap_or(src);
        Tokenizer { src, pos: 0 }
    }

    fn peek(&self) -> Option<char> {
        self.src[self.pos..].chars().next()
    }

    fn bump(&mut self) -> Option<char> {
        let c = self.peek()?;
        self.pos += c.len_utf8();
        Some(c)
    }

    fn eat_while(&mut self, pred: impl Fn(char) -> bool) {
        while matches!(self.peek(), Some(c) if pred(c)) {
            self.bump();
        }
    }

    fn token(&self, kind: Kind, start: usize) -> Token<'src> {
        Token { kind, text: &self.src[start..self.pos], offset: start }
    }

    /// Skips a `/* ... */` comment, honouring nesting.
    fn block_comment(&mut self) -> Result<(), String> {
        let mut depth = 1u32;
        'scan: loop {
            match (self.bump(), self.peek()) {
                (Some('/'), Some('*')) => {
                    self.bump();
                    depth += 1;
                }
                (Some('*'), Some('/')) => {
                    self.bump();
                    depth -= 1;
                    if depth == 0 {
                        break 'scan;
                    }
                }
                (None, _) => return Err(format!("unterminated comment at byte {}", self.pos)),
                _ => continue 'scan,
            }
        }
        Ok(())
    }

    fn quoted(&mut self, quote: char) -> Result<(), String> {
        loop {
            match self.bump() {
                Some('\\') => {
                    self.bump();
                }
                Some(c) if c == quote => return Ok(()),
                Some('\n') if quote == '\'' => return Err("newline in char literal".to_string()),
                Some(_) => {}
                None => return Err(format!("missing closing {quote}")),
            }
        }
    }
}

impl<'src> Iterator for Tokenizer<'src> {
    type Item = Result<Token<'src>, String>;

    fn next(&mut self) -> Option<Self::Item> {
        self.eat_while(char::is_whitespace);
        let start = self.pos;
        let c = self.bump()?;
        let result = match c {
            '#' => {
                self.eat_while(|c| c != '\n');
                Ok(Kind::Comment)
            }
            '/' if self.peek() == Some('*') => {
                self.bump();
                self.block_comment().map(|()| Kind::Comment)
            }
            '"' => self.quoted('"').map(|()| Kind::Str),
            '\'' => self.quoted('\'').map(|()| Kind::Char),
            '0'..='9' => {
                self.eat_while(|c| c.is_ascii_hexdigit() || c == '_' || c == 'x' || c == '.');
                Ok(Kind::Number)
            }
            c if is_ident_start(c) => {
                self.eat_while(is_ident_char);
                Ok(Kind::Ident)
            }
            c if PUNCT.contains(&c) => Ok(Kind::Punct),
            other => Err(format!("unexpected {other:?} at byte {start}")),
        };
        Some(result.map(|kind| self.token(kind, start)))
    }
}

/// Resolves the escapes inside a quoted token's text (quotes included).
pub fn unescape(text: &str) -> String {
    let body = &text[1..text.len() - 1];
    let mut out = String::new();
    let mut it = body.chars().peekable();
    while let Some(c) = it.next() {
        if c != '\\' {
            out.push(c);
            continue;
        }
        let e = it.next().unwrap_or('\\');
        let mapped = ESCAPES.iter().find(|(k, _)| *k == e).map(|&(_, v)| v);
        out.push(mapped.unwrap_or(match e {
            '"' => '"',
            'u' => '\u{FFFD}',
            other => other,
        }));
    }
    out
}

pub fn has_magic(bytes: &[u8]) -> bool {
    let bytes = bytes.strip_prefix(BOM).unwrap_or(bytes);
    bytes.starts_with(MAGIC) || bytes.starts_with(br"CFG\x01") || bytes.starts_with(b"cfg")
}

#[cfg(test)]
mod tests {
    use super::*;

    const SAMPLE: &str = r#"
        name = "Dana \"D\" O'Neil";   # a comment with 'quotes'
        sep = ',';
        /* outer /* inner */ still outer */
        size = 0x1F;
        glyph = 'é';
    "#;

    #[test]
    fn counts_tokens() {
        let kinds: Vec<Kind> = Tokenizer::new(SAMPLE).map(|t| t.unwrap().kind).collect();
        assert_eq!(kinds.iter().filter(|&&k| k == Kind::Comment).count(), 2);
        assert_eq!(kinds.iter().filter(|&&k| k == Kind::Char).count(), 2);
    }

    #[test]
    fn unescapes() {
        assert_eq!(unescape(r#""a\"b""#), "a\"b");
        assert_eq!(unescape(r"'\''"), "'");
        assert_eq!(common_prefix("tokenize", "token"), "token");
        assert!(has_magic(b"\xEF\xBB\xBFCFG\x01rest"));
    }
}
