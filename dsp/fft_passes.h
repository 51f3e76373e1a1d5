// The transform kernels over split real and imaginary arrays. Each kernel
// file includes this inside its own namespace, under its own target options,
// with <cstddef> and dsp/fft_kernels.h already included and
// TM_FFT_VECTOR_BYTES defined; it includes no system header itself. The
// passes here work one element at a time and serve the small sizes; those of
// dsp/fft_vector_passes.h do the same on whole vectors.
//
// The complex transform is a Stockham autosort FFT: every pass reads one pair
// of arrays and writes the other in natural order, so there is no bit
// reversal. Pass (len, s) with q = len / 4 and s = m / len computes, for
// p < q and t < s, from a_k = x[t + s (p + k q)]:
//   y[t + s (4p + 0)] = (a0 + a2) + (a1 + a3)
//   y[t + s (4p + 1)] = W^p  ((a0 - a2) - i (a1 - a3))
//   y[t + s (4p + 2)] = W^2p ((a0 + a2) - (a1 + a3))
//   y[t + s (4p + 3)] = W^3p ((a0 - a2) + i (a1 - a3))

#define TM_FFT_INLINE [[gnu::always_inline]] inline

template <typename T>
struct Split {
  T* re;
  T* im;
};

// One radix-4 butterfly with its twiddles; results through references.
template <typename T>
TM_FFT_INLINE void Butterfly4(T ar, T ai, T br, T bi, T cr, T ci, T dr, T di, T w1r, T w1i, T w2r, T w2i,
                              T w3r, T w3i, T& y0r, T& y0i, T& y1r, T& y1i, T& y2r, T& y2i, T& y3r, T& y3i) {
  const T s0r = ar + cr, s0i = ai + ci;
  const T d0r = ar - cr, d0i = ai - ci;
  const T s1r = br + dr, s1i = bi + di;
  const T d1r = br - dr, d1i = bi - di;
  // (a0 - a2) - i (a1 - a3) and (a0 - a2) + i (a1 - a3)
  const T u1r = d0r + d1i, u1i = d0i - d1r;
  const T u3r = d0r - d1i, u3i = d0i + d1r;
  const T u2r = s0r - s1r, u2i = s0i - s1i;
  y0r = s0r + s1r;
  y0i = s0i + s1i;
  y1r = u1r * w1r - u1i * w1i;
  y1i = u1r * w1i + u1i * w1r;
  y2r = u2r * w2r - u2i * w2i;
  y2i = u2r * w2i + u2i * w2r;
  y3r = u3r * w3r - u3i * w3i;
  y3i = u3r * w3i + u3i * w3r;
}

// The butterfly of the last radix-4 pass, whose twiddles are all 1.
template <typename T>
TM_FFT_INLINE void Butterfly4Plain(T ar, T ai, T br, T bi, T cr, T ci, T dr, T di, T& y0r, T& y0i, T& y1r,
                                   T& y1i, T& y2r, T& y2i, T& y3r, T& y3i) {
  const T s0r = ar + cr, s0i = ai + ci;
  const T d0r = ar - cr, d0i = ai - ci;
  const T s1r = br + dr, s1i = bi + di;
  const T d1r = br - dr, d1i = bi - di;
  y0r = s0r + s1r;
  y0i = s0i + s1i;
  y1r = d0r + d1i;
  y1i = d0i - d1r;
  y2r = s0r - s1r;
  y2i = s0i - s1i;
  y3r = d0r - d1i;
  y3i = d0i + d1r;
}

// The first pass (s = 1) of a transform of size m >= 8, its input either the
// split arrays x or, for the forward real transform, the interleaved reals
// `in` (x[j] = in[2j] + i in[2j + 1]).
template <bool kInterleaved, typename T>
TM_FFT_INLINE void FirstPass(std::size_t m, const T* __restrict in, const T* __restrict xr,
                             const T* __restrict xi, T* __restrict yr, T* __restrict yi,
                             const T* __restrict w) {
  const std::size_t q = m / 4;
  const T* w1r = w;
  const T* w1i = w + q;
  const T* w2r = w + 2 * q;
  const T* w2i = w + 3 * q;
  const T* w3r = w + 4 * q;
  const T* w3i = w + 5 * q;
  for (std::size_t p = 0; p < q; ++p) {
    T ar, ai, br, bi, cr, ci, dr, di;
    if constexpr (kInterleaved) {
      ar = in[2 * p], ai = in[2 * p + 1];
      br = in[2 * (p + q)], bi = in[2 * (p + q) + 1];
      cr = in[2 * (p + 2 * q)], ci = in[2 * (p + 2 * q) + 1];
      dr = in[2 * (p + 3 * q)], di = in[2 * (p + 3 * q) + 1];
    } else {
      ar = xr[p], ai = xi[p];
      br = xr[p + q], bi = xi[p + q];
      cr = xr[p + 2 * q], ci = xi[p + 2 * q];
      dr = xr[p + 3 * q], di = xi[p + 3 * q];
    }
    Butterfly4(ar, ai, br, bi, cr, ci, dr, di, w1r[p], w1i[p], w2r[p], w2i[p], w3r[p], w3i[p], yr[4 * p],
               yi[4 * p], yr[4 * p + 1], yi[4 * p + 1], yr[4 * p + 2], yi[4 * p + 2], yr[4 * p + 3],
               yi[4 * p + 3]);
  }
}

