// The passes of dsp/fft_passes.h on vectors of L elements (the compiler's
// vector extensions; the including file's target options decide the
// instructions). Included by dsp/fft_passes.h, inside the kernel namespace.
// They need sizes that suit the vectors: m >= 16 L (see RealForward).

template <typename T, int L>
struct VecOf {
  typedef T type __attribute__((vector_size(L * sizeof(T))));
};
template <typename T, int L>
using Vec = typename VecOf<T, L>::type;

template <typename T, int L>
TM_FFT_INLINE Vec<T, L> Load(const T* p) {
  Vec<T, L> v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

template <typename T, int L>
TM_FFT_INLINE void Store(T* p, Vec<T, L> v) {
  __builtin_memcpy(p, &v, sizeof v);
}

template <typename T, int L>
TM_FFT_INLINE Vec<T, L> Splat(T x) {
  return Vec<T, L>{} + x;
}

template <typename T, int L>
TM_FFT_INLINE Vec<T, L> Reverse(Vec<T, L> v) {
  if constexpr (L == 2) return __builtin_shufflevector(v, v, 1, 0);
  if constexpr (L == 4) return __builtin_shufflevector(v, v, 3, 2, 1, 0);
  if constexpr (L == 8) return __builtin_shufflevector(v, v, 7, 6, 5, 4, 3, 2, 1, 0);
}

// Splits 2L interleaved values at p into the even ones and the odd ones.
template <typename T, int L>
TM_FFT_INLINE void LoadDeinterleaved(const T* p, Vec<T, L>& even, Vec<T, L>& odd) {
  const Vec<T, L> a = Load<T, L>(p), b = Load<T, L>(p + L);
  if constexpr (L == 2) {
    even = __builtin_shufflevector(a, b, 0, 2);
    odd = __builtin_shufflevector(a, b, 1, 3);
  } else if constexpr (L == 4) {
    even = __builtin_shufflevector(a, b, 0, 2, 4, 6);
    odd = __builtin_shufflevector(a, b, 1, 3, 5, 7);
  } else {
    even = __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14);
    odd = __builtin_shufflevector(a, b, 1, 3, 5, 7, 9, 11, 13, 15);
  }
}

// Stores re[0], im[0], re[1], im[1], ... at p.
template <typename T, int L>
TM_FFT_INLINE void StoreInterleaved(T* p, Vec<T, L> re, Vec<T, L> im) {
  if constexpr (L == 2) {
    Store<T, L>(p, __builtin_shufflevector(re, im, 0, 2));
    Store<T, L>(p + L, __builtin_shufflevector(re, im, 1, 3));
  } else if constexpr (L == 4) {
    Store<T, L>(p, __builtin_shufflevector(re, im, 0, 4, 1, 5));
    Store<T, L>(p + L, __builtin_shufflevector(re, im, 2, 6, 3, 7));
  } else {
    Store<T, L>(p, __builtin_shufflevector(re, im, 0, 8, 1, 9, 2, 10, 3, 11));
    Store<T, L>(p + L, __builtin_shufflevector(re, im, 4, 12, 5, 13, 6, 14, 7, 15));
  }
}

