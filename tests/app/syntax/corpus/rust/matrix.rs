//! Fixed-size matrices with const generics.
//!
//! ```
//! use matrix::Matrix;
//! let m = Matrix::<2, 2>::identity();
//! assert_eq!(m * m, m);
//! ```

#![allow(dead_code, clippy::needless_range_loop)]

use std::fmt;
use std::ops::{Add, Index, IndexMut, Mul, Neg, Sub};

/// Values closer than this are treated as equal.
pub const EPS: f64 = 1e-9f64;
const SMALL: f32 = 1.5e-3_f32;
const HUGE: f64 = 6.022_140_76E23;
const MASK: u32 = 0xFF_FF_00_00;
const MODE: u16 = 0o755;
const BITS: u8 = 0b1010_1010;
const LIMIT: u64 = 1_000_000u64;
const OFFSET: i64 = -42i64;
const BYTE: u8 = 0xFF;

/// A `R`×`C` matrix of `f64`, stored row-major.
#[derive(Clone, Copy, PartialEq)]
pub struct Matrix<const R: usize, const C: usize> {
    data: [[f64; C]; R],
}

/// Builds a matrix from rows: `mat![[1.0, 2.0], [3.0, 4.0]]`.
#[macro_export]
macro_rules! mat {
    ($([$($x:expr),* $(,)?]),+ $(,)?) => {
        $crate::Matrix::from_rows([$([$($x as f64),*]),+])
    };
}

impl<const R: usize, const C: usize> Matrix<R, C> {
    /// All zeros.
    #[must_use]
    pub const fn zero() -> Self {
        Matrix { data: [[0.0; C]; R] }
    }

    pub const fn from_rows(data: [[f64; C]; R]) -> Self {
        Matrix { data }
    }

    /// Builds a matrix by calling `f(row, col)` for every cell.
    pub fn from_fn(mut f: impl FnMut(usize, usize) -> f64) -> Self {
        let mut m = Self::zero();
        for r in 0..R {
            for c in 0..C {
                m.data[r][c] = f(r, c);
            }
        }
        m
    }

    #[inline]
    pub fn transpose(&self) -> Matrix<C, R> {
        Matrix::from_fn(|r, c| self.data[c][r])
    }

    pub fn map(&self, f: impl Fn(f64) -> f64) -> Self {
        Self::from_fn(|r, c| f(self.data[r][c]))
    }

    pub fn approx_eq(&self, other: &Self) -> bool {
        self.data.iter().flatten().zip(other.data.iter().flatten()).all(|(a, b)| (a - b).abs() < EPS)
    }

    pub fn rows(&self) -> impl Iterator<Item = &[f64; C]> + '_ {
        self.data.iter()
    }
}

impl<const N: usize> Matrix<N, N> {
    pub fn identity() -> Self {
        Self::from_fn(|r, c| if r == c { 1.0 } else { 0.0 })
    }

    pub fn trace(&self) -> f64 {
        (0..N).map(|i| self.data[i][i]).sum()
    }

    /// Determinant by Gaussian elimination with row pivoting.
    pub fn determinant(&self) -> f64 {
        let mut a = self.data;
        let mut det = 1.0;
        for col in 0..N {
            let pivot = (col..N).max_by(|&x, &y| a[x][col].abs().total_cmp(&a[y][col].abs())).unwrap();
            if a[pivot][col].abs() < EPS {
                return 0.0;
            }
            if pivot != col {
                a.swap(pivot, col);
                det = -det;
            }
            det *= a[col][col];
            for row in col + 1..N {
                let k = a[row][col] / a[col][col];
                for j in col..N {
                    a[row][j] -= k * a[col][j];
                }
            }
        }
        det
    }
}

impl<const R: usize, const C: usize> Index<(usize, usize)> for Matrix<R, C> {
    type Output = f64;
    fn index(&self, (r, c): (usize, usize)) -> &f64 {
        &self.data[r][c]
    }
}