// A middle pass (s > 1, len > 4).
template <typename T>
TM_FFT_INLINE void MiddlePass(std::size_t m, std::size_t s, const T* __restrict xr, const T* __restrict xi,
                              T* __restrict yr, T* __restrict yi, const T* __restrict w) {
  const std::size_t q = m / (4 * s);
  const std::size_t quarter = m / 4;
  for (std::size_t p = 0; p < q; ++p) {
    const T w1r = w[p], w1i = w[q + p], w2r = w[2 * q + p];
    const T w2i = w[3 * q + p], w3r = w[4 * q + p], w3i = w[5 * q + p];
    const T* __restrict ar = xr + s * p;
    const T* __restrict ai = xi + s * p;
    T* __restrict or_ = yr + 4 * s * p;
    T* __restrict oi = yi + 4 * s * p;
    for (std::size_t t = 0; t < s; ++t)
      Butterfly4(ar[t], ai[t], ar[t + quarter], ai[t + quarter], ar[t + 2 * quarter], ai[t + 2 * quarter],
                 ar[t + 3 * quarter], ai[t + 3 * quarter], w1r, w1i, w2r, w2i, w3r, w3i, or_[t], oi[t],
                 or_[t + s], oi[t + s], or_[t + 2 * s], oi[t + 2 * s], or_[t + 3 * s], oi[t + 3 * s]);
  }
}

// The last radix-4 pass (len = 4, s = m / 4): one group, no twiddles.
template <typename T>
TM_FFT_INLINE void LastPass4(std::size_t m, const T* __restrict xr, const T* __restrict xi, T* __restrict yr,
                             T* __restrict yi) {
  const std::size_t s = m / 4;
  for (std::size_t t = 0; t < s; ++t)
    Butterfly4Plain(xr[t], xi[t], xr[t + s], xi[t + s], xr[t + 2 * s], xi[t + 2 * s], xr[t + 3 * s],
                    xi[t + 3 * s], yr[t], yi[t], yr[t + s], yi[t + s], yr[t + 2 * s], yi[t + 2 * s],
                    yr[t + 3 * s], yi[t + 3 * s]);
}

// The radix-2 pass (len = 2, s = m / 2).
template <typename T>
TM_FFT_INLINE void LastPass2(std::size_t m, const T* __restrict xr, const T* __restrict xi, T* __restrict yr,
                             T* __restrict yi) {
  const std::size_t s = m / 2;
  for (std::size_t t = 0; t < s; ++t) {
    const T ar = xr[t], ai = xi[t], br = xr[t + s], bi = xi[t + s];
    yr[t] = ar + br;
    yi[t] = ai + bi;
    yr[t + s] = ar - br;
    yi[t + s] = ai - bi;
  }
}

// The complex forward transform of size m >= 2 from `in` (interleaved, when
// kInterleaved) or `a` into whichever of `a` and `b` it ends in; returns that
// one. For m = 2 the input must be in `a`.
template <bool kInterleaved, typename T>
TM_FFT_INLINE Split<T> ComplexForward(std::size_t m, const T* in, Split<T> a, Split<T> b, const T* w) {
  if (m == 2) {
    LastPass2(m, a.re, a.im, b.re, b.im);
    return b;
  }
  if (m == 4) {
    LastPass4(m, a.re, a.im, b.re, b.im);
    return b;
  }
  // m >= 8: the first pass, the middle ones while at least 16 remain, then
  // length 8 (radix-4 with twiddles, then radix-2), 4 or 2.
  FirstPass<kInterleaved>(m, in, a.re, a.im, b.re, b.im, w);
  w += 6 * (m / 4);
  Split<T> x = b, y = a;
  std::size_t s = 4;
  for (; m / s >= 16; s *= 4) {
    MiddlePass(m, s, x.re, x.im, y.re, y.im, w);
    w += 6 * (m / (4 * s));
    const Split<T> z = x;
    x = y;
    y = z;
  }
  const std::size_t len = m / s;
  if (len == 8) {
    MiddlePass(m, s, x.re, x.im, y.re, y.im, w);
    LastPass2(m, y.re, y.im, x.re, x.im);
    return x;
  }
  if (len == 4) {
    LastPass4(m, x.re, x.im, y.re, y.im);
    return y;
  }
  LastPass2(m, x.re, x.im, y.re, y.im);
  return y;
}

#include "dsp/fft_vector_passes.h"