// Stores a0[0], a1[0], a2[0], a3[0], a0[1], ... (4L values) at p.
template <typename T, int L>
TM_FFT_INLINE void StoreTransposed4(T* p, Vec<T, L> a0, Vec<T, L> a1, Vec<T, L> a2, Vec<T, L> a3) {
  if constexpr (L == 2) {
    Store<T, L>(p, __builtin_shufflevector(a0, a1, 0, 2));
    Store<T, L>(p + 2, __builtin_shufflevector(a2, a3, 0, 2));
    Store<T, L>(p + 4, __builtin_shufflevector(a0, a1, 1, 3));
    Store<T, L>(p + 6, __builtin_shufflevector(a2, a3, 1, 3));
  } else if constexpr (L == 4) {
    const Vec<T, L> t0 = __builtin_shufflevector(a0, a1, 0, 4, 1, 5), t1 = __builtin_shufflevector(a0, a1, 2, 6, 3, 7);
    const Vec<T, L> t2 = __builtin_shufflevector(a2, a3, 0, 4, 1, 5), t3 = __builtin_shufflevector(a2, a3, 2, 6, 3, 7);
    Store<T, L>(p, __builtin_shufflevector(t0, t2, 0, 1, 4, 5));
    Store<T, L>(p + 4, __builtin_shufflevector(t0, t2, 2, 3, 6, 7));
    Store<T, L>(p + 8, __builtin_shufflevector(t1, t3, 0, 1, 4, 5));
    Store<T, L>(p + 12, __builtin_shufflevector(t1, t3, 2, 3, 6, 7));
  } else {
    // Within each 128-bit half as for L = 4, then the halves exchanged.
    const Vec<T, L> t0 = __builtin_shufflevector(a0, a1, 0, 8, 1, 9, 4, 12, 5, 13);
    const Vec<T, L> t1 = __builtin_shufflevector(a0, a1, 2, 10, 3, 11, 6, 14, 7, 15);
    const Vec<T, L> t2 = __builtin_shufflevector(a2, a3, 0, 8, 1, 9, 4, 12, 5, 13);
    const Vec<T, L> t3 = __builtin_shufflevector(a2, a3, 2, 10, 3, 11, 6, 14, 7, 15);
    const Vec<T, L> u0 = __builtin_shufflevector(t0, t2, 0, 1, 8, 9, 4, 5, 12, 13);   // 0 | 4
    const Vec<T, L> u1 = __builtin_shufflevector(t0, t2, 2, 3, 10, 11, 6, 7, 14, 15);  // 1 | 5
    const Vec<T, L> u2 = __builtin_shufflevector(t1, t3, 0, 1, 8, 9, 4, 5, 12, 13);   // 2 | 6
    const Vec<T, L> u3 = __builtin_shufflevector(t1, t3, 2, 3, 10, 11, 6, 7, 14, 15);  // 3 | 7
    Store<T, L>(p, __builtin_shufflevector(u0, u1, 0, 1, 2, 3, 8, 9, 10, 11));
    Store<T, L>(p + 8, __builtin_shufflevector(u2, u3, 0, 1, 2, 3, 8, 9, 10, 11));
    Store<T, L>(p + 16, __builtin_shufflevector(u0, u1, 4, 5, 6, 7, 12, 13, 14, 15));
    Store<T, L>(p + 24, __builtin_shufflevector(u2, u3, 4, 5, 6, 7, 12, 13, 14, 15));
  }
}

// The first pass (s = 1), vectorised over p, results transposed on the way
// out.
template <bool kInterleaved, typename T, int L>
TM_FFT_INLINE void FirstPassV(std::size_t m, const T* in, const T* xr, const T* xi, T* yr, T* yi, const T* w) {
  using V = Vec<T, L>;
  const std::size_t q = m / 4;
  for (std::size_t p = 0; p < q; p += L) {
    V a[4][2];
    for (std::size_t k = 0; k < 4; ++k) {
      if constexpr (kInterleaved)
        LoadDeinterleaved<T, L>(in + 2 * (p + k * q), a[k][0], a[k][1]);
      else
        a[k][0] = Load<T, L>(xr + p + k * q), a[k][1] = Load<T, L>(xi + p + k * q);
    }
    V y0r, y0i, y1r, y1i, y2r, y2i, y3r, y3i;
    Butterfly4(a[0][0], a[0][1], a[1][0], a[1][1], a[2][0], a[2][1], a[3][0], a[3][1], Load<T, L>(w + p),
               Load<T, L>(w + q + p), Load<T, L>(w + 2 * q + p), Load<T, L>(w + 3 * q + p),
               Load<T, L>(w + 4 * q + p), Load<T, L>(w + 5 * q + p), y0r, y0i, y1r, y1i, y2r, y2i, y3r, y3i);
    StoreTransposed4<T, L>(yr + 4 * p, y0r, y1r, y2r, y3r);
    StoreTransposed4<T, L>(yi + 4 * p, y0i, y1i, y2i, y3i);
  }
}

