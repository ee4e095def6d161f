//! Loading and validating user settings.
//!
//! Settings live in a small `key = value` file. Lines starting with `#` are
//! comments, and values may be quoted:
//!
//! ```text
//! # window
//! width = 1280
//! title = "Untitled — draft"
//! ```
//!
//! Parsing is done by [`Settings::parse`]:
//!
//! ```
//! let s = settings::Settings::parse("width = 800\n").unwrap();
//! assert_eq!(s.width, 800);
//! ```

#![allow(dead_code)]
#![forbid(unsafe_code)]
#![doc = "Settings are read once at start-up and then shared."]

use std::collections::BTreeMap;
use std::fmt;
use std::str::FromStr;

/// Default window width in pixels.
pub const DEFAULT_WIDTH: u32 = 1_024u32;
/// Default window height in pixels.
pub const DEFAULT_HEIGHT: u32 = 768;
/// Idle time before an autosave, in seconds.
pub const AUTOSAVE_SECS: f64 = 2.5e1;
const MAX_LINE: usize = 0x1000;
const TOLERANCE: f64 = 1e-3f64;

/// The colour theme to use.
#[derive(Debug, Clone, Copy, PartialEq, Eq, Default)]
#[non_exhaustive]
pub enum Theme {
    /// Dark text on a light background.
    #[default]
    Light,
    /// Light text on a dark background.
    Dark,
    /// Follow the operating system.
    System,
}

impl FromStr for Theme {
    type Err = SettingsError;

    fn from_str(s: &str) -> Result<Self, Self::Err> {
        match s.to_ascii_lowercase().as_str() {
            "light" => Ok(Theme::Light),
            "dark" => Ok(Theme::Dark),
            "system" | "auto" => Ok(Theme::System),
            other => Err(SettingsError::BadValue { key: "theme".into(), value: other.to_owned() }),
        }
    }
}

/// All user-tunable settings.
#[derive(Debug, Clone)]
#[cfg_attr(test, derive(PartialEq))]
pub struct Settings {
    /// Window width.
    pub width: u32,
    /// Window height.
    pub height: u32,
    /// Title shown in the caption bar.
    pub title: String,
    /// Colour theme.
    pub theme: Theme,
    /// Whether lines wrap at the window edge.
    pub word_wrap: bool,
    /// Unrecognised keys, kept so that they survive a round trip.
    pub extra: BTreeMap<String, String>,
}

impl Default for Settings {
    fn default() -> Self {
        Settings {
            width: DEFAULT_WIDTH,
            height: DEFAULT_HEIGHT,
            title: String::from("Untitled"),
            theme: Theme::default(),
            word_wrap: false,
            extra: BTreeMap::new(),
        }
    }
}

/// What can go wrong while reading settings.
#[derive(Debug)]
pub enum SettingsError {
    /// A line had no `=`.
    MissingEquals { line: usize },
    /// A line was longer than [`MAX_LINE`] bytes.
    TooLong { line: usize },
    /// A value could not be converted.
    BadValue { key: String, value: String },
}

impl fmt::Display for SettingsError {
    fn fmt(&self, f: &mut fmt::Formatter<'_>) -> fmt::Result {
        match self {
            SettingsError::MissingEquals { line } => write!(f, "line {line}: expected `key = value`"),
            SettingsError::TooLong { line } => write!(f, "line {}: longer than {} bytes", line, MAX_LINE),
            SettingsError::BadValue { key, value } => write!(f, "bad value {value:?} for '{key}'"),
        }
    }
}

impl std::error::Error for SettingsError {}

/// Removes one pair of matching quotes and resolves `\"` and `\\`.
fn unquote(raw: &str) -> String {
    let trimmed = raw.trim();
    let inner = match trimmed.as_bytes() {
        [b'"', .., b'"'] if trimmed.len() >= 2 => &trimmed[1..trimmed.len() - 1],
        [b'\'', .., b'\''] if trimmed.len() >= 2 => return trimmed[1..trimmed.len() - 1].to_string(),
        _ => return trimmed.to_string(),
    };
    let mut out = String::with_capacity(inner.len());
    let mut chars = inner.chars();
    while let Some(c) = chars.next() {
        if c == '\\' {
            match chars.next() {
                Some('n') => out.push('\n'),
                Some('t') => out.push('\t'),
                Some(other) => out.push(other),
                None => out.push('\\'),
            }
        } else {
            out.push(c);
        }
    }
    out
}

impl Settings {
    /// Parses settings text; unknown keys go into [`Settings::extra`].
    pub fn parse(text: &str) -> Result<Settings, SettingsError> {
        let mut s = Settings::default();
        for (index, line) in text.lines().enumerate() {
            let line_no = index + 1;
            if line.len() > MAX_LINE {
                return Err(SettingsError::TooLong { line: line_no });
            }
            let line = line.trim();
            if line.is_empty() || line.starts_with('#') {
                continue;
            }
            let (key, value) = line.split_once('=').ok_or(SettingsError::MissingEquals { line: line_no })?;
            let (key, value) = (key.trim(), unquote(value));
            let bad = || SettingsError::BadValue { key: key.to_string(), value: value.clone() };
            match key {
                "width" => s.width = value.parse().map_err(|_| bad())?,
                "height" => s.height = value.parse().map_err(|_| bad())?,
                "title" => s.title = value.clone(),
                "theme" => s.theme = value.parse()?,
                "word_wrap" => s.word_wrap = matches!(value.as_str(), "true" | "yes" | "1"),
                _ => {
                    s.extra.insert(key.to_owned(), value.clone());
                }
            }
        }
        Ok(s)
    }

    /// Width divided by height, or `0.0` if the height is zero.
    pub fn ratio(&self) -> f64 {
        if self.height == 0 { 0.0 } else { f64::from(self.width) / f64::from(self.height) }
    }
}

/// Wire format used when settings are synced; only built with the `serde` feature.
#[cfg(feature = "serde")]
pub mod wire {
    use serde::{Deserialize, Serialize};

    fn now() -> u64 {
        0
    }

    /// One synced record.
    #[derive(Debug, Serialize, Deserialize)]
    #[serde(rename_all = "camelCase")]
    pub struct Record {
        #[serde(rename = "id", default = "now")]
        pub stamp: u64,
        #[serde(skip_serializing_if = "Option::is_none")]
        pub title: Option<String>,
    }
}

#[cfg(test)]
mod tests {
    use super::*;

    #[test]
    fn parses_quoted_values() {
        let s = Settings::parse("title = \"Say \\\"hi\\\"\"\ntheme = dark\n").unwrap();
        assert_eq!(s.title, r#"Say "hi""#);
        assert_eq!(s.theme, Theme::Dark);
    }

    #[test]
    fn ratio_is_close() {
        let s = Settings { width: 1920, height: 1080, ..Default::default() };
        assert!((s.ratio() - 16.0 / 9.0).abs() < TOLERANCE);
    }
}