// Forward real transform of n = 2m >= 4 into the packed layout. Sizes from
// m = 16 L on run on vectors of L elements (TM_FFT_VECTOR_BYTES each).
template <typename T>
TM_FFT_INLINE void RealForward(const Tables<T>& tab, const T* in, T* out, T* work) {
  const std::size_t m = tab.m;
  constexpr int L = int(TM_FFT_VECTOR_BYTES / sizeof(T));
  const std::size_t h = m / 2;
  const T* __restrict wr = tab.real;
  const T* __restrict wi = tab.real + h;
  const Split<T> a{work, work + m}, b{work + 2 * m, work + 3 * m};
  Split<T> z;
  std::size_t k = 1;
  if (m >= std::size_t{16} * L) {
    z = ComplexForwardV<true, T, L>(m, in, a, b, tab.passes);
    k = ForwardRealStepV<T, L>(m, z.re, z.im, wr, wi, out);
  } else {
    if (m < 8)
      for (std::size_t j = 0; j < m; ++j) a.re[j] = in[2 * j], a.im[j] = in[2 * j + 1];
    z = ComplexForward<true>(m, in, a, b, tab.passes);
  }
  const T* __restrict zr = z.re;
  const T* __restrict zi = z.im;
  out[0] = zr[0] + zi[0];
  out[1] = zr[0] - zi[0];
  // X[k] = E + W^k O and X[m - k] = conj(E - W^k O), with
  // E = (Z[k] + conj Z[m - k]) / 2 and O = -i (Z[k] - conj Z[m - k]) / 2.
  T* __restrict lo = out;
  T* __restrict hi = out + 2 * h;
  for (; k < h; ++k) {
    const T a_r = zr[k], a_i = zi[k], c_r = zr[m - k], c_i = zi[m - k];
    const T er = T(0.5) * (a_r + c_r), ei = T(0.5) * (a_i - c_i);
    const T or_ = T(0.5) * (a_i + c_i), oi = T(0.5) * (c_r - a_r);
    const T br = wr[k] * or_ - wi[k] * oi, bi = wr[k] * oi + wi[k] * or_;
    lo[2 * k] = er + br;
    lo[2 * k + 1] = ei + bi;
    hi[2 * (h - k)] = er - br;
    hi[2 * (h - k) + 1] = bi - ei;
  }
  out[2 * h] = zr[h];
  out[2 * h + 1] = -zi[h];
}

// Inverse real transform of n = 2m >= 4 from the packed layout, unscaled.
// The complex inverse runs as the forward transform with the real and
// imaginary parts exchanged on the way in and out.
template <typename T>
TM_FFT_INLINE void RealInverse(const Tables<T>& tab, const T* in, T* out, T* work) {
  const std::size_t m = tab.m;
  const std::size_t h = m / 2;
  constexpr int L = int(TM_FFT_VECTOR_BYTES / sizeof(T));
  const bool vectors = m >= std::size_t{16} * L;
  // Z'[k] goes in as (im, re) = (a.re, a.im).
  const Split<T> a{work, work + m}, b{work + 2 * m, work + 3 * m};
  T* __restrict ur = a.im;  // Re Z'
  T* __restrict ui = a.re;  // Im Z'
  const T* __restrict wr = tab.real;
  const T* __restrict wi = tab.real + h;
  ur[0] = in[0] + in[1];
  ui[0] = in[0] - in[1];
  std::size_t k = vectors ? InverseRealStepV<T, L>(m, in, wr, wi, ur, ui) : 1;
  // With D = X[k] - conj X[m - k] and P = X[k] + conj X[m - k]:
  // Z'[k] = P + i conj(W^k) D and Z'[m - k] = conj P + i conj(conj(W^k) D).
  const T* __restrict lo = in;
  const T* __restrict hi = in + 2 * h;
  for (; k < h; ++k) {
    const T a_r = lo[2 * k], a_i = lo[2 * k + 1];
    const T c_r = hi[2 * (h - k)], c_i = hi[2 * (h - k) + 1];
    const T pr = a_r + c_r, pi = a_i - c_i;
    const T dr = a_r - c_r, di = a_i + c_i;
    const T qr = dr * wr[k] + di * wi[k], qi = di * wr[k] - dr * wi[k];
    ur[k] = pr - qi;
    ui[k] = pi + qr;
    ur[m - k] = pr + qi;
    ui[m - k] = qr - pi;
  }
  ur[h] = T(2) * in[2 * h];
  ui[h] = T(-2) * in[2 * h + 1];
  if (vectors) {
    const Split<T> u = ComplexForwardV<false, T, L>(m, nullptr, a, b, tab.passes);
    InterleaveV<T, L>(m, u.im, u.re, out);
    return;
  }
  const Split<T> u = ComplexForward<false, T>(m, nullptr, a, b, tab.passes);
  const T* __restrict vr = u.im;
  const T* __restrict vi = u.re;
  for (std::size_t j = 0; j < m; ++j) {
    out[2 * j] = vr[j];
    out[2 * j + 1] = vi[j];
  }
}

#define TIDEMARK_FFT_KERNEL_DEFS(T)                                                    \
  void Forward(const Tables<T>& t, const T* in, T* out, T* work) { RealForward(t, in, out, work); } \
  void Inverse(const Tables<T>& t, const T* in, T* out, T* work) { RealInverse(t, in, out, work); }

TIDEMARK_FFT_KERNEL_DEFS(float)
TIDEMARK_FFT_KERNEL_DEFS(double)
#undef TIDEMARK_FFT_KERNEL_DEFS
#undef TM_FFT_INLINE