impl<const R: usize, const C: usize> IndexMut<(usize, usize)> for Matrix<R, C> {
    fn index_mut(&mut self, (r, c): (usize, usize)) -> &mut f64 {
        &mut self.data[r][c]
    }
}

impl<const R: usize, const C: usize> Add for Matrix<R, C> {
    type Output = Self;
    fn add(self, rhs: Self) -> Self {
        Self::from_fn(|r, c| self.data[r][c] + rhs.data[r][c])
    }
}

impl<const R: usize, const C: usize> Sub for Matrix<R, C> {
    type Output = Self;
    fn sub(self, rhs: Self) -> Self {
        self + -rhs
    }
}

impl<const R: usize, const C: usize> Neg for Matrix<R, C> {
    type Output = Self;
    fn neg(self) -> Self {
        self.map(|x| -x)
    }
}

impl<const R: usize, const K: usize, const C: usize> Mul<Matrix<K, C>> for Matrix<R, K> {
    type Output = Matrix<R, C>;
    fn mul(self, rhs: Matrix<K, C>) -> Matrix<R, C> {
        Matrix::from_fn(|r, c| (0..K).map(|k| self.data[r][k] * rhs.data[k][c]).sum())
    }
}

impl<const R: usize, const C: usize> Mul<f64> for Matrix<R, C> {
    type Output = Self;
    fn mul(self, k: f64) -> Self {
        self.map(|x| x * k)
    }
}

impl<const R: usize, const C: usize> fmt::Debug for Matrix<R, C> {
    fn fmt(&self, f: &mut fmt::Formatter<'_>) -> fmt::Result {
        let width = f.width().unwrap_or(8);
        let prec = f.precision().unwrap_or(3);
        for (i, row) in self.data.iter().enumerate() {
            let cells: Vec<String> = row.iter().map(|x| format!("{x:>width$.prec$}")).collect();
            let (open, close) = match (i, R) {
                (_, 1) => ('[', ']'),
                (0, _) => ('⎡', '⎤'),
                (i, r) if i == r - 1 => ('⎣', '⎦'),
                _ => ('⎢', '⎥'),
            };
            writeln!(f, "{open}{}{close}", cells.join(" "))?;
        }
        Ok(())
    }
}

/// Rotation about the origin by `theta` radians.
pub fn rotation(theta: f64) -> Matrix<2, 2> {
    let (s, c) = theta.sin_cos();
    mat![[c, -s], [s, c]]
}

pub fn vandermonde<const N: usize>(xs: [f64; N]) -> Matrix<N, N> {
    Matrix::from_fn(|r, c| xs[r].powi(c as i32))
}

pub fn stats(values: &[f64]) -> (f64, f64) {
    let n = values.len() as f64;
    let mean = values.iter().sum::<f64>() / n;
    let var = values.iter().map(|v| (v - mean).powi(2)).sum::<f64>() / (n - 1.0);
    (mean, var.sqrt())
}

pub fn table() -> Vec<(u32, String)> {
    let mut rows = vec![(1u32, String::from("one")), (0x10, "sixteen".to_owned())];
    rows.extend((2..=4).map(|i| (i * 1_000u32, format!("{}k", i))));
    rows.sort_by_key(|&(k, _)| std::cmp::Reverse(k));
    rows
}

#[cfg(test)]
mod tests {
    use super::*;

    #[test]
    fn rotation_composes() {
        let quarter = rotation(std::f64::consts::FRAC_PI_2);
        let full = quarter * quarter * quarter * quarter;
        assert!(full.approx_eq(&Matrix::identity()), "got\n{full:?}");
    }

    #[test]
    fn determinant_of_vandermonde() {
        let v = vandermonde([1.0, 2.0, 3.0]);
        assert!((v.determinant() - 2.0).abs() < 1e-6, "det = {}", v.determinant());
        assert_eq!(mat![[1, 2], [3, 4]].transpose()[(0, 1)], 3.0);
        assert_eq!(table()[0], (4000, "4k".to_string()));
        let _ = (SMALL, HUGE, MASK, MODE, BITS, LIMIT, OFFSET, BYTE);
    }
}
