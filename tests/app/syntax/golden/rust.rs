//! A tiny tokenizer for arithmetic expressions.
//! Braces in doc comments { do not fold }.

#![allow(dead_code)]
use std::collections::HashMap;
use std::fmt;

/// One token of the input.
#[derive(Debug, Clone, PartialEq)]
pub enum Token<'a> {
    Number(f64),
    Ident(&'a str),
    Op(char),
}

/* A block comment
   over two lines. */
const MAX_LEN: usize = 0xFFFF;
const FLAGS: u8 = 0b1010_0101;
static PI_ISH: f32 = 3.141_592f32;
const BIG: i128 = 1_000_000i128;

pub struct Lexer<'a> {
    src: &'a str,
    pos: usize,
}

impl<'a> Lexer<'a> {
    pub fn new(src: &'a str) -> Self {
        Lexer { src, pos: 0 }
    }

    /** Returns the next token, or `None` at the end. */
    pub fn next_token(&mut self) -> Option<Result<Token<'a>, String>> {
        let rest = &self.src[self.pos..];
        let c = rest.chars().next()?;
        if c.is_whitespace() {
            self.pos += c.len_utf8();
            return self.next_token();
        }
        match c {
            '0'..='9' | '.' => {
                let end = rest.find(|ch: char| !ch.is_ascii_digit() && ch != '.').unwrap_or(rest.len());
                self.pos += end;
                Some(rest[..end].parse().map(Token::Number).map_err(|e| format!("{e}")))
            }
            '+' | '-' | '*' | '/' | '\'' | '\\' => {
                self.pos += 1;
                Some(Ok(Token::Op(c)))
            }
            _ => Some(Err(format!("unexpected {:?} at {}", c, self.pos))),
        }
    }
}

impl fmt::Display for Token<'_> {
    fn fmt(&self, f: &mut fmt::Formatter<'_>) -> fmt::Result {
        match self {
            Token::Number(n) => write!(f, "{n}"),
            Token::Ident(s) => write!(f, "{}", s),
            Token::Op(c) => write!(f, "'{c}'"),
        }
    }
}

fn main() {
    let raw = r#"raw "string" with \n kept"#;
    let bytes = b"bytes\x00\n";
    let multi = "first line
second line {not a block}";
    let mut counts: HashMap<String, u32> = HashMap::new();
    for tok in Lexer::new("1 + 2.5 * x").filter_map(|t| t.ok()) {
        *counts.entry(tok.to_string()).or_insert(0) += 1;
    }
    assert!(MAX_LEN > 0, "max len must be positive");
    println!("{raw} {bytes:?} {multi} {:?} {}", counts, b'A' as u32 + FLAGS as u32);
    let _ = (PI_ISH, BIG, '\u{1F600}', unsafe { std::mem::zeroed::<u8>() });
    loop {
        break;
    }
}
