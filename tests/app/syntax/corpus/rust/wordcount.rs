//! `wordcount` — counts lines, words and bytes, like a tiny `wc`.
//!
//! Usage: `wordcount [--json] [--top N] FILE...`

#![allow(clippy::upper_case_acronyms)]

use std::collections::HashMap;
use std::error::Error;
use std::fmt::{self, Write as _};
use std::fs;
use std::io::{self, Read};
use std::path::{Path, PathBuf};
use std::process::ExitCode;

#[doc = "Text printed for `--help`."]
const HELP: &str = r#"wordcount — count lines, words and bytes

USAGE:
    wordcount [OPTIONS] [FILE]...

OPTIONS:
    --json       print results as JSON, e.g. {"lines": 3, "words": 7}
    --top N      also print the N most common words
    -h, --help   print this help

With no FILE, or when FILE is "-", read standard input.
"#;

/// A banner that itself contains `"#`, so it needs two hashes.
const BANNER: &str = r##"He said "#1 tool" and left."##;
const SEPARATORS: &[u8] = b" \t\r\n";
/// Windows verbatim path prefix; in a raw string the backslashes are literal.
const VERBATIM: &[u8] = br"\\?\";
const UTF8_BOM: &[u8; 3] = b"\xEF\xBB\xBF";

#[derive(Debug, Default, Clone, Copy, PartialEq, Eq)]
struct Counts {
    lines: usize,
    words: usize,
    bytes: usize,
}

impl std::ops::AddAssign for Counts {
    fn add_assign(&mut self, o: Counts) {
        self.lines += o.lines;
        self.words += o.words;
        self.bytes += o.bytes;
    }
}

impl fmt::Display for Counts {
    fn fmt(&self, f: &mut fmt::Formatter<'_>) -> fmt::Result {
        write!(f, "{:>8} {:>8} {:>8}", self.lines, self.words, self.bytes)
    }
}

#[derive(Debug)]
struct Options {
    json: bool,
    top: Option<usize>,
    files: Vec<PathBuf>,
}

#[derive(Debug)]
enum CliError {
    Usage(String),
    Io { path: PathBuf, source: io::Error },
}

impl fmt::Display for CliError {
    fn fmt(&self, f: &mut fmt::Formatter<'_>) -> fmt::Result {
        match self {
            CliError::Usage(msg) => write!(f, "usage error: {msg}"),
            CliError::Io { path, source } => write!(f, "{}: {}", path.display(), source),
        }
    }
}

impl Error for CliError {
    fn source(&self) -> Option<&(dyn Error + 'static)> {
        match self {
            CliError::Io { source, .. } => Some(source),
            CliError::Usage(_) => None,
        }
    }
}

fn parse_args(args: impl IntoIterator<Item = String>) -> Result<Option<Options>, CliError> {
    let mut opts = Options { json: false, top: None, files: vec![] };
    let mut it = args.into_iter();
    while let Some(arg) = it.next() {
        match arg.as_str() {
            "-h" | "--help" => return Ok(None),
            "--json" => opts.json = true,
            "--top" => {
                let n = it.next().ok_or_else(|| CliError::Usage("--top needs a number".into()))?;
                let n = n.parse().map_err(|e| CliError::Usage(format!("bad --top {n:?}: {e}")))?;
                opts.top = Some(n);
            }
            s if s.starts_with("--") => return Err(CliError::Usage(format!("unknown option '{s}'"))),
            _ => opts.files.push(PathBuf::from(arg)),
        }
    }
    if opts.files.is_empty() {
        opts.files.push(PathBuf::from("-"));
    }
    Ok(Some(opts))
}

fn count(bytes: &[u8], freq: &mut HashMap<String, usize>) -> Counts {
    let bytes = bytes.strip_prefix(UTF8_BOM).unwrap_or(bytes);
    let lines = bytes.iter().filter(|&&b| b == b'\n').count();
    let mut words = 0;
    for word in bytes.split(|b| SEPARATORS.contains(b)).filter(|w| !w.is_empty()) {
        words += 1;
        let w = String::from_utf8_lossy(word).trim_matches(|c: char| !c.is_alphanumeric()).to_lowercase();
        if !w.is_empty() {
            *freq.entry(w).or_insert(0) += 1;
        }
    }
    Counts { lines, words, bytes: bytes.len() }
}

fn read_input(path: &Path) -> Result<Vec<u8>, CliError> {
    let wrap = |source| CliError::Io { path: path.to_path_buf(), source };
    if path == Path::new("-") {
        let mut buf = Vec::new();
        io::stdin().read_to_end(&mut buf).map_err(wrap)?;
        Ok(buf)
    } else {
        fs::read(path).map_err(wrap)
    }
}

fn display_name(path: &Path) -> String {
    let s = path.to_string_lossy();
    match s.as_bytes().strip_prefix(VERBATIM) {
        Some(rest) => String::from_utf8_lossy(rest).into_owned(),
        None => s.into_owned(),
    }
}

fn json_escape(s: &str) -> String {
    let mut out = String::with_capacity(s.len() + 2);
    out.push('"');
    for c in s.chars() {
        match c {
            '"' => out.push_str("\\\""),
            '\\' => out.push_str(r"\\"),
            '\n' => out.push_str("\\n"),
            c if (c as u32) < 0x20 => {
                let _ = write!(out, "\\u{:04x}", c as u32);
            }
            c => out.push(c),
        }
    }
    out.push('"');
    out
}

fn run(opts: &Options) -> Result<(), Box<dyn Error>> {
    let mut total = Counts::default();
    let mut freq = HashMap::new();
    for path in &opts.files {
        let c = count(&read_input(path)?, &mut freq);
        total += c;
        if opts.json {
            println!(r#"{{"file": {}, "lines": {}, "words": {}, "bytes": {}}}"#,
                json_escape(&display_name(path)), c.lines, c.words, c.bytes);
        } else {
            println!("{c} {}", display_name(path));
        }
    }
    if opts.files.len() > 1 && !opts.json {
        println!("{total} total");
    }
    if let Some(n) = opts.top {
        let mut pairs: Vec<(&String, &usize)> = freq.iter().collect();
        pairs.sort_unstable_by(|a, b| b.1.cmp(a.1).then_with(|| a.0.cmp(b.0)));
        for (word, times) in pairs.into_iter().take(n) {
            println!("{times:>6}  {word}");
        }
    }
    Ok(())
}

#[cfg(not(feature = "quiet"))]
fn warn(msg: &str) {
    eprintln!("wordcount: {msg}");
}

#[cfg(feature = "quiet")]
fn warn(_msg: &str) {}

fn main() -> ExitCode {
    match parse_args(std::env::args().skip(1)) {
        Ok(None) => {
            print!("{HELP}");
            println!("{}", BANNER);
            ExitCode::SUCCESS
        }
        Ok(Some(opts)) => match run(&opts) {
            Ok(()) => ExitCode::SUCCESS,
            Err(e) => {
                warn(&e.to_string());
                ExitCode::from(1)
            }
        },
        Err(e) => {
            warn(&format!("{e}\nTry '--help'."));
            ExitCode::from(2)
        }
    }
}