// A middle pass with s >= L: vectorised over t, twiddles broadcast.
template <typename T, int L>
TM_FFT_INLINE void MiddlePassV(std::size_t m, std::size_t s, const T* xr, const T* xi, T* yr, T* yi, const T* w) {
  using V = Vec<T, L>;
  const std::size_t q = m / (4 * s);
  const std::size_t quarter = m / 4;
  for (std::size_t p = 0; p < q; ++p) {
    const V w1r = Splat<T, L>(w[p]), w1i = Splat<T, L>(w[q + p]), w2r = Splat<T, L>(w[2 * q + p]);
    const V w2i = Splat<T, L>(w[3 * q + p]), w3r = Splat<T, L>(w[4 * q + p]), w3i = Splat<T, L>(w[5 * q + p]);
    const T* ar = xr + s * p;
    const T* ai = xi + s * p;
    T* or_ = yr + 4 * s * p;
    T* oi = yi + 4 * s * p;
    for (std::size_t t = 0; t < s; t += L) {
      V y0r, y0i, y1r, y1i, y2r, y2i, y3r, y3i;
      Butterfly4(Load<T, L>(ar + t), Load<T, L>(ai + t), Load<T, L>(ar + t + quarter), Load<T, L>(ai + t + quarter),
                 Load<T, L>(ar + t + 2 * quarter), Load<T, L>(ai + t + 2 * quarter),
                 Load<T, L>(ar + t + 3 * quarter), Load<T, L>(ai + t + 3 * quarter), w1r, w1i, w2r, w2i, w3r,
                 w3i, y0r, y0i, y1r, y1i, y2r, y2i, y3r, y3i);
      Store<T, L>(or_ + t, y0r), Store<T, L>(oi + t, y0i);
      Store<T, L>(or_ + t + s, y1r), Store<T, L>(oi + t + s, y1i);
      Store<T, L>(or_ + t + 2 * s, y2r), Store<T, L>(oi + t + 2 * s, y2i);
      Store<T, L>(or_ + t + 3 * s, y3r), Store<T, L>(oi + t + 3 * s, y3i);
    }
  }
}

template <typename T, int L>
TM_FFT_INLINE void LastPass4V(std::size_t m, const T* xr, const T* xi, T* yr, T* yi) {
  using V = Vec<T, L>;
  const std::size_t s = m / 4;
  for (std::size_t t = 0; t < s; t += L) {
    V y0r, y0i, y1r, y1i, y2r, y2i, y3r, y3i;
    Butterfly4Plain(Load<T, L>(xr + t), Load<T, L>(xi + t), Load<T, L>(xr + t + s), Load<T, L>(xi + t + s),
                    Load<T, L>(xr + t + 2 * s), Load<T, L>(xi + t + 2 * s), Load<T, L>(xr + t + 3 * s),
                    Load<T, L>(xi + t + 3 * s), y0r, y0i, y1r, y1i, y2r, y2i, y3r, y3i);
    Store<T, L>(yr + t, y0r), Store<T, L>(yi + t, y0i);
    Store<T, L>(yr + t + s, y1r), Store<T, L>(yi + t + s, y1i);
    Store<T, L>(yr + t + 2 * s, y2r), Store<T, L>(yi + t + 2 * s, y2i);
    Store<T, L>(yr + t + 3 * s, y3r), Store<T, L>(yi + t + 3 * s, y3i);
  }
}

template <typename T, int L>
TM_FFT_INLINE void LastPass2V(std::size_t m, const T* xr, const T* xi, T* yr, T* yi) {
  using V = Vec<T, L>;
  const std::size_t s = m / 2;
  for (std::size_t t = 0; t < s; t += L) {
    const V ar = Load<T, L>(xr + t), ai = Load<T, L>(xi + t);
    const V br = Load<T, L>(xr + t + s), bi = Load<T, L>(xi + t + s);
    Store<T, L>(yr + t, ar + br), Store<T, L>(yi + t, ai + bi);
    Store<T, L>(yr + t + s, ar - br), Store<T, L>(yi + t + s, ai - bi);
  }
}

// ComplexForward for m >= 16 L.
template <bool kInterleaved, typename T, int L>
TM_FFT_INLINE Split<T> ComplexForwardV(std::size_t m, const T* in, Split<T> a, Split<T> b, const T* w) {
  constexpr int kHalf = L >= 4 ? 4 : L;  // lanes for the pass with s = 4
  FirstPassV<kInterleaved, T, L>(m, in, a.re, a.im, b.re, b.im, w);
  w += 6 * (m / 4);
  Split<T> x = b, y = a;
  std::size_t s = 4;
  for (; m / s >= 16; s *= 4) {
    if (s < std::size_t(L))
      MiddlePassV<T, kHalf>(m, s, x.re, x.im, y.re, y.im, w);
    else
      MiddlePassV<T, L>(m, s, x.re, x.im, y.re, y.im, w);
    w += 6 * (m / (4 * s));
    const Split<T> z = x;
    x = y;
    y = z;
  }
  const std::size_t len = m / s;
  if (len == 8) {
    MiddlePassV<T, L>(m, s, x.re, x.im, y.re, y.im, w);
    LastPass2V<T, L>(m, y.re, y.im, x.re, x.im);
    return x;
  }
  LastPass4V<T, L>(m, x.re, x.im, y.re, y.im);
  return y;
}

// The real step of RealForward for vectors of k; returns the first k left.
template <typename T, int L>
TM_FFT_INLINE std::size_t ForwardRealStepV(std::size_t m, const T* zr, const T* zi, const T* wr, const T* wi,
                                           T* out) {
  using V = Vec<T, L>;
  const std::size_t h = m / 2;
  std::size_t k = 1;
  const V half = Splat<T, L>(T(0.5));
  for (; k + L <= h; k += L) {
    const std::size_t j = m - k - (L - 1);  // the partners m - k, reversed
    const V a_r = Load<T, L>(zr + k), a_i = Load<T, L>(zi + k);
    const V c_r = Reverse<T, L>(Load<T, L>(zr + j)), c_i = Reverse<T, L>(Load<T, L>(zi + j));
    const V er = half * (a_r + c_r), ei = half * (a_i - c_i);
    const V or_ = half * (a_i + c_i), oi = half * (c_r - a_r);
    const V w_r = Load<T, L>(wr + k), w_i = Load<T, L>(wi + k);
    const V br = w_r * or_ - w_i * oi, bi = w_r * oi + w_i * or_;
    StoreInterleaved<T, L>(out + 2 * k, er + br, ei + bi);
    StoreInterleaved<T, L>(out + 2 * j, Reverse<T, L>(er - br), Reverse<T, L>(bi - ei));
  }
  return k;
}

// The first step of RealInverse for vectors of k; returns the first k left.
template <typename T, int L>
TM_FFT_INLINE std::size_t InverseRealStepV(std::size_t m, const T* in, const T* wr, const T* wi, T* ur, T* ui) {
  using V = Vec<T, L>;
  const std::size_t h = m / 2;
  std::size_t k = 1;
  for (; k + L <= h; k += L) {
    const std::size_t j = m - k - (L - 1);
    V a_r, a_i, c_r, c_i;
    LoadDeinterleaved<T, L>(in + 2 * k, a_r, a_i);
    LoadDeinterleaved<T, L>(in + 2 * j, c_r, c_i);
    c_r = Reverse<T, L>(c_r);
    c_i = Reverse<T, L>(c_i);
    const V pr = a_r + c_r, pi = a_i - c_i;
    const V dr = a_r - c_r, di = a_i + c_i;
    const V w_r = Load<T, L>(wr + k), w_i = Load<T, L>(wi + k);
    const V qr = dr * w_r + di * w_i, qi = di * w_r - dr * w_i;
    Store<T, L>(ur + k, pr - qi);
    Store<T, L>(ui + k, pi + qr);
    Store<T, L>(ur + j, Reverse<T, L>(pr + qi));
    Store<T, L>(ui + j, Reverse<T, L>(qr - pi));
  }
  return k;
}

template <typename T, int L>
TM_FFT_INLINE void InterleaveV(std::size_t m, const T* re, const T* im, T* out) {
  for (std::size_t j = 0; j < m; j += L) StoreInterleaved<T, L>(out + 2 * j, Load<T, L>(re + j), Load<T, L>(im + j));
}
